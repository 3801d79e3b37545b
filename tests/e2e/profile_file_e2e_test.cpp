// Profiles the way a user meets them: the five of a first start in the combo,
// one exported through the file dialog, a DPI value changed and sent, the file
// imported again, and the next write puts the exported value back on the mouse.
#include "e2e/program_fixture.h"

namespace {

using namespace e2etest;

class ProfileFileTest : public ProgramTest {
 protected:
  // A query's output from the sqlite3 tool, on a copy of the program's database.
  std::string Sqlite(const std::string& sql) {
    const std::string copy = box_.Root() + "/query.db";
    std::error_code ignored;
    std::filesystem::copy_file(box_.DatabasePath(), copy, std::filesystem::copy_options::overwrite_existing,
                               ignored);
    return Tool({"sqlite3", copy, sql}).out;
  }
  std::string Rows() {
    return Sqlite("SELECT profile, key, value FROM t_configdata ORDER BY profile, key;"
                  "SELECT profile, key_code, macro_type, macro_value, macro_value2, macro_desc "
                  "FROM t_key_macro_data ORDER BY profile, key_code;");
  }

  // The file dialog that `click` opens: the path typed into its name field and taken.
  void ChooseFile(int x, int y, const std::string& path, const std::string& title) {
    ASSERT_TRUE(Click(x, y));
    const auto dialog = WaitVisible(title, 15000);
    ASSERT_TRUE(dialog.has_value()) << "no file dialog";
    WaitSteady(0, 0, 200, 200, 2000);
    ASSERT_EQ(Tool({"xdotool", "type", "--delay", "20", path}).exitCode, 0);
    ASSERT_EQ(Tool({"xdotool", "key", "Return"}).exitCode, 0);
    ASSERT_TRUE(WaitGone(title, 10000)) << "the dialog stayed open";
  }
};

TEST_F(ProfileFileTest, AnExportedProfileComesBackThroughImport) {
  if (!e2e::HaveTool("sqlite3") || !e2e::HaveTool("xmllint")) GTEST_SKIP() << "sqlite3 or xmllint missing";
  Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored(); })) << "the key maps were not read back";
  const Geometry g = GeometryOf(window);

  // A first start: the five default profiles, the first in use, each with its rows.
  EXPECT_EQ(Sqlite("SELECT p.profile, p.name, p.status, count(c.key) FROM t_profile_data p "
                   "LEFT JOIN t_configdata c ON c.profile = p.profile GROUP BY p.profile;"),
            "1|800|1|25\n2|801|0|25\n3|811|0|25\n4|821|0|25\n5|831|0|25\n");

  // The button page with its profile combo, kept with the test output.
  ASSERT_TRUE(Click(g.x + 110, g.y + 70));
  WaitSteady(g.x, g.y, g.width, g.height);
  Shot("profile_combo.png", {g.x + 60, g.y + 140, 400, 140});

  // The performance page, its first stage chosen: (80, 190, 180, 290).
  ASSERT_TRUE(Click(g.x + 170, g.y + 70));
  WaitSteady(g.x, g.y, g.width, g.height);
  ASSERT_TRUE(Click(g.x + 130, g.y + 205));
  ASSERT_TRUE(WaitFor([&] { return Snapshot()->Settings(1)["dpi_index"] == "0"; })) << "stage 1 not chosen";

  // Export: button 92, client (R - 160, 55, R - 60, 85).
  const std::string file = box_.Home() + "/mine.xml";
  ChooseFile(g.x + g.width - 110, g.y + 70, file, "^Save As$");
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(file); }, 5000)) << "nothing written";
  const std::string exported = Rows();
  const std::string text = e2e::ReadFile(file);
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<profile>\r\n", 0), 0u);
  EXPECT_EQ(Tool({"xmllint", "--noout", file}).exitCode, 0) << text;
  const int value = std::stoi(Snapshot()->Settings(1).at("dpi_group0_value"));
  EXPECT_NE(text.find("<DPI1 value=\"" + std::to_string(value) + "\""), std::string::npos);

  // The step up, (R - 120, 315, R - 100, 330), raises the stage by 100; Apply sends it.
  ASSERT_TRUE(Click(g.x + g.width - 110, g.y + 322));
  ASSERT_TRUE(WaitFor([&] { return Snapshot()->Settings(1)["dpi_group0_value"] == std::to_string(value + 100); }))
      << "the step was not stored";
  Apply(g);
  EXPECT_EQ(MouseState().dpi, value + 100);

  // Import: button 91, client (R - 280, 55, R - 180, 85); the worker then
  // shows the profile again, and Apply sends it.
  const std::string stepped = WaitSteady(g.x + 80, g.y + 190, 100, 100);
  ChooseFile(g.x + g.width - 230, g.y + 70, file, "^Open$");
  ASSERT_TRUE(WaitFor([&] { return Snapshot()->Settings(1)["dpi_group0_value"] == std::to_string(value); }))
      << "the import did not store the file's value";
  EXPECT_EQ(Rows(), exported) << "export then import changes no row";
  ASSERT_TRUE(WaitFor([&] { return Grab(g.x + 80, g.y + 190, 100, 100) != stepped; })) << "the page was not shown again";
  Apply(g);
  const sim::MouseState state = MouseState();
  EXPECT_EQ(state.dpi, value);
  EXPECT_EQ(state.dpi_level, 1);
  ASSERT_FALSE(state.settings.empty());
  EXPECT_EQ(state.settings[0].at(4) | state.settings[0].at(5) << 8, value);
}

// Exports to a folder that cannot be written (a path under a regular file):
// one box names the file, and nothing is left. The box does not grow, so the
// longest name a folder may hold stays within its text area.
TEST_F(ProfileFileTest, AnExportThatWritesNothingIsTold) {
  Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  const Geometry g = GeometryOf(window);
  ASSERT_TRUE(Click(g.x + 110, g.y + 70));  // the button page
  WaitSteady(g.x, g.y, g.width, g.height);
  const std::string notes = box_.Home() + "/notes";
  std::ofstream(notes) << "x";
  const auto listing = [&] {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(box_.Home())) names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> before = listing();

  // The box's text area, client (20, 50, R - 20, B - 50): its pixels, and
  // bands along its top and bottom, which lines cut off there would reach.
  // (Its sides cannot cut: the path may break after any character.)
  struct Shown {
    std::string text, edges;
  };
  const auto exportTo = [&](const std::string& path, const std::string& shot) {
    Shown shown;
    ChooseFile(g.x + g.width - 110, g.y + 70, path, "^Save As$");
    const auto box = WaitVisible("^MessageBox$", 10000);
    EXPECT_TRUE(box.has_value()) << "no box for " << path;
    if (!box) return shown;
    const Geometry b = GeometryOf(*box);
    shown.text = WaitSteady(b.x + 20, b.y + 50, b.width - 40, b.height - 100);
    Shot(shot, b);
    shown.edges = Grab(b.x + 20, b.y + 50, b.width - 40, 6) + Grab(b.x + 20, b.y + b.height - 56, b.width - 40, 6);
    EXPECT_TRUE(Click(b.x + b.width / 2, b.y + b.height - 32));
    EXPECT_TRUE(WaitGone("^MessageBox$", 10000)) << "the box stayed open";
    EXPECT_NE(Trace().find("file not written: " + path + "\n"), std::string::npos);
    return shown;
  };
  const Shown a = exportTo(notes + "/x.xml", "export_not_written.png");
  const Shown b = exportTo(notes + "/" + std::string(251, 'W') + ".xml", "export_not_written_long.png");
  EXPECT_TRUE(a.text != b.text) << "the box does not show the file";
  EXPECT_TRUE(a.edges == b.edges) << "the long name reaches the edges of the text area";
  EXPECT_EQ(listing(), before);
  EXPECT_EQ(e2e::ReadFile(notes), "x");
}

}  // namespace
