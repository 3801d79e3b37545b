// XmlDocument: a whole XML document held as one UTF-16 text, an index of its
// elements and a cursor that walks the element tree. Every edit is a splice
// of the text, so the text is always the document exactly as it will be
// written; the index follows each splice.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Flags of a document, shared with the in/out flags of the file operations.
inline constexpr uint32_t kXmlUtf16Le = 0x01;      // the file is UTF-16 little-endian
inline constexpr uint32_t kXmlUtf8Bom = 0x04;      // the file is UTF-8 with a byte-order mark
inline constexpr uint32_t kXmlIgnoreCase = 0x08;   // tag and attribute names compare ASCII case-insensitively
inline constexpr uint32_t kXmlFileRead = 0x10;     // file-read mode (only during ReadTextFile)
inline constexpr uint32_t kXmlFileWrite = 0x20;    // file-write mode (only during WriteTextFile)
inline constexpr uint32_t kXmlAppend = 0x40;       // WriteTextFile appends to an existing file
inline constexpr uint32_t kXmlUtf16Be = 0x80;      // the file is UTF-16 big-endian

// AddElement flags.
inline constexpr uint32_t kXmlAddCdata = 0x01;          // data as a CDATA section
inline constexpr uint32_t kXmlAddNoLineBreaks = 0x02;
inline constexpr uint32_t kXmlAddSpaceBeforeSlash = 0x04;  // "<name />" for an element without data
inline constexpr uint32_t kXmlAddKeepReferences = 0x08;   // entity references in the data stay as they are
inline constexpr uint32_t kXmlAddStartTagOnly = 0x10;     // "<name>" without end tag
inline constexpr uint32_t kXmlAddAsChild = 0x4000;        // child of the current element

// Record flags.
inline constexpr uint32_t kXmlRecFirstChild = 0x80000;
inline constexpr uint32_t kXmlRecNoEndTag = 0x100000;
inline constexpr uint32_t kXmlRecErrorInside = 0x200000;
inline constexpr uint32_t kXmlRecSyntaxError = 0x800000;  // on record 0 only

// One element. Offsets and lengths count UTF-16 units of the document text.
// All fields are full width, so long tags and deep nesting cannot overflow.
struct XmlElementRecord {
  uint32_t start = 0;           // the '<' of the start tag
  uint32_t length = 0;          // start to the end of the end tag (or of the start tag)
  uint32_t startTagLength = 0;  // '<' to '>' inclusive
  uint32_t endTagLength = 0;    // "</name>", 0 when none
  uint32_t flags = 0;
  uint32_t level = 0;           // nesting level, the root is 0
  uint32_t parent = 0;          // 0 for top-level elements
  uint32_t firstChild = 0;
  uint32_t nextSibling = 0;
  uint32_t prevSibling = 0;     // the first child's is the last child
};

// Records in blocks of 65,536; an element index value (block << 16) | slot is
// therefore simply the record number. Record 0 is the document.
class XmlElementIndex {
 public:
  static constexpr uint32_t kBlockRecords = 65536;

  uint32_t Capacity() const { return capacity_; }
  // Makes room for at least n records; existing records keep their values.
  void Grow(uint32_t n);
  void Clear();
  XmlElementRecord& operator[](uint32_t i) { return blocks_[i >> 16][i & 0xFFFF]; }
  const XmlElementRecord& operator[](uint32_t i) const { return blocks_[i >> 16][i & 0xFFFF]; }

 private:
  std::vector<std::unique_ptr<XmlElementRecord[]>> blocks_;
  uint32_t capacity_ = 0;
};

class XmlDocument {
 public:
  XmlDocument();
  explicit XmlDocument(std::u16string_view text);
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Replaces the text (null: empties it and frees the index), clears the
  // result log and parses. Refused in file-read and file-write mode.
  bool SetDocument(const char16_t* text);
  bool SetDocument(std::u16string_view text);

  // Rebuilds the index; true when well-formed with exactly one root element.
  bool Parse();

  // Moves the cursor to the next element at the current level whose tag name
  // matches the first step of `name` (any element for an empty name).
  bool FindElement(std::u16string_view name);
  bool EnterElement();
  bool LeaveElement();

  std::u16string GetAttribute(std::u16string_view name) const;
  std::u16string GetElementAttribute(uint32_t element, std::u16string_view name) const;
  std::u16string GetTagName(uint32_t element) const;

  bool SetAttribute(uint32_t element, std::u16string_view name, std::u16string_view value, uint32_t escapeFlags = 0);
  bool SetAttributeInt(std::u16string_view name, int value);

  // Inserts an element after the current one (or, with kXmlAddAsChild, as a
  // child of it) and moves the cursor to it. Null data: an element without data.
  bool AddElement(std::u16string_view name, const char16_t* data = nullptr, uint32_t flags = 0);
  bool AddElement(std::u16string_view name, std::u16string_view data, uint32_t flags = 0);

  // Whole-file reading and writing in the file's encoding; `flags` may be null.
  static bool ReadTextFile(std::u16string& text, std::u16string& resultLog, const std::string& path,
                           uint32_t* flags);
  static bool WriteTextFile(std::u16string_view text, std::u16string& resultLog, const std::string& path,
                            uint32_t* flags);

  // The members callers hand to ReadTextFile / WriteTextFile.
  std::u16string& Text() { return text_; }
  const std::u16string& Text() const { return text_; }
  std::u16string& ResultLog() { return resultLog_; }
  const std::u16string& ResultLog() const { return resultLog_; }
  uint32_t& Flags() { return flags_; }
  uint32_t Flags() const { return flags_; }

  // Cursor and index, for readers that walk the tree themselves.
  uint32_t Parent() const { return parent_; }
  uint32_t CurrentElement() const { return current_; }
  uint32_t CurrentChild() const { return currentChild_; }
  int NodeType() const { return nodeType_; }
  uint32_t RecordsInUse() const { return recordsInUse_; }
  // A copy of an index record; record 0 for values out of range.
  XmlElementRecord Record(uint32_t element) const;

 private:
  friend class XmlResultLogWriter;

  void ClearCursor();
  uint32_t ParseElements();
  uint32_t NewRecord();
  void LinkLastChild(uint32_t parent, uint32_t child);
  uint32_t Checked(uint32_t element) const { return element < recordsInUse_ ? element : 0; }
  std::u16string_view TagNameView(uint32_t element) const;
  bool Splice(uint32_t offset, uint32_t removed, std::u16string_view inserted);
  void ShiftAfterEdit(uint32_t context, uint32_t firstShiftedChild, int64_t delta);
  void ShiftSubtree(uint32_t top, uint32_t delta);
  void Log(std::u16string_view event, uint32_t flags, std::optional<std::u16string_view> value = std::nullopt,
           int64_t number = -1, int64_t number2 = -1);

  std::u16string text_;
  std::u16string resultLog_;
  uint32_t parent_ = 0;
  uint32_t current_ = 0;
  uint32_t currentChild_ = 0;
  uint32_t recordsInUse_ = 0;
  uint32_t freeRecordHead_ = 0;
  int nodeType_ = 0;
  uint32_t nodeOffset_ = 0;
  uint32_t nodeLength_ = 0;
  uint32_t flags_ = 0;
  bool quiet_ = false;  // a result log's own document logs nothing
  std::unique_ptr<XmlElementIndex> index_;
};

namespace xml {

// Result-log entry flags: which attribute the string and the number go under.
inline constexpr uint32_t kLogCount = 0x01;
inline constexpr uint32_t kLogType = 0x02;
inline constexpr uint32_t kLogN = 0x04;
inline constexpr uint32_t kLogEncoding = 0x08;
inline constexpr uint32_t kLogLength = 0x10;
inline constexpr uint32_t kLogUpdate = 0x20;  // update the first entry of that name instead of adding one
inline constexpr uint32_t kLogMsg = 0x40;

// Adds (or updates) one entry "<event attr=.../>" in a result log. A log of
// 1,000 characters or more takes no further entries.
void AppendResultEntry(std::u16string& log, std::u16string_view event, uint32_t flags,
                       std::optional<std::u16string_view> value = std::nullopt, int64_t number = -1,
                       int64_t number2 = -1);

}  // namespace xml
