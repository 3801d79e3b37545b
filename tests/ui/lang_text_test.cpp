// Language texts, the INI reader under them and the re-wording of names.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/product.h"
#include "ui/ini_file.h"
#include "ui/lang_text.h"

namespace {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    path_ = fs::temp_directory_path() / ("lang_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const fs::path file = path_ / name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file.string();
  }
  std::string Path() const { return path_.string() + "/"; }

 private:
  fs::path path_;
  static inline int counter_ = 0;
};

std::string Utf16Le(std::u16string_view text, bool bom) {
  std::string bytes = bom ? std::string("\xFF\xFE", 2) : std::string();
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

// Restores the process-wide language id and folder after each test.
class LangTextTest : public ::testing::Test {
 protected:
  void SetUp() override { savedLanguage_ = CurrentLanguageId.load(); }
  void TearDown() override {
    CurrentLanguageId = savedLanguage_;
    ui::SetLanguageFolder(std::string(TGM_RUNTIME_DIR) + "/language/");
  }
  int savedLanguage_ = 2052;
};

TEST(IniFile, FindsKeysBySectionWithTheReaderRules) {
  const std::string ini =
      "; comment\r\n"
      "[Other]\r\n"
      "20=wrong section\r\n"
      "[lan]\r\n"
      "  20 =  OK  \r\n"
      "20=second occurrence\r\n"
      ";21=commented out\r\n"
      "22=\"quoted value\"\r\n"
      "23=\r\n"
      "24=a=b\n"
      "noequals\n"
      "[LAN2]\n"
      "25=other\n";
  EXPECT_EQ(ui::ReadIniStringFromBytes(u"LAN", u"20", ini), u"OK");
  EXPECT_EQ(ui::ReadIniStringFromBytes(u"LAN", u"21", ini), u"");
  EXPECT_EQ(ui::ReadIniStringFromBytes(u"LAN", u"22", ini), u"quoted value");
  EXPECT_EQ(ui::ReadIniStringFromBytes(u"LAN", u"23", ini), u"");
  EXPECT_EQ(ui::ReadIniStringFromBytes(u"LAN", u"24", ini), u"a=b");
  EXPECT_EQ(ui::ReadIniStringFromBytes(u"LAN", u"25", ini), u"");
  EXPECT_EQ(ui::ReadIniStringFromBytes(u"Missing", u"20", ini), u"");
  EXPECT_EQ(ui::ReadIniStringFromBytes(u"LAN", u"20", ""), u"");
  EXPECT_EQ(ui::ReadIniStringFromBytes(u"LAN", u"1", std::string("[LAN]\n1=ab\0cd\n", 14)), u"ab");
}

TEST(IniFile, ReadsUtf8WithAndWithoutBomAndUtf16WithBom) {
  TempFolder folder;
  const std::u16string chinese = u"确定";
  const std::string utf8 = "[LAN]\r\n20=\xE7\xA1\xAE\xE5\xAE\x9A\r\n";
  EXPECT_EQ(ui::ReadIniString(u"LAN", u"20", folder.Write("plain.lan", utf8)), chinese);
  EXPECT_EQ(ui::ReadIniString(u"LAN", u"20", folder.Write("bom.lan", "\xEF\xBB\xBF" + utf8)), chinese);
  EXPECT_EQ(ui::ReadIniString(u"LAN", u"20", folder.Write("wide.lan", Utf16Le(u"[LAN]\r\n20=确定\r\n", true))), chinese);
  // Broken UTF-8 gives replacement characters, not a failure.
  EXPECT_EQ(ui::ReadIniString(u"LAN", u"20", folder.Write("bad.lan", "[LAN]\n20=a\xFF" "b\n")), u"a\uFFFDb");
  EXPECT_EQ(ui::ReadIniString(u"LAN", u"20", folder.Path() + "missing.lan"), u"");
}

TEST(IniFile, CutsLongValuesAt259UnitsWithoutSplittingAPair) {
  const std::string ascii = "[LAN]\n1=" + std::string(300, 'x') + "\n";
  EXPECT_EQ(ui::ReadIniStringFromBytes(u"LAN", u"1", ascii), std::u16string(259, u'x'));
  const std::string exact = "[LAN]\n1=" + std::string(259, 'y') + "\n";
  EXPECT_EQ(ui::ReadIniStringFromBytes(u"LAN", u"1", exact).size(), 259u);
  // 258 units, then a character outside the BMP across the limit.
  const std::string pair = "[LAN]\n1=" + std::string(258, 'z') + "\xF0\x9F\x98\x80" + "\n";
  const std::u16string value = ui::ReadIniStringFromBytes(u"LAN", u"1", pair);
  EXPECT_EQ(value, std::u16string(258, u'z'));
}

TEST_F(LangTextTest, ReadsTheFileOfTheCurrentLanguageOnEveryCall) {
  TempFolder folder;
  folder.Write("2052.lan", "\xEF\xBB\xBF[LAN]\r\n20=\xE7\xA1\xAE\xE5\xAE\x9A\r\n");
  folder.Write("1033.lan", "[LAN]\r\n20=OK\r\n351=" + std::string(300, 'c') + "\r\n");
  ui::SetLanguageFolder(folder.Path());
  CurrentLanguageId = 2052;
  EXPECT_EQ(GetLangText(20), u"确定");
  CurrentLanguageId = 1033;
  EXPECT_EQ(GetLangText(20, u"LAN"), u"OK");
  EXPECT_EQ(GetLangText(351).size(), 259u);
  EXPECT_EQ(GetLangText(21), u"");
  EXPECT_EQ(GetLangText(20, u"OTHER"), u"");
  // Changed on disk: the next call sees it.
  folder.Write("1033.lan", "[LAN]\r\n20=Okay\r\n");
  EXPECT_EQ(GetLangText(20), u"Okay");
  // A language without a file has no texts.
  fs::remove(folder.Path() + "1033.lan");
  EXPECT_EQ(GetLangText(20), u"");
  CurrentLanguageId = 1041;
  EXPECT_EQ(GetLangText(20), u"");
}

TEST_F(LangTextTest, AFileThatCannotBeReadHasNoTextsAndStopsNothing) {
  struct Row {
    const char* name;
    std::function<void(const std::string& path)> make;
    bool rootReadsIt;
  };
  const Row rows[] = {
      {"folder in its place", [](const std::string& p) { fs::create_directory(p); }, false},
      {"FIFO without a writer", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }, false},
      {"link to a file whose read fails",
       [](const std::string& p) { fs::create_symlink("/proc/self/mem", p); }, false},
      {"dangling link", [](const std::string& p) { fs::create_symlink(p + ".gone", p); }, false},
      {"no read permission",
       [](const std::string& p) {
         std::ofstream(p) << "[LAN]\n20=OK\n";
         fs::permissions(p, fs::perms::none);
       },
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.rootReadsIt && geteuid() == 0) continue;  // root reads it all the same
    TempFolder folder;
    ui::SetLanguageFolder(folder.Path());
    CurrentLanguageId = 1033;
    row.make(folder.Path() + "1033.lan");
    EXPECT_EQ(GetLangText(20), u"");
    EXPECT_EQ(LocalizeDefaultName(u"自定义 1"), u" 1");
  }
}

TEST_F(LangTextTest, IsSafeWhileAnotherThreadSwitchesTheLanguage) {
  TempFolder folder;
  folder.Write("2052.lan", "[LAN]\n50=B\n");
  folder.Write("1033.lan", "[LAN]\n50=A\n");
  ui::SetLanguageFolder(folder.Path());
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::thread reader([&] {
    while (!stop) {
      const std::u16string text = GetLangText(50);
      if (text != u"A" && text != u"B") ++bad;
    }
  });
  for (int i = 0; i < 200; ++i) CurrentLanguageId = i % 2 == 0 ? 1033 : 2052;
  stop = true;
  reader.join();
  EXPECT_EQ(bad.load(), 0);
}

TEST_F(LangTextTest, EveryTextNumberTheProgramUsesIsInBothLanguageFiles) {
  // Every numbered text that the windows, pages, dialogs, boxes, stored
  // descriptions and default profile names refer to.
  const int numbers[] = {
      5,   6,   7,   12,  20,  21,  22,  23,  25,  26,  27,  30,  31,  32,  36,  39,  50,  51,  52,  53,
      54,  56,  57,  71,  72,  73,  74,  76,  90,  91,  101, 103, 111, 112, 113, 114, 115, 121, 122, 123,
      124, 125, 126, 127, 128, 129, 130, 150, 151, 152, 153, 154, 155, 156, 160, 161, 162, 163, 164, 170,
      171, 175, 176, 177, 178, 179, 180, 181, 182, 185, 186, 187, 188, 189, 190, 191, 192, 193, 194, 200,
      201, 210, 212, 214, 215, 216, 218, 249, 252, 253, 255, 256, 257, 258, 259, 260, 261, 275, 276, 350, 351, 352, 353, 355,
      357, 358, 359, 360, 361, 362, 363, 364, 365, 366, 367, 368, 385, 386, 387, 388, 389, 390, 391, 392,
      393, 394, 395, 396, 397, 398, 400, 401, 402, 403, 405, 406, 407, 408, 409, 410, 411, 412, 413, 414,
      415, 500, 531, 532, 533, 534, 535, 536, 537, 560, 561, 573, 576, 577, 578, 585, 586, 587, 600, 601,
      602, 603, 605, 606, 607, 608, 610, 611, 613, 630, 631, 632, 633, 634, 635, 636, 637, 638, 639, 640,
      641, 650, 651, 652, 653, 654, 657, 658, 659, 670, 671, 672, 675, 676, 800, 801, 811, 821, 831};
  ui::SetLanguageFolder(std::string(TGM_SOURCE_ROOT) + "/resources/language/");
  for (int language : {1033, 2052}) {
    CurrentLanguageId = language;
    for (int number : numbers) EXPECT_FALSE(GetLangText(number).empty()) << language << " text " << number;
  }
  // The default-name and copy words the re-wording relies on.
  CurrentLanguageId = 2052;
  EXPECT_EQ(GetLangText(351), u"自定义");
  EXPECT_EQ(GetLangText(31), u"复制");
  CurrentLanguageId = 1033;
  EXPECT_EQ(GetLangText(351), u"Custom");
  EXPECT_EQ(GetLangText(31), u"Copy");
}

TEST(LocalizeDefaultName, RewordsTheDefaultWordAtTheStart) {
  using ui::LocalizeDefaultNameFor;
  EXPECT_EQ(LocalizeDefaultNameFor(u"自定义 3", 1033, u"Custom"), u"Custom 3");
  EXPECT_EQ(LocalizeDefaultNameFor(u"Custom 3", 2052, u"自定义"), u"自定义 3");
  EXPECT_EQ(LocalizeDefaultNameFor(u"Customer", 2052, u"自定义"), u"自定义er");
  EXPECT_EQ(LocalizeDefaultNameFor(u"Custom", 2052, u"自定义"), u"自定义");
  EXPECT_EQ(LocalizeDefaultNameFor(u"Cust", 2052, u"自定义"), u"Cust");
  // Case matters; the language's own word is left.
  EXPECT_EQ(LocalizeDefaultNameFor(u"custom 1", 2052, u"自定义"), u"custom 1");
  EXPECT_EQ(LocalizeDefaultNameFor(u"Custom 1", 1033, u"Custom"), u"Custom 1");
  EXPECT_EQ(LocalizeDefaultNameFor(u"Пользователь 2", 3082, u"Personalizado"), u"Personalizadoель 2");
  // 1049 does not know these words; unknown languages know none.
  EXPECT_EQ(LocalizeDefaultNameFor(u"カスタム 1", 1049, u"X"), u"カスタム 1");
  EXPECT_EQ(LocalizeDefaultNameFor(u"Personalizado 1", 1049, u"X"), u"Personalizado 1");
  EXPECT_EQ(LocalizeDefaultNameFor(u"Custom 1", 9999, u"X"), u"Custom 1");
}

TEST(LocalizeDefaultName, RewordsTheCopyWordAtTheEndWithOneBlank) {
  using ui::LocalizeDefaultNameFor;
  EXPECT_EQ(LocalizeDefaultNameFor(u"Fire Copy", 2052, u"自定义"), u"Fire 复制");
  EXPECT_EQ(LocalizeDefaultNameFor(u"FireCopy", 2052, u"自定义"), u"Fire 复制");
  EXPECT_EQ(LocalizeDefaultNameFor(u"Fire Copy Copy", 2052, u"自定义"), u"Fire Copy 复制");
  EXPECT_EQ(LocalizeDefaultNameFor(u"自定义 4 复制", 1033, u"Custom"), u"Custom 4 Copy");
  EXPECT_EQ(LocalizeDefaultNameFor(u"Fire 复制", 1041, u"X"), u"Fire 复制");
  EXPECT_EQ(LocalizeDefaultNameFor(u"Fire 复制", 3082, u"X"), u"Fire Copiar");
  EXPECT_EQ(LocalizeDefaultNameFor(u"Fire Copy", 1033, u"Custom"), u"Fire Copy");
}

TEST_F(LangTextTest, AssignmentTextKeysByKind) {
  ui::SetLanguageFolder(std::string(TGM_SOURCE_ROOT) + "/resources/language/");
  EXPECT_EQ(GetAssignmentTextKey(1, 1, u"x"), u"121");
  EXPECT_EQ(GetAssignmentTextKey(4, 1, u"x"), u"111");
  EXPECT_EQ(GetAssignmentTextKey(18, 1, u"x"), u"152");
  EXPECT_EQ(GetAssignmentTextKey(24, 1, u"x"), u"162");
  EXPECT_EQ(GetAssignmentTextKey(25, 3, u"x"), u"182");
  EXPECT_EQ(GetAssignmentTextKey(25, 9, u"media"), u"media");
  EXPECT_EQ(GetAssignmentTextKey(26, 4, u"x"), u"189");
  EXPECT_EQ(GetAssignmentTextKey(26, 11, u"x"), u"31");
  EXPECT_EQ(GetAssignmentTextKey(26, 5, u"Show desktop"), u"Show desktop");
  EXPECT_EQ(GetAssignmentTextKey(26, 10, u"Shot"), u"Shot");
  EXPECT_EQ(GetAssignmentTextKey(26, 0, u"none"), u"none");
  EXPECT_EQ(GetAssignmentTextKey(22, 4, u"Ctrl + A"), u"Ctrl + A");
  EXPECT_EQ(GetAssignmentTextKey(27, 1, u"smile"), u"smile");
  EXPECT_EQ(GetAssignmentTextKey(11, 1, u"own"), u"own");
  EXPECT_EQ(GetAssignmentTextKey(12, 1, u"own"), u"own");
  CurrentLanguageId = 1033;
  EXPECT_EQ(GetAssignmentTextKey(23, 5, u"自定义 2"), u"Custom 2");

  struct Row {
    int macro_type;
    int macro_value;
    std::string macro_desc;
  } utf8Row{23, 5, "\xE8\x87\xAA\xE5\xAE\x9A\xE4\xB9\x89 7"};
  EXPECT_EQ(GetAssignmentTextKey(utf8Row), u"Custom 7");
  struct WideRow {
    int macro_type;
    int macro_value;
    std::u16string macro_desc;
  } wideRow{25, 2, u"x"};
  EXPECT_EQ(GetAssignmentTextKey(wideRow), u"179");
}

TEST_F(LangTextTest, LocalizeDefaultNameUsesTheLanguageFileWord) {
  ui::SetLanguageFolder(std::string(TGM_SOURCE_ROOT) + "/resources/language/");
  CurrentLanguageId = 1033;
  EXPECT_EQ(LocalizeDefaultName(u"自定义 3"), u"Custom 3");
  EXPECT_EQ(LocalizeDefaultName(u"Plain"), u"Plain");
  CurrentLanguageId = 2052;
  EXPECT_EQ(LocalizeDefaultName(u"Custom 3 Copy"), u"自定义 3 复制");
}

}  // namespace
