#include "xml_test_util.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/text.h"
#include "xml/xml_entities.h"
#include "xml/xml_parser.h"

namespace xmltest {

std::string U8(const std::u16string& s) { return platform::Utf16ToUtf8(s); }

namespace {

template <typename Visit>
void Walk(const XmlDocument& doc, uint32_t first, Visit visit) {
  for (uint32_t e = first; e; e = doc.Record(e).nextSibling) {
    visit(e);
    Walk(doc, doc.Record(e).firstChild, visit);
  }
}

}  // namespace

std::string DumpTree(const XmlDocument& doc) {
  std::ostringstream out;
  const std::u16string& text = doc.Text();
  Walk(doc, doc.Record(0).firstChild, [&](uint32_t e) {
    const XmlElementRecord r = doc.Record(e);
    out << r.level << ' ' << U8(doc.GetTagName(e));
    XmlTokenScanner scan(text, r.start + 1, r.start + r.startTagLength);
    XmlAttributeSpan a;
    while (scan.NextAttribute(a)) {
      out << ' ' << U8(text.substr(a.nameStart, a.nameEnd - a.nameStart)) << "=["
          << U8(xml::Unescape(std::u16string_view(text).substr(a.valueStart, a.valueEnd - a.valueStart))) << ']';
    }
    out << '\n';
  });
  return out.str();
}

std::string DumpIndex(const XmlDocument& doc) {
  std::ostringstream out;
  out << "doc length " << doc.Record(0).length << '\n';
  Walk(doc, doc.Record(0).firstChild, [&](uint32_t e) {
    const XmlElementRecord r = doc.Record(e);
    out << U8(doc.GetTagName(e)) << " start " << r.start << " length " << r.length << " tags " << r.startTagLength
        << '/' << r.endTagLength << " level " << r.level << " noend " << bool(r.flags & kXmlRecNoEndTag)
        << " first " << bool(r.flags & kXmlRecFirstChild) << " parent-tag "
        << U8(doc.GetTagName(r.parent)) << '\n';
  });
  return out.str();
}

std::string MakeTempDir() {
  std::string pattern = ::testing::TempDir() + "tgm_xml_XXXXXX";
  if (!mkdtemp(pattern.data())) return ::testing::TempDir();
  return pattern + "/";
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string Run(const std::string& command, int* status) {
  std::string output;
  FILE* p = popen(command.c_str(), "r");
  if (!p) {
    if (status) *status = -1;
    return output;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) output.append(buf, n);
  const int rc = pclose(p);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return output;
}

}  // namespace xmltest
