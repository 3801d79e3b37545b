// Folders of the program and of the user. Paths are UTF-8 and use "/".
#pragma once

#include <string>

// The running executable's folder with a trailing "/", of any length.
std::string GetExeFolder();

// The user's documents folder without a trailing "/": XDG_DOCUMENTS_DIR from
// the user's user-dirs.dirs, else $HOME/Documents.
std::string GetDocumentsFolder();

// The documents folder followed by "Tarsel-Game mouse MouseDbFiles/"; the
// model databases live in its "db/" subfolder.
std::string GetDataFolder();

// Makes a folder and every missing parent. True when the folder exists
// afterwards.
bool CreateDirectoryTree(const std::string& path);

namespace platform {
// $XDG_CONFIG_HOME, else $HOME/.config (no trailing "/").
std::string ConfigHome();
// $HOME, else the password database's home folder.
std::string HomeFolder();
}  // namespace platform
