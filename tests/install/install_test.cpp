// The udev rule made from config.xml, and an install and uninstall of the
// built program into a private prefix.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "ui/device_config.h"

namespace fs = std::filesystem;

namespace {

const std::string kRuntime = TGM_RUNTIME_DIR;
const std::string kRuleName = "70-tarsel-game-mouse.rules";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs a shell command; its exit status and what it printed (stdout and stderr).
std::pair<int, std::string> RunShell(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return {-1, ""};
  std::array<char, 4096> buf{};
  while (size_t n = fread(buf.data(), 1, buf.size(), pipe)) output.append(buf.data(), n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

TEST(UdevRule, EveryMouseOfConfigXmlHasARuleAndNothingElseDoes) {
  const DeviceConfig config = LoadDeviceConfigFile(kRuntime + "/config.xml");
  std::set<std::pair<int, int>> configured;
  for (const DeviceModeInfo& row : config.modeRows) configured.insert({row.vid, row.pid});
  ASSERT_FALSE(configured.empty());

  // Each rule opens the hidraw nodes of one HID device BUS:VID:PID.N to the seated user.
  const std::regex rule(R"re(SUBSYSTEM=="hidraw", KERNELS=="\*:([0-9A-F]{4}):([0-9A-F]{4})\.\*", TAG\+="uaccess")re");
  std::istringstream lines(ReadFile(kRuntime + "/udev/" + kRuleName));
  std::set<std::pair<int, int>> ruled;
  std::string line;
  int rules = 0;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, rule)) << line;
    ruled.insert({std::stoi(m[1], nullptr, 16), std::stoi(m[2], nullptr, 16)});
    ++rules;
  }
  EXPECT_EQ(ruled, configured);
  EXPECT_EQ(rules, static_cast<int>(configured.size()));  // one rule per pair
}

TEST(Install, InstallsALauncherAndPrintsTheRuleCommandThenUninstallLeavesNothing) {
  const fs::path root = fs::temp_directory_path() / ("tgm-install-" + std::to_string(getpid()));
  fs::remove_all(root);
  // A prefix with a space and a dollar sign: the launcher's Exec must quote both.
  const fs::path prefix = root / "my $HOME prefix";
  const std::string scripts = std::string(TGM_SOURCE_ROOT) + "/scripts/";
  const bool ruleWasInstalled = fs::exists("/etc/udev/rules.d/" + kRuleName);

  const auto [status, printed] = RunShell("TGM_APP_DIR=" + ShellQuote(kRuntime) + " " + scripts + "install " +
                                     ShellQuote(prefix.string()));
  ASSERT_EQ(status, 0) << printed;
  const fs::path dest = prefix / "lib/tarsel-game-mouse";
  for (const fs::path& p : {dest / "Tarsel-Game mouse", dest / "config.xml", dest / "language/1033.lan",
                            dest / "logo/icon.png", dest / "udev" / kRuleName})
    EXPECT_TRUE(fs::is_regular_file(p)) << p;
  EXPECT_EQ(fs::canonical(prefix / "bin/tarsel-game-mouse"), fs::canonical(dest / "Tarsel-Game mouse"));

  const fs::path launcher = prefix / "share/applications/tarsel-game-mouse.desktop";
  const std::string entry = ReadFile(launcher);
  EXPECT_NE(entry.find("Exec=\"" + root.string() + "/my \\\\$HOME prefix/lib/tarsel-game-mouse/Tarsel-Game mouse\"\n"),
            std::string::npos)
      << entry;
  EXPECT_NE(entry.find("Icon=" + (dest / "logo/icon.png").string() + "\n"), std::string::npos) << entry;
  const auto [valid, complaints] = RunShell("desktop-file-validate " + ShellQuote(launcher.string()));
  EXPECT_EQ(valid, 0) << complaints;
  EXPECT_EQ(complaints, "");

  // The one root command is printed with the installed rule, never run.
  const std::string command = "  sudo install -m 0644 " + root.string() + "/my\\ \\$HOME\\ prefix/lib/tarsel-game-mouse/udev/" +
                              kRuleName + " /etc/udev/rules.d/" + kRuleName + "\n";
  EXPECT_NE(printed.find(command), std::string::npos) << printed;
  EXPECT_EQ(fs::exists("/etc/udev/rules.d/" + kRuleName), ruleWasInstalled);

  const auto [removed, said] = RunShell(scripts + "uninstall " + ShellQuote(prefix.string()));
  ASSERT_EQ(removed, 0) << said;
  std::vector<std::string> left;
  for (const auto& e : fs::recursive_directory_iterator(prefix)) left.push_back(e.path().string());
  EXPECT_TRUE(left.empty()) << left.front();
  fs::remove_all(root);
}

TEST(Install, LeavesACommandOfTheUsersOwnAndInstallsTheRest) {
  const fs::path root = fs::temp_directory_path() / ("tgm-install-own-" + std::to_string(getpid()));
  const fs::path dest = root / "lib/tarsel-game-mouse";
  const fs::path command = root / "bin/tarsel-game-mouse";
  const std::string scripts = std::string(TGM_SOURCE_ROOT) + "/scripts/";
  struct Row {
    const char* name;
    std::function<void()> make;
    bool ours;  // replaced by the install, removed by the uninstall
  };
  const Row rows[] = {
      {"the user's own file", [&] { std::ofstream(command) << "#!/bin/sh\necho mine\n"; }, false},
      {"the user's link elsewhere", [&] { fs::create_symlink("/bin/true", command); }, false},
      {"the user's dangling link", [&] { fs::create_symlink(root / "gone", command); }, false},
      {"a folder", [&] { fs::create_directory(command); }, false},
      {"our link of an earlier install", [&] { fs::create_symlink(dest / "Tarsel-Game mouse", command); }, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(root);
    fs::create_directories(command.parent_path());
    row.make();
    const auto before = fs::symlink_status(command).type();
    const std::string target = fs::is_symlink(command) ? fs::read_symlink(command).string() : "";
    const std::string content = fs::is_regular_file(command) ? ReadFile(command) : "";

    const auto [status, printed] =
        RunShell("TGM_APP_DIR=" + ShellQuote(kRuntime) + " " + scripts + "install " + ShellQuote(root.string()));
    ASSERT_EQ(status, 0) << printed;
    EXPECT_TRUE(fs::is_regular_file(dest / "Tarsel-Game mouse"));
    EXPECT_TRUE(fs::is_regular_file(root / "share/applications/tarsel-game-mouse.desktop"));
    EXPECT_EQ(printed.find("is not ours") != std::string::npos, !row.ours) << printed;
    if (row.ours) {
      EXPECT_EQ(fs::read_symlink(command), dest / "Tarsel-Game mouse");
    } else {
      // Same kind, same link target, same bytes, and nothing put into a folder.
      ASSERT_EQ(fs::symlink_status(command).type(), before);
      const bool link = fs::is_symlink(command);
      EXPECT_EQ(link ? fs::read_symlink(command).string() : "", target);
      EXPECT_TRUE(link || !fs::is_regular_file(command) || ReadFile(command) == content);
      EXPECT_TRUE(link || !fs::is_directory(command) || fs::is_empty(command));
    }

    const auto [removed, said] = RunShell(scripts + "uninstall " + ShellQuote(root.string()));
    ASSERT_EQ(removed, 0) << said;
    EXPECT_EQ(fs::exists(fs::symlink_status(command)), !row.ours);
  }
  fs::remove_all(root);
}
