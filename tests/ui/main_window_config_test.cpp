// config.xml as the main window loads it: the rows it keeps, the version
// labels, the device type, the model's database and the scan that follows.
// The file is read beside the executable, so this binary lives in a folder of
// its own and writes the file there; one test runs every case in turn.
#include "main_window_test_support.h"

using namespace mainwintest;

namespace {

class ConfigFile {
 public:
  ConfigFile() : path_(GetExeFolder() + "config.xml") {}
  ~ConfigFile() {
    std::error_code ec;
    fs::remove(path_, ec);
  }
  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  void Remove() {
    std::error_code ec;
    fs::remove(path_, ec);
  }

 private:
  std::string path_;
};

std::string ConfigText(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<config>\r\n" + body + "</config>\r\n";
}

const char kDevices[] =
    "<device>\r\n"
    "<mouse name=\"Other\" device_type=\"102\" device_attr=\"OTHER\">\r\n"
    "<mode value=\"0\" desc=\"cable\" vid=\"0x3A1C\" pid=\"0x1001\" hid_interface=\"\"/>\r\n"
    "</mouse>\r\n"
    "<mouse name=\"M1\" device_type=\"101\" device_attr=\"TGM1\">\r\n"
    "<mode value=\"0\" desc=\"cable\" vid=\"0x3a1c\" pid=\"1001\" hid_interface=\"\"/>\r\n"
    "<mode value=\"1\" desc=\"receiver\" vid=\"3A1C\" pid=\"0x1002\"/>\r\n"
    "</mouse>\r\n"
    "<mouse name=\"M2\" device_type=\"101\" device_attr=\"TGM2\"/>\r\n"
    "</device>\r\n";

class MainWindowConfigTest : public MainWindowTest {
 protected:
  TestWindow& Load(const std::string& text) {
    if (text.empty()) {
      file_.Remove();
    } else {
      file_.Write(text);
    }
    TestWindow& w = MakeWindow({});
    w.LoadConfig();
    return w;
  }
  std::u16string Label(int id) { return window_->GetControlAs<MControlFont>(id)->GetTitle(); }

  ConfigFile file_;
};

TEST_F(MainWindowConfigTest, EveryCaseOfTheFile) {
  sim::AddWiredMouse(kVid, kWiredPid);
  {
    SCOPED_TRACE("devices and software texts");
    WriteDeviceType(*store_, 5);
    TestWindow& w = Load(ConfigText(std::string(kDevices) +
                                "<software caption=\"x\" version=\"2.5.0.7\">\r\n"
                                "<copyright info=\"(c)\"/>\r\n<website url=\"w\"/>\r\n<upgrade url=\"u\"/>\r\n"
                                "</software>\r\n"));
    EXPECT_EQ(w.mouseRows.size(), 3u);
    ASSERT_EQ(w.modeRows.size(), 3u);
    EXPECT_EQ(w.modeRows[1].vid, 0x3A1C);
    EXPECT_EQ(w.modeRows[1].pid, 0x1001);
    EXPECT_EQ(w.modeRows[2].hid_interface, u"");
    {
      std::lock_guard lock(w.supportedRowsLock);
      ASSERT_EQ(w.supportedRows.size(), 2u);
      EXPECT_EQ(w.supportedRows[0].name, u"M1");
    }
    EXPECT_EQ(w.softwareVersion, u"2.5.0.7");
    EXPECT_EQ(Label(42), u"2.5.0.7");
    EXPECT_EQ(Label(262), u"2.5.0.7");
    // Each text is looked for forward from the last one found: the copyright
    // before the website is not seen.
    EXPECT_EQ(w.websiteUrl, u"w");
    EXPECT_EQ(w.storeUrl, u"");
    EXPECT_EQ(w.upgradeUrl, u"u");
    EXPECT_EQ(w.copyrightInfo, u"");
    EXPECT_EQ(ReadDeviceType(*store_), 101);
    EXPECT_EQ(devices_->GetDeviceType(), 101);
    EXPECT_EQ(db_.Path(), dataFolder_ + "db/TGM1_data_qel.db");
    EXPECT_EQ(StateText(), GetLangText(51));
    EXPECT_EQ(w.deviceReady.load(), 1);
  }
  {
    SCOPED_TRACE("software before device, without a version");
    TestWindow& w = Load(ConfigText("<software version=\"9\"/>\r\n" + std::string(kDevices)));
    EXPECT_EQ(w.modeRows.size(), 3u);
    EXPECT_EQ(w.softwareVersion, u"");
    EXPECT_EQ(Label(42), u"1.2.0.1");
    TestWindow& v = Load(ConfigText(std::string(kDevices) + "<software caption=\"x\"/>\r\n"));
    EXPECT_EQ(v.modeRows.size(), 3u);
    EXPECT_EQ(Label(42), u"");
    EXPECT_EQ(Label(262), u"");
  }
  for (const std::string& text : {std::string(), std::string("<config><device><mouse"),
                                  std::string("<?xml version=\"1.0\"?><other>" + std::string(kDevices) + "</other>")}) {
    SCOPED_TRACE("no usable file: " + text.substr(0, 30));
    WriteDeviceType(*store_, 5);
    TestWindow& w = Load(text);
    EXPECT_TRUE(w.mouseRows.empty());
    EXPECT_TRUE(w.modeRows.empty());
    EXPECT_EQ(Label(42), u"1.2.0.1");
    EXPECT_EQ(ReadDeviceType(*store_), 101);
    EXPECT_EQ(db_.Path(), dataFolder_ + "db/_data_qel.db");
    EXPECT_EQ(StateText(), GetLangText(50));
    EXPECT_EQ(w.deviceConnected.load(), 0);
  }
}

}  // namespace
