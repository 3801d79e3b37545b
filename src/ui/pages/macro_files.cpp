// Macro files: one macro exported to or imported from an XML file.
#include "database/profile_database.h"
#include "platform/clock.h"
#include "ui/device_main_dlg.h"
#include "ui/file_dialogs.h"
#include "ui/macro_file.h"
#include "uikit/uikit.h"

void DeviceMainDlg::ExportMacro() {
  const int macroId = SelectedMacroId();
  if (macroId <= 0) return;
  const std::string folder = ui::CurrentFileDialogs().ChooseFolder(GetSafeHwnd(), u"Macro");
  if (folder.empty()) return;
  MacroInfo macro;
  if (!db().GetMacro(macroId, macro)) return;
  // The file carries the name as the list shows it.
  macro.name = macroList->GetItemText(macroList->GetCurSel());
  std::vector<MacroRecord> events;
  db().LoadMacroRecords(macroId, events);
  // The tick count keeps repeated exports of one macro apart.
  ui::WriteMacroFile(ui::MacroExportPath(folder, macro.name, platform::GetTickCount()),
                     ui::BuildMacroFileText(macro, events));
}

void DeviceMainDlg::ImportMacro() {
  const std::string path = ui::CurrentFileDialogs().OpenFile(GetSafeHwnd(), {}, u"Macros (*.xml)");
  if (path.empty()) return;
  std::optional<ui::MacroFileContent> content = ui::ReadMacroFile(path);
  if (!content) return;
  // The macro and its events as one: a refused store leaves no macro without events.
  const int macroId = db().InsertMacroWithRecords(content->macro, std::move(content->events));
  if (macroId <= 0) {
    ReportRefusedStore();
    return;
  }
  if (macroList) macroList->AddString(content->macro.name, macroId);
}
