// The per-user store in place of the registry: an INI file, one section per
// key, "name=value" lines. Reading never creates anything; writes replace the
// whole file atomically (temporary file, then rename).
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace platform {

enum class KeyStatus {
  kOpened,   // the key exists and can be used
  kCreated,  // the key did not exist and was created
  kMissing,  // the key does not exist (nothing was created)
  kFailed,   // the key can neither be opened nor created (unwritable folder, unreadable file)
};

class UserStore {
 public:
  // <config home>/Tarsel-Game mouse/registry.ini; "" without a config home,
  // a store that can be neither opened for writing nor created.
  static std::string DefaultPath();

  explicit UserStore(std::string path);

  const std::string& Path() const { return path_; }

  // Opens an existing key without creating it. With write access the file's
  // folder must be writable, else kFailed.
  KeyStatus OpenKey(const std::string& key, bool writeAccess) const;
  // Opens the key, creating it (and the folder) when missing.
  KeyStatus CreateKey(const std::string& key);

  // The value, or nothing when the key or value is missing or unreadable.
  std::optional<std::string> ReadValue(const std::string& key, const std::string& name) const;
  // Writes a value into an existing key; false when the key is missing or the
  // file cannot be written. A value not saved is told on stderr and in the
  // trace: the caller may keep it in memory alone.
  bool WriteValue(const std::string& key, const std::string& name, const std::string& value);
  // False also when there is no such value (then nothing is told).
  bool DeleteValue(const std::string& key, const std::string& name);

 private:
  using Sections = std::map<std::string, std::map<std::string, std::string>>;
  enum class LoadResult { kOk, kNoFile, kError };
  LoadResult Load(Sections& out) const;
  bool Save(const Sections& sections) const;
  bool FolderWritable() const;
  // Tells that `name` of `key` was not saved, and why; false.
  bool Unwritten(const std::string& key, const std::string& name, const char* why) const;

  std::string path_;
  mutable std::mutex mutex_;
};

// The store of the user running the program (at DefaultPath, resolved on
// first use).
UserStore& CurrentUserStore();

}  // namespace platform
