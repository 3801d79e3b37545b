// Starting the program with the user's session: an XDG autostart entry,
// "<config home>/autostart/Tarsel-Game mouse.desktop".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The Exec value of a desktop entry that runs `program` with no arguments:
// the path in double quotes with ", `, $ and \ escaped, then the value's own
// escapes (\ doubled) and % doubled. Nothing for an empty path or one with a
// control character, which no entry can carry.
std::optional<std::string> DesktopExecValue(std::string_view program);

class AutostartEntry {
 public:
  // `folder`: where the entry lies; `program`: the executable's full path.
  AutostartEntry(std::string folder, std::string program);
  // <config home>/autostart and the running executable.
  static AutostartEntry ForThisProgram();

  std::string Path() const;
  // The entry exists (its contents are not compared with the program).
  bool Exists() const;
  // Writes the entry (atomically, making the folder when missing) or removes
  // it. False when that did not happen; a path the entry cannot hold is
  // refused and nothing is written.
  bool Enable();
  bool Disable();

 private:
  std::string folder_;
  std::string program_;
};

}  // namespace platform
