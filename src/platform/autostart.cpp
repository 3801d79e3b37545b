#include "platform/autostart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/folders.h"
#include "platform/product.h"

namespace platform {

namespace {

// Writes `data` to a temporary file beside `path`, then renames it over
// `path`: a reader sees the old entry or the new one, never a part.
bool ReplaceFile(const std::string& path, const std::string& data) {
  const std::string tmp = path + ".tmp." + std::to_string(getpid());
  const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < data.size();) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n > 0) done += static_cast<size_t>(n);
    else ok = n < 0 && errno == EINTR;
  }
  ok = ok && fsync(fd) == 0;
  close(fd);
  if (ok && rename(tmp.c_str(), path.c_str()) == 0) return true;
  unlink(tmp.c_str());
  return false;
}

}  // namespace

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
  return AutostartEntry(ConfigHome() + "/autostart", GetExeFolder() + GetProductNameUtf8());
}

std::string AutostartEntry::Path() const { return folder_ + "/" + GetProductNameUtf8() + ".desktop"; }

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
  return ReplaceFile(Path(), entry);
}

bool AutostartEntry::Disable() { return unlink(Path().c_str()) == 0 || errno == ENOENT; }

}  // namespace platform
