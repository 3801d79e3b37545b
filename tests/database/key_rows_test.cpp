#include <gtest/gtest.h>

#include "database/profile_database.h"
#include "db_test_util.h"

using dbtest::Key;
using dbtest::RawDb;
using dbtest::TempDataFolder;

namespace {

class KeyRows : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(store_.Open(data_.folder(), u"model")); }

  int RowCount() {
    RawDb raw(data_.DbPath("model"));
    return std::stoi(raw.One("SELECT count(*) FROM t_key_macro_data"));
  }

  TempDataFolder data_;
  ProfileDatabase store_;
};

}  // namespace

TEST_F(KeyRows, AllElevenFieldsRoundTripWithAnyText) {
  KeyAssignment key;
  key.profile = 6;
  key.fn_layer = 0;
  key.key_code = 8;
  key.layout_value = -3;
  key.layout_desc = u"\u5E03\u5C40 \"layout\" 'x'";                    // 布局 with quotes
  key.macro_type = 27;
  key.macro_value = 2147483647;
  key.macro_value2 = -2147483647 - 1;
  key.macro_value3 = 9;
  key.macro_desc = u"\U0001F600 \u8868\u60C5 'it''s' \"\" ; -- \u00E9";  // non-BMP, CJK, quotes

  const int id = store_.SaveKeyAssignment(key);
  ASSERT_GT(id, 0);

  KeyAssignment read;
  ASSERT_TRUE(store_.GetKeyAssignment(6, 0, 8, read));
  EXPECT_EQ(read.key_id, id);
  EXPECT_EQ(read.profile, 6);
  EXPECT_EQ(read.fn_layer, 0);
  EXPECT_EQ(read.key_code, 8);
  EXPECT_EQ(read.layout_value, -3);
  EXPECT_EQ(read.layout_desc, key.layout_desc);
  EXPECT_EQ(read.macro_type, 27);
  EXPECT_EQ(read.macro_value, 2147483647);
  EXPECT_EQ(read.macro_value2, -2147483647 - 1);
  EXPECT_EQ(read.macro_value3, 9);
  EXPECT_EQ(read.macro_desc, key.macro_desc);

  // Stored as UTF-8, as other readers of the file see it.
  RawDb raw(data_.DbPath("model"));
  EXPECT_EQ(raw.One("SELECT hex(macro_desc) FROM t_key_macro_data"),
            "F09F988020E8A1A8E683852027697427277327202222203B202D2D20C3A9");
}

TEST_F(KeyRows, SavingReplacesTheButtonsRowAndAnEmptyActionRemovesIt) {
  const int first = store_.SaveKeyAssignment(Key(1, 3, 4));
  const int second = store_.SaveKeyAssignment(Key(1, 3, 5));
  EXPECT_GT(second, first);
  EXPECT_EQ(RowCount(), 1);
  store_.SaveKeyAssignment(Key(2, 3, 6));  // another profile's button 3

  // A modifier alone still counts as an action.
  EXPECT_GT(store_.SaveKeyAssignment(Key(1, 4, 0, 2)), 0);
  EXPECT_EQ(store_.SaveKeyAssignment(Key(1, 3, 0, 0)), 0);
  KeyAssignment read;
  EXPECT_FALSE(store_.GetKeyAssignment(1, 0, 3, read));
  EXPECT_TRUE(store_.GetKeyAssignment(2, 0, 3, read));
  EXPECT_EQ(read.macro_value, 6);
  EXPECT_EQ(RowCount(), 2);
}

TEST_F(KeyRows, AFailedInsertKeepsTheButtonsPreviousAssignment) {
  ASSERT_GT(store_.SaveKeyAssignment(Key(1, 2, 4)), 0);
  {
    RawDb raw(data_.DbPath("model"));
    ASSERT_EQ(raw.Exec("CREATE TRIGGER refuse BEFORE INSERT ON t_key_macro_data "
                       "BEGIN SELECT RAISE(ABORT, 'refused'); END"),
              SQLITE_OK);
  }
  EXPECT_EQ(store_.SaveKeyAssignment(Key(1, 2, 9)), 0);
  KeyAssignment read;
  ASSERT_TRUE(store_.GetKeyAssignment(1, 0, 2, read));
  EXPECT_EQ(read.macro_value, 4);

  // Nothing was left pending: later writes are committed and visible to others.
  {
    RawDb raw(data_.DbPath("model"));
    raw.Exec("DROP TRIGGER refuse");
  }
  ASSERT_GT(store_.SaveKeyAssignment(Key(1, 2, 7)), 0);
  RawDb raw(data_.DbPath("model"));
  EXPECT_EQ(raw.One("SELECT macro_value FROM t_key_macro_data WHERE key_code = 2"), "7");
}

TEST_F(KeyRows, ReadersUseLayerZeroWhateverLayerTheyAreGiven) {
  store_.SaveKeyAssignment(Key(1, 3, 4));
  KeyAssignment layered = Key(1, 3, 8);
  layered.fn_layer = 1;
  store_.SaveKeyAssignment(layered);

  KeyAssignment read;
  ASSERT_TRUE(store_.GetKeyAssignment(1, 5, 3, read));
  EXPECT_EQ(read.macro_value, 4);
  std::vector<KeyAssignment> list;
  EXPECT_EQ(store_.LoadKeyAssignments(1, 1, list), 1);
  EXPECT_EQ(list[0].fn_layer, 0);

  EXPECT_TRUE(store_.SetKeyMacroDesc(1, 1, 3, u"\u5B8F 1"));
  ASSERT_TRUE(store_.GetKeyAssignment(1, 0, 3, read));
  EXPECT_EQ(read.macro_desc, u"\u5B8F 1");
  // A button without a row: success, nothing changes.
  EXPECT_TRUE(store_.SetKeyMacroDesc(1, 0, 7, u"x"));
  EXPECT_EQ(RowCount(), 2);
}

TEST_F(KeyRows, LoadingAndDeletingWorkPerProfile) {
  for (int key = 1; key <= 8; ++key) {
    store_.SaveKeyAssignment(Key(1, key, key));
    store_.SaveKeyAssignment(Key(2, key, 10 + key));
  }
  std::vector<KeyAssignment> list(2);
  ASSERT_EQ(store_.LoadKeyAssignments(2, 0, list), 8);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(list[i].profile, 2);
    EXPECT_EQ(list[i].key_code, i + 1);
    EXPECT_EQ(list[i].macro_value, 11 + i);
  }
  EXPECT_TRUE(store_.DeleteKeyAssignments(2));
  EXPECT_EQ(store_.LoadKeyAssignments(2, 0, list), 0);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(store_.LoadKeyAssignments(1, 0, list), 8);
  EXPECT_TRUE(store_.DeleteKeyAssignments(4));  // nothing to delete is still success
}

TEST_F(KeyRows, LightingOperationsWorkOnAnEmptyTable) {
  std::vector<LightMode> lights(1);
  LightMode light;
  light.brightness = 50;
  for (int profile = 1; profile <= 5; ++profile) {
    EXPECT_EQ(store_.LoadLightModes(profile, lights), 0);
    EXPECT_TRUE(lights.empty());
    EXPECT_EQ(store_.GetActiveLightMode(profile), 0);
    EXPECT_TRUE(store_.UpdateLightMode(profile, 1, light));
    EXPECT_TRUE(store_.SetActiveLightMode(profile, 1));
    EXPECT_FALSE(store_.GetLightMode(profile, 1, light));
  }
  RawDb raw(data_.DbPath("model"));
  EXPECT_EQ(raw.One("SELECT count(*) FROM t_light_data"), "0");
}

TEST_F(KeyRows, LightingRowsWrittenByOthersAreReadAndUpdated) {
  {
    RawDb raw(data_.DbPath("model"));
    ASSERT_EQ(raw.Exec("INSERT INTO t_light_data(profile, name, mode, brightness, speed, direction, colorful, "
                       "colorindex, color_value, config_func, reserved, status) VALUES "
                       "(1, 'Wave', 2, 1, 2, 3, 4, 5, 6, 7, 8, 0), (1, NULL, 3, 0, 0, 0, 0, 0, 0, 0, 0, 1)"),
              SQLITE_OK);
  }
  EXPECT_EQ(store_.GetActiveLightMode(1), 3);
  EXPECT_TRUE(store_.SetActiveLightMode(1, 2));
  EXPECT_EQ(store_.GetActiveLightMode(1), 2);

  LightMode update;
  update.light_id = 99;
  update.profile = 4;
  update.name = u"ignored";
  update.mode = 7;
  update.status = 0;
  update.brightness = 10;
  update.speed = 11;
  update.direction = 12;
  update.colorful = 13;
  update.colorindex = 14;
  update.color_value = 0xFF8000;
  update.config_func = 16;
  update.reserved = 17;
  EXPECT_TRUE(store_.UpdateLightMode(1, 2, update));

  LightMode read;
  ASSERT_TRUE(store_.GetLightMode(1, 2, read));
  EXPECT_EQ(read.light_id, 1);
  EXPECT_EQ(read.profile, 1);
  EXPECT_EQ(read.name, u"Wave");
  EXPECT_EQ(read.mode, 2);
  EXPECT_EQ(read.brightness, 10);
  EXPECT_EQ(read.speed, 11);
  EXPECT_EQ(read.direction, 12);
  EXPECT_EQ(read.colorful, 13);
  EXPECT_EQ(read.colorindex, 14);
  EXPECT_EQ(read.color_value, 0xFF8000);
  EXPECT_EQ(read.config_func, 16);
  EXPECT_EQ(read.reserved, 17);
  EXPECT_EQ(read.status, 1);

  std::vector<LightMode> lights;
  ASSERT_EQ(store_.LoadLightModes(1, lights), 2);
  EXPECT_EQ(lights[1].name, u"");  // a NULL text reads as empty
  EXPECT_EQ(lights[1].status, 0);
}
