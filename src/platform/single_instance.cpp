#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

std::string RuntimeFolder() {
  if (const char* x = std::getenv("XDG_RUNTIME_DIR"); x && *x == '/') return x;
  const std::string folder = "/tmp/tgm-" + std::to_string(getuid());
  mkdir(folder.c_str(), 0700);
  return folder;
}

InstanceLock::InstanceLock(std::string name) : name_(std::move(name)) {}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) close(fd_);
}

std::string InstanceLock::LockPath() const { return RuntimeFolder() + "/" + name_ + ".lock"; }
std::string InstanceLock::SocketPath() const { return RuntimeFolder() + "/" + name_ + ".socket"; }

bool InstanceLock::Acquire() {
  if (fd_ >= 0) return true;
  held_elsewhere_ = false;
  const int fd = open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    held_elsewhere_ = errno == EWOULDBLOCK;
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

}  // namespace platform
