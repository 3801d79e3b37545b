// Process-wide names and small helpers every subsystem may use.
#pragma once

#include <atomic>
#include <string>

// "Tarsel-Game mouse": names the instance lock, the window title, the
// per-user store key, the autostart entry and the data folder.
const char16_t* GetProductName();
std::string GetProductNameUtf8();

// The UI language id (2052 or 1033). Lives here, not in the UI, so the
// database can word default names without depending on windows.
inline std::atomic<int> CurrentLanguageId{2052};

// The diagnostic trace. Silent unless TGM_TRACE is set in the environment,
// then it goes to stderr.
void DebugTrace(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
