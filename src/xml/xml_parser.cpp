#include "xml/xml_parser.h"

#include <unordered_map>

#include "xml/xml_document.h"

using xml::IsNameDelimiter;
using xml::IsXmlSpace;

namespace {

bool EndsStartTagName(char16_t c) { return IsXmlSpace(c) || c == u'/' || c == u'>'; }

char16_t Fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

}  // namespace

namespace xml {

bool NameMatches(std::u16string_view name, std::u16string_view wanted, bool ignoreCase) {
  if (name.size() > wanted.size()) return false;
  bool exact = !ignoreCase;
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t a = name[i], b = wanted[i];
    if (!exact && a == b && a >= 0x80) exact = true;
    if (exact ? a != b : Fold(a) != Fold(b)) return false;
  }
  if (name.size() == wanted.size()) return true;
  switch (wanted[name.size()]) {
    case u' ': case u'=': case u'/': case u'[': case u']':
      return true;
    default:
      return false;
  }
}

}  // namespace xml

size_t XmlNodeScanner::Find(std::u16string_view what, size_t from) const {
  if (from >= text_.size()) return std::u16string_view::npos;
  return text_.find(what, from);
}

int XmlNodeScanner::Fail(XmlNode& node, std::u16string_view event, size_t from) {
  node.syntax.push_back({event, {}, node.start});
  const size_t gt = Find(u">", from);
  const size_t next = gt == std::u16string_view::npos ? text_.size() : gt + 1;
  pos_ = uint32_t(next > node.start ? next : node.start + 1);
  node.length = pos_ - node.start;
  node.kind = kXmlNodeError;
  return kXmlNodeError;
}

int XmlNodeScanner::Unterminated(XmlNode& node, std::u16string_view type) {
  node.syntax.push_back({u"unterminated_tag_syntax", type, node.start});
  pos_ = uint32_t(text_.size());
  node.length = pos_ - node.start;
  node.kind = kXmlNodeError;
  return kXmlNodeError;
}

int XmlNodeScanner::NextNode(XmlNode& node) {
  node.syntax.clear();
  node.flags = 0;
  node.nameStart = node.nameEnd = 0;
  const size_t len = text_.size();
  const char16_t* t = text_.data();
  const size_t p = pos_;
  node.start = uint32_t(p);
  node.length = 0;
  if (p >= len) {
    node.kind = kXmlNodeEnd;
    return kXmlNodeEnd;
  }

  if (t[p] != u'<') {
    size_t q = p;
    while (q < len && IsXmlSpace(t[q])) ++q;
    const bool whitespace = q >= len || t[q] == u'<';
    while (q < len && t[q] != u'<') ++q;
    pos_ = uint32_t(q);
    node.length = uint32_t(q - p);
    node.kind = whitespace ? kXmlNodeWhitespace : kXmlNodeText;
    return node.kind;
  }

  if (p + 1 >= len) return Unterminated(node, u"tag");
  const char16_t c = t[p + 1];

  auto finish = [&](size_t end, int kind) {
    pos_ = uint32_t(end);
    node.length = uint32_t(end - p);
    node.kind = kind;
    return kind;
  };

  if (c == u'/') {
    size_t q = p + 2;
    while (q < len && !EndsStartTagName(t[q])) ++q;
    nameStart_ = uint32_t(p + 2);
    nameEnd_ = uint32_t(q);
    node.nameStart = nameStart_;
    node.nameEnd = nameEnd_;
    const size_t gt = Find(u">", p + 2);
    if (gt == std::u16string_view::npos) return Unterminated(node, u"end_tag");
    return finish(gt + 1, kXmlNodeEndTag);
  }

  if (c == u'?') {
    size_t q = p + 2;
    while (q < len && !EndsStartTagName(t[q]) && t[q] != u'?') ++q;
    node.nameStart = uint32_t(p + 2);
    node.nameEnd = uint32_t(q);
    const size_t close = Find(u"?>", p + 2);
    if (close == std::u16string_view::npos) return Unterminated(node, u"processing_instruction");
    return finish(close + 2, kXmlNodeProcessingInstruction);
  }

  if (c == u'!') {
    if (p + 2 >= len) return Unterminated(node, u"tag");
    const char16_t d = t[p + 2];
    if (d == u'-') {
      if (p + 3 >= len || t[p + 3] != u'-') return Fail(node, u"comment_tag_syntax", p + 1);
      const size_t close = Find(u"-->", p + 4);
      if (close == std::u16string_view::npos) return Unterminated(node, u"comment");
      return finish(close + 3, kXmlNodeComment);
    }
    if (d == u'[') {
      if (p + 3 >= len || t[p + 3] != u'C') return Fail(node, u"cdata_section_syntax", p + 1);
      const size_t close = Find(u"]]>", p + 4);
      if (close == std::u16string_view::npos) return Unterminated(node, u"cdata_section");
      return finish(close + 3, kXmlNodeCdata);
    }
    if (d == u'D') {
      size_t q = p + 3;
      while (q < len) {
        const char16_t e = t[q];
        if (e == u'>') return finish(q + 1, kXmlNodeDocumentType);
        if (e == u'<' && q + 1 < len && t[q + 1] == u'!') {
          if (q + 3 < len && t[q + 2] == u'-' && t[q + 3] == u'-') {
            const size_t close = Find(u"-->", q + 4);
            if (close == std::u16string_view::npos) return Unterminated(node, u"document_type");
            q = close + 3;
            continue;
          }
          if (q + 2 < len && (t[q + 2] == u'E' || t[q + 2] == u'A' || t[q + 2] == u'N')) {
            size_t r = q + 3;
            while (r < len && t[r] != u'>') {
              if (t[r] == u'"' || t[r] == u'\'') {
                const size_t close = text_.find(t[r], r + 1);
                r = close == std::u16string_view::npos ? len : close + 1;
              } else {
                ++r;
              }
            }
            if (r >= len) return Unterminated(node, u"document_type");
            q = r + 1;
            continue;
          }
          if (q + 2 >= len) return Unterminated(node, u"document_type");
          return Fail(node, u"doctype_tag_syntax", q + 1);
        }
        ++q;
      }
      return Unterminated(node, u"document_type");
    }
    return Fail(node, u"exclamation_tag_syntax", p + 1);
  }

  if (c != u':' && c != u'_' && (c <= 0x40 || (c >= 0x5B && c <= 0x60)))
    return Fail(node, u"first_tag_syntax", p + 1);

  // Start tag.
  size_t q = p + 1;
  while (q < len && !EndsStartTagName(t[q])) ++q;
  const size_t nameEnd = q;
  nameStart_ = uint32_t(p + 1);
  nameEnd_ = uint32_t(nameEnd);
  node.nameStart = nameStart_;
  node.nameEnd = nameEnd_;
  bool afterEquals = false;
  while (q < len) {
    const char16_t e = t[q];
    if (e == u'>') break;
    if (e == u'=') {
      afterEquals = true;
    } else if ((e == u'"' || e == u'\'') && afterEquals) {
      const size_t close = text_.find(e, q + 1);
      if (close == std::u16string_view::npos) {
        q = len;
        break;
      }
      q = close;
      afterEquals = false;
    } else if (!IsXmlSpace(e)) {
      afterEquals = false;
    }
    ++q;
  }
  if (q >= len) return Unterminated(node, u"start_tag");
  if (q - 1 >= nameEnd && t[q - 1] == u'/') {
    const size_t slash = q - 1;
    if (slash == nameEnd || IsXmlSpace(t[slash - 1]) || t[slash - 1] == u'"' || t[slash - 1] == u'\'')
      node.flags |= kXmlNodeEmptyElement;
  }
  return finish(q + 1, kXmlNodeStartTag);
}

XmlTokenScanner::XmlTokenScanner(std::u16string_view text, uint32_t begin, uint32_t end)
    : text_(text), pos_(begin), end_(end < text.size() ? end : uint32_t(text.size())) {
  uint32_t s, e;
  if (Read(s, e) != Token::kNone) {
    tagNameStart_ = s;
    tagNameEnd_ = e;
  } else {
    tagNameStart_ = tagNameEnd_ = pos_;
  }
  lastEnd_ = tagNameEnd_;
}

void XmlTokenScanner::SkipSpace() {
  while (pos_ < end_ && IsXmlSpace(text_[pos_])) ++pos_;
}

XmlTokenScanner::Token XmlTokenScanner::Read(uint32_t& start, uint32_t& stop) {
  SkipSpace();
  start = stop = pos_;
  if (pos_ >= end_) return Token::kNone;
  const char16_t c = text_[pos_];
  if (c == u'"' || c == u'\'') {
    uint32_t q = pos_ + 1;
    while (q < end_ && text_[q] != c) ++q;
    pos_ = q < end_ ? q + 1 : end_;
    stop = pos_;
    return Token::kQuoted;
  }
  if (IsNameDelimiter(c)) {
    stop = ++pos_;
    return Token::kDelimiter;
  }
  while (pos_ < end_ && !IsNameDelimiter(text_[pos_])) ++pos_;
  stop = pos_;
  return Token::kRun;
}

bool XmlTokenScanner::NextAttribute(XmlAttributeSpan& a) {
  while (!done_) {
    uint32_t s, e;
    const Token tok = Read(s, e);
    if (tok == Token::kNone) break;
    if (tok == Token::kDelimiter) {
      const char16_t c = text_[s];
      if (c == u'/' || c == u'>' || c == u'?') break;
      continue;  // a stray character
    }
    if (tok == Token::kQuoted) continue;
    a = XmlAttributeSpan{};
    a.nameStart = s;
    a.nameEnd = e;
    lastEnd_ = e;
    const uint32_t save = pos_;
    SkipSpace();
    if (pos_ < end_ && text_[pos_] == u'=') {
      ++pos_;
      SkipSpace();
      a.hasValue = true;
      if (pos_ < end_ && (text_[pos_] == u'"' || text_[pos_] == u'\'')) {
        const char16_t q = text_[pos_];
        a.fullStart = pos_;
        a.valueStart = pos_ + 1;
        uint32_t r = pos_ + 1;
        while (r < end_ && text_[r] != q) ++r;
        a.valueEnd = r;
        a.fullEnd = r < end_ ? r + 1 : end_;
      } else {
        a.fullStart = a.valueStart = pos_;
        uint32_t r = pos_;
        while (r < end_ && !IsXmlSpace(text_[r]) && text_[r] != u'>') ++r;
        a.fullEnd = a.valueEnd = r;
      }
      pos_ = a.fullEnd;
      lastEnd_ = a.fullEnd;
    } else {
      pos_ = save;
    }
    return true;
  }
  done_ = true;
  return false;
}

// ---------------------------------------------------------------------------
// The element pass.

namespace {

// One open element: its record and where its name lies in the text.
struct OpenElement {
  uint32_t record;
  uint32_t nameStart;
  uint32_t nameLength;
  uint64_t hash;
};

// The open elements, innermost last. Besides the stack it counts the open
// elements per name hash, so an end tag that matches nothing open is known
// without walking the whole stack (deep documents stay linear).
class XmlTagStack {
 public:
  XmlTagStack() { entries_.reserve(7); }
  bool Empty() const { return entries_.empty(); }
  size_t Depth() const { return entries_.size(); }
  OpenElement& Top() { return entries_.back(); }
  OpenElement& At(size_t i) { return entries_[i]; }
  void Push(const OpenElement& e) {
    entries_.push_back(e);
    ++counts_[e.hash];
  }
  void Pop() {
    --counts_[entries_.back().hash];
    entries_.pop_back();
  }
  bool MayHold(uint64_t hash) const {
    auto it = counts_.find(hash);
    return it != counts_.end() && it->second > 0;
  }

 private:
  std::vector<OpenElement> entries_;
  std::unordered_map<uint64_t, uint32_t> counts_;
};

uint64_t NameHash(std::u16string_view name, bool ignoreCase) {
  uint64_t h = 1469598103934665603ull;
  for (char16_t c : name) {
    h ^= ignoreCase ? Fold(c) : c;
    h *= 1099511628211ull;
  }
  return h;
}

bool SameName(std::u16string_view a, std::u16string_view b, bool ignoreCase) {
  if (a.size() != b.size()) return false;
  if (!ignoreCase) return a == b;
  for (size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

}  // namespace

uint32_t XmlDocument::ParseElements() {
  XmlElementIndex& idx = *index_;
  const bool ignoreCase = flags_ & kXmlIgnoreCase;
  const std::u16string_view text(text_);
  XmlNodeScanner scanner(text, flags_);
  XmlNode node;
  XmlTagStack stack;
  uint32_t parent = 0;
  uint32_t first = 0;
  bool flattened = false;

  auto name = [&](const OpenElement& e) { return text.substr(e.nameStart, e.nameLength); };

  // An element without its end tag: its children become its following
  // siblings (their parent fields are settled after the pass).
  auto unend = [&](const OpenElement& e, uint32_t offset2) {
    const uint32_t u = e.record;
    const uint32_t up = idx[u].parent;
    idx[u].flags |= kXmlRecNoEndTag;
    idx[u].endTagLength = 0;
    idx[u].length = idx[u].startTagLength;
    const uint32_t c1 = idx[u].firstChild;
    if (c1) {
      const uint32_t last = idx[c1].prevSibling;
      idx[u].nextSibling = c1;
      idx[c1].prevSibling = u;
      idx[c1].flags &= ~kXmlRecFirstChild;
      idx[idx[up].firstChild].prevSibling = last;
      idx[u].firstChild = 0;
      flattened = true;
    }
    if (idx[u].flags & kXmlRecErrorInside) {
      idx[u].flags &= ~kXmlRecErrorInside;
      idx[up].flags |= kXmlRecErrorInside;
    }
    Log(u"unended_start_tag", 0, name(e), idx[u].start, offset2);
  };

  for (;;) {
    const int kind = scanner.NextNode(node);
    if (kind == kXmlNodeStartTag) {
      const uint32_t r = NewRecord();
      XmlElementRecord& rec = idx[r];
      rec = XmlElementRecord{};
      rec.start = node.start;
      rec.startTagLength = node.length;
      rec.length = node.length;
      rec.level = uint32_t(stack.Depth());
      rec.parent = parent;
      LinkLastChild(parent, r);
      if (!first) first = r;
      if (!(node.flags & kXmlNodeEmptyElement)) {
        const std::u16string_view n = text.substr(node.nameStart, node.nameEnd - node.nameStart);
        stack.Push({r, node.nameStart, uint32_t(n.size()), NameHash(n, ignoreCase)});
        parent = r;
      }
    } else if (kind == kXmlNodeEndTag) {
      const std::u16string_view n = text.substr(node.nameStart, node.nameEnd - node.nameStart);
      size_t match = stack.Depth();
      if (!stack.Empty() && SameName(name(stack.Top()), n, ignoreCase)) {
        match = stack.Depth() - 1;
      } else if (stack.MayHold(NameHash(n, ignoreCase))) {
        for (size_t i = stack.Depth(); i-- > 0;) {
          if (SameName(name(stack.At(i)), n, ignoreCase)) {
            match = i;
            break;
          }
        }
      }
      if (match == stack.Depth()) {
        idx[0].flags |= kXmlRecSyntaxError;
        Log(u"lone_end_tag", 0, n, node.start);
        continue;
      }
      if (match + 1 < stack.Depth()) idx[0].flags |= kXmlRecSyntaxError;
      while (stack.Depth() > match + 1) {
        unend(stack.Top(), node.start + 1);
        stack.Pop();
      }
      const uint32_t r = stack.Top().record;
      idx[r].length = node.start + node.length - idx[r].start;
      idx[r].endTagLength = node.length;
      stack.Pop();
      parent = stack.Empty() ? 0 : stack.Top().record;
    } else if (kind == kXmlNodeError) {
      idx[0].flags |= kXmlRecSyntaxError;
      idx[parent].flags |= kXmlRecErrorInside;
      for (const XmlSyntaxEntry& s : node.syntax) {
        if (s.type.empty())
          Log(s.event, 0, std::nullopt, s.offset);
        else
          Log(s.event, 0x02, s.type, s.offset);
      }
    } else if (kind == kXmlNodeEnd) {
      // Elements still open: the text was cut short, which is an error.
      if (!stack.Empty()) idx[0].flags |= kXmlRecSyntaxError;
      while (!stack.Empty()) {
        unend(stack.Top(), uint32_t(text.size()));
        stack.Pop();
      }
      break;
    }
  }

  if (flattened) {
    // Children moved out of unended elements take the unended element's
    // parent; parents precede their children in the records.
    for (uint32_t r = 1; r < recordsInUse_; ++r) {
      XmlElementRecord& rec = idx[r];
      if (rec.parent && (idx[rec.parent].flags & kXmlRecNoEndTag)) rec.parent = idx[rec.parent].parent;
      rec.level = rec.parent ? idx[rec.parent].level + 1 : 0;
    }
  }
  return first;
}
