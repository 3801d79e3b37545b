// One row each of the store's tables, carried between the database and the
// pages. Text is UTF-16; the store converts it to and from UTF-8.
#pragma once

#include <string>

// t_profile_data. The table's column order is profile, name, status, app, type.
struct ProfileInfo {
  int profile = 0;
  std::u16string name;  // seeded profiles carry a language text number ("800" ...)
  std::u16string app;
  int type = 0;
  int status = 0;  // 1 for the active profile
};

// t_key_macro_data, members in column order.
struct KeyAssignment {
  int key_id = 0;
  int profile = 0;
  int fn_layer = 0;
  int key_code = 0;  // button 1 to 8
  int layout_value = 0;
  std::u16string layout_desc;
  int macro_type = 0;  // KeyActionType
  int macro_value = 0;
  int macro_value2 = 0;  // KeyModifierBits of a key combination
  int macro_value3 = 0;
  std::u16string macro_desc;
};

// t_macro_data, members in column order.
struct MacroInfo {
  int macro_id = 0;
  std::u16string name;
  int play_type = 0;
  int play_times = 0;
  int delay_type = 0;
  int delay_time = 0;
};

// t_macrorecord: one macro event. The table's column order is record_id,
// macro_id, type, record_index, desc, value, delay_time.
struct MacroRecord {
  int record_id = 0;
  int macro_id = 0;
  int type = 0;  // MacroEventType
  int record_index = 0;
  int value = 0;
  int delay_time = 0;  // the editor's time stamp of the event
  std::u16string desc;
};

// t_light_data, members in column order.
struct LightMode {
  int light_id = 0;
  int profile = 0;
  std::u16string name;
  int mode = 0;
  int brightness = 0;
  int speed = 0;
  int direction = 0;
  int colorful = 0;
  int colorindex = 0;
  int color_value = 0;
  int config_func = 0;
  int reserved = 0;
  int status = 0;  // 1 for the profile's active mode
};
