// The shared simulator preloaded in front of the real hidapi: the manager,
// linked against hidapi-hidraw, sees the machine the environment describes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "device/hid_device_manager.h"

namespace {

TEST(DropIn, PreloadedSimulatorStandsInForTheRealHidapi) {
  if (std::getenv("TGM_SIM_SETUP") == nullptr) GTEST_SKIP() << "run through ctest, which preloads the simulator";
  HidDeviceManager mgr;
  mgr.SetDeviceType(101);
  mgr.AddSupportedDevice(0x3A1C, 0x1001, u"", 101, kModeWired);
  mgr.AddSupportedDevice(0x3A1C, 0x1002, u"", 101, kModeReceiver);
  mgr.Rescan();
  EXPECT_EQ(mgr.GetConnectionMode(), kModeWired);
  EXPECT_EQ(mgr.AttachedCount(), 2u);  // the wired vendor interface and the receiver
  std::u16string text;
  EXPECT_TRUE(mgr.ReadFeatureVersion(text, 0));
  EXPECT_EQ(text, u"V1.0.3");

  std::ifstream log(std::getenv("TGM_SIM_LOG"));
  std::string line;
  int feature_sends = 0;
  while (std::getline(log, line)) feature_sends += line.find(" feature-send ") != std::string::npos;
  EXPECT_EQ(feature_sends, 1);
}

}  // namespace
