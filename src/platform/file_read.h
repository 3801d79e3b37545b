// Reading small files the program does not own (language files, the user's
// folder settings) without ever throwing or blocking.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace platform {

// The bytes of a regular file of at most `maxBytes`, or nothing when it cannot
// be read: missing, a folder or another kind of file, too large, no
// permission or a failed read. Never blocks on a FIFO.
std::optional<std::string> ReadRegularFile(const std::string& path, size_t maxBytes);

}  // namespace platform
