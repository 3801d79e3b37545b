#include "ui/file_dialogs.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>

#include "uikit/uikit.h"

namespace ui {

namespace {

QString Q(std::u16string_view text) { return uikit::ToQString(text); }

QWidget* Parent(MWindow* owner) { return owner != nullptr ? owner->GetWidget() : nullptr; }

// Runs a non-native dialog; the chosen path, "" when cancelled. At Qt's own
// sizes the detail view cuts its dates short: the dialog is made wider and
// the date column takes the room left.
std::string Run(QFileDialog& dialog, QFileDialog::FileMode mode, QFileDialog::Options options) {
  dialog.setOptions(options | QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(mode);
  dialog.resize(860, 520);
  if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView")))
    details->header()->setStretchLastSection(true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front().toStdString();
}

class QtFileDialogs : public FileDialogs {
 public:
  std::string OpenFile(MWindow* owner, std::u16string_view title, std::u16string_view filter) override {
    QFileDialog dialog(Parent(owner), Q(title), QString(), Q(filter));
    return Run(dialog, QFileDialog::ExistingFile, QFileDialog::ReadOnly);
  }

  std::string SaveFile(MWindow* owner, std::u16string_view title, const std::string& suggestedPath,
                       std::u16string_view filter, std::u16string_view defaultSuffix) override {
    // The dialog asks before it overwrites (Qt's default).
    QFileDialog dialog(Parent(owner), Q(title), QString::fromStdString(suggestedPath), Q(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(Q(defaultSuffix));
    return Run(dialog, QFileDialog::AnyFile, {});
  }

  std::string ChooseFolder(MWindow* owner, std::u16string_view title) override {
    QFileDialog dialog(Parent(owner), Q(title));
    return Run(dialog, QFileDialog::Directory, QFileDialog::ShowDirsOnly);
  }
};

FileDialogs* g_testDialogs = nullptr;

}  // namespace

FileDialogs& CurrentFileDialogs() {
  static QtFileDialogs qtDialogs;
  return g_testDialogs != nullptr ? *g_testDialogs : qtDialogs;
}

void SetFileDialogsForTests(FileDialogs* dialogs) { g_testDialogs = dialogs; }

}  // namespace ui
