#include "xml/xml_encoding.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/text.h"

namespace xml {
namespace {

struct EncodingName {
  std::u16string_view name;  // lower case
  int codePage;
};

constexpr EncodingName kEncodingNames[] = {
      {u"csptcp154", 154},
      {u"cyrillic-asian", 154},
      {u"cp154", 154},
      {u"pt154", 154},
      {u"ptcp154", 154},
      {u"ibm437", 437},
      {u"cspc8", 437},
      {u"codepage437", 437},
      {u"cp437", 437},
      {u"cspc8codepage437", 437},
      {u"asmo-708", 708},
      {u"dos-720", 720},
      {u"ibm737", 737},
      {u"cp737", 737},
      {u"ibm775", 775},
      {u"ebcdic-cp-be", 775},
      {u"ebcdic-cp-ch", 775},
      {u"cp500", 775},
      {u"csibm500", 775},
      {u"cp775", 775},
      {u"cspc775baltic", 775},
      {u"ibm850", 850},
      {u"cspc850multilingual", 850},
      {u"cp850", 850},
      {u"ibm852", 852},
      {u"cp852", 852},
      {u"cspcp852", 852},
      {u"cp853", 853},
      {u"ibm855", 855},
      {u"cp855", 855},
      {u"csibm855", 855},
      {u"ibm857", 857},
      {u"cp857", 857},
      {u"csibm857", 857},
      {u"ccsid00858", 858},
      {u"cp00858", 858},
      {u"cp858", 858},
      {u"pc-multilingual-850+euro", 858},
      {u"ibm00858", 858},
      {u"ibm860", 860},
      {u"cp860", 860},
      {u"csibm860", 860},
      {u"ibm861", 861},
      {u"cp-is", 861},
      {u"cp861", 861},
      {u"csibm861", 861},
      {u"ibm862", 862},
      {u"cspc862latinhebrew", 862},
      {u"cp862", 862},
      {u"dos-862", 862},
      {u"ibm863", 863},
      {u"cp863", 863},
      {u"csibm863", 863},
      {u"ibm864", 864},
      {u"cp864", 864},
      {u"csibm864", 864},
      {u"ibm865", 865},
      {u"cp865", 865},
      {u"csibm865", 865},
      {u"ibm866", 866},
      {u"cp866", 866},
      {u"csibm866", 866},
      {u"cp-gr", 869},
      {u"ibm869", 869},
      {u"cp869", 869},
      {u"csibm869", 869},
      {u"windows-874", 874},
      {u"cp874", 874},
      {u"tis-620", 874},
      {u"dos-874", 874},
      {u"iso-8859-11", 874},
      {u"x-ms-cp932", 932},
      {u"shift_jis", 932},
      {u"sjis-win", 932},
      {u"windows-932", 932},
      {u"cp932", 932},
      {u"ms_kanji", 932},
      {u"ms932", 932},
      {u"sjis-ms", 932},
      {u"shifft_jis-ms", 932},
      {u"windows-31j", 932},
      {u"cswindows31j", 932},
      {u"sjis", 932},
      {u"shifft_jis", 932},
      {u"shift-jis", 932},
      {u"x-sjis", 932},
      {u"sjis-open", 932},
      {u"csshiftjis", 932},
      {u"gb_2312-80", 936},
      {u"gb231280", 936},
      {u"windows-936", 936},
      {u"cp936", 936},
      {u"csiso58gb231280", 936},
      {u"ms936", 936},
      {u"gb2312-80", 936},
      {u"gb2312", 936},
      {u"csgb231280", 936},
      {u"chinese", 936},
      {u"iso-ir-58", 936},
      {u"cn-gb", 936},
      {u"csgb2312", 936},
      {u"gbk", 936},
      {u"ksc_5601", 949},
      {u"uhc", 949},
      {u"korean", 949},
      {u"iso-ir-149", 949},
      {u"csksc56011987", 949},
      {u"ks_c_5601-1987", 949},
      {u"ks_c_5601-1989", 949},
      {u"ksc5601", 949},
      {u"cp949", 949},
      {u"ks_c_5601", 949},
      {u"ks_c_5601_1987", 949},
      {u"ks-c5601", 949},
      {u"ks-c-5601", 949},
      {u"big5-hkscs", 950},
      {u"big5", 950},
      {u"cp950", 950},
      {u"x-x-big5", 950},
      {u"csbig5", 950},
      {u"cn-big5", 950},
      {u"cp1125", 1125},
      {u"cp1133", 1133},
      {u"ibm-cp1133", 1133},
      {u"ucs-2le", 1200},
      {u"utf-16", 1200},
      {u"utf16le", 1200},
      {u"utf-16le", 1200},
      {u"cp1200", 1200},
      {u"ucs-2", 1200},
      {u"unicode", 1200},
      {u"utf16", 1200},
      {u"ucs-2be", 1201},
      {u"utf16be", 1201},
      {u"utf-16be", 1201},
      {u"unicodefffe", 1201},
      {u"cp1201", 1201},
      {u"ms-ee", 1250},
      {u"windows-1250", 1250},
      {u"cp1250", 1250},
      {u"x-cp1250", 1250},
      {u"ms-cyrl", 1251},
      {u"windows-1251", 1251},
      {u"cp1251", 1251},
      {u"x-cp1251", 1251},
      {u"ms-ansi", 1252},
      {u"windows-1252", 1252},
      {u"cp1252", 1252},
      {u"x-ansi", 1252},
      {u"ms-greek", 1253},
      {u"windows-1253", 1253},
      {u"cp1253", 1253},
      {u"windows-1254", 1254},
      {u"ms-turk", 1254},
      {u"cp1254", 1254},
      {u"ms-hebr", 1255},
      {u"windows-1255", 1255},
      {u"cp1255", 1255},
      {u"ms-arab", 1256},
      {u"windows-1256", 1256},
      {u"cp1256", 1256},
      {u"cp1256 ", 1256},
      {u"windows-1257", 1257},
      {u"cp1257", 1257},
      {u"winbaltrim", 1257},
      {u"windows-1258", 1258},
      {u"cp1258", 1258},
      {u"johab", 1361},
      {u"cp1361", 1361},
      {u"macintosh", 10000},
      {u"csmacintosh", 10000},
      {u"mac", 10000},
      {u"x-mac-japanese", 10001},
      {u"x-mac-chinesetrad", 10002},
      {u"x-mac-korean", 10003},
      {u"x-mac-arabic", 10004},
      {u"x-mac-hebrew", 10005},
      {u"x-mac-greek", 10006},
      {u"x-mac-cyrillic", 10007},
      {u"x-mac-chinesesimp", 10008},
      {u"x-mac-romanian", 10010},
      {u"x-mac-ukrainian", 10017},
      {u"x-mac-thai", 10021},
      {u"x-mac-ce", 10029},
      {u"x-mac-icelandic", 10079},
      {u"x-mac-turkish", 10081},
      {u"x-mac-croatian", 10082},
      {u"utf-32", 12000},
      {u"utf32le", 12000},
      {u"utf-32le", 12000},
      {u"utf32", 12000},
      {u"cp12000", 12000},
      {u"utf32be", 12001},
      {u"utf-32be", 12001},
      {u"cp12001", 12001},
      {u"x-chinese-cns", 20000},
      {u"x-chinese_cns", 20000},
      {u"x-cp20001", 20001},
      {u"x_chinese-eten", 20002},
      {u"x-chinese-eten", 20002},
      {u"x-cp20003", 20003},
      {u"x-cp20004", 20004},
      {u"x-cp20005", 20005},
      {u"x-ia5", 20105},
      {u"x-ia5-german", 20106},
      {u"x-ia5-swedish", 20107},
      {u"x-ia5-norwegian", 20108},
      {u"ibm367", 20127},
      {u"us-ascii", 20127},
      {u"ascii", 20127},
      {u"cp367", 20127},
      {u"iso-ir-6", 20127},
      {u"us", 20127},
      {u"csascii", 20127},
      {u"ansi_x3.4-1968", 20127},
      {u"ansi_x3.4-1986", 20127},
      {u"iso646-us", 20127},
      {u"iso-ir-6us", 20127},
      {u"iso_646.irv:1991", 20127},
      {u"x-cp20261", 20261},
      {u"x-cp20269", 20269},
      {u"koi", 20866},
      {u"koi8r", 20866},
      {u"koi8", 20866},
      {u"koi8-r", 20866},
      {u"cskoi8r", 20866},
      {u"cseucpkdfmtjapanese", 20932},
      {u"extended_unix_code_packed_format_for_japanese", 20932},
      {u"euc-jp", 20932},
      {u"x-cp20936", 20936},
      {u"x-cp20949", 20949},
      {u"koi8-ru", 21866},
      {u"koi8-u", 21866},
      {u"l1", 28591},
      {u"ibm819", 28591},
      {u"iso-ir-100", 28591},
      {u"iso8859-1", 28591},
      {u"csisolatin1", 28591},
      {u"cp819", 28591},
      {u"iso-8859-1", 28591},
      {u"iso_8859-1:1987", 28591},
      {u"latin1", 28591},
      {u"iso_8859-1", 28591},
      {u"l2", 28592},
      {u"iso-ir-101", 28592},
      {u"iso8859-2", 28592},
      {u"csisolatin2", 28592},
      {u"iso-8859-2", 28592},
      {u"iso_8859-2:1987", 28592},
      {u"latin2", 28592},
      {u"iso_8859-2", 28592},
      {u"l3", 28593},
      {u"iso-ir-109", 28593},
      {u"iso8859-3", 28593},
      {u"csisolatin3", 28593},
      {u"iso-8859-3", 28593},
      {u"iso_8859-3:1988", 28593},
      {u"latin3", 28593},
      {u"iso_8859-3", 28593},
      {u"l4", 28594},
      {u"iso-ir-110", 28594},
      {u"iso8859-4", 28594},
      {u"csisolatin4", 28594},
      {u"iso-8859-4", 28594},
      {u"iso_8859-4:1988", 28594},
      {u"latin4", 28594},
      {u"iso_8859-4", 28594},
      {u"iso-ir-144", 28595},
      {u"iso8859-5", 28595},
      {u"csisolatin5", 28595},
      {u"iso-8859-5", 28595},
      {u"csisolatincyrillic", 28595},
      {u"cyrillic", 28595},
      {u"iso_8859-5:1988", 28595},
      {u"iso_8859-5", 28595},
      {u"iso-ir-127", 28596},
      {u"iso8859-6", 28596},
      {u"iso-8859-6", 28596},
      {u"iso_8859-6:1987", 28596},
      {u"iso_8859-6", 28596},
      {u"ecma-114", 28596},
      {u"csisolatinarabic", 28596},
      {u"arabic", 28596},
      {u"iso-ir-126", 28597},
      {u"iso8859-7", 28597},
      {u"csisolatingreek", 28597},
      {u"greek", 28597},
      {u"elot_928", 28597},
      {u"iso-8859-7", 28597},
      {u"iso_8859-7:1987", 28597},
      {u"greek8", 28597},
      {u"iso_8859-7", 28597},
      {u"ecma-118", 28597},
      {u"csisolatinhebrew", 28598},
      {u"hebrew", 28598},
      {u"iso-ir-138", 28598},
      {u"iso8859-8", 28598},
      {u"visual", 28598},
      {u"iso-8859-8", 28598},
      {u"iso_8859-8:1988", 28598},
      {u"iso_8859-8", 28598},
      {u"l5", 28599},
      {u"iso-ir-148", 28599},
      {u"iso8859-9", 28599},
      {u"iso-8859-9", 28599},
      {u"iso_8859-9:1989", 28599},
      {u"latin5", 28599},
      {u"iso_8859-9", 28599},
      {u"iso8859-13", 28603},
      {u"iso-8859-13", 28603},
      {u"l9", 28605},
      {u"latin-9", 28605},
      {u"iso_8859-15", 28605},
      {u"iso8859-15", 28605},
      {u"iso-8859-15", 28605},
      {u"latin9", 28605},
      {u"x-europa", 29001},
      {u"iso8859-8-i", 38598},
      {u"iso-8859-8-i", 38598},
      {u"logical", 38598},
      {u"iso-2022-jp", 50220},
      {u"_iso-2022-jp", 50221},
      {u"ms50221", 50221},
      {u"iso-2022-jp-ms", 50221},
      {u"csiso2022jp", 50221},
      {u"iso2022-jp-ms", 50221},
      {u"windows-50221", 50221},
      {u"cp50221", 50221},
      {u"_iso-2022-jp$sio", 50222},
      {u"iso2022-kr", 50225},
      {u"csiso2022kr", 50225},
      {u"iso-2022-kr", 50225},
      {u"x-cp50227", 50227},
      {u"cp51932", 51932},
      {u"x-euc", 51932},
      {u"ms51932", 51932},
      {u"x-euc-jp", 51932},
      {u"windows-51932", 51932},
      {u"euc-cn", 51936},
      {u"x-euc-cn", 51936},
      {u"euc-kr", 51949},
      {u"cseuckr", 51949},
      {u"hz-gb-2312", 52936},
      {u"iso-4873:1986", 54936},
      {u"gb18030", 54936},
      {u"x-iscii-de", 57002},
      {u"x-iscii-be", 57003},
      {u"x-iscii-ta", 57004},
      {u"x-iscii-te", 57005},
      {u"x-iscii-as", 57006},
      {u"x-iscii-or", 57007},
      {u"x-iscii-ka", 57008},
      {u"x-iscii-ma", 57009},
      {u"x-iscii-gu", 57010},
      {u"x-iscii-pa", 57011},
      {u"unicode-1-1-utf-7", 65000},
      {u"x-unicode-2-0-utf-7", 65000},
      {u"csunicode11utf7", 65000},
      {u"utf-7", 65000},
      {u"unicode-1-1-utf-8", 65001},
      {u"unicode-2-0-utf-8", 65001},
      {u"x-unicode-2-0-utf-8", 65001},
      {u"utf8", 65001},
      {u"utf-8", 65001},
      {u"cp65001", 65001},
};

constexpr size_t kNameBuckets = 155;

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

size_t NameBucket(std::u16string_view folded) {
  size_t sum = 0;
  for (char16_t c : folded) sum += c;
  return sum % kNameBuckets;
}

const std::array<std::vector<const EncodingName*>, kNameBuckets>& NameTable() {
  static const auto table = [] {
    std::array<std::vector<const EncodingName*>, kNameBuckets> t;
    for (const auto& e : kEncodingNames) t[NameBucket(e.name)].push_back(&e);
    return t;
  }();
  return table;
}

// Code page as the converter uses it: unknown names and 0 are the ANSI code page.
int EffectiveCodePage(std::u16string_view name) {
  const int cp = EncodingNameToCodePage(name);
  return cp <= 0 ? kAnsiCodePage : cp;
}

// The iconv name of a Windows code page; empty when glibc has no match.
std::string IconvName(int cp) {
  switch (cp) {
    case 154: return "PT154";
    case 708: return "ASMO-708";
    case 1201: return "UTF-16BE";
    case 1361: return "JOHAB";
    case 10000: return "MACINTOSH";
    case 10007: return "MACCYRILLIC";
    case 10017: return "MAC-UK";
    case 10029: return "MAC-CENTRALEUROPE";
    case 10079: return "MAC-IS";
    case 12000: return "UTF-32LE";
    case 12001: return "UTF-32BE";
    case 20106: return "ISO646-DE";
    case 20107: return "ISO646-SE";
    case 20108: return "ISO646-NO";
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 20932: return "EUC-JP";
    case 20936: return "EUC-CN";
    case 21866: return "KOI8-U";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28593: return "ISO-8859-3";
    case 28594: return "ISO-8859-4";
    case 28595: return "ISO-8859-5";
    case 28596: return "ISO-8859-6";
    case 28597: return "ISO-8859-7";
    case 28598: return "ISO-8859-8";
    case 28599: return "ISO-8859-9";
    case 28603: return "ISO-8859-13";
    case 28605: return "ISO-8859-15";
    case 38598: return "ISO-8859-8";
    case 50220:
    case 50221:
    case 50222: return "ISO-2022-JP";
    case 50225: return "ISO-2022-KR";
    case 51932: return "EUC-JP-MS";
    case 51936: return "EUC-CN";
    case 51949: return "EUC-KR";
    case 54936: return "GB18030";
    case 65000: return "UTF-7";
    default: return "CP" + std::to_string(cp);
  }
}

class Iconv {
 public:
  Iconv(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Runs iconv over the whole input. A sequence it cannot take is replaced by
// `replacement` (in the target encoding) after skipping `skip(in, left)`
// input bytes; returns whether any replacement happened.
template <typename Skip>
bool RunIconv(iconv_t cd, const char* in, size_t inLeft, std::string& out, std::string_view replacement,
              Skip skip) {
  bool replaced = false;
  out.clear();
  out.resize(inLeft * 2 + 16);
  size_t used = 0;
  char* src = const_cast<char*>(in);
  for (;;) {
    char* dst = out.data() + used;
    size_t outLeft = out.size() - used;
    const size_t r = inLeft ? iconv(cd, &src, &inLeft, &dst, &outLeft) : iconv(cd, nullptr, nullptr, &dst, &outLeft);
    used = out.size() - outLeft;
    if (r != size_t(-1)) {
      if (inLeft == 0) {
        // Flush the shift state of stateful encodings.
        dst = out.data() + used;
        outLeft = out.size() - used;
        if (iconv(cd, nullptr, nullptr, &dst, &outLeft) == size_t(-1) && errno == E2BIG) {
          out.resize(out.size() * 2);
          continue;
        }
        used = out.size() - outLeft;
        break;
      }
      continue;
    }
    if (errno == E2BIG) {
      out.resize(out.size() * 2 + 16);
      continue;
    }
    // EILSEQ or EINVAL: no equivalent, invalid or cut off.
    replaced = true;
    if (out.size() - used < replacement.size()) out.resize(out.size() * 2 + replacement.size());
    std::memcpy(out.data() + used, replacement.data(), replacement.size());
    used += replacement.size();
    const size_t n = skip(src, inLeft);
    src += n;
    inLeft -= n;
  }
  out.resize(used);
  return replaced;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(char(cp));
  } else if (cp < 0x800) {
    out.push_back(char(0xC0 | ((cp >> 6) & 0x1F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else if (cp <= 0xFFFF) {
    out.push_back(char(0xE0 | ((cp >> 12) & 0x0F)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(char(0xF0 | ((cp >> 18) & 0x07)));
    out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  }
}

void AppendUtf16(std::u16string& out, uint32_t cp) {
  if (cp <= 0xFFFF) {
    out.push_back(char16_t(cp));
  } else {
    out.push_back(char16_t(0xD800 | (((cp - 0x10000) >> 10) & 0x3FF)));
    out.push_back(char16_t(0xDC00 | (cp & 0x3FF)));
  }
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool HasLoneSurrogate(std::u16string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsHighSurrogate(s[i]) && i + 1 < s.size() && IsLowSurrogate(s[i + 1])) {
      ++i;
    } else if (IsHighSurrogate(s[i]) || IsLowSurrogate(s[i])) {
      return true;
    }
  }
  return false;
}

template <typename T>
void AppendUnits(std::string& out, const T* units, size_t n) {
  out.append(reinterpret_cast<const char*>(units), n * sizeof(T));
}

bool CodePageToUtf16(int cp, std::string_view bytes, std::u16string& out) {
  out.clear();
  if (cp == kCodePageUtf8) {
    out = platform::Utf8ToUtf16(bytes);
    return true;
  }
  if (cp == kCodePageUtf16 || cp == kCodePageUtf32) return false;
  Iconv cd("UTF-16LE", IconvName(cp));
  if (!cd.ok()) return false;
  std::string raw;
  static constexpr char kReplacement[] = {char(0xFD), char(0xFF)};  // U+FFFD, little-endian
  RunIconv(cd.get(), bytes.data(), bytes.size(), raw, std::string_view(kReplacement, 2),
           [](const char*, size_t) { return size_t(1); });
  out.resize(raw.size() / 2);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = char16_t(uint8_t(raw[2 * i]) | (uint8_t(raw[2 * i + 1]) << 8));
  return true;
}

bool Utf16ToCodePage(int cp, std::u16string_view text, std::string& out, bool& loss) {
  out.clear();
  if (cp == kCodePageUtf8) {
    out = platform::Utf16ToUtf8(text);
    loss = HasLoneSurrogate(text);
    return true;
  }
  if (cp == kCodePageUtf16 || cp == kCodePageUtf32) return false;
  Iconv cd(IconvName(cp), "UTF-16LE");
  if (!cd.ok()) return false;
  std::string raw;
  raw.reserve(text.size() * 2);
  for (char16_t c : text) {
    raw.push_back(char(c & 0xFF));
    raw.push_back(char(c >> 8));
  }
  // Skip the character iconv refused: a surrogate pair is one character.
  loss = RunIconv(cd.get(), raw.data(), raw.size(), out, "?", [](const char* p, size_t left) {
           if (left >= 4) {
             const char16_t hi = char16_t(uint8_t(p[0]) | (uint8_t(p[1]) << 8));
             const char16_t lo = char16_t(uint8_t(p[2]) | (uint8_t(p[3]) << 8));
             if (IsHighSurrogate(hi) && IsLowSurrogate(lo)) return size_t(4);
           }
           return left < 2 ? left : size_t(2);
         }) || loss;
  return true;
}

}  // namespace

int EncodingNameToCodePage(std::u16string_view name) {
  if (name.empty()) return 0;
  if (name.substr(0, 6) == u"UTF-32") return kCodePageUtf32;
  if (name.size() >= 100) return -1;
  std::u16string folded(name);
  for (auto& c : folded) c = FoldAscii(c);
  for (const EncodingName* e : NameTable()[NameBucket(folded)])
    if (e->name == folded) return e->codePage;
  return -1;
}

bool DecodeUtf8Sequence(const unsigned char* data, size_t n, size_t& i, uint32_t& cp, bool* cutOff) {
  if (cutOff) *cutOff = false;
  const unsigned char lead = data[i];
  if (lead < 0x80) {
    cp = lead;
    ++i;
    return true;
  }
  int count;
  if (!(lead & 0x20)) {
    count = 1;
    cp = lead & 0x1F;
  } else if (!(lead & 0x10)) {
    count = 2;
    cp = lead & 0x0F;
  } else if (!(lead & 0x08)) {
    count = 3;
    cp = lead & 0x07;
  } else {
    return false;
  }
  size_t j = i + 1;
  for (int k = 0; k < count; ++k, ++j) {
    if (j >= n) {
      if (cutOff) *cutOff = true;
      return false;
    }
    if (data[j] < 0x80) return false;
    cp = (cp << 6) | (data[j] & 0x3F);
  }
  i = j;
  return true;
}

bool TestUtf8(const char* data, size_t n, bool* cutOff) {
  if (cutOff) *cutOff = false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  size_t i = 0;
  while (i < n && bytes[i] != 0) {
    uint32_t cp;
    if (!DecodeUtf8Sequence(bytes, n, i, cp, cutOff)) return false;
  }
  return true;
}

XmlTextConverter::XmlTextConverter(std::u16string_view sourceEncoding, const void* source, size_t sourceLength)
    : sourceEncoding_(sourceEncoding), source_(source), sourceLength_(sourceLength) {}

bool XmlTextConverter::ConvertAll(std::u16string_view targetEncoding, std::string& out, size_t& units) {
  targetEncoding_ = targetEncoding;
  defaultCharUsed_ = false;
  resultLength_ = 0;
  out.clear();
  units = 0;
  const int from = EffectiveCodePage(sourceEncoding_);
  const int to = EffectiveCodePage(targetEncoding_);
  if (from == kCodePageUtf32) {
    const auto* cps = static_cast<const uint32_t*>(source_);
    if (to == kCodePageUtf8) {
      for (size_t i = 0; i < sourceLength_; ++i) AppendUtf8(out, cps[i]);
      units = out.size();
    } else if (to == kCodePageUtf16) {
      std::u16string u;
      for (size_t i = 0; i < sourceLength_; ++i) AppendUtf16(u, cps[i] > 0x10FFFF ? 0xFFFD : cps[i]);
      AppendUnits(out, u.data(), u.size());
      units = u.size();
    } else {
      return false;
    }
  } else if (from == kCodePageUtf16) {
    const std::u16string_view text(static_cast<const char16_t*>(source_), sourceLength_);
    if (to == kCodePageUtf32) {
      std::vector<uint32_t> cps;
      for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
          cps.push_back((((c & 0x3FF) << 10) | (text[i + 1] & 0x3FF)) + 0x10000);
          ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
          cps.push_back(u'?');
        } else {
          cps.push_back(c);
        }
      }
      AppendUnits(out, cps.data(), cps.size());
      units = cps.size();
    } else if (to == kCodePageUtf16) {
      return false;
    } else {
      if (!Utf16ToCodePage(to, text, out, defaultCharUsed_)) return false;
      units = out.size();
    }
  } else {
    const std::string_view bytes(static_cast<const char*>(source_), sourceLength_);
    if (to == kCodePageUtf32) {
      if (from != kCodePageUtf8) return false;
      std::vector<uint32_t> cps;
      const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
      for (size_t i = 0; i < bytes.size();) {
        uint32_t cp;
        if (DecodeUtf8Sequence(b, bytes.size(), i, cp, nullptr)) {
          cps.push_back(cp);
        } else {
          cps.push_back(u'?');
          ++i;
        }
      }
      AppendUnits(out, cps.data(), cps.size());
      units = cps.size();
    } else {
      std::u16string u;
      if (!CodePageToUtf16(from, bytes, u)) return false;
      if (to == kCodePageUtf16) {
        AppendUnits(out, u.data(), u.size());
        units = u.size();
      } else {
        if (!Utf16ToCodePage(to, u, out, defaultCharUsed_)) return false;
        units = out.size();
      }
    }
  }
  resultLength_ = units;
  return true;
}

size_t XmlTextConverter::Convert(void* dest, size_t capacity, std::u16string_view targetEncoding) {
  std::string out;
  size_t units = 0;
  if (!ConvertAll(targetEncoding, out, units)) return 0;
  capacity_ = capacity;
  if (dest && units) {
    const size_t unitSize = out.size() / units;
    const size_t n = units < capacity ? units : capacity;
    std::memcpy(dest, out.data(), n * unitSize);
    resultLength_ = n;
    return n;
  }
  return units;
}

bool BytesToUtf16(std::u16string_view encoding, std::string_view bytes, std::u16string& out) {
  out.clear();
  const int cp = EffectiveCodePage(encoding);
  if (cp == kCodePageUtf32) {
    const size_t n = bytes.size() / 4;
    for (size_t i = 0; i < n; ++i) {
      uint32_t v;
      std::memcpy(&v, bytes.data() + 4 * i, 4);
      AppendUtf16(out, v > 0x10FFFF ? 0xFFFD : v);
    }
    return true;
  }
  return CodePageToUtf16(cp, bytes, out);
}

bool Utf16ToBytes(std::u16string_view encoding, std::u16string_view text, std::string& out, bool& loss) {
  loss = false;
  const int cp = EffectiveCodePage(encoding);
  if (cp == kCodePageUtf32) {
    XmlTextConverter conv(u"UTF-16", text.data(), text.size());
    size_t units;
    return conv.ConvertAll(u"UTF-32", out, units);
  }
  return Utf16ToCodePage(cp, text, out, loss);
}

}  // namespace xml
