// File dialogs for window tests: answered at once with what the test put in,
// and what the code asked for recorded. Installed while the object lives.
#pragma once

#include <string>
#include <string_view>

#include "ui/file_dialogs.h"

namespace mainwintest {

class FakeFileDialogs : public ui::FileDialogs {
 public:
  FakeFileDialogs() { ui::SetFileDialogsForTests(this); }
  ~FakeFileDialogs() override { ui::SetFileDialogsForTests(nullptr); }
  std::string OpenFile(MWindow*, std::u16string_view, std::u16string_view filter) override {
    lastFilter = std::u16string(filter);
    return openPath;
  }
  std::string SaveFile(MWindow*, std::u16string_view, const std::string&, std::u16string_view filter,
                       std::u16string_view defaultSuffix) override {
    lastFilter = std::u16string(filter);
    lastSuffix = std::u16string(defaultSuffix);
    return savePath;
  }
  std::string ChooseFolder(MWindow*, std::u16string_view title) override {
    lastTitle = std::u16string(title);
    return folder;
  }
  std::string openPath, savePath, folder;  // empty: the user cancels
  std::u16string lastFilter, lastTitle, lastSuffix;
};

}  // namespace mainwintest
