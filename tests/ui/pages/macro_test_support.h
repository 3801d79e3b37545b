// Shared pieces of the macro page's tests: macros put into the store, the
// list and the editor driven as the user drives them, and the event list and
// stored events as comparable text ("text|type|value").
#pragma once

#include "assign/macro_event_type.h"
#include "main_window_test_support.h"

namespace mainwintest {

class MacroTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    MakeWindow();
  }
  TestWindow& W() { return *window_; }

  static MacroRecord Event(int type, int value, std::u16string desc, int stamp = 0) {
    MacroRecord r;
    r.type = type;
    r.value = value;
    r.desc = std::move(desc);
    r.delay_time = stamp;
    return r;
  }
  // A new macro with its events, numbered in the order given.
  int StoreMacro(const std::u16string& name, std::vector<MacroRecord> events = {}) {
    const int id = db_.AddMacro(name);
    for (size_t i = 0; i < events.size(); ++i) {
      events[i].macro_id = id;
      events[i].record_index = static_cast<int>(i);
    }
    db_.SaveMacroRecords(events);
    return id;
  }
  void SelectMacro(int index) {
    W().macroList->SetCurSel(index);
    W().macroList->UserEvent(kEventClick, index);
  }
  void SelectEvent(int index) {
    W().eventList->SetCurSel(index);
    W().eventList->UserEvent(kEventClick, index);
  }
  static std::string Text(std::u16string_view text, int type, int value) {
    return platform::Utf16ToUtf8(text) + "|" + std::to_string(type) + "|" + std::to_string(value);
  }
  std::vector<std::string> Listed() {
    std::vector<std::string> out;
    for (const RecordItem& item : W().eventList->GetRecordItems()) out.push_back(Text(item.text, item.type, item.value));
    return out;
  }
  // The stored events in record_index order, which must run 0..n-1.
  std::vector<std::string> Stored(int macroId) {
    std::vector<MacroRecord> rows;
    db_.LoadMacroRecords(macroId, rows);
    std::vector<std::string> out;
    for (size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].record_index, static_cast<int>(i));
      out.push_back(Text(rows[i].desc, rows[i].type, rows[i].value));
    }
    return out;
  }
};

}  // namespace mainwintest
