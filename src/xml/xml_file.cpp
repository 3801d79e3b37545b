#include "xml/xml_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/text.h"
#include "xml/xml_document.h"
#include "xml/xml_encoding.h"
#include "xml/xml_entities.h"
#include "xml/xml_parser.h"

namespace {

struct ByteOrderMark {
  std::string_view bytes;
  std::u16string_view encoding;
  uint32_t flag;
};

// Searched in this order.
constexpr ByteOrderMark kMarks[] = {
    {"\xEF\xBB\xBF", u"UTF-8", kXmlUtf8Bom},
    {"\xFF\xFE", u"UTF-16LE", kXmlUtf16Le},
    {"\xFE\xFF", u"UTF-16BE", kXmlUtf16Be},
};
constexpr uint32_t kEncodingBits = kXmlUtf8Bom | kXmlUtf16Le | kXmlUtf16Be;
constexpr uint32_t kModeBits = kXmlFileRead | kXmlFileWrite | kXmlAppend;

const ByteOrderMark* MarkOfFlags(uint32_t flags) {
  for (const auto& m : kMarks)
    if (flags & m.flag) return &m;
  return nullptr;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && platform::AsciiLower(a) == platform::AsciiLower(b);
}

}  // namespace

XmlFile::~XmlFile() {
  if (file_) std::fclose(file_);
}

void XmlFile::LogFileError(int error) {
  char buffer[256];
  const char* msg = strerror_r(error, buffer, sizeof buffer);
  std::string text(msg ? msg : "");
  text = text.substr(0, text.find_first_of("\r\n"));
  if (text.size() > 100) text.resize(100);
  xml::AppendResultEntry(resultLog_, u"file_error", xml::kLogMsg | xml::kLogN, platform::Utf8ToUtf16(text), error);
}

bool XmlFile::Open(const std::string& path, uint32_t flags) {
  flags_ = flags;
  unitSize_ = 1;
  position_ = 0;
  fileLength_ = 0;
  encoding_.clear();

  if (flags & kXmlFileWrite) {
    file_ = std::fopen(path.c_str(), (flags & kXmlAppend) ? "ab" : "wb");
    if (!file_) {
      LogFileError(errno);
      return false;
    }
    if (flags & kXmlAppend) {
      std::fseek(file_, 0, SEEK_END);
      fileLength_ = std::ftell(file_);
      if (fileLength_ < 0) fileLength_ = 0;
    }
    if (const ByteOrderMark* mark = MarkOfFlags(flags)) {
      encoding_ = mark->encoding;
      if (mark->bytes.size() == 2) unitSize_ = 2;
      if (fileLength_ == 0) {
        if (std::fwrite(mark->bytes.data(), 1, mark->bytes.size(), file_) != mark->bytes.size()) {
          LogFileError(errno ? errno : EIO);
          return false;
        }
        position_ += int64_t(mark->bytes.size());
        xml::AppendResultEntry(resultLog_, u"bom", 0);
      }
    }
    return true;
  }

  // Reading: a regular file of bounded size. O_NONBLOCK keeps a FIFO from
  // blocking the open; such a file is then refused.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    LogFileError(errno);
    return false;
  }
  struct stat st;
  int error = 0;
  if (::fstat(fd, &st) != 0)
    error = errno;
  else if (S_ISDIR(st.st_mode))
    error = EISDIR;
  else if (!S_ISREG(st.st_mode))
    error = EINVAL;
  else if (st.st_size > kMaxFileBytes)
    error = EFBIG;
  if (!error) {
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    file_ = ::fdopen(fd, "rb");
    if (!file_) error = errno;
  }
  if (error) {
    if (!file_) ::close(fd);
    LogFileError(error);
    return false;
  }
  fileLength_ = st.st_size;

  char head[1024];
  const size_t n = std::fread(head, 1, fileLength_ < 1024 ? size_t(fileLength_) : 1024, file_);
  const std::string_view first(head, n);
  for (const auto& mark : kMarks) {
    if (first.substr(0, mark.bytes.size()) == mark.bytes) {
      // A mark decides alone: no detection bit from the caller survives it.
      flags_ = (flags_ & ~kEncodingBits) | mark.flag;
      encoding_ = mark.encoding;
      if (mark.bytes.size() == 2) unitSize_ = 2;
      position_ = int64_t(mark.bytes.size());
      xml::AppendResultEntry(resultLog_, u"bom", 0);
      break;
    }
  }
  if (!position_) {
    encoding_ = xml::GetDeclaredEncoding(platform::Utf8ToUtf16(first));
    if (encoding_.empty() && n && head[0] == '<') encoding_ = u"UTF-8";
  }
  if (std::fseek(file_, long(position_), SEEK_SET) != 0) {
    LogFileError(errno);
    return false;
  }
  return true;
}

bool XmlFile::ReadAll(std::u16string& text) {
  text.clear();
  bytesToRead_ = fileLength_ - position_;
  if (bytesToRead_ <= 0) {
    xml::AppendResultEntry(resultLog_, u"read", xml::kLogEncoding | xml::kLogLength, encoding_, 0);
    return true;
  }
  std::string bytes(size_t(bytesToRead_), '\0');
  const size_t got = std::fread(bytes.data(), 1, bytes.size(), file_);
  if (got != bytes.size()) {
    LogFileError(std::ferror(file_) && errno ? errno : EIO);
    return false;
  }
  position_ += int64_t(got);

  if (flags_ & (kXmlUtf16Le | kXmlUtf16Be)) {
    const size_t units = got / 2;
    unitsMoved_ = int64_t(units);
    xml::AppendResultEntry(resultLog_, u"read", xml::kLogEncoding | xml::kLogLength, encoding_, int64_t(units));
    text.reserve(units);
    size_t nulls = 0;
    for (size_t i = 0; i < units; ++i) {
      const char16_t u = char16_t(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8));
      if (u == 0)
        ++nulls;
      else
        text.push_back(u);
    }
    if (nulls) xml::AppendResultEntry(resultLog_, u"nulls_removed", xml::kLogCount, std::nullopt, int64_t(nulls));
    if (flags_ & kXmlUtf16Be) {
      for (auto& u : text) u = char16_t((u >> 8) | (u << 8));
      xml::AppendResultEntry(resultLog_, u"endian_swap", 0);
    }
    return true;
  }

  unitsMoved_ = int64_t(got);
  xml::AppendResultEntry(resultLog_, u"read", xml::kLogEncoding | xml::kLogLength, encoding_, int64_t(got));
  const size_t before = bytes.size();
  std::erase(bytes, '\0');
  if (bytes.size() != before)
    xml::AppendResultEntry(resultLog_, u"nulls_removed", xml::kLogCount, std::nullopt,
                           int64_t(before - bytes.size()));
  if (encoding_.empty()) {
    if (xml::TestUtf8(bytes.data(), bytes.size())) {
      encoding_ = u"UTF-8";
      xml::AppendResultEntry(resultLog_, u"read", xml::kLogUpdate | xml::kLogEncoding, encoding_);
    }
    xml::AppendResultEntry(resultLog_, u"utf8_detection", 0);
  }
  // A code page we cannot convert leaves no text, which is a failed read.
  const bool converted = xml::BytesToUtf16(encoding_, bytes, text);
  xml::AppendResultEntry(resultLog_, u"converted_to", xml::kLogEncoding | xml::kLogLength, u"UTF-16",
                         int64_t(text.size()));
  return converted;
}

bool XmlFile::WriteBytes(std::string_view bytes) {
  if (bytes.empty()) {
    xml::AppendResultEntry(resultLog_, u"write", xml::kLogEncoding | xml::kLogLength, encoding_, 0);
    return true;
  }
  const size_t put = std::fwrite(bytes.data(), 1, bytes.size(), file_);
  if (put != bytes.size()) {
    LogFileError(errno ? errno : EIO);
    return false;
  }
  position_ += int64_t(put);
  unitsMoved_ = int64_t(put / unitSize_);
  xml::AppendResultEntry(resultLog_, u"write", xml::kLogEncoding | xml::kLogLength, encoding_, unitsMoved_);
  return true;
}

bool XmlFile::Close() {
  if (!file_) return true;
  const int r = std::fclose(file_);
  file_ = nullptr;
  if (r != 0) {
    LogFileError(errno);
    return false;
  }
  return true;
}

bool XmlDocument::ReadTextFile(std::u16string& text, std::u16string& resultLog, const std::string& path,
                               uint32_t* flags) {
  text.clear();
  const uint32_t in = flags ? *flags : 0;
  XmlFile file;
  bool ok = file.Open(path, in | kXmlFileRead);
  if (ok) ok = file.ReadAll(text);
  if (!file.Close()) ok = false;
  if (!ok) text.clear();
  resultLog = std::move(file.ResultLog());
  if (flags) *flags = file.Flags() & ~kModeBits;
  return ok;
}

bool XmlDocument::WriteTextFile(std::u16string_view text, std::u16string& resultLog, const std::string& path,
                                uint32_t* flags) {
  const uint32_t in = flags ? *flags : 0;
  const ByteOrderMark* mark = MarkOfFlags(in);
  const bool units = mark && mark->bytes.size() == 2;

  // Convert before the file is opened, so that a conversion we cannot make
  // leaves an existing file as it was.
  std::u16string encoding(mark ? mark->encoding : u"");
  if (encoding.empty() && !text.empty()) {
    encoding = xml::GetDeclaredEncoding(text);
    if (encoding.empty()) encoding = u"UTF-8";
  }
  std::string bytes;
  bool loss = false;
  bool converted = true;
  if (units) {
    bytes.reserve(text.size() * 2);
    const bool big = mark->flag == kXmlUtf16Be;
    for (char16_t u : text) {
      bytes.push_back(char(big ? u >> 8 : u & 0xFF));
      bytes.push_back(char(big ? u & 0xFF : u >> 8));
    }
  } else if (!text.empty()) {
    converted = xml::Utf16ToBytes(encoding, text, bytes, loss);
  }

  XmlFile file;
  std::u16string& log = file.ResultLog();
  if (!converted) {
    xml::AppendResultEntry(log, u"converted_from", xml::kLogEncoding | xml::kLogLength, u"UTF-16", 0);
    resultLog = std::move(log);
    if (flags) *flags = in & ~kModeBits;
    return false;
  }
  bool ok = file.Open(path, in | kXmlFileWrite);
  if (ok) {
    file.SetEncoding(encoding);
    if (units) {
      if (mark->flag == kXmlUtf16Be) xml::AppendResultEntry(log, u"endian_swap", 0);
    } else if (!text.empty()) {
      xml::AppendResultEntry(log, u"converted_from", xml::kLogEncoding | xml::kLogLength, u"UTF-16",
                             int64_t(text.size()));
      if (loss) xml::AppendResultEntry(log, u"conversion_loss", 0);
    }
    ok = file.WriteBytes(bytes);
  }
  if (!file.Close()) ok = false;
  resultLog = std::move(log);
  if (flags) *flags = file.Flags() & ~kModeBits;
  return ok;
}

namespace xml {

std::u16string GetDeclaredEncoding(std::u16string_view text) {
  XmlNodeScanner scanner(text, kXmlIgnoreCase);
  XmlNode node;
  bool html = false;
  auto name = [&](const XmlNode& n) { return text.substr(n.nameStart, n.nameEnd - n.nameStart); };
  auto attribute = [&](uint32_t begin, uint32_t end, std::u16string_view wanted) -> std::u16string {
    XmlTokenScanner scan(text, begin, end);
    XmlAttributeSpan a;
    while (scan.NextAttribute(a))
      if (NameMatches(text.substr(a.nameStart, a.nameEnd - a.nameStart), wanted, true))
        return Unescape(text.substr(a.valueStart, a.valueEnd - a.valueStart));
    return {};
  };
  for (;;) {
    const int kind = scanner.NextNode(node);
    if (kind == kXmlNodeEnd || kind == kXmlNodeError) return {};
    if (kind == kXmlNodeProcessingInstruction) {
      if (node.start == 0 && EqualsIgnoreCase(name(node), u"xml"))
        return attribute(node.start + 2, node.start + node.length, u"encoding");
    } else if (kind == kXmlNodeStartTag) {
      if (!html) {
        if (!EqualsIgnoreCase(name(node), u"html")) return {};
        html = true;
      } else if (EqualsIgnoreCase(name(node), u"meta")) {
        const uint32_t b = node.start + 1, e = node.start + node.length;
        if (!EqualsIgnoreCase(attribute(b, e, u"http-equiv"), u"Content-Type")) continue;
        const std::u16string content = attribute(b, e, u"content");
        const std::u16string lower = platform::AsciiLower(content);
        size_t i = lower.find(u"charset");
        if (i == std::u16string::npos) continue;
        i += 7;
        while (i < content.size() && IsXmlSpace(content[i])) ++i;
        if (i >= content.size() || content[i] != u'=') continue;
        ++i;
        while (i < content.size() && IsXmlSpace(content[i])) ++i;
        size_t j = i;
        while (j < content.size() && !IsXmlSpace(content[j]) && content[j] != u';' && content[j] != u'"' &&
               content[j] != u'\'')
          ++j;
        return content.substr(i, j - i);
      }
    } else if (kind == kXmlNodeEndTag) {
      if (html && EqualsIgnoreCase(name(node), u"head")) return {};
    }
  }
}

bool ReadDocumentFile(const std::string& path, std::u16string& text) {
  std::u16string log;
  uint32_t flags = 0;
  return XmlDocument::ReadTextFile(text, log, path, &flags);
}

bool ReplaceDocumentFile(const std::string& path, std::u16string_view text) {
  return platform::ReplaceFileAtomically(path, [text](const std::string& tempPath) {
    std::u16string log;
    uint32_t flags = 0;
    return XmlDocument::WriteTextFile(text, log, tempPath, &flags);
  });
}

}  // namespace xml
