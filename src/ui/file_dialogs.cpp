#include "ui/file_dialogs.h"

#include <QFileDialog>

#include "uikit/uikit.h"

namespace ui {

namespace {

QString Q(std::u16string_view text) { return uikit::ToQString(text); }

std::string Path(const QString& chosen) { return chosen.toStdString(); }

QWidget* Parent(MWindow* owner) { return owner != nullptr ? owner->GetWidget() : nullptr; }

class QtFileDialogs : public FileDialogs {
 public:
  std::string OpenFile(MWindow* owner, std::u16string_view title, std::u16string_view filter) override {
    return Path(QFileDialog::getOpenFileName(Parent(owner), Q(title), QString(), Q(filter), nullptr,
                                             QFileDialog::DontUseNativeDialog | QFileDialog::ReadOnly));
  }

  std::string SaveFile(MWindow* owner, std::u16string_view title, const std::string& suggestedPath,
                       std::u16string_view filter, std::u16string_view defaultSuffix) override {
    // The static helper cannot take a default suffix; the dialog asks before
    // it overwrites (Qt's default).
    QFileDialog dialog(Parent(owner), Q(title), QString::fromStdString(suggestedPath), Q(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(Q(defaultSuffix));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return Path(dialog.selectedFiles().front());
  }

  std::string ChooseFolder(MWindow* owner, std::u16string_view title) override {
    return Path(QFileDialog::getExistingDirectory(Parent(owner), Q(title), QString(),
                                                  QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly));
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
