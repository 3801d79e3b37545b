// One running instance per user: an flock'ed file in a folder only the user
// can reach. The lock is held until the process ends.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// A folder the lock may live in. It is made with mode 0700 when missing and
// used only when it is a folder owned by the user with none of `forbidden`
// mode bits: another user must not be able to hold our lock or plant files
// beside it. Unless `followLink`, a symbolic link in its place is refused.
struct LockFolder {
  std::string path;
  mode_t forbidden = 077;
  bool followLink = false;
};

// Prepares `folder` as above; false when it cannot be made or is refused.
bool PrepareLockFolder(const LockFolder& folder);

// Where the lock is looked for, in order: $XDG_RUNTIME_DIR when it is an
// absolute path, else /tmp/tgm-<uid>; then the per-user config folder
// <config home>/<name>, which others may read but not write.
std::vector<LockFolder> DefaultLockFolders(const std::string& name);

class InstanceLock {
 public:
  explicit InstanceLock(std::string name);
  InstanceLock(std::string name, std::vector<LockFolder> folders);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Tries the folders in turn until one gives an answer. True when this
  // process now holds the lock (the first instance). False with
  // HeldElsewhere() when another process holds it; false without it when no
  // folder could hold a lock at all.
  bool Acquire();
  bool Held() const { return fd_ >= 0; }
  bool HeldElsewhere() const { return held_elsewhere_; }

  // The folder that answered (empty while none has), and the lock file and
  // the local socket the first instance listens on, both in that folder.
  const std::string& Folder() const { return folder_; }
  std::string LockPath() const;
  std::string SocketPath() const;

 private:
  std::string name_;
  std::vector<LockFolder> folders_;
  std::string folder_;
  int fd_ = -1;
  bool held_elsewhere_ = false;
};

}  // namespace platform
