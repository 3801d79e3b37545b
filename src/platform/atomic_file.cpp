#include "platform/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <filesystem>
#include <optional>

namespace platform {

namespace {

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file name of `path`, without its folder.
std::string NameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A new, empty file beside `path`, hidden; its descriptor or -1.
int CreateTemporary(const std::string& path, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  const std::string name = NameOf(path);
  const std::string folder = path.substr(0, path.size() - name.size());
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = folder + "." + name + "." + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
    // 0666 under the umask: the permissions of any file the user makes.
    const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool SyncPath(const std::string& path, int flags) {
  const int fd = open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The process id written as `text`: decimal digits only, positive (0 and
// negative numbers would name process groups to kill()).
std::optional<pid_t> ProcessId(std::string_view text) {
  if (!AllDigits(text)) return std::nullopt;
  long value = 0;
  const bool parsed = std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc();
  if (!parsed || value <= 0 || value > INT_MAX) return std::nullopt;
  return static_cast<pid_t>(value);
}

// The writing process of `entry` when it is a temporary file of `name`.
std::optional<pid_t> TemporaryFileOwner(std::string_view entry, std::string_view name) {
  const std::string storePrefix = std::string(name) + ".tmp.";
  if (entry.starts_with(storePrefix)) return ProcessId(entry.substr(storePrefix.size()));
  const std::string prefix = "." + std::string(name) + ".";
  constexpr std::string_view suffix = ".tmp";
  if (!entry.starts_with(prefix) || !entry.ends_with(suffix) || entry.size() < prefix.size() + suffix.size())
    return std::nullopt;
  const std::string_view middle = entry.substr(prefix.size(), entry.size() - prefix.size() - suffix.size());
  const auto dash = middle.find('-');
  if (dash == std::string_view::npos || !AllDigits(middle.substr(dash + 1))) return std::nullopt;
  return ProcessId(middle.substr(0, dash));
}

// A process we may not signal still runs.
bool ProcessRuns(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

void RemoveLeftoverTemporaryFiles(const std::string& path) {
  namespace fs = std::filesystem;
  const std::string name = NameOf(path);
  if (name.empty()) return;
  std::error_code ec;
  for (fs::directory_iterator it(FolderOf(path), ec), end; !ec && it != end; it.increment(ec)) {
    const std::optional<pid_t> owner = TemporaryFileOwner(it->path().filename().string(), name);
    if (!owner || ProcessRuns(*owner)) continue;
    std::error_code ignored;
    if (it->symlink_status(ignored).type() == fs::file_type::regular) fs::remove(it->path(), ignored);
  }
}

bool ReplaceFileAtomically(const std::string& path, const std::function<bool(const std::string& tempPath)>& write) {
  std::string tempPath;
  const int fd = CreateTemporary(path, tempPath);
  if (fd < 0) return false;
  close(fd);
  if (!write(tempPath) || !SyncPath(tempPath, O_RDONLY) || rename(tempPath.c_str(), path.c_str()) != 0) {
    unlink(tempPath.c_str());
    return false;
  }
  // The rename itself reaches the disk with the folder; a failure here no
  // longer changes which file the reader sees.
  SyncPath(FolderOf(path), O_RDONLY | O_DIRECTORY);
  return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  return ReplaceFileAtomically(path, [bytes](const std::string& tempPath) {
    const int fd = open(tempPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    return close(fd) == 0 && done == bytes.size();
  });
}

}  // namespace platform
