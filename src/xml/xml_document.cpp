#include "xml/xml_document.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/text.h"
#include "xml/xml_entities.h"
#include "xml/xml_parser.h"

// ---------------------------------------------------------------------------
// XmlElementIndex

void XmlElementIndex::Grow(uint32_t n) {
  if (n <= capacity_) return;
  const size_t needBlocks = (size_t(n) + kBlockRecords - 1) / kBlockRecords;
  if (blocks_.capacity() < needBlocks) blocks_.reserve(needBlocks * 2 + 4);
  // Enlarge a partial last block by copying it into a bigger one.
  if (!blocks_.empty()) {
    const size_t before = (blocks_.size() - 1) * size_t(kBlockRecords);
    const size_t lastSize = capacity_ - before;
    if (lastSize < kBlockRecords) {
      const size_t newSize = std::min<size_t>(kBlockRecords, n - before);
      auto block = std::make_unique<XmlElementRecord[]>(newSize);
      std::copy(blocks_.back().get(), blocks_.back().get() + lastSize, block.get());
      blocks_.back() = std::move(block);
      capacity_ = uint32_t(before + newSize);
    }
  }
  while (capacity_ < n) {
    const size_t size = std::min<size_t>(kBlockRecords, size_t(n) - capacity_);
    blocks_.push_back(std::make_unique<XmlElementRecord[]>(size));
    capacity_ += uint32_t(size);
  }
}

void XmlElementIndex::Clear() {
  blocks_.clear();
  blocks_.shrink_to_fit();
  capacity_ = 0;
}

// ---------------------------------------------------------------------------
// Construction and parsing

namespace {

// Texts and records are addressed with 32-bit offsets.
constexpr size_t kMaxText = std::numeric_limits<uint32_t>::max() / 2;

}  // namespace

XmlDocument::XmlDocument() : index_(std::make_unique<XmlElementIndex>()) { SetDocument(nullptr); }

XmlDocument::XmlDocument(std::u16string_view text) : index_(std::make_unique<XmlElementIndex>()) {
  SetDocument(text);
}

XmlDocument::~XmlDocument() = default;

bool XmlDocument::SetDocument(const char16_t* text) {
  if (flags_ & (kXmlFileRead | kXmlFileWrite)) return false;
  if (!text) {
    text_.clear();
    index_->Clear();
    resultLog_.clear();
    return Parse();
  }
  return SetDocument(std::u16string_view(text));
}

bool XmlDocument::SetDocument(std::u16string_view text) {
  if (flags_ & (kXmlFileRead | kXmlFileWrite)) return false;
  text_.assign(text);
  resultLog_.clear();
  return Parse();
}

void XmlDocument::ClearCursor() {
  parent_ = current_ = currentChild_ = 0;
  nodeType_ = 0;
  nodeOffset_ = nodeLength_ = 0;
}

uint32_t XmlDocument::NewRecord() {
  if (recordsInUse_ >= index_->Capacity()) {
    const uint64_t grown = uint64_t(index_->Capacity()) + index_->Capacity() / 2 + 8;
    index_->Grow(uint32_t(std::min<uint64_t>(grown, std::numeric_limits<uint32_t>::max())));
  }
  const uint32_t r = recordsInUse_++;
  (*index_)[r] = XmlElementRecord{};
  return r;
}

void XmlDocument::LinkLastChild(uint32_t parent, uint32_t child) {
  XmlElementIndex& idx = *index_;
  const uint32_t first = idx[parent].firstChild;
  if (!first) {
    idx[parent].firstChild = child;
    idx[child].prevSibling = child;
    idx[child].flags |= kXmlRecFirstChild;
  } else {
    const uint32_t last = idx[first].prevSibling;
    idx[last].nextSibling = child;
    idx[child].prevSibling = last;
    idx[first].prevSibling = child;
  }
  idx[child].nextSibling = 0;
}

bool XmlDocument::Parse() {
  ClearCursor();
  recordsInUse_ = 1;
  const bool tooLong = text_.size() > kMaxText;
  index_->Grow(tooLong ? 8 : uint32_t(text_.size() / 64 + 8));
  XmlElementIndex& idx = *index_;
  idx[0] = XmlElementRecord{};
  freeRecordHead_ = 0;
  if (tooLong) return false;
  uint32_t root = 0;
  if (!text_.empty()) {
    root = ParseElements();
    idx[0].length = uint32_t(text_.size());
    if (!root) {
      Log(u"no_root_element", 0);
    } else {
      idx[0].firstChild = root;
      if (idx[root].nextSibling) Log(u"root_has_sibling", 0);
    }
  }
  ClearCursor();
  const bool clean = !(idx[0].flags & kXmlRecSyntaxError);
  if (flags_ & kXmlFileWrite) return true;
  if (flags_ & kXmlFileRead) return clean;
  return clean && root && !idx[root].nextSibling;
}

XmlElementRecord XmlDocument::Record(uint32_t element) const {
  if (!index_->Capacity()) return {};
  return (*index_)[Checked(element)];
}

// ---------------------------------------------------------------------------
// Navigation

namespace {

enum class PathKind { kNone, kRelative, kAbsolute, kAnywhere, kInvalid };

// The form of a path: "/" or "//", steps "a/b", predicates "[2]" or
// "[@name='v']", a final "/@attr". Only the first step's name is used for
// matching; the rest is checked for form only.
class XmlPathParser {
 public:
  explicit XmlPathParser(std::u16string_view path) : p_(path) {}

  PathKind Parse(std::u16string_view& firstStep) {
    if (p_.empty()) return PathKind::kNone;
    PathKind kind = PathKind::kRelative;
    if (p_.substr(0, 2) == u"//") {
      kind = PathKind::kAnywhere;
      i_ = 2;
    } else if (p_[0] == u'/') {
      kind = PathKind::kAbsolute;
      i_ = 1;
    }
    bool firstDone = false;
    for (;;) {
      const size_t s = i_;
      if (i_ < p_.size() && p_[i_] == u'@') {
        // Attribute step: must be the last one and not the first.
        if (!firstDone) return PathKind::kInvalid;
        ++i_;
        const size_t n = Name();
        return n && i_ == p_.size() ? kind : PathKind::kInvalid;
      }
      if (!Name()) return PathKind::kInvalid;
      if (!firstDone) {
        firstStep = p_.substr(s, i_ - s);
        firstDone = true;
      }
      while (i_ < p_.size() && p_[i_] == u'[')
        if (!Predicate()) return PathKind::kInvalid;
      if (i_ == p_.size()) return kind;
      if (p_[i_] != u'/') return PathKind::kInvalid;
      ++i_;
      if (kind == PathKind::kAnywhere && !(i_ < p_.size() && p_[i_] == u'@')) return PathKind::kInvalid;
    }
  }

 private:
  static bool EndsStep(char16_t c) { return c == u' ' || c == u'=' || c == u'/' || c == u'[' || c == u']'; }

  size_t Name() {
    const size_t s = i_;
    while (i_ < p_.size() && !EndsStep(p_[i_])) ++i_;
    return i_ - s;
  }

  bool Predicate() {
    ++i_;  // '['
    if (i_ < p_.size() && p_[i_] >= u'1' && p_[i_] <= u'9') {
      while (i_ < p_.size() && p_[i_] >= u'0' && p_[i_] <= u'9') ++i_;
    } else if (i_ < p_.size() && p_[i_] == u'@') {
      ++i_;
      const size_t s = i_;
      while (i_ < p_.size() && p_[i_] != u'=' && p_[i_] != u']') ++i_;
      if (i_ == s) return false;
      if (i_ < p_.size() && p_[i_] == u'=') {
        ++i_;
        if (i_ < p_.size() && (p_[i_] == u'\'' || p_[i_] == u'"')) {
          const char16_t q = p_[i_];
          const size_t close = p_.find(q, i_ + 1);
          if (close == std::u16string_view::npos) return false;
          i_ = close + 1;
        } else {
          while (i_ < p_.size() && p_[i_] != u']') ++i_;
        }
      }
    } else {
      return false;
    }
    if (i_ >= p_.size() || p_[i_] != u']') return false;
    ++i_;
    return true;
  }

  std::u16string_view p_;
  size_t i_ = 0;
};

}  // namespace

std::u16string_view XmlDocument::TagNameView(uint32_t element) const {
  element = Checked(element);
  if (!element) return {};
  const XmlElementRecord& rec = (*index_)[element];
  const std::u16string_view text(text_);
  const size_t end = std::min<size_t>(size_t(rec.start) + rec.startTagLength, text.size());
  size_t i = size_t(rec.start) + 1;
  const size_t s = i;
  while (i < end && !xml::IsNameDelimiter(text[i])) ++i;
  return i > s ? text.substr(s, i - s) : std::u16string_view();
}

std::u16string XmlDocument::GetTagName(uint32_t element) const { return std::u16string(TagNameView(element)); }

bool XmlDocument::FindElement(std::u16string_view name) {
  if ((flags_ & kXmlFileWrite) || !index_->Capacity()) return false;
  std::u16string_view step;
  const PathKind kind = XmlPathParser(name).Parse(step);
  if (kind != PathKind::kNone && kind != PathKind::kRelative) return false;
  const XmlElementIndex& idx = *index_;
  uint32_t candidate = current_ ? idx[current_].nextSibling : idx[parent_].firstChild;
  const bool ignoreCase = flags_ & kXmlIgnoreCase;
  for (; candidate; candidate = idx[candidate].nextSibling) {
    if (kind == PathKind::kNone || xml::NameMatches(TagNameView(candidate), name, ignoreCase)) {
      parent_ = idx[candidate].parent;
      current_ = candidate;
      currentChild_ = 0;
      nodeType_ = 1;
      nodeOffset_ = nodeLength_ = 0;
      return true;
    }
  }
  return false;
}

bool XmlDocument::EnterElement() {
  if (!current_ || nodeType_ != 1) return false;
  parent_ = current_;
  current_ = currentChild_;
  currentChild_ = 0;
  nodeType_ = current_ ? 1 : 0;
  nodeOffset_ = nodeLength_ = 0;
  return true;
}

bool XmlDocument::LeaveElement() {
  if (!parent_) return false;
  currentChild_ = current_;
  current_ = parent_;
  parent_ = (*index_)[current_].parent;
  nodeType_ = 1;
  nodeOffset_ = nodeLength_ = 0;
  return true;
}

// ---------------------------------------------------------------------------
// Attributes

std::u16string XmlDocument::GetAttribute(std::u16string_view name) const {
  return GetElementAttribute(current_, name);
}

std::u16string XmlDocument::GetElementAttribute(uint32_t element, std::u16string_view name) const {
  element = Checked(element);
  if (!element || nodeType_ != 1) return {};
  const XmlElementRecord& rec = (*index_)[element];
  XmlTokenScanner scan(text_, rec.start + 1, rec.start + rec.startTagLength);
  XmlAttributeSpan a;
  const bool ignoreCase = flags_ & kXmlIgnoreCase;
  const std::u16string_view text(text_);
  while (scan.NextAttribute(a)) {
    if (xml::NameMatches(text.substr(a.nameStart, a.nameEnd - a.nameStart), name, ignoreCase))
      return a.hasValue ? xml::Unescape(text.substr(a.valueStart, a.valueEnd - a.valueStart)) : std::u16string();
  }
  return {};
}

bool XmlDocument::SetAttribute(uint32_t element, std::u16string_view name, std::u16string_view value,
                               uint32_t escapeFlags) {
  element = Checked(element);
  if ((flags_ & kXmlFileRead) || !element || nodeType_ != 1 || name.empty()) return false;
  const XmlElementRecord rec = (*index_)[element];
  const std::u16string escaped = xml::Escape(value, escapeFlags | xml::kEscapeAttribute);
  XmlTokenScanner scan(text_, rec.start + 1, rec.start + rec.startTagLength);
  XmlAttributeSpan a;
  const bool ignoreCase = flags_ & kXmlIgnoreCase;
  const std::u16string_view text(text_);
  uint32_t offset, removed;
  std::u16string inserted;
  bool found = false;
  while (scan.NextAttribute(a)) {
    if (xml::NameMatches(text.substr(a.nameStart, a.nameEnd - a.nameStart), name, ignoreCase)) {
      found = true;
      break;
    }
  }
  if (found && a.hasValue) {
    offset = a.fullStart;
    removed = a.fullEnd - a.fullStart;
    inserted = u"\"" + escaped + u"\"";
  } else if (found) {
    offset = a.nameEnd;
    removed = 0;
    inserted = u"=\"" + escaped + u"\"";
  } else {
    offset = scan.LastEnd();
    removed = 0;
    inserted = u" " + std::u16string(name) + u"=\"" + escaped + u"\"";
  }
  if (!Splice(offset, removed, inserted)) return false;
  const int64_t delta = int64_t(inserted.size()) - removed;
  (*index_)[element].startTagLength = uint32_t(rec.startTagLength + delta);
  ShiftAfterEdit(element, rec.firstChild, delta);
  return true;
}

bool XmlDocument::SetAttributeInt(std::u16string_view name, int value) {
  return SetAttribute(current_, name, platform::FormatDecimal(value), 0);
}

// ---------------------------------------------------------------------------
// Adding elements

bool XmlDocument::AddElement(std::u16string_view name, const char16_t* data, uint32_t flags) {
  if (!data) return AddElement(name, std::u16string_view(), flags | 0x80000000u);
  return AddElement(name, std::u16string_view(data), flags);
}

bool XmlDocument::AddElement(std::u16string_view name, std::u16string_view data, uint32_t flags) {
  // The high bit (internal) marks "no data" as against empty data.
  const bool hasData = !(flags & 0x80000000u);
  flags &= ~0x80000000u;
  const bool asChild = flags & kXmlAddAsChild;
  const bool breaks = !(flags & kXmlAddNoLineBreaks);
  if (flags_ & kXmlFileRead) return false;
  if (asChild && (!current_ || (flags_ & kXmlFileWrite))) return false;
  if ((flags & kXmlAddStartTagOnly) && !data.empty()) return false;
  if (name.empty()) return false;
  if (!index_->Capacity()) {
    index_->Grow(8);
    (*index_)[0] = XmlElementRecord{};
    recordsInUse_ = 1;
  }

  // The element's own text.
  const uint32_t nameLength = uint32_t(name.size());
  std::u16string element;
  uint32_t startTagLength, endTagLength = 0;
  if (hasData && !(flags & kXmlAddStartTagOnly)) {
    element = u"<" + std::u16string(name) + u">";
    element += (flags & kXmlAddCdata) ? xml::CdataWrap(data) : xml::Escape(data, flags & kXmlAddKeepReferences);
    element += u"</" + std::u16string(name) + u">";
    startTagLength = nameLength + 2;
    endTagLength = nameLength + 3;
  } else {
    if (flags & kXmlAddStartTagOnly)
      element = u"<" + std::u16string(name) + u">";
    else if (flags & kXmlAddSpaceBeforeSlash)
      element = u"<" + std::u16string(name) + u" />";
    else
      element = u"<" + std::u16string(name) + u"/>";
    startTagLength = uint32_t(element.size());
  }
  const uint32_t elementLength = uint32_t(element.size());
  if (breaks) element += u"\r\n";

  // Where it goes in the tree.
  XmlElementIndex& idx = *index_;
  const uint32_t parent = asChild ? current_ : parent_;
  uint32_t after = asChild ? currentChild_ : current_;
  if (!after && idx[parent].firstChild) after = idx[idx[parent].firstChild].prevSibling;

  // Where it goes in the text, and what the parent's tags become.
  uint32_t offset, removed = 0;
  std::u16string inserted;
  uint32_t elementStart;
  enum { kPlain, kOpenEmptyParent, kCloseParent } change = kPlain;
  const std::u16string_view text(text_);
  if (after) {
    offset = idx[after].start + idx[after].length;
    if (breaks) {
      size_t i = offset;
      while (i < text.size() && xml::IsXmlSpace(text[i])) ++i;
      if (i < text.size() && text[i] == u'<') offset = uint32_t(i);
    }
    inserted = element;
    elementStart = offset;
  } else if (!parent) {
    offset = uint32_t(text.size());
    inserted = element;
    elementStart = offset;
  } else {
    const XmlElementRecord& p = idx[parent];
    const std::u16string pname(TagNameView(parent));
    const std::u16string_view lead = breaks ? u"\r\n" : u"";
    if (p.endTagLength) {
      offset = p.start + p.length - p.endTagLength;
      const bool nothingBetween = p.length == p.startTagLength + p.endTagLength;
      inserted = (nothingBetween ? std::u16string(lead) : std::u16string()) + element;
      elementStart = offset + (nothingBetween ? uint32_t(lead.size()) : 0);
    } else if (!(p.flags & kXmlRecNoEndTag) && p.startTagLength >= 2 &&
               text[p.start + p.startTagLength - 2] == u'/') {
      // "<p/>" or "<p />" opens up: "<p>" + element + "</p>".
      offset = p.start + p.startTagLength - 2;
      removed = 1;
      inserted = u">" + std::u16string(lead) + element + u"</" + pname;
      elementStart = offset + 1 + uint32_t(lead.size());
      change = kOpenEmptyParent;
    } else {
      // A start tag without end tag is closed behind the new element.
      offset = p.start + p.startTagLength;
      inserted = std::u16string(lead) + element + u"</" + pname + u">";
      elementStart = offset + uint32_t(lead.size());
      change = kCloseParent;
    }
  }

  if (!Splice(offset, removed, inserted)) return false;
  const int64_t delta = int64_t(inserted.size()) - removed;

  const uint32_t r = NewRecord();
  XmlElementRecord& rec = idx[r];
  rec.start = elementStart;
  rec.length = elementLength;
  rec.startTagLength = startTagLength;
  rec.endTagLength = endTagLength;
  rec.flags = (flags & kXmlAddStartTagOnly) ? kXmlRecNoEndTag : 0;
  rec.parent = parent;
  rec.level = parent ? idx[parent].level + 1 : 0;
  if (after) {
    const uint32_t next = idx[after].nextSibling;
    rec.nextSibling = next;
    rec.prevSibling = after;
    idx[after].nextSibling = r;
    if (next)
      idx[next].prevSibling = r;
    else
      idx[idx[parent].firstChild].prevSibling = r;
  } else {
    LinkLastChild(parent, r);
  }

  ShiftAfterEdit(parent, idx[r].nextSibling, delta);
  if (change != kPlain) {
    XmlElementRecord& p = idx[parent];
    if (change == kOpenEmptyParent) p.startTagLength = offset + 1 - p.start;
    p.endTagLength = uint32_t(TagNameView(parent).size()) + 3;
    p.flags &= ~kXmlRecNoEndTag;
  }

  if (asChild) {
    currentChild_ = r;
  } else {
    current_ = r;
    currentChild_ = 0;
  }
  nodeType_ = 1;
  nodeOffset_ = nodeLength_ = 0;
  return true;
}

// ---------------------------------------------------------------------------
// Splicing

bool XmlDocument::Splice(uint32_t offset, uint32_t removed, std::u16string_view inserted) {
  const size_t needed = text_.size() - removed + inserted.size();
  if (needed > kMaxText || offset > text_.size()) return false;
  if (needed > text_.capacity()) text_.reserve(needed + needed / 2 + 128);
  text_.replace(offset, removed, inserted);
  return true;
}

void XmlDocument::ShiftSubtree(uint32_t top, uint32_t delta) {
  XmlElementIndex& idx = *index_;
  uint32_t n = top;
  for (;;) {
    idx[n].start += delta;
    if (idx[n].firstChild) {
      n = idx[n].firstChild;
      continue;
    }
    for (;;) {
      if (n == top) return;
      if (idx[n].nextSibling) {
        n = idx[n].nextSibling;
        break;
      }
      n = idx[n].parent;
    }
  }
}

// After a change of `delta` characters inside `context`: every element that
// encloses the change grows, every element after it moves. Those are the
// children of the context from `firstShiftedChild` on, and the following
// siblings of the context and of each of its ancestors, with their subtrees.
void XmlDocument::ShiftAfterEdit(uint32_t context, uint32_t firstShiftedChild, int64_t delta) {
  if (!delta) return;
  XmlElementIndex& idx = *index_;
  const uint32_t d = uint32_t(delta);  // modular arithmetic handles shrinking
  for (uint32_t s = firstShiftedChild; s; s = idx[s].nextSibling) ShiftSubtree(s, d);
  for (uint32_t a = context;; a = idx[a].parent) {
    idx[a].length += d;
    if (!a) break;
    for (uint32_t s = idx[a].nextSibling; s; s = idx[s].nextSibling) ShiftSubtree(s, d);
  }
}

// ---------------------------------------------------------------------------
// Result log

class XmlResultLogWriter {
 public:
  static void Append(std::u16string& log, std::u16string_view event, uint32_t flags,
                     std::optional<std::u16string_view> value, int64_t number, int64_t number2) {
    if (log.size() >= 1000) return;
    XmlDocument doc;
    doc.quiet_ = true;
    doc.SetDocument(std::u16string_view(log));
    bool found = false;
    if (flags & xml::kLogUpdate) found = doc.FindElement(event);
    if (!found) {
      // The cursor is cleared, so the entry goes after the last one.
      if (!doc.AddElement(event, nullptr, kXmlAddNoLineBreaks)) return;
    }
    const uint32_t e = doc.CurrentElement();
    if (value) {
      const char16_t* key = (flags & xml::kLogType)       ? u"type"
                            : (flags & xml::kLogEncoding) ? u"encoding"
                            : (flags & xml::kLogMsg)      ? u"msg"
                                                          : u"tagname";
      doc.SetAttribute(e, key, *value, 0);
    }
    const auto number_text = [](int64_t v) { return platform::FormatDecimal(v); };
    if (flags & xml::kLogN)
      doc.SetAttribute(e, u"n", number_text(number), 0);
    else if (flags & xml::kLogCount)
      doc.SetAttribute(e, u"count", number_text(number), 0);
    else if (flags & xml::kLogLength)
      doc.SetAttribute(e, u"length", number_text(number), 0);
    else if (number != -1)
      doc.SetAttribute(e, u"offset", number_text(number), 0);
    if (number2 != -1) doc.SetAttribute(e, u"offset2", number_text(number2), 0);
    log = std::move(doc.text_);
  }
};

void XmlDocument::Log(std::u16string_view event, uint32_t flags, std::optional<std::u16string_view> value,
                      int64_t number, int64_t number2) {
  if (quiet_) return;
  XmlResultLogWriter::Append(resultLog_, event, flags, value, number, number2);
}

namespace xml {

void AppendResultEntry(std::u16string& log, std::u16string_view event, uint32_t flags,
                       std::optional<std::u16string_view> value, int64_t number, int64_t number2) {
  XmlResultLogWriter::Append(log, event, flags, value, number, number2);
}

}  // namespace xml
