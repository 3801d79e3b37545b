// Files written for the user (macro and profile files and the like) replace
// their target whole or not at all: the content goes to a temporary file in
// the target's folder, which is flushed to disk and renamed over the target.
// A failed or interrupted write never leaves a truncated file behind.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

// `write` fills the temporary file whose path it is given (the file exists,
// empty, with the permissions a new file of the user gets) and reports
// success; only then is the file synced and renamed to `path`. On any
// failure the temporary file is removed, `path` is left as it was, and the
// result is false.
bool ReplaceFileAtomically(const std::string& path, const std::function<bool(const std::string& tempPath)>& write);

// The same for content already in memory.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Removes from `path`'s folder the temporary files that writes of `path` left
// when their process was killed before the rename: ".<name>.<pid>-<n>.tmp"
// (the writes above) and "<name>.tmp.<pid>" (the user store's), each only
// when no process <pid> runs any more. Other files, and those of a running
// process, which may still be writing, are kept. An empty path is no file.
void RemoveLeftoverTemporaryFiles(const std::string& path);

}  // namespace platform
