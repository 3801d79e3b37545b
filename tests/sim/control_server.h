// The drop-in's control channel: a UNIX stream socket on which a test
// driving the real program plugs interfaces, raises notifications and reads
// the mouse's state back (protocol in README.md).
#pragma once

#include <string>
#include <vector>

namespace sim {

// One item of the drop-in's set-up, as TGM_SIM_SETUP lists it.
struct SetupEntry {
  std::string kind;                // the item's text before its first ':'
  std::string main_path;           // the interface the program talks to
  std::vector<std::string> paths;  // every interface the item added
};

// The reply to one command line (without its line end): one line, or for
// "state" a block whose last line is "end"; every line ends in '\n'.
std::string HandleControlCommand(const std::vector<SetupEntry>& entries, const std::string& line);

// Listens on `socket_path` in a thread of its own. False (and a note on
// stderr) when the path is unusable or another live process already serves it.
bool StartControlServer(const std::string& socket_path, std::vector<SetupEntry> entries);
// Removes the socket file, from the process that created it only.
void StopControlServer();

}  // namespace sim
