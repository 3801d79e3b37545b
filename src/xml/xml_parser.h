// The node scanner that the element pass and the encoding sniffing walk the
// text with, and the attribute scanner of start tags.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Node kinds.
inline constexpr int kXmlNodeEndTag = 0;
inline constexpr int kXmlNodeStartTag = 1;
inline constexpr int kXmlNodeText = 2;
inline constexpr int kXmlNodeWhitespace = 4;
inline constexpr int kXmlNodeCdata = 8;
inline constexpr int kXmlNodeProcessingInstruction = 16;
inline constexpr int kXmlNodeComment = 32;
inline constexpr int kXmlNodeDocumentType = 64;
inline constexpr int kXmlNodeError = -1;
inline constexpr int kXmlNodeEnd = -2;

inline constexpr uint32_t kXmlNodeEmptyElement = 0x10000;

// A syntax problem of one node, for the result log.
struct XmlSyntaxEntry {
  std::u16string_view event;  // "first_tag_syntax", "unterminated_tag_syntax", ...
  std::u16string_view type;   // node kind of an unterminated tag, else empty
  uint32_t offset = 0;        // the node's start
};

struct XmlNode {
  int kind = kXmlNodeEnd;
  uint32_t start = 0;
  uint32_t length = 0;
  uint32_t flags = 0;
  uint32_t nameStart = 0;  // tag or target name of start tags, end tags and processing instructions
  uint32_t nameEnd = 0;
  std::vector<XmlSyntaxEntry> syntax;
};

class XmlNodeScanner {
 public:
  XmlNodeScanner(std::u16string_view text, uint32_t flags) : text_(text), flags_(flags) {}

  // Fills `node` with the next node and advances past it; always advances
  // unless the end was reached.
  int NextNode(XmlNode& node);
  uint32_t Position() const { return pos_; }

 private:
  int Fail(XmlNode& node, std::u16string_view event, size_t from);
  int Unterminated(XmlNode& node, std::u16string_view type);
  size_t Find(std::u16string_view what, size_t from) const;

  std::u16string_view text_;
  uint32_t pos_ = 0;
  uint32_t nameStart_ = 0;
  uint32_t nameEnd_ = 0;
  uint32_t flags_;
};

// One attribute found in a start tag.
struct XmlAttributeSpan {
  uint32_t nameStart = 0, nameEnd = 0;
  bool hasValue = false;
  uint32_t valueStart = 0, valueEnd = 0;  // between the quotes
  uint32_t fullStart = 0, fullEnd = 0;    // the value with its quotes
};

// Walks the tokens of one start tag, never beyond `end` (the tag's end).
class XmlTokenScanner {
 public:
  // `begin` is the first character after "<" (or "<?").
  XmlTokenScanner(std::u16string_view text, uint32_t begin, uint32_t end);

  uint32_t TagNameStart() const { return tagNameStart_; }
  uint32_t TagNameEnd() const { return tagNameEnd_; }
  // End of the last attribute returned (or of the tag name).
  uint32_t LastEnd() const { return lastEnd_; }
  bool NextAttribute(XmlAttributeSpan& attribute);

 private:
  enum class Token { kNone, kRun, kQuoted, kDelimiter };
  Token Read(uint32_t& start, uint32_t& stop);
  void SkipSpace();

  std::u16string_view text_;
  uint32_t pos_;
  uint32_t end_;
  uint32_t tagNameStart_ = 0, tagNameEnd_ = 0;
  uint32_t lastEnd_ = 0;
  bool done_ = false;
};

namespace xml {

inline bool IsXmlSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// The characters that end a tag or attribute name for matching.
inline bool IsNameDelimiter(char16_t c) {
  switch (c) {
    case u' ': case u'\t': case u'\n': case u'\r': case u'<': case u'>': case u'=': case u'\\':
    case u'/': case u'?': case u'!': case u'"': case u'\'': case u';':
      return true;
    default:
      return false;
  }
}

// A name found in the text matches `wanted` when it equals wanted's leading
// characters and wanted goes on with nothing or one of " =/[]". With
// ignoreCase ASCII letters fold, until the first equal pair at or above U+0080.
bool NameMatches(std::u16string_view name, std::u16string_view wanted, bool ignoreCase);

}  // namespace xml
