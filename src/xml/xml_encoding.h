// Encoding names, code pages and conversions between the file encodings and
// the document's UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace xml {

inline constexpr int kCodePageAnsi = 0;        // the system code page: windows-1252 here
inline constexpr int kCodePageUtf32 = 65005;   // "UTF-32": converted by hand
inline constexpr int kCodePageUtf16 = 1200;
inline constexpr int kCodePageUtf8 = 65001;
inline constexpr int kAnsiCodePage = 1252;     // what kCodePageAnsi stands for

// The Windows code page of an encoding name: 0 for an empty name, 65005 for
// names beginning "UTF-32", -1 for names we do not know.
int EncodingNameToCodePage(std::u16string_view name);

// Decodes one UTF-8 sequence at data[i]; false when invalid or cut off by the
// end (then *cutOff tells which). On success i is past the sequence.
bool DecodeUtf8Sequence(const unsigned char* data, size_t n, size_t& i, uint32_t& cp, bool* cutOff);

// Walks the bytes up to the end or the first NUL; true when every sequence is
// valid UTF-8. *cutOff reports a failure caused by a sequence the end cut off.
bool TestUtf8(const char* data, size_t n, bool* cutOff = nullptr);

// One conversion from a source encoding to a target encoding. Source and
// target units: 32-bit for UTF-32 (65005), 16-bit for UTF-16 (1200), bytes
// for every code page (UTF-8 included).
class XmlTextConverter {
 public:
  XmlTextConverter(std::u16string_view sourceEncoding, const void* source, size_t sourceLength);

  // Converts into dest, at most capacity target units; with a null dest the
  // length is only counted. Returns the length in target units; 0 also when
  // the combination or code page is not available.
  size_t Convert(void* dest, size_t capacity, std::u16string_view targetEncoding);

  // The whole result as raw target units (host byte order); false when the
  // combination or code page is not available.
  bool ConvertAll(std::u16string_view targetEncoding, std::string& out, size_t& units);

  // A character had no equivalent in the target code page and was replaced.
  bool DefaultCharUsed() const { return defaultCharUsed_; }
  size_t ResultLength() const { return resultLength_; }

 private:
  std::u16string targetEncoding_;
  std::u16string sourceEncoding_;
  const void* source_;
  size_t sourceLength_;
  size_t capacity_ = 0;
  size_t resultLength_ = 0;
  bool defaultCharUsed_ = false;
};

// Convenience forms used by the file layer.
bool BytesToUtf16(std::u16string_view encoding, std::string_view bytes, std::u16string& out);
bool Utf16ToBytes(std::u16string_view encoding, std::u16string_view text, std::string& out, bool& loss);

}  // namespace xml
