#include "platform/text_typer.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" {
#include <xdo.h>
}

namespace platform {

namespace {

std::string EncodeUtf8(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

class XdoTextTyper : public TextTyper {
 public:
  ~XdoTextTyper() override {
    if (xdo_) xdo_free(xdo_);
  }

  bool TypeCharacter(char32_t cp) override {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (!Connect()) return false;
    const std::string utf8 = EncodeUtf8(cp);
    return xdo_enter_text_window(xdo_, CURRENTWINDOW, utf8.c_str(), 0) == 0;
  }

 private:
  bool Connect() {
    if (xdo_) return true;
    if (failed_) return false;
    const char* display = std::getenv("DISPLAY");
    if (display && *display) xdo_ = xdo_new(nullptr);
    if (!xdo_) {
      failed_ = true;
      static std::atomic<bool> told{false};
      if (!told.exchange(true))
        std::fprintf(stderr, "Tarsel-Game mouse: no X display; emoji texts are not typed.\n");
      return false;
    }
    return true;
  }

  xdo_t* xdo_ = nullptr;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<TextTyper> MakeXdoTextTyper() { return std::make_unique<XdoTextTyper>(); }

}  // namespace platform
