#include "platform/autostart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/product.h"

namespace platform {

std::optional<std::string> DesktopExecValue(std::string_view program) {
  if (program.empty()) return std::nullopt;
  std::string quoted = "\"";
  for (const char c : program) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return std::nullopt;
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  std::string value;
  for (const char c : quoted) {
    if (c == '\\') value += "\\\\";
    else if (c == '%') value += "%%";
    else value += c;
  }
  return value;
}

AutostartEntry::AutostartEntry(std::string folder, std::string program)
    : folder_(std::move(folder)), program_(std::move(program)) {}

AutostartEntry AutostartEntry::ForThisProgram() {
  const std::string config = ConfigHome();
  return AutostartEntry(config.empty() ? std::string() : config + "/autostart", GetExeFolder() + GetProductNameUtf8());
}

// Without a folder (no home folder) there is no entry and none can be made.
std::string AutostartEntry::Path() const {
  return folder_.empty() ? std::string() : folder_ + "/" + GetProductNameUtf8() + ".desktop";
}

bool AutostartEntry::Exists() const {
  struct stat st {};
  return stat(Path().c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool AutostartEntry::Enable() {
  const auto exec = DesktopExecValue(program_);
  if (!exec) {
    DebugTrace(2, "autostart: the program's path cannot be written into an entry");
    return false;
  }
  if (!CreateDirectoryTree(folder_)) return false;
  const std::string entry = "[Desktop Entry]\nType=Application\nName=" + GetProductNameUtf8() + "\nExec=" + *exec +
                            "\nTerminal=false\n";
  return WriteFileAtomically(Path(), entry);
}

bool AutostartEntry::Disable() { return unlink(Path().c_str()) == 0 || errno == ENOENT; }

}  // namespace platform
