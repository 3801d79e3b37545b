#include "platform/folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "platform/file_read.h"
#include "platform/product.h"

namespace platform {

std::string HomeFolderOf(const char* home, const char* passwdHome) {
  // A relative path would put the user's files wherever the program was started.
  if (home && *home == '/') return home;
  if (passwdHome && *passwdHome == '/') return passwdHome;
  return {};
}

std::string HomeFolder() {
  const passwd* pw = getpwuid(getuid());
  return HomeFolderOf(std::getenv("HOME"), pw ? pw->pw_dir : nullptr);
}

std::string ConfigHome() {
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') return x;
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + "/.config";
}

}  // namespace platform

std::string GetExeFolder() {
  std::vector<char> buf(4096);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return "./";
    if (static_cast<size_t>(n) < buf.size()) {
      std::string path(buf.data(), static_cast<size_t>(n));
      const auto slash = path.rfind('/');
      return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    }
    buf.resize(buf.size() * 2);  // no length limit on the install path
  }
}

// Far above any user-dirs.dirs; a larger file is not one.
constexpr size_t kMaxUserDirsBytes = 1 << 20;

std::string GetDocumentsFolder() {
  const std::string home = platform::HomeFolder();
  if (home.empty()) return {};
  // user-dirs.dirs lines look like: XDG_DOCUMENTS_DIR="$HOME/Documents".
  // Only a regular file is read: opening a FIFO would block the start.
  const std::string dirs = platform::ConfigHome() + "/user-dirs.dirs";
  std::istringstream in(platform::ReadRegularFile(dirs, kMaxUserDirsBytes).value_or(std::string()));
  std::string line;
  while (std::getline(in, line)) {
    const std::string key = "XDG_DOCUMENTS_DIR=";
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    if (!value.empty() && value.front() == '/') {
      while (value.size() > 1 && value.back() == '/') value.pop_back();
      // A documents folder equal to home means the user has none.
      if (value != home) return value;
    }
    break;
  }
  return home + "/Documents";
}

std::string GetDataFolder() {
  const std::string documents = GetDocumentsFolder();
  return documents.empty() ? std::string() : documents + "/" + GetProductNameUtf8() + " MouseDbFiles/";
}

bool CreateDirectoryTree(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1)) {
    const std::string part = path.substr(0, pos);
    mkdir(part.c_str(), 0755);  // failures show in the final check
  }
  if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) {
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  return false;
}
