// The profile combo and profile files, against the store and the simulated mouse.
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <future>
#include <thread>

#include "fake_file_dialogs.h"
#include "main_window_test_support.h"
#include "ui/profile_file.h"

namespace {

using namespace mainwintest;

class ProfilePageTest : public MainWindowTest {
 protected:
  // The store a first start leaves: the five default profiles, profile 1 active.
  TestWindow& DefaultStoreWindow() {
    db_.OpenAndWipe(dataFolder_, u"TGM1");
    TestWindow& w = MakeWindow();
    w.LoadActiveProfile();
    return w;
  }

  static std::vector<std::u16string> Items(MComboBox& combo) {
    std::vector<std::u16string> items;
    for (int i = 0; i < combo.GetCount(); ++i) items.push_back(combo.GetItemText(i));
    return items;
  }

  std::string File(const std::string& name, const std::string& text) {
    const std::string path = (home_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
};

TEST_F(ProfilePageTest, TheComboNamesTheProfilesInTheLanguageAndKeepsTheOneInUse) {
  {
    // Names that are no text number read as text 0.
    TestWindow& w = MakeWindow();
    w.LoadProfileList();
    EXPECT_EQ(Items(*w.profileCombo), std::vector<std::u16string>(5, GetLangText(0)));
  }
  TestWindow& w = DefaultStoreWindow();
  EXPECT_EQ(w.currentProfile.load(), 1);
  w.currentProfile = 3;
  CurrentLanguageId = 2052;
  w.LoadProfileList();
  MComboBox& combo = *w.profileCombo;
  EXPECT_EQ(Items(combo), (std::vector<std::u16string>{u"配置 1", u"配置 2", u"配置 3", u"配置 4", u"配置 5"}));
  EXPECT_EQ(combo.GetCurData(), 3);
  CurrentLanguageId = 1033;
  w.LoadProfileList();
  EXPECT_EQ(Items(combo),
            (std::vector<std::u16string>{u"Profile 1", u"Profile 2", u"Profile 3", u"Profile 4", u"Profile 5"}));
  EXPECT_EQ(combo.GetCurData(), 3);
  EXPECT_EQ(combo.GetTitle(), u"Profile 3");
}

TEST_F(ProfilePageTest, ChoosingAProfileShowsItAfterTheWorkersStep) {
  sim::AddWiredMouse(kVid, kWiredPid);
  TestWindow& w = DefaultStoreWindow();
  db_.SetConfigValue(4, u"dpi_group2_value", u"3200");
  w.ScanDevices();
  w.LoadProfileList();
  w.profileCombo->UserChose(3);
  w.ThreadStep();  // the worker's step, here on the test's thread
  QApplication::processEvents();
  EXPECT_EQ(w.currentProfile.load(), 4);
  EXPECT_EQ(db_.GetActiveProfile(), 4);
  EXPECT_EQ(w.profileCombo->GetCurData(), 4);
  EXPECT_EQ(w.dpiStages[2]->GetDPIValue(), 3200);
}

TEST_F(ProfilePageTest, ExportTakesOneProfileWholeAndImportPutsItBack) {
  TestWindow& w = DefaultStoreWindow();
  for (int p = 1; p <= 5; ++p) {
    db_.SaveKeyAssignment(KeyAssignment{0, p, 0, 2, 0, u"", 22, 10 + p, 0, 0, u"x"});  // a key of its own
    db_.SetConfigValue(p, u"dpi_group2_value", platform::FormatDecimal(1000 + p));
    db_.SetConfigValue(p, u"report_rate", platform::FormatDecimal(p % 4 + 1));
  }
  // Profile 3, button 5: kind 23, values 2, 0 and 9.
  db_.SaveKeyAssignment(KeyAssignment{0, 3, 0, 5, 0, u"", 23, 2, 0, 9, u"\"<&'>"});
  const std::string path = (home_ / "p3.xml").string();
  ASSERT_TRUE(w.ExportProfileTo(3, path));  // profile 1 in use

  const std::optional<ui::ProfileFile> file = ui::ReadProfileFile(path);
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(file->name, u"Profile 3");
  EXPECT_EQ(file->settings.at(u"dpi_group2_value"), u"1003");
  EXPECT_EQ(file->settings.at(u"report_rate"), u"4");
  ASSERT_EQ(file->keys.size(), 2u);
  for (const KeyAssignment& k : file->keys) EXPECT_TRUE(k.macro_value == 13 || k.macro_desc == u"\"<&'>");

  const std::string before = Dump();
  w.currentProfile = 3;
  ASSERT_TRUE(w.ImportProfileFrom(path));
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(Drain(w.workQueue), std::vector<int>{kCmdSelectProfile});

  // A button row the store refuses undoes the whole import: the profile keeps
  // its buttons and settings, and nothing is queued.
  w.currentProfile = 2;
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db_.Path().c_str(), &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw, "CREATE TRIGGER refuse BEFORE INSERT ON t_key_macro_data WHEN NEW.macro_type = 23 "
                              "BEGIN SELECT RAISE(ABORT, 'refused'); END", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(raw);
  EXPECT_FALSE(w.ImportProfileFrom(path));
  EXPECT_EQ(Dump(), before);
  EXPECT_TRUE(Drain(w.workQueue).empty());
  EXPECT_FALSE(w.ExportProfileTo(0, path)) << "no such profile in the list";
}

TEST_F(ProfilePageTest, FilesAreChosenInTheFileDialogs) {
  TestWindow& w = DefaultStoreWindow();
  db_.SetConfigValue(2, u"dpi_group0_value", u"900");
  FakeFileDialogs dialogs;
  ModalDriver modal;
  const std::string path = (home_ / "p.xml").string();
  EXPECT_EQ(w.SendMessage(UM_PROFILE_FILE, 2, 2), 1);  // cancelled
  EXPECT_FALSE(fs::exists(path));
  dialogs.savePath = path;
  w.SendMessage(UM_PROFILE_FILE, 2, 9);  // no such profile
  EXPECT_FALSE(fs::exists(path));
  w.SendMessage(UM_PROFILE_FILE, 2, 2);
  EXPECT_EQ(dialogs.lastFilter + u" " + dialogs.lastSuffix, u"Profile (*.xml) xml");
  EXPECT_TRUE(modal.boxes.empty()) << "a written file is not told";

  // Targets that take no file: one box each names the file, and nothing is
  // left in the folders, no temporary either (a folder named like the file
  // refuses only the rename).
  std::ofstream(home_ / "plain") << "x";
  fs::create_directory(home_ / "taken.xml");
  const std::string deep = (home_ / "plain" / std::string(150, 'd') / "end.xml").string();
  const struct {
    std::string path;
    std::u16string shown;  // what of the path the box shows
    bool full = false;     // the disk takes no more than a few bytes
  } unwritable[] = {
      {(home_ / "full.xml").string(), u"/full.xml", true},
      {"/proc/x.xml", u"\n/proc/x.xml"},
      {"/sys/x.xml", u"\n/sys/x.xml"},
      {(home_ / "plain/x.xml").string(), u"\n" + platform::Utf8ToUtf16((home_ / "plain/x.xml").string())},
      {(home_ / "taken.xml").string(), u"\n" + platform::Utf8ToUtf16((home_ / "taken.xml").string())},
      {deep, u"ddd/end.xml"},
  };
  const auto listing = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(home_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> before = listing();
  for (const auto& target : unwritable) {
    SCOPED_TRACE(target.path);
    modal.boxes.clear();
    dialogs.savePath = target.path;
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    // Beyond the limit a write fails (EFBIG) instead of raising SIGXFSZ.
    const auto handler = signal(SIGXFSZ, SIG_IGN);
    if (target.full) {
      const rlimit few{64, limit.rlim_max};
      setrlimit(RLIMIT_FSIZE, &few);
    }
    w.SendMessage(UM_PROFILE_FILE, 2, 2);
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, handler);
    ASSERT_EQ(modal.boxes.size(), 1u);
    EXPECT_EQ(modal.boxes[0].title, GetLangText(114));
    // The path may break anywhere: zero-width spaces between its characters.
    std::u16string text = modal.boxes[0].text;
    std::erase(text, u'\u200B');
    EXPECT_EQ(text.rfind(GetLangText(217) + u"\n", 0), 0u) << modal.boxes[0];
    EXPECT_TRUE(text.ends_with(target.shown)) << modal.boxes[0];
    // The box does not grow: a long path is shown shortened, its end whole.
    EXPECT_LT(text.size(), GetLangText(217).size() + 90);
  }
  EXPECT_EQ(listing(), before);
  EXPECT_TRUE(fs::is_directory(home_ / "taken.xml"));
  // A store another program holds gives no file of blanks, and the box names the store.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(db_.Path().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  modal.boxes.clear();
  dialogs.savePath = (home_ / "locked.xml").string();
  w.SendMessage(UM_PROFILE_FILE, 2, 2);
  sqlite3_close(other);
  ASSERT_EQ(modal.boxes.size(), 1u);
  EXPECT_EQ(modal.boxes[0].text, GetLangText(216));
  EXPECT_EQ(listing(), before);
  // Another thread's read that gets no answer during the export is that
  // thread's own: the export's reads are answered, its file is written and
  // nothing is told.
  struct Reader {
    std::thread::id window = std::this_thread::get_id();
    std::promise<void> inRead;
    bool first = true;
  } reader;
  ASSERT_TRUE(db_.SetAuthorizer(
      [](void* arg, int, const char*, const char*, const char*, const char*) {
        auto* r = static_cast<Reader*>(arg);
        if (std::this_thread::get_id() == r->window) return SQLITE_OK;
        if (r->first) {
          // Holding the store: the export waits for this read, which then goes unanswered.
          r->first = false;
          r->inRead.set_value();
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return SQLITE_DENY;
      },
      &reader));
  std::thread readerThread([&] {
    std::u16string value;
    EXPECT_EQ(db_.ReadConfigValue(1, u"report_rate", value), StoreRead::kUnreadable);
  });
  reader.inRead.get_future().wait();
  modal.boxes.clear();
  dialogs.savePath = (home_ / "beside.xml").string();
  w.SendMessage(UM_PROFILE_FILE, 2, 2);
  readerThread.join();
  db_.SetAuthorizer(nullptr, nullptr);
  EXPECT_TRUE(modal.boxes.empty()) << modal.boxes[0];
  EXPECT_TRUE(fs::exists(dialogs.savePath));
  fs::remove(dialogs.savePath);
  dialogs.openPath = path;
  EXPECT_EQ(w.OnMessage(91, kEventClick, 0, 0), 1);  // into profile 1
  EXPECT_EQ(dialogs.lastFilter, u"MouseKey (*.xml)");
  EXPECT_EQ(Config(1, u"dpi_group0_value"), u"900");
  EXPECT_EQ(Drain(w.workQueue), std::vector<int>{kCmdSelectProfile});
}

TEST_F(ProfilePageTest, ImportStoresOnlyWhatItMay) {
  sim::AddWiredMouse(kVid, kWiredPid);
  TestWindow& w = DefaultStoreWindow();
  w.ScanDevices();
  Assign(1, 1, 11);
  const std::string unchanged = Dump();
  const std::string bad = "<profile><profileinfo name='x'><Mouse_DPI dpi_flag='9' dpi_index='7' dpi_count='0'>"
                          "<DPI1 value='50000' color='-1'/><DPI2 value='12800.0' color='0x10'/></Mouse_DPI>"
                          "<Mouse><report_rate value='9'/><sensor_flag value=''/><leftbtn_lock/></Mouse>"
                          "</profileinfo></profile>";
  struct Case {
    const char* name;
    std::string path;
    int deviceType;
    std::vector<int> queued;  // empty: nothing may change
  };
  const Case cases[] = {
      {"unparsable", File("broken.xml", "<profile><profileinfo></profile>"), 101, {}},
      {"no root", File("other.xml", "<macro><Mouse><report_rate value='1'/></Mouse></macro>"), 101, {}},
      {"17 MiB", File("big.xml", "<profile>" + std::string(17 << 20, ' ') + "</profile>"), 101, {}},
      {"missing", (home_ / "none.xml").string(), 101, {}},
      {"out of range: rows kept, buttons gone", File("bad.xml", bad), 101, {kCmdSelectProfile}},
      {"second family", File("bad.xml", bad), 201, {kCmdWriteAllNordic}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    w.deviceType = c.deviceType;
    EXPECT_EQ(w.ImportProfileFrom(c.path), !c.queued.empty());
    EXPECT_EQ(Drain(w.workQueue), c.queued);
    EXPECT_EQ(KeyRows(1), c.queued.empty() ? 1u : 0u);
    if (c.queued.empty()) {
      EXPECT_EQ(Dump(), unchanged);
    }
  }
  // None of the refused values reaches the mouse with the next write.
  w.deviceType = 101;
  w.workQueue.Push(kCmdWriteAll);
  w.ThreadStep();
  const sim::SettingsBlock block = *mouse_->SettingsBlock(0);
  EXPECT_EQ(block[1], 2) << "report rate";
  EXPECT_EQ(block[3], 2) << "stage";
  EXPECT_EQ(block[4] | block[5] << 8, 800);
  EXPECT_EQ(block[6] | block[7] << 8, 1200);
  EXPECT_EQ(block[16] | block[17] << 8 | block[18] << 16, 255) << "stage 1 colour";
  EXPECT_EQ(block[41], 0x30) << "sensor bits of 53";
}

}  // namespace
