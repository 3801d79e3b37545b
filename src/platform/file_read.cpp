#include "platform/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

std::optional<std::string> ReadRegularFile(const std::string& path, size_t maxBytes) {
  // O_NONBLOCK keeps a FIFO from blocking the open; it is then refused.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> bytes;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) <= maxBytes) {
    std::string data(static_cast<size_t>(st.st_size), '\0');
    size_t got = 0;
    for (;;) {
      // A file that grew since fstat is read only as far as it then was.
      const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) break;
      got += static_cast<size_t>(n);
      if (n == 0 || got == data.size()) {
        data.resize(got);
        bytes = std::move(data);
        break;
      }
    }
  }
  ::close(fd);
  return bytes;
}

}  // namespace platform
