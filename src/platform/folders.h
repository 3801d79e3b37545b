// Folders of the program and of the user. Paths are UTF-8 and use "/".
#pragma once

#include <string>

// The running executable's folder with a trailing "/", of any length.
std::string GetExeFolder();

// The user's documents folder without a trailing "/": XDG_DOCUMENTS_DIR from
// the user's user-dirs.dirs, else $HOME/Documents; "" without a home folder.
std::string GetDocumentsFolder();

// The documents folder followed by "Tarsel-Game mouse MouseDbFiles/"; the
// model databases live in its "db/" subfolder. "" without a home folder.
std::string GetDataFolder();

// Makes a folder and every missing parent. True when the folder exists
// afterwards.
bool CreateDirectoryTree(const std::string& path);

namespace platform {
// $XDG_CONFIG_HOME when absolute, else <home folder>/.config (no trailing
// "/"); "" when neither is there.
std::string ConfigHome();
// $HOME when absolute, else the password database's home folder when
// absolute, else "": the user has no home folder the program may use.
std::string HomeFolder();
// The same rule on given values (either may be null).
std::string HomeFolderOf(const char* home, const char* passwdHome);
}  // namespace platform
