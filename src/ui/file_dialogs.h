// The file and folder choices the pages ask of the user (macro and profile
// files), behind one replaceable seam.
//
// The program uses Qt's own (non-native) dialogs: they look the same on
// every desktop and can be driven under a bare X server. Window tests
// install a fake with SetFileDialogsForTests that answers at once, so no
// modal dialog ever waits for a user.
//
// Every call runs on the UI thread and blocks in a modal loop until the user
// answers. Paths are UTF-8; an empty path means the user cancelled.
#pragma once

#include <string>
#include <string_view>

class MWindow;

namespace ui {

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;

  // An existing file to read. `filter` is a list of name filters separated by
  // ";;", each a description with its patterns in brackets: "Macros (*.xml)".
  virtual std::string OpenFile(MWindow* owner, std::u16string_view title, std::u16string_view filter) = 0;

  // A file to write, starting at `suggestedPath`. A name typed without an
  // extension gets `defaultSuffix` ("xml", no dot); choosing a file that
  // exists asks the user to confirm the overwrite first.
  virtual std::string SaveFile(MWindow* owner, std::u16string_view title, const std::string& suggestedPath,
                               std::u16string_view filter, std::u16string_view defaultSuffix) = 0;

  // An existing folder.
  virtual std::string ChooseFolder(MWindow* owner, std::u16string_view title) = 0;
};

// The dialogs in force: Qt's unless a test installed others.
FileDialogs& CurrentFileDialogs();

// Installs `dialogs` (null restores Qt's). They must outlive their use.
void SetFileDialogsForTests(FileDialogs* dialogs);

}  // namespace ui
