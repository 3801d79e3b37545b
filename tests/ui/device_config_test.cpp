#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ui/device_config.h"

namespace {

std::u16string Doc(std::u16string_view body) {
  return u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" + std::u16string(body);
}

const char16_t* kTwoMice =
    u"<config><device>"
    u"<mouse name=\"A\" device_type=\"101\" device_attr=\"ModelA\">"
    u"<mode value=\"0\" desc=\"USB\" vid=\"0x248A\" pid=\"5B4F\" hid_interface=\"MI_01\"/>"
    u"<mode value=\"1\" vid=\"248a\" pid=\"0x5b50\"/>"
    u"</mouse>"
    u"<mouse name=\"B\" device_type=\" 101x\" device_attr=\"ModelB\"/>"
    u"<mouse name=\"N\" device_type=\"201\" device_attr=\"Nordic\"><mode value=\"2\" vid=\"zz\"/></mouse>"
    u"</device>"
    u"<software caption=\"c\" version=\"2.0.1\">"
    u"<website url=\"w\"/><store url=\"s\"/><upgrade url=\"u\"/><copyright info=\"(c)\"/>"
    u"</software></config>";

}  // namespace

TEST(DeviceConfig, ReadsMiceModesAndSoftwareTexts) {
  const DeviceConfig c = ParseDeviceConfig(Doc(kTwoMice));
  ASSERT_EQ(c.mouseRows.size(), 3u);
  EXPECT_EQ(c.mouseRows[1].device_type, 101);  // _wtoi: blanks, then digits up to 'x'
  EXPECT_EQ(c.mouseRows[0].value, 0);
  EXPECT_TRUE(c.mouseRows[0].desc.empty());

  ASSERT_EQ(c.modeRows.size(), 3u);
  const DeviceModeInfo& usb = c.modeRows[0];
  EXPECT_EQ(usb.name, u"A");
  EXPECT_EQ(usb.device_attr, u"ModelA");
  EXPECT_EQ(usb.vid, 0x248A);
  EXPECT_EQ(usb.pid, 0x5B4F);
  EXPECT_EQ(usb.hid_interface, u"MI_01");
  // The next mode reads every mode field afresh: nothing carries over.
  const DeviceModeInfo& rx = c.modeRows[1];
  EXPECT_EQ(rx.value, 1);
  EXPECT_EQ(rx.vid, 0x248A);  // "0x248A" and "248a" are the same number
  EXPECT_EQ(rx.pid, 0x5B50);
  EXPECT_TRUE(rx.desc.empty());
  EXPECT_TRUE(rx.hid_interface.empty());
  EXPECT_EQ(c.modeRows[2].vid, 0);  // does not parse: 0
  EXPECT_EQ(c.modeRows[2].device_type, 201);

  EXPECT_TRUE(c.softwareFound);
  EXPECT_EQ(c.softwareVersion, u"2.0.1");
  EXPECT_EQ(c.websiteUrl, u"w");
  EXPECT_EQ(c.storeUrl, u"s");
  EXPECT_EQ(c.upgradeUrl, u"u");
  EXPECT_EQ(c.copyrightInfo, u"(c)");

  // Two mice of type 101: the first names the database.
  EXPECT_EQ(DatabaseModelName(c.mouseRows, 101), u"ModelA");
  EXPECT_EQ(DatabaseModelName(c.mouseRows, 999), u"");
}

TEST(DeviceConfig, SoftwareBeforeDeviceIsNotRead) {
  const DeviceConfig c = ParseDeviceConfig(Doc(
      u"<config><software version=\"9\"/><device><mouse device_type=\"101\"/></device></config>"));
  EXPECT_EQ(c.mouseRows.size(), 1u);
  EXPECT_FALSE(c.softwareFound);
  EXPECT_TRUE(c.softwareVersion.empty());
}

TEST(DeviceConfig, SoftwareTextsAreFoundOnlyForwardOfTheLastOneFound) {
  const DeviceConfig c = ParseDeviceConfig(Doc(
      u"<config><software>"
      u"<copyright info=\"early\"/><upgrade url=\"u\"/><website url=\"late-w\"/><copyright info=\"late\"/>"
      u"</software></config>"));
  ASSERT_TRUE(c.softwareFound);
  EXPECT_TRUE(c.softwareVersion.empty());  // no version attribute: an empty version
  EXPECT_EQ(c.websiteUrl, u"late-w");
  EXPECT_TRUE(c.storeUrl.empty());    // no store after website
  EXPECT_TRUE(c.upgradeUrl.empty());  // upgrade stands before website
  EXPECT_EQ(c.copyrightInfo, u"late");
}

TEST(DeviceConfig, BrokenOrForeignDocumentsGiveNothing) {
  for (const char16_t* text : {u"", u"<config><device>", u"<settings><device><mouse/></device></settings>",
                               u"not xml at all"}) {
    const DeviceConfig c = ParseDeviceConfig(text);
    EXPECT_TRUE(c.mouseRows.empty()) << std::string(text, text + std::char_traits<char16_t>::length(text));
    EXPECT_FALSE(c.softwareFound);
  }
  EXPECT_TRUE(LoadDeviceConfigFile("/nonexistent/config.xml").mouseRows.empty());
}

TEST(DeviceConfig, ModelNamesThatLeaveTheDataFolderAreRefused) {
  std::vector<DeviceModeInfo> rows(1);
  rows[0].device_type = 101;
  for (const char16_t* bad : {u"../x", u"a/b", u"a\\b", u"..", u"x\ny"}) {
    rows[0].device_attr = bad;
    EXPECT_EQ(DatabaseModelName(rows, 101), u"");
  }
  rows[0].device_attr = u"TG M1.v2";
  EXPECT_EQ(DatabaseModelName(rows, 101), u"TG M1.v2");
}

TEST(DeviceConfig, ShippedFileListsTheModel) {
  const DeviceConfig c = LoadDeviceConfigFile(std::string(TGM_SOURCE_ROOT) + "/resources/config.xml");
  ASSERT_FALSE(c.mouseRows.empty());
  EXPECT_EQ(c.mouseRows[0].device_type, 101);
  EXPECT_FALSE(DatabaseModelName(c.mouseRows, 101).empty());
  EXPECT_EQ(c.modeRows.size(), 3u);
}
