// Typing text into whatever window has the keyboard focus, as if it came
// from the keyboard.
#pragma once

#include <memory>

namespace platform {

class TextTyper {
 public:
  virtual ~TextTyper() = default;
  // Types one character (a Unicode code point) into the focused window.
  // False when it could not be typed.
  virtual bool TypeCharacter(char32_t codePoint) = 0;
};

// The typer over libxdo (XTest) on a display connection of its own, opened on
// first use from the calling thread. Without an X display it types nothing
// and says so once on stderr.
std::unique_ptr<TextTyper> MakeXdoTextTyper();

}  // namespace platform
