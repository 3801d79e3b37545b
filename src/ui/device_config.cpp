#include "ui/device_config.h"

#include "platform/product.h"
#include "platform/text.h"
#include "xml/xml_document.h"

namespace {

void ReadMouse(XmlDocument& doc, DeviceModeInfo& row) {
  row.name = doc.GetAttribute(u"name");
  row.device_type = platform::ParseDecimal(doc.GetAttribute(u"device_type"));
  row.device_attr = doc.GetAttribute(u"device_attr");
}

void ReadMode(XmlDocument& doc, DeviceModeInfo& row) {
  row.value = platform::ParseDecimal(doc.GetAttribute(u"value"));
  row.desc = doc.GetAttribute(u"desc");
  row.vid = static_cast<int>(platform::ParseHex(doc.GetAttribute(u"vid")));
  row.pid = static_cast<int>(platform::ParseHex(doc.GetAttribute(u"pid")));
  row.hid_interface = doc.GetAttribute(u"hid_interface");
}

}  // namespace

DeviceConfig ParseDeviceConfig(std::u16string_view text) {
  DeviceConfig config;
  XmlDocument doc;
  if (!doc.SetDocument(text) || !doc.FindElement(u"config")) return config;
  doc.EnterElement();
  if (doc.FindElement(u"device")) {
    doc.EnterElement();
    while (doc.FindElement(u"mouse")) {
      DeviceModeInfo mouse;
      ReadMouse(doc, mouse);
      config.mouseRows.push_back(mouse);
      doc.EnterElement();
      while (doc.FindElement(u"mode")) {
        DeviceModeInfo row = mouse;  // every mode field read afresh below
        ReadMode(doc, row);
        config.modeRows.push_back(row);
      }
      doc.LeaveElement();
    }
    doc.LeaveElement();
  }
  if (!doc.FindElement(u"software")) return config;
  config.softwareFound = true;
  config.softwareVersion = doc.GetAttribute(u"version");
  doc.EnterElement();
  // Each text is looked for forward from the last one found.
  if (doc.FindElement(u"website")) config.websiteUrl = doc.GetAttribute(u"url");
  if (doc.FindElement(u"store")) config.storeUrl = doc.GetAttribute(u"url");
  if (doc.FindElement(u"upgrade")) config.upgradeUrl = doc.GetAttribute(u"url");
  if (doc.FindElement(u"copyright")) config.copyrightInfo = doc.GetAttribute(u"info");
  return config;
}

DeviceConfig LoadDeviceConfigFile(const std::string& path) {
  std::u16string text;
  std::u16string log;
  uint32_t flags = 0;
  if (!XmlDocument::ReadTextFile(text, log, path, &flags)) {
    DebugTrace(2, "config.xml could not be read: %s", path.c_str());
    return {};
  }
  return ParseDeviceConfig(text);
}

bool IsSafeModelName(std::u16string_view attr) {
  if (attr.find(u"..") != std::u16string_view::npos) return false;
  for (char16_t c : attr) {
    if (c == u'/' || c == u'\\' || c < 0x20) return false;
  }
  return true;
}

std::u16string DatabaseModelName(const std::vector<DeviceModeInfo>& mouseRows, int type,
                                 std::u16string_view whenNone) {
  for (const auto& row : mouseRows) {
    if (row.device_type != type) continue;
    if (!IsSafeModelName(row.device_attr)) {
      DebugTrace(2, "device_attr refused as a database name: %s",
                 platform::Utf16ToUtf8(row.device_attr).c_str());
      return {};
    }
    return row.device_attr;
  }
  return std::u16string(whenNone);
}
