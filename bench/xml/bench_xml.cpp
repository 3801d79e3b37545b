// Parsing and writing a 20 MB document of profile-like elements, with
// xmllint --noout on the same file as the yardstick for parsing.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/text.h"
#include "xml/xml_document.h"
#include "xml/xml_encoding.h"
#include "xml/xml_file.h"

namespace {

constexpr size_t kTargetBytes = 20u * 1000 * 1000;

// Profile files, one after another under one root, until ~20 MB.
std::string GenerateDocument() {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<profiles>\r\n";
  s.reserve(kTargetBytes + 4096);
  for (int p = 0; s.size() < kTargetBytes; ++p) {
    s += "<profile>\r\n<profileinfo name=\"Profile " + std::to_string(p) + " \xE9\x85\x8D\xE7\xBD\xAE\">\r\n<keyitems>\r\n";
    for (int k = 1; k <= 8; ++k) {
      s += "<item key_code=\"" + std::to_string(k) +
           "\" macro_type=\"1\" macro_value=\"240\" macro_value2=\"0\" macro_value3=\"0\" "
           "macro_desc=\"Left &amp; &lt;Ctrl&gt; &#x1F600;\"/>\r\n";
    }
    s += "</keyitems>\r\n<Lightitems light_mode=\"0\"/>\r\n"
         "<Mouse_DPI dpi_flag=\"63\" dpi_index=\"1\" dpi_count=\"6\">\r\n";
    for (int d = 1; d <= 6; ++d)
      s += "<DPI" + std::to_string(d) + " value=\"" + std::to_string(d * 800) + "\" color=\"16711680\"/>\r\n";
    s += "</Mouse_DPI>\r\n<Mouse>\r\n";
    for (const char* m : {"button_respondtime", "report_rate", "sensor_flag", "liftoff_height", "scroll_flag",
                          "e-sports_flag", "leftbtn_lock"})
      s += std::string("<") + m + " value=\"1\"/>\r\n";
    s += "</Mouse>\r\n</profileinfo>\r\n</profile>\r\n";
  }
  s += "</profiles>\r\n";
  return s;
}

struct Fixture {
  std::string path;
  std::string outPath;
  size_t bytes = 0;
  std::u16string text;

  Fixture() {
    char dir[] = "/tmp/tgm_bench_xml_XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    path = std::string(dir) + "/profiles.xml";
    outPath = std::string(dir) + "/written.xml";
    const std::string doc = GenerateDocument();
    bytes = doc.size();
    std::ofstream(path, std::ios::binary) << doc;
    text = platform::Utf8ToUtf16(doc);
  }
  ~Fixture() {
    ::unlink(path.c_str());
    ::unlink(outPath.c_str());
    ::rmdir(path.substr(0, path.rfind('/')).c_str());
  }
};

Fixture& Data() {
  static Fixture f;
  return f;
}

double bestOurs = 0, bestXmllint = 0;

void Keep(double& best, double seconds) {
  if (best == 0 || seconds < best) best = seconds;
}

// What a reader does: read the file, take its declared encoding, convert to
// UTF-16 and build the index. The file is larger than the reader's 16 MiB
// cap, so the bytes are read here and go through the same conversion.
void BM_ReadAndParseFile(benchmark::State& state) {
  Fixture& f = Data();
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    std::string bytes;
    if (std::FILE* in = std::fopen(f.path.c_str(), "rb")) {
      bytes.resize(f.bytes);
      bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in));
      std::fclose(in);
    }
    XmlDocument doc;
    const std::u16string encoding =
        xml::GetDeclaredEncoding(platform::Utf8ToUtf16(std::string_view(bytes).substr(0, 1024)));
    if (!xml::BytesToUtf16(encoding, bytes, doc.Text()) || !doc.Parse()) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(doc.RecordsInUse());
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    Keep(bestOurs, s);
    state.SetIterationTime(s);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes));
}
BENCHMARK(BM_ReadAndParseFile)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_XmllintNoout(benchmark::State& state) {
  Fixture& f = Data();
  const std::string command = "xmllint --noout '" + f.path + "'";
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) state.SkipWithError("xmllint failed or is missing");
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    Keep(bestXmllint, s);
    state.SetIterationTime(s);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes));
}
BENCHMARK(BM_XmllintNoout)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The element pass alone, on text already in memory.
void BM_ParseInMemory(benchmark::State& state) {
  Fixture& f = Data();
  XmlDocument doc;
  for (auto _ : state) {
    doc.Text() = f.text;
    benchmark::DoNotOptimize(doc.Parse());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes));
}
BENCHMARK(BM_ParseInMemory)->Unit(benchmark::kMillisecond);

// Writing the document text to a UTF-8 file.
void BM_WriteFile(benchmark::State& state) {
  Fixture& f = Data();
  for (auto _ : state) {
    std::u16string log;
    uint32_t flags = 0;
    if (!XmlDocument::WriteTextFile(f.text, log, f.outPath, &flags)) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes));
}
BENCHMARK(BM_WriteFile)->Unit(benchmark::kMillisecond);

// Building a document the way the profile writer does, element by element.
void BM_BuildWithAddElement(benchmark::State& state) {
  const int profiles = int(state.range(0));
  size_t size = 0;
  for (auto _ : state) {
    XmlDocument doc;
    doc.SetDocument(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
    doc.AddElement(u"profiles");
    doc.EnterElement();
    for (int p = 0; p < profiles; ++p) {
      doc.AddElement(u"profile");
      doc.EnterElement();
      doc.AddElement(u"keyitems");
      doc.EnterElement();
      for (int k = 1; k <= 8; ++k) {
        doc.AddElement(u"item");
        doc.SetAttributeInt(u"key_code", k);
        doc.SetAttributeInt(u"macro_type", 1);
        doc.SetAttribute(doc.CurrentElement(), u"macro_desc", u"Left & <Ctrl>", 0);
      }
      doc.LeaveElement();
      doc.LeaveElement();
    }
    size = doc.Text().size();
    benchmark::DoNotOptimize(size);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}
BENCHMARK(BM_BuildWithAddElement)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  if (bestOurs > 0 && bestXmllint > 0) {
    std::printf("\nread+parse %.1f ms, xmllint --noout %.1f ms: ratio %.2f (best of each, %.1f MB)\n",
                bestOurs * 1e3, bestXmllint * 1e3, bestOurs / bestXmllint, Data().bytes / 1e6);
  }
  benchmark::Shutdown();
  return 0;
}
