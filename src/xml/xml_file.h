// Whole-file reading and writing of document texts, with the encoding taken
// from a byte-order mark, the document's declaration or a UTF-8 test.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// One open file.
class XmlFile {
 public:
  // Larger files are refused: documents are held whole in memory.
  static constexpr long long kMaxFileBytes = 16ll * 1024 * 1024;

  XmlFile() = default;
  ~XmlFile();
  XmlFile(const XmlFile&) = delete;
  XmlFile& operator=(const XmlFile&) = delete;

  // Reading (flags hold 0x10): regular files only, detects the byte-order
  // mark or the declared encoding. Writing (0x20, with 0x40 appending): the
  // mark of the flags' encoding bit is written to a new or empty file.
  bool Open(const std::string& path, uint32_t flags);
  // Reads the rest of the file into the document text.
  bool ReadAll(std::u16string& text);
  // Writes already converted bytes.
  bool WriteBytes(std::string_view bytes);
  bool Close();

  uint32_t Flags() const { return flags_; }
  const std::u16string& Encoding() const { return encoding_; }
  void SetEncoding(std::u16string_view encoding) { encoding_ = encoding; }
  int UnitSize() const { return unitSize_; }
  std::u16string& ResultLog() { return resultLog_; }
  void LogFileError(int error);

 private:
  std::FILE* file_ = nullptr;
  uint32_t flags_ = 0;
  long long bytesToRead_ = 0;
  long long chunkSize_ = 16384;
  long long fileLength_ = 0;
  long long position_ = 0;
  int unitSize_ = 1;
  long long unitsMoved_ = 0;
  std::u16string resultLog_;
  std::u16string encoding_;
};

namespace xml {

// The encoding a text declares: the "encoding" of an "<?xml" declaration at
// offset 0, or the charset of an HTML meta Content-Type; empty when none.
std::u16string GetDeclaredEncoding(std::u16string_view text);

// A whole file's text in its encoding; false when it cannot be read (missing,
// not a regular file, larger than a document may be, not convertible).
bool ReadDocumentFile(const std::string& path, std::u16string& text);

// A document text written in the encoding it declares, for files the user
// keeps: through a temporary file in the same folder, renamed over `path`,
// so the target is replaced whole or not at all.
bool ReplaceDocumentFile(const std::string& path, std::u16string_view text);

}  // namespace xml
