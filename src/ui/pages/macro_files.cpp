// Macro files: one macro exported to or imported from an XML file.
#include <QStringList>
#include <QTextBoundaryFinder>
#include <vector>

#include "database/profile_database.h"
#include "platform/clock.h"
#include "platform/product.h"
#include "ui/device_main_dlg.h"
#include "ui/file_dialogs.h"
#include "ui/lang_text.h"
#include "ui/macro_file.h"
#include "ui/message_box.h"
#include "uikit/uikit.h"

namespace {

// The path as the box shows it. The box does not grow: a long path keeps its
// start and its end, the file's name, around an ellipsis, and may break
// after any character (a zero-width space), since a name is one long word
// that would otherwise run past the box's sides.
std::u16string ShownPath(const std::string& path) {
  constexpr size_t kHead = 16;
  constexpr size_t kTail = 48;
  // Whole characters, so no cut or break splits one.
  const QString text = QString::fromStdString(path);
  std::vector<QString> characters;
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  for (qsizetype from = 0, to = finder.toNextBoundary(); to > from; from = to, to = finder.toNextBoundary())
    characters.push_back(text.mid(from, to - from));
  if (characters.size() > kHead + 1 + kTail) {
    characters.erase(characters.begin() + kHead + 1, characters.end() - kTail);
    characters[kHead] = QStringLiteral("\u2026");
  }
  return QStringList(characters.begin(), characters.end()).join(QChar(0x200B)).toStdU16String();
}

}  // namespace

void DeviceMainDlg::ExportMacro() {
  const int macroId = SelectedMacroId();
  if (macroId <= 0) return;
  const std::string folder = ui::CurrentFileDialogs().ChooseFolder(GetSafeHwnd(), u"Macro");
  if (folder.empty()) return;
  MacroInfo macro;
  std::vector<MacroRecord> events;
  const StoreRead read = db().GetMacroWithRecords(macroId, macro, events);
  // The file carries the name as the list shows it.
  macro.name = macroList->GetItemText(macroList->GetCurSel());
  // The tick count keeps repeated exports of one macro apart.
  const std::string path = ui::MacroExportPath(folder, macro.name, platform::GetTickCount());
  // A macro the store did not give would be written without its events.
  if (read == StoreRead::kUnreadable) {
    ReportUnwrittenFile(path, 27, true);
    return;
  }
  if (read == StoreRead::kNone) return;
  if (!ui::WriteMacroFile(path, ui::BuildMacroFileText(macro, events))) ReportUnwrittenFile(path, 27, false);
}

void DeviceMainDlg::ReportUnwrittenFile(const std::string& path, int title, bool storeUnread) {
  DebugTrace(2, "file not written: %s", path.c_str());
  // The store's words where it was the cause: the folder is not to blame.
  const std::u16string text = storeUnread ? GetLangText(216) : GetLangText(217) + u"\n" + ShownPath(path);
  ShowMessageBox(GetSafeHwnd(), text, GetLangText(title), kMessageBoxOk);
}

void DeviceMainDlg::ImportMacro() {
  const std::string path = ui::CurrentFileDialogs().OpenFile(GetSafeHwnd(), {}, u"Macros (*.xml)");
  if (path.empty()) return;
  std::optional<ui::MacroFileContent> content = ui::ReadMacroFile(path);
  if (!content) return;
  // The macro and its events as one: a refused store leaves no macro without events.
  StoreWrite wrote = StoreWrite::kStored;
  const int macroId = db().InsertMacroWithRecords(content->macro, std::move(content->events), &wrote);
  if (macroId <= 0) {
    ReportNotStored(wrote);
    return;
  }
  shownMacroNames[macroId] = content->macro.name;
  if (macroList) macroList->AddString(content->macro.name, macroId);
}
