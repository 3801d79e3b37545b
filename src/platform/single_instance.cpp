#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/folders.h"

namespace platform {

bool PrepareLockFolder(const LockFolder& folder) {
  const std::string& path = folder.path;
  if (path.empty() || path.front() != '/') return false;
  if (const auto slash = path.find_last_of('/'); slash > 0) CreateDirectoryTree(path.substr(0, slash));
  mkdir(path.c_str(), 0700);  // an existing folder is judged below like a new one
  struct stat st {};
  // In a folder that others can write (/tmp) a link could be swapped after
  // the check, so a link is refused there.
  const int result = folder.followLink ? stat(path.c_str(), &st) : lstat(path.c_str(), &st);
  if (result != 0 || !S_ISDIR(st.st_mode)) return false;
  return st.st_uid == geteuid() && (st.st_mode & folder.forbidden) == 0;
}

std::vector<LockFolder> DefaultLockFolders(const std::string& name) {
  std::vector<LockFolder> folders;
  if (const char* x = std::getenv("XDG_RUNTIME_DIR"); x && *x == '/') {
    folders.push_back({x, 077, false});
  } else {
    folders.push_back({"/tmp/tgm-" + std::to_string(getuid()), 077, false});
  }
  if (const std::string config = ConfigHome(); !config.empty()) folders.push_back({config + "/" + name, 022, true});
  return folders;
}

InstanceLock::InstanceLock(std::string name) : name_(std::move(name)), folders_(DefaultLockFolders(name_)) {}

InstanceLock::InstanceLock(std::string name, std::vector<LockFolder> folders)
    : name_(std::move(name)), folders_(std::move(folders)) {}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) close(fd_);
}

std::string InstanceLock::LockPath() const { return folder_.empty() ? "" : folder_ + "/" + name_ + ".lock"; }
std::string InstanceLock::SocketPath() const { return folder_.empty() ? "" : folder_ + "/" + name_ + ".socket"; }

bool InstanceLock::Acquire() {
  if (fd_ >= 0) return true;
  held_elsewhere_ = false;
  for (const LockFolder& folder : folders_) {
    if (!PrepareLockFolder(folder)) continue;
    folder_ = folder.path;
    const int fd = open(LockPath().c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fd_ = fd;
      return true;
    }
    const bool busy = fd >= 0 && errno == EWOULDBLOCK;
    if (fd >= 0) close(fd);
    if (busy) {
      held_elsewhere_ = true;  // the first instance, found where it holds the lock
      return false;
    }
  }
  folder_.clear();
  return false;
}

}  // namespace platform
