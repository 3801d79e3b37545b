// After any sequence of edits the index kept up by the splices is the index
// a fresh parse of the written text gives. (Start tags without end tag are
// left out: "<x>" before a later "</x>" of another element is ambiguous text.)
#include <gtest/gtest.h>

#include <random>

#include "xml/xml_document.h"
#include "xml_test_util.h"

namespace {

std::u16string RandomValue(std::mt19937& rng) {
  static const char16_t* pieces[] = {u"a", u"<", u"&", u">", u"'", u"\"", u" ", u"配", u"\U0001F600", u"&amp;", u"]]>", u"/>"};
  std::u16string v;
  const int n = std::uniform_int_distribution<int>(0, 6)(rng);
  for (int i = 0; i < n; ++i) v += pieces[std::uniform_int_distribution<size_t>(0, std::size(pieces) - 1)(rng)];
  return v;
}

void RandomEdits(uint32_t seed, const std::u16string& start) {
  std::mt19937 rng(seed);
  XmlDocument doc;
  doc.SetDocument(start);
  static const char16_t* names[] = {u"a", u"item", u"Mouse_DPI", u"x-y", u"配置"};
  static const char16_t* attrs[] = {u"v", u"name", u"value", u"z"};
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  for (int step = 0; step < 120; ++step) {
    switch (pick(8)) {
      case 0: doc.FindElement(u""); break;
      case 1: doc.EnterElement(); break;
      case 2: doc.LeaveElement(); break;
      case 3:
      case 4: {
        static const uint32_t flagSets[] = {0,
                                            kXmlAddAsChild,
                                            kXmlAddNoLineBreaks,
                                            kXmlAddSpaceBeforeSlash | kXmlAddAsChild,
                                            kXmlAddNoLineBreaks | kXmlAddAsChild};
        const uint32_t flags = flagSets[pick(std::size(flagSets))];
        if (pick(3) == 0) {
          const std::u16string data = RandomValue(rng);
          doc.AddElement(names[pick(std::size(names))], data.c_str(), flags | (pick(2) ? kXmlAddCdata : 0));
        } else {
          doc.AddElement(names[pick(std::size(names))], nullptr, flags);
        }
        break;
      }
      default: {
        const uint32_t element = pick(3) == 0 ? doc.CurrentElement() : uint32_t(pick(doc.RecordsInUse() + 2));
        doc.SetAttribute(element, attrs[pick(std::size(attrs))], RandomValue(rng), 0);
        break;
      }
    }
    XmlDocument fresh(doc.Text());
    ASSERT_EQ(xmltest::DumpIndex(doc), xmltest::DumpIndex(fresh))
        << "seed " << seed << " step " << step << "\n" << xmltest::U8(doc.Text());
    ASSERT_EQ(xmltest::DumpTree(doc), xmltest::DumpTree(fresh));
  }
}

TEST(XmlEditProperty, SplicedIndexEqualsFreshParse) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    RandomEdits(seed, u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
    RandomEdits(seed + 1000, u"<r a='1'>\r\n<b/>\r\n<c x=\"&lt;\"><d/></c>\r\n</r>\r\n");
    RandomEdits(seed + 2000, u"<r><u k=v><c/>\r\n<d/></r><s/>");  // "u" is never closed
    if (HasFatalFailure()) return;
  }
}

}  // namespace
