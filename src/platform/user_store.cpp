#include "platform/user_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/folders.h"
#include "platform/product.h"

namespace platform {

namespace {

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    // Only our own escapes are undone; any other backslash is kept, so a
    // hand-edited file with "SOFTWARE\Name" reads as written.
    const char n = i + 1 < s.size() ? s[i + 1] : '\0';
    if (s[i] == '\\' && (n == '\\' || n == 'n' || n == 'r')) {
      out += n == 'n' ? '\n' : n == 'r' ? '\r' : '\\';
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

// The callers go on with the value in memory alone, so a write that does not
// reach the file is told here, where its cause is known.
bool UserStore::Unwritten(const std::string& key, const std::string& name, const char* why) const {
  std::fprintf(stderr, "%s: %s\\%s not saved: %s\n", path_.c_str(), key.c_str(), name.c_str(), why);
  DebugTrace(1, "user store %s: %s\\%s not saved: %s", path_.c_str(), key.c_str(), name.c_str(), why);
  return false;
}

std::string UserStore::DefaultPath() {
  const std::string config = ConfigHome();
  return config.empty() ? std::string() : config + "/" + GetProductNameUtf8() + "/registry.ini";
}

UserStore::UserStore(std::string path) : path_(std::move(path)) {}

UserStore::LoadResult UserStore::Load(Sections& out) const {
  out.clear();
  struct stat st {};
  if (stat(path_.c_str(), &st) != 0) return errno == ENOENT ? LoadResult::kNoFile : LoadResult::kError;
  if (!S_ISREG(st.st_mode)) return LoadResult::kError;
  std::ifstream in(path_, std::ios::binary);
  if (!in) return LoadResult::kError;
  std::string line;
  std::map<std::string, std::string>* current = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      current = &out[Unescape(line.substr(1, line.size() - 2))];
      continue;
    }
    const auto eq = line.find('=');
    if (current == nullptr || eq == std::string::npos) continue;  // stray lines are skipped
    (*current)[Unescape(line.substr(0, eq))] = Unescape(line.substr(eq + 1));
  }
  return LoadResult::kOk;
}

// A store without a path (no home folder) can be neither opened nor created.
bool UserStore::FolderWritable() const {
  return !path_.empty() && access(FolderOf(path_).c_str(), W_OK | X_OK) == 0;
}

bool UserStore::Save(const Sections& sections) const {
  std::ostringstream text;
  for (const auto& [section, values] : sections) {
    text << '[' << Escape(section) << "]\n";
    for (const auto& [name, value] : values) text << Escape(name) << '=' << Escape(value) << '\n';
  }
  const std::string data = text.str();
  const std::string tmp = path_ + ".tmp." + std::to_string(getpid());
  const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      close(fd);
      unlink(tmp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  const bool synced = fsync(fd) == 0;
  close(fd);
  if (!synced || rename(tmp.c_str(), path_.c_str()) != 0) {
    unlink(tmp.c_str());
    return false;
  }
  return true;
}

KeyStatus UserStore::OpenKey(const std::string& key, bool writeAccess) const {
  std::lock_guard lock(mutex_);
  Sections sections;
  switch (Load(sections)) {
    case LoadResult::kError: return KeyStatus::kFailed;
    case LoadResult::kNoFile: return KeyStatus::kMissing;
    case LoadResult::kOk: break;
  }
  if (!sections.count(key)) return KeyStatus::kMissing;
  if (writeAccess && !FolderWritable()) return KeyStatus::kFailed;
  return KeyStatus::kOpened;
}

KeyStatus UserStore::CreateKey(const std::string& key) {
  std::lock_guard lock(mutex_);
  Sections sections;
  if (Load(sections) == LoadResult::kError) return KeyStatus::kFailed;
  if (sections.count(key)) return FolderWritable() ? KeyStatus::kOpened : KeyStatus::kFailed;
  if (!CreateDirectoryTree(FolderOf(path_)) || !FolderWritable()) return KeyStatus::kFailed;
  sections[key];
  return Save(sections) ? KeyStatus::kCreated : KeyStatus::kFailed;
}

std::optional<std::string> UserStore::ReadValue(const std::string& key, const std::string& name) const {
  std::lock_guard lock(mutex_);
  Sections sections;
  if (Load(sections) != LoadResult::kOk) return std::nullopt;
  const auto s = sections.find(key);
  if (s == sections.end()) return std::nullopt;
  const auto v = s->second.find(name);
  if (v == s->second.end()) return std::nullopt;
  return v->second;
}

bool UserStore::WriteValue(const std::string& key, const std::string& name, const std::string& value) {
  std::lock_guard lock(mutex_);
  Sections sections;
  if (Load(sections) == LoadResult::kError) return Unwritten(key, name, "the file cannot be read");
  const auto s = sections.find(key);
  if (s == sections.end()) return Unwritten(key, name, "the key is missing");
  if (!FolderWritable()) return Unwritten(key, name, "the folder cannot be written");
  s->second[name] = value;
  return Save(sections) || Unwritten(key, name, "the file cannot be written");
}

bool UserStore::DeleteValue(const std::string& key, const std::string& name) {
  std::lock_guard lock(mutex_);
  Sections sections;
  // No file, key or value: nothing to remove, and nothing left unsaved.
  const LoadResult loaded = Load(sections);
  if (loaded == LoadResult::kError) return Unwritten(key, name, "the file cannot be read");
  if (loaded == LoadResult::kNoFile) return false;
  const auto s = sections.find(key);
  if (s == sections.end() || !s->second.erase(name)) return false;
  if (!FolderWritable()) return Unwritten(key, name, "the folder cannot be written");
  return Save(sections) || Unwritten(key, name, "the file cannot be written");
}

UserStore& CurrentUserStore() {
  static UserStore store(UserStore::DefaultPath());
  return store;
}

}  // namespace platform
