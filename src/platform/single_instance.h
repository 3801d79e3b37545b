// One running instance per user: an flock'ed file in the user's runtime
// folder. The lock is held until the process ends.
#pragma once

#include <string>

namespace platform {

// $XDG_RUNTIME_DIR when it is an absolute path, else /tmp/tgm-<uid> (made 0700).
std::string RuntimeFolder();

class InstanceLock {
 public:
  explicit InstanceLock(std::string name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this process now holds the lock (the first instance). False
  // when another process holds it, or the lock file cannot be made (then we
  // cannot tell and behave as a second instance would not: see caller).
  bool Acquire();
  bool Held() const { return fd_ >= 0; }
  // Whether the failure was "someone else holds it" (vs. an I/O error).
  bool HeldElsewhere() const { return held_elsewhere_; }

  // The local socket the first instance listens on.
  std::string SocketPath() const;
  std::string LockPath() const;

 private:
  std::string name_;
  int fd_ = -1;
  bool held_elsewhere_ = false;
};

}  // namespace platform
