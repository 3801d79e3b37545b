#include "xml/xml_entities.h"

#include <array>
#include <vector>

namespace xml {
namespace {

struct NamedEntity {
  std::u16string_view name;  // as HTML 4 spells it
  int32_t codePoint;
};

// The HTML 4 character entities (Latin-1, symbols, specials) plus "apos".
constexpr NamedEntity kEntities[] = {
      {u"AElig", 198},
      {u"Aacute", 193},
      {u"Acirc", 194},
      {u"Agrave", 192},
      {u"Alpha", 913},
      {u"Aring", 197},
      {u"Atilde", 195},
      {u"Auml", 196},
      {u"Beta", 914},
      {u"Ccedil", 199},
      {u"Chi", 935},
      {u"Dagger", 8225},
      {u"Delta", 916},
      {u"ETH", 208},
      {u"Eacute", 201},
      {u"Ecirc", 202},
      {u"Egrave", 200},
      {u"Epsilon", 917},
      {u"Eta", 919},
      {u"Euml", 203},
      {u"Gamma", 915},
      {u"Iacute", 205},
      {u"Icirc", 206},
      {u"Igrave", 204},
      {u"Iota", 921},
      {u"Iuml", 207},
      {u"Kappa", 922},
      {u"Lambda", 923},
      {u"Mu", 924},
      {u"Ntilde", 209},
      {u"Nu", 925},
      {u"OElig", 338},
      {u"Oacute", 211},
      {u"Ocirc", 212},
      {u"Ograve", 210},
      {u"Omega", 937},
      {u"Omicron", 927},
      {u"Oslash", 216},
      {u"Otilde", 213},
      {u"Ouml", 214},
      {u"Phi", 934},
      {u"Pi", 928},
      {u"Prime", 8243},
      {u"Psi", 936},
      {u"Rho", 929},
      {u"Scaron", 352},
      {u"Sigma", 931},
      {u"THORN", 222},
      {u"Tau", 932},
      {u"Theta", 920},
      {u"Uacute", 218},
      {u"Ucirc", 219},
      {u"Ugrave", 217},
      {u"Upsilon", 933},
      {u"Uuml", 220},
      {u"Xi", 926},
      {u"Yacute", 221},
      {u"Yuml", 376},
      {u"Zeta", 918},
      {u"aacute", 225},
      {u"acirc", 226},
      {u"acute", 180},
      {u"aelig", 230},
      {u"agrave", 224},
      {u"alefsym", 8501},
      {u"alpha", 945},
      {u"amp", 38},
      {u"and", 8743},
      {u"ang", 8736},
      {u"aring", 229},
      {u"asymp", 8776},
      {u"atilde", 227},
      {u"auml", 228},
      {u"bdquo", 8222},
      {u"beta", 946},
      {u"brvbar", 166},
      {u"bull", 8226},
      {u"cap", 8745},
      {u"ccedil", 231},
      {u"cedil", 184},
      {u"cent", 162},
      {u"chi", 967},
      {u"circ", 710},
      {u"clubs", 9827},
      {u"cong", 8773},
      {u"copy", 169},
      {u"crarr", 8629},
      {u"cup", 8746},
      {u"curren", 164},
      {u"dArr", 8659},
      {u"dagger", 8224},
      {u"darr", 8595},
      {u"deg", 176},
      {u"delta", 948},
      {u"diams", 9830},
      {u"divide", 247},
      {u"eacute", 233},
      {u"ecirc", 234},
      {u"egrave", 232},
      {u"empty", 8709},
      {u"emsp", 8195},
      {u"ensp", 8194},
      {u"epsilon", 949},
      {u"equiv", 8801},
      {u"eta", 951},
      {u"eth", 240},
      {u"euml", 235},
      {u"euro", 8364},
      {u"exist", 8707},
      {u"fnof", 402},
      {u"forall", 8704},
      {u"frac12", 189},
      {u"frac14", 188},
      {u"frac34", 190},
      {u"frasl", 8260},
      {u"gamma", 947},
      {u"ge", 8805},
      {u"gt", 62},
      {u"hArr", 8660},
      {u"harr", 8596},
      {u"hearts", 9829},
      {u"hellip", 8230},
      {u"iacute", 237},
      {u"icirc", 238},
      {u"iexcl", 161},
      {u"igrave", 236},
      {u"image", 8465},
      {u"infin", 8734},
      {u"int", 8747},
      {u"iota", 953},
      {u"iquest", 191},
      {u"isin", 8712},
      {u"iuml", 239},
      {u"kappa", 954},
      {u"lArr", 8656},
      {u"lambda", 955},
      {u"lang", 9001},
      {u"laquo", 171},
      {u"larr", 8592},
      {u"lceil", 8968},
      {u"ldquo", 8220},
      {u"le", 8804},
      {u"lfloor", 8970},
      {u"lowast", 8727},
      {u"loz", 9674},
      {u"lrm", 8206},
      {u"lsaquo", 8249},
      {u"lsquo", 8216},
      {u"lt", 60},
      {u"macr", 175},
      {u"mdash", 8212},
      {u"micro", 181},
      {u"middot", 183},
      {u"minus", 8722},
      {u"mu", 956},
      {u"nabla", 8711},
      {u"nbsp", 160},
      {u"ndash", 8211},
      {u"ne", 8800},
      {u"ni", 8715},
      {u"not", 172},
      {u"notin", 8713},
      {u"nsub", 8836},
      {u"ntilde", 241},
      {u"nu", 957},
      {u"oacute", 243},
      {u"ocirc", 244},
      {u"oelig", 339},
      {u"ograve", 242},
      {u"oline", 8254},
      {u"omega", 969},
      {u"omicron", 959},
      {u"oplus", 8853},
      {u"or", 8744},
      {u"ordf", 170},
      {u"ordm", 186},
      {u"oslash", 248},
      {u"otilde", 245},
      {u"otimes", 8855},
      {u"ouml", 246},
      {u"para", 182},
      {u"part", 8706},
      {u"permil", 8240},
      {u"perp", 8869},
      {u"phi", 966},
      {u"pi", 960},
      {u"piv", 982},
      {u"plusmn", 177},
      {u"pound", 163},
      {u"prime", 8242},
      {u"prod", 8719},
      {u"prop", 8733},
      {u"psi", 968},
      {u"quot", 34},
      {u"rArr", 8658},
      {u"radic", 8730},
      {u"rang", 9002},
      {u"raquo", 187},
      {u"rarr", 8594},
      {u"rceil", 8969},
      {u"rdquo", 8221},
      {u"real", 8476},
      {u"reg", 174},
      {u"rfloor", 8971},
      {u"rho", 961},
      {u"rlm", 8207},
      {u"rsaquo", 8250},
      {u"rsquo", 8217},
      {u"sbquo", 8218},
      {u"scaron", 353},
      {u"sdot", 8901},
      {u"sect", 167},
      {u"shy", 173},
      {u"sigma", 963},
      {u"sigmaf", 962},
      {u"sim", 8764},
      {u"spades", 9824},
      {u"sub", 8834},
      {u"sube", 8838},
      {u"sum", 8721},
      {u"sup", 8835},
      {u"sup1", 185},
      {u"sup2", 178},
      {u"sup3", 179},
      {u"supe", 8839},
      {u"szlig", 223},
      {u"tau", 964},
      {u"there4", 8756},
      {u"theta", 952},
      {u"thetasym", 977},
      {u"thinsp", 8201},
      {u"thorn", 254},
      {u"tilde", 732},
      {u"times", 215},
      {u"trade", 8482},
      {u"uArr", 8657},
      {u"uacute", 250},
      {u"uarr", 8593},
      {u"ucirc", 251},
      {u"ugrave", 249},
      {u"uml", 168},
      {u"upsih", 978},
      {u"upsilon", 965},
      {u"uuml", 252},
      {u"weierp", 8472},
      {u"xi", 958},
      {u"yacute", 253},
      {u"yen", 165},
      {u"yuml", 255},
      {u"zeta", 950},
      {u"zwj", 8205},
      {u"zwnj", 8204},
      {u"apos", 39},
};

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

bool HasUpper(std::u16string_view s) {
  for (char16_t c : s)
    if (c >= u'A' && c <= u'Z') return true;
  return false;
}

constexpr size_t kBuckets = 130;

size_t BucketOf(std::u16string_view name) {
  size_t sum = 0;
  for (char16_t c : name) sum += FoldAscii(c);
  return sum % kBuckets;
}

// Entries hashed by their folded name. Within a bucket the capital form of a
// pair that differs only in case stands first, so the folded lookup finds it.
const std::array<std::vector<const NamedEntity*>, kBuckets>& Buckets() {
  static const auto table = [] {
    std::array<std::vector<const NamedEntity*>, kBuckets> t;
    for (const auto& e : kEntities) {
      auto& bucket = t[BucketOf(e.name)];
      if (HasUpper(e.name))
        bucket.insert(bucket.begin(), &e);
      else
        bucket.push_back(&e);
    }
    return t;
  }();
  return table;
}

bool EqualsFolded(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int HexValue(char16_t c) {
  if (IsDigit(c)) return c - u'0';
  c = FoldAscii(c);
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// Length of an entity or character reference at text[i] ("&" up to and
// including ";"), 0 when none begins there. Used when existing references
// are to be kept while escaping.
size_t ReferenceLength(std::u16string_view text, size_t i) {
  size_t j = i + 1;
  if (j >= text.size()) return 0;
  char16_t c = text[j];
  if (!(IsAsciiLetter(c) || c == u'#' || c == u'_' || c == u':' || c >= 0x80)) return 0;
  for (++j; j < text.size(); ++j) {
    c = text[j];
    if (c == u';') return j - i + 1;
    if (!(IsAsciiLetter(c) || IsDigit(c) || c == u'-' || c == u'.' || c == u'_' || c == u':' || c >= 0x80))
      return 0;
  }
  return 0;
}

void AppendCodePoint(std::u16string& out, uint32_t cp) {
  if (cp <= 0xFFFF) {
    out.push_back(char16_t(cp));
  } else {
    out.push_back(char16_t(0xD800 | (((cp - 0x10000) >> 10) & 0x3FF)));
    out.push_back(char16_t(0xDC00 | (cp & 0x3FF)));
  }
}

// A numeric reference body ("#65", "#x41"): the number is read as far as its
// digits go, so "#65x" is 65. -1 when there is no digit, the value is zero or
// lies above U+10FFFF. Surrogates are returned as they are; the caller pairs them.
int32_t NumericReference(std::u16string_view body) {
  size_t i = 1;
  bool hex = false;
  if (i < body.size() && (body[i] == u'x' || body[i] == u'X')) {
    hex = true;
    ++i;
  }
  uint32_t value = 0;
  for (; i < body.size(); ++i) {
    const int d = hex ? HexValue(body[i]) : (IsDigit(body[i]) ? body[i] - u'0' : -1);
    if (d < 0) break;
    value = value * (hex ? 16 : 10) + uint32_t(d);
    if (value > 0x10FFFF) return -1;
  }
  return value == 0 ? -1 : int32_t(value);
}

bool IsHighSurrogate(int32_t v) { return v >= 0xD800 && v <= 0xDBFF; }
bool IsLowSurrogate(int32_t v) { return v >= 0xDC00 && v <= 0xDFFF; }

// The reference that starts with the "&" at `at`: its value (-1 when it is
// none) and the position after its ";".
struct Reference {
  int32_t value = -1;
  size_t end = 0;
};

Reference ReadReference(std::u16string_view text, size_t at) {
  // Up to 9 ASCII characters, then ";".
  size_t j = at + 1;
  while (j < text.size() && j - at - 1 < 9 && text[j] != u';' && text[j] < 0x80) ++j;
  if (j >= text.size() || text[j] != u';' || j == at + 1) return {};
  const std::u16string_view body = text.substr(at + 1, j - at - 1);
  return {body[0] == u'#' ? NumericReference(body) : LookupEntity(body), j + 1};
}

}  // namespace

int32_t LookupEntity(std::u16string_view name) {
  const auto& bucket = Buckets()[BucketOf(name)];
  for (const NamedEntity* e : bucket)
    if (e->name == name) return e->codePoint;
  for (const NamedEntity* e : bucket)
    if (EqualsFolded(e->name, name)) return e->codePoint;
  return -1;
}

std::u16string Escape(std::u16string_view text, uint32_t flags) {
  const bool all = flags & kEscapeAttribute;
  const bool keep = flags & kEscapeKeepReferences;
  std::u16string out;
  out.reserve(text.size() + text.size() / 10 + 7);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    switch (c) {
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'&': {
        const size_t ref = keep ? ReferenceLength(text, i) : 0;
        if (ref) {
          out.append(text.substr(i, ref));
          i += ref - 1;
        } else {
          out += u"&amp;";
        }
        break;
      }
      case u'\'': if (all) out += u"&apos;"; else out.push_back(c); break;
      case u'"': if (all) out += u"&quot;"; else out.push_back(c); break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::u16string Unescape(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    Reference ref = c == u'&' ? ReadReference(text, i) : Reference{};
    if (IsHighSurrogate(ref.value)) {
      // Only a low-surrogate reference right after it makes a character.
      const Reference low =
          ref.end < text.size() && text[ref.end] == u'&' ? ReadReference(text, ref.end) : Reference{};
      if (IsLowSurrogate(low.value)) {
        out.push_back(char16_t(ref.value));
        out.push_back(char16_t(low.value));
        i = low.end;
        continue;
      }
      ref.value = -1;
    } else if (IsLowSurrogate(ref.value)) {
      ref.value = -1;
    }
    if (ref.value < 0) {
      out.push_back(c);
      ++i;
      continue;
    }
    AppendCodePoint(out, uint32_t(ref.value));
    i = ref.end;
  }
  return out;
}

std::u16string CdataWrap(std::u16string_view data) {
  std::u16string out = u"<![CDATA[";
  out.reserve(data.size() + 12);
  size_t from = 0;
  for (;;) {
    const size_t at = data.find(u"]]>", from);
    if (at == std::u16string_view::npos) break;
    out.append(data.substr(from, at - from));
    out += u"]]]]><![CDATA[>";
    from = at + 3;
  }
  out.append(data.substr(from));
  out += u"]]>";
  return out;
}

}  // namespace xml
