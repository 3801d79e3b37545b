#include "platform/product.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

const char16_t* GetProductName() { return u"Tarsel-Game mouse"; }
std::string GetProductNameUtf8() { return "Tarsel-Game mouse"; }

void DebugTrace(int level, const char* format, ...) {
  static const bool enabled = std::getenv("TGM_TRACE") != nullptr;
  if (!enabled) return;
  std::fprintf(stderr, "[%d] ", level);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}
