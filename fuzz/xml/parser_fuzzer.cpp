// Feeds arbitrary text to the parser, then walks and edits what it indexed.
// The first byte picks the form: bit 0 the rest is UTF-16LE (else UTF-8),
// bit 1 names compare case-insensitively, bit 2 the edit adds a child.
// Any record that points outside the text or outside its parent is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/text.h"
#include "xml/xml_document.h"
#include "xml/xml_encoding.h"
#include "xml/xml_entities.h"
#include "xml/xml_file.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Every element lies inside the text and inside its parent; sibling links
// are consistent.
void CheckIndex(const XmlDocument& doc) {
  const uint64_t size = doc.Text().size();
  const uint32_t records = doc.RecordsInUse();
  for (uint32_t e = 1; e < records; ++e) {
    const XmlElementRecord r = doc.Record(e);
    Check(uint64_t(r.start) + r.length <= size);
    Check(r.startTagLength <= r.length);
    Check(r.parent < records && r.firstChild < records && r.nextSibling < records && r.prevSibling < records);
    if (r.parent) {
      const XmlElementRecord p = doc.Record(r.parent);
      Check(r.start >= p.start && uint64_t(r.start) + r.length <= uint64_t(p.start) + p.length);
      Check(r.level == p.level + 1);
    }
    if (r.nextSibling) Check(doc.Record(r.nextSibling).prevSibling == e);
    doc.GetTagName(e);
  }
}

void Walk(XmlDocument& doc, int budget) {
  while (budget-- > 0 && doc.FindElement(u"")) {
    doc.GetAttribute(u"name");
    doc.GetAttribute(u"encoding");
    if (doc.EnterElement()) {
      Walk(doc, budget / 2);
      doc.LeaveElement();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  ++data;
  --size;
  std::u16string text;
  if (mode & 1) {
    text.resize(size / 2);
    std::memcpy(text.data(), data, text.size() * 2);  // the input need not be aligned
  } else {
    text = platform::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
  }

  XmlDocument doc;
  doc.Flags() = (mode & 2) ? kXmlIgnoreCase : 0;
  doc.SetDocument(text);
  CheckIndex(doc);
  Walk(doc, 64);

  // Edits on whatever was recognised must keep the index inside the text.
  doc.SetDocument(text);
  doc.FindElement(u"");
  doc.SetAttribute(doc.CurrentElement(), u"name", u"<&>'\"", 0);
  doc.AddElement(u"item", nullptr, (mode & 4) ? kXmlAddAsChild : 0);
  doc.SetAttributeInt(u"value", 1);
  doc.AddElement(u"data", u"a]]>b", kXmlAddCdata);
  CheckIndex(doc);

  xml::Unescape(text);
  xml::Escape(text, xml::kEscapeKeepReferences | xml::kEscapeAttribute);
  const std::u16string encoding = xml::GetDeclaredEncoding(text);
  std::u16string converted;
  xml::BytesToUtf16(encoding, std::string_view(reinterpret_cast<const char*>(data), size), converted);
  return 0;
}
