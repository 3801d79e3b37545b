// The running instance's local socket. A second start connects and asks the
// first window to come forward; the few window messages that only come from
// outside the program (tray notices, the exit request, profile files, a
// language reload) arrive the same way. Only connections of the same user
// are served.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "uikit/types.h"

class QLocalServer;

// One request line: "show", or "message <id> <wParam> <lParam>".
struct InstanceRequest {
  enum class Kind { kShow, kMessage } kind = Kind::kShow;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// Parses one line; nothing for malformed lines and for window messages that
// may not come from outside (only 1690, 1691, 1705 and 2022 may).
std::optional<InstanceRequest> ParseInstanceRequest(const std::string& line);

class InstanceServer {
 public:
  using Handler = std::function<void(const InstanceRequest&)>;
  InstanceServer();
  ~InstanceServer();

  // Listens at `socketPath` (a stale socket file is replaced). UI thread.
  bool Listen(const std::string& socketPath, Handler handler);

 private:
  std::unique_ptr<QLocalServer> server_;
  Handler handler_;
};

// The second instance's side: sends one line and waits up to `timeoutMs` for
// the reply. False when no instance answered.
bool SendInstanceRequest(const std::string& socketPath, const std::string& line, int timeoutMs = 2000);
