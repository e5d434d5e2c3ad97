#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "config/settings.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void Set(std::string a, std::string b, std::string c) {
  COM_PATH = a;
  CON_PATH = b;
  COM_SETTINGS = c;
}

// Runs each test in a fresh working directory, as velder runs in the
// user's.
class SettingsFile : public testing::Test {
 protected:
  void SetUp() override {
    old_ = fs::current_path();
    std::string t = (fs::temp_directory_path() / "velder-unit-XXXXXX").string();
    dir_ = mkdtemp(&t[0]);
    fs::current_path(dir_);
    Set("", "", "");
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  std::vector<std::string> Entries() {
    std::vector<std::string> v;
    for (auto& e : fs::directory_iterator(".")) v.push_back(e.path().filename().string());
    return v;
  }
  fs::path old_, dir_;
};

TEST(LoadSettings, LineBreaksAndLineCounts) {
  struct Case {
    std::string file, com, con, opt;
  } cases[] = {
      {"a\r\nb\r\nc", "a", "b", "c"},
      {"a\nb\nc\n", "a", "b", "c"},
      {"a\r\nb\r\nc\r\n", "a", "b", "c"},
      {"a\nb\nc\nd\ne\n", "a", "b", "c"},
      {"only", "only", "", ""},
      {"", "", "", ""},
      {"\r\n\r\n", "", "", ""},
      {"\xef\xbb\xbf" "g++\n", "\xef\xbb\xbf" "g++", "", ""},  // a BOM is kept
      {"a\rb\nc", "a\rb", "c", ""},                              // a lone CR is data
      {"   \n\"C:\\a b\\g++.exe\"\n-O2 中文", "   ", "\"C:\\a b\\g++.exe\"", "-O2 中文"},
  };
  for (const Case& c : cases) {
    Set("", "", "");
    Load_Settings(c.file);
    EXPECT_EQ(COM_PATH, c.com) << c.file;
    EXPECT_EQ(CON_PATH, c.con) << c.file;
    EXPECT_EQ(COM_SETTINGS, c.opt) << c.file;
  }
}

TEST(FormatSettings, CrLfBetweenValuesNoneAfter) {
  EXPECT_EQ(Format_Settings("", "", ""), "\r\n\r\n");
  EXPECT_EQ(Format_Settings("a", "b c", "-O2"), "a\r\nb c\r\n-O2");
}

TEST_F(SettingsFile, SaveThenInitRoundTrips) {
  Set("D:\\工具\\g++.exe", " \"quoted\" ", "-O2 -Wall  ");
  EXPECT_EQ(Save_Settings(), "");
  EXPECT_EQ(Slurp("velder_data.sg"), "D:\\工具\\g++.exe\r\n \"quoted\" \r\n-O2 -Wall  ");
  Set("x", "y", "z");
  Init();
  EXPECT_EQ(COM_PATH, "D:\\工具\\g++.exe");
  EXPECT_EQ(CON_PATH, " \"quoted\" ");
  EXPECT_EQ(COM_SETTINGS, "-O2 -Wall  ");
  EXPECT_EQ(Entries(), std::vector<std::string>{"velder_data.sg"});
}

TEST_F(SettingsFile, SavedFileIsHidden) {
  Save_Settings();
  char v[16] = {};
  ssize_t n = getxattr("velder_data.sg", "user.DOSATTRIB", v, sizeof v);
  if (n < 0 && errno == ENOTSUP) GTEST_SKIP() << "no user attributes here";
  EXPECT_EQ(std::string(v, n > 0 ? n : 0), "0x2");
  Save_Settings();  // the hidden file is replaced as well
  EXPECT_EQ(Slurp("velder_data.sg"), "\r\n\r\n");
}

TEST_F(SettingsFile, DirectoryOfThatNameIsNotLoadedAndGivesWayWhenEmpty) {
  fs::create_directory("velder_data.sg");
  COM_PATH = "kept";
  Init();
  EXPECT_EQ(COM_PATH, "kept");
  Save_Settings();
  EXPECT_TRUE(fs::is_regular_file("velder_data.sg"));
  EXPECT_EQ(Slurp("velder_data.sg"), "kept\r\n\r\n");
}

TEST_F(SettingsFile, DirectoryWithContentsStaysAndNothingIsLeftBehind) {
  fs::create_directories("velder_data.sg/inner");
  EXPECT_EQ(Save_Settings(), "设置文件 velder_data.sg 未能保存：它是一个不为空的目录。");
  EXPECT_TRUE(fs::is_directory("velder_data.sg/inner"));
  EXPECT_EQ(Entries(), std::vector<std::string>{"velder_data.sg"});
}

// A link to the user's own regular file stays a link, and its target (in
// its own folder) gets the new content, but only when the target holds
// nothing the three settings could not: at most three lines, none too
// long, no NUL byte. Any other link is left alone.
TEST_F(SettingsFile, LinkKeptAndItsTargetReplaced) {
  const std::string LONG_LINE(SETTING_MAX + 1, 'x');
  struct Case {
    std::string link;  // where velder_data.sg points
    std::string saved_at;  // the file that gets the settings; "" for none
    std::string held = "precious";  // what the targets hold before
  } cases[] = {
      {"target", "target"},
      {"sub/target", "sub/target"},
      {"hop", "target"},  // a link to a link
      {"missing", ""},
      {"sub", ""},  // a directory
      {"loop", ""},
      {"target", "target", "g++\r\npauser\r\n-O2\r\n"},
      {"target", "", "root:x:0:0\nbin:x:1:1\nsys:x:2:2\nnotes\n"},  // a fourth line
      {"target", "", std::string("a\0b", 3)},
      {"target", "", "g++\n" + LONG_LINE},
  };
  for (const Case& c : cases) {
    fs::remove_all("sub");
    for (std::string f : {"target", "hop", "loop", "missing", "velder_data.sg"}) fs::remove(f);
    fs::create_directory("sub");
    std::ofstream("target", std::ios::binary) << c.held;
    std::ofstream("sub/target", std::ios::binary) << c.held;
    fs::create_symlink("target", "hop");
    fs::create_symlink("loop", "loop");
    fs::create_symlink(c.link, "velder_data.sg");
    Set("a", "b", "c");
    std::string why = Save_Settings();
    EXPECT_EQ(why.empty(), !c.saved_at.empty()) << c.link << ": " << why;
    EXPECT_EQ(fs::read_symlink("velder_data.sg"), c.link);
    for (std::string f : {"target", "sub/target"})
      EXPECT_EQ(Slurp(f), f == c.saved_at ? "a\r\nb\r\nc" : c.held) << c.link << " " << f;
    if (c.link == "target" && c.saved_at.empty()) {
      EXPECT_EQ(why, "设置文件 velder_data.sg 未能保存：它是符号链接，指向的文件 target "
                     "含有设置以外的内容，为免丢失没有覆盖。");
    }
    std::vector<std::string> left = Entries(), sub;
    for (auto& e : fs::directory_iterator("sub")) sub.push_back(e.path().filename().string());
    EXPECT_EQ(left.size(), 5u) << c.link;  // no temporary file left anywhere
    EXPECT_EQ(sub, std::vector<std::string>{"target"}) << c.link;
    Set("", "", "");
    Init();
    if (c.held == "precious") {
      EXPECT_EQ(COM_PATH, c.saved_at.empty() ? "" : "a") << c.link;
    }
  }
}

TEST_F(SettingsFile, FailedWriteKeepsTheOldFile) {
  std::ofstream("velder_data.sg", std::ios::binary) << "old\r\nfile\r\n";
  pid_t pid = fork();
  if (pid == 0) {
    // Too small a file size limit: the write of the new content fails.
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit rl = {4, 4};
    setrlimit(RLIMIT_FSIZE, &rl);
    Set(std::string(100, 'x'), "y", "z");
    Save_Settings();
    _exit(0);
  }
  int st;
  waitpid(pid, &st, 0);
  ASSERT_TRUE(WIFEXITED(st));
  EXPECT_EQ(Slurp("velder_data.sg"), "old\r\nfile\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"velder_data.sg"});
}

TEST_F(SettingsFile, LeftoverOfAKilledSaveIsRemovedOnlyWhenItsProcessIsGone) {
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  std::string stale = "velder_data.sg.tmp-" + std::to_string(dead) + "-0";
  std::string live = "velder_data.sg.tmp-" + std::to_string(getppid()) + "-3";
  std::ofstream(stale) << "partial";
  std::ofstream(live) << "another copy saving";
  std::ofstream("velder_data.sg.tmp-notes") << "not ours";
  Save_Settings();
  std::vector<std::string> left = Entries();
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"velder_data.sg", live, "velder_data.sg.tmp-notes"}));
}

TEST_F(SettingsFile, InitLeavesSettingsEmptyWithoutAFile) {
  Init();
  EXPECT_EQ(COM_PATH + CON_PATH + COM_SETTINGS, "");
  EXPECT_TRUE(Entries().empty());
}

}  // namespace

namespace {

// The head of a file: up to and including the third LF, whatever follows;
// a FIFO or a missing file is unreadable, without blocking.
TEST_F(SettingsFile, ReadHeadStopsAtTheThirdLineFeed) {
  struct Case {
    std::string file, head;
  } cases[] = {
      {"a\r\nb\r\nc", "a\r\nb\r\nc"},
      {"a\nb\nc\n", "a\nb\nc\n"},
      {"a\nb\nc\nd\ne\n", "a\nb\nc\n"},
      {"\n\n\n\n", "\n\n\n"},
      {"only", "only"},
      {"", ""},
      {"x\ny\nz\n" + std::string(100000, 'w'), "x\ny\nz\n"},
      {std::string(20000, 'l') + "\n2\n3\n4", std::string(20000, 'l') + "\n2\n3\n"},
  };
  for (const Case& c : cases) {
    std::ofstream("f", std::ios::binary | std::ios::trunc) << c.file;
    platform::Head h = platform::Read_Head("f", 3, SETTING_MAX);
    EXPECT_EQ(h.kind, platform::Head::read);
    EXPECT_EQ(h.content, c.head);
    EXPECT_TRUE(h.dropped.empty());
  }
  EXPECT_EQ(platform::Read_Head("missing", 3, SETTING_MAX).kind, platform::Head::unreadable);
  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  EXPECT_EQ(platform::Read_Head("fifo", 3, SETTING_MAX).kind, platform::Head::unreadable);
}

// A line longer than the limit keeps only its LF, wherever the blocks of
// the read cut it; the lines after it are read as usual.
TEST_F(SettingsFile, ReadHeadLeavesOutLongLines) {
  const std::string BIG(100000, 'x');
  const std::string MAX(SETTING_MAX, 'm');
  struct Case {
    std::string file, head;
    std::vector<std::size_t> dropped;
  } cases[] = {
      {BIG + "\ng++\r\n-O2", "\ng++\r\n-O2", {0}},
      {MAX + "\n" + MAX + "x\r\n" + BIG, MAX + "\n\n", {1, 2}},
  };
  for (const Case& c : cases) {
    std::ofstream("f", std::ios::binary | std::ios::trunc) << c.file;
    platform::Head h = platform::Read_Head("f", 3, SETTING_MAX);
    EXPECT_EQ(h.kind, platform::Head::read);
    EXPECT_EQ(h.content, c.head);
    EXPECT_EQ(h.dropped, c.dropped);
  }
  // At start: the line named on standard error, its setting empty.
  std::ofstream("velder_data.sg", std::ios::binary | std::ios::trunc) << "g++\n" + BIG + "\n-O2";
  testing::internal::CaptureStderr();
  Init();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "velder: 设置文件 velder_data.sg 的第 2 行长于 32768 字节，未载入，ConsolePauser 路径为空。\n");
  EXPECT_EQ(COM_PATH + "|" + CON_PATH + "|" + COM_SETTINGS, "g++||-O2");
}

// What the next start would not load is not written; the rest is, and
// the save says which value it left out.
TEST_F(SettingsFile, SaveLeavesOutValuesTooLongToLoad) {
  const std::string LONG(SETTING_MAX + 1, 'o');
  Set("g++", std::string(SETTING_MAX, 'p'), LONG);
  EXPECT_EQ(Save_Settings(),
            "编译选项长于 32768 字节，下次启动时无法载入，因此没有保存；其余设置已保存。");
  EXPECT_EQ(Slurp("velder_data.sg"), "g++\r\n" + std::string(SETTING_MAX, 'p') + "\r\n");
  Set(LONG, LONG, "");
  EXPECT_NE(Save_Settings().find("编译器路径、ConsolePauser 路径长于"), std::string::npos);
}

// The installer's first settings file: written only where nothing of its
// name is, whatever is there is left exactly as it was, and nothing else
// is left behind.
TEST_F(SettingsFile, FirstSettingsOnlyWhereNothingIs) {
  EXPECT_EQ(Save_First_Settings(".", "/opt/g++", "/p/velder-pauser", ""), First_Save::written);
  EXPECT_EQ(Slurp("velder_data.sg"), "/opt/g++\r\n/p/velder-pauser\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"velder_data.sg"});

  fs::remove("velder_data.sg");
  fs::create_directory("velder_data.sg");  // an empty folder in the way stays too
  EXPECT_EQ(Save_First_Settings(".", "a", "b", ""), First_Save::present);
  EXPECT_TRUE(fs::is_directory("velder_data.sg"));
  fs::remove("velder_data.sg");
  fs::create_symlink("nowhere", "velder_data.sg");
  EXPECT_EQ(Save_First_Settings(".", "a", "b", ""), First_Save::present);
  EXPECT_EQ(fs::read_symlink("velder_data.sg"), "nowhere");
  fs::remove("velder_data.sg");
  std::ofstream("velder_data.sg") << "mine";
  EXPECT_TRUE(Settings_Present("."));
  EXPECT_EQ(Save_First_Settings(".", "a", "b", ""), First_Save::present);
  EXPECT_EQ(Slurp("velder_data.sg"), "mine");
  EXPECT_EQ(Entries(), std::vector<std::string>{"velder_data.sg"});

  EXPECT_FALSE(Settings_Present("missing"));
  EXPECT_EQ(Save_First_Settings("missing", "a", "b", ""), First_Save::failed);
  // A staged file a killed run left behind is written over and used.
  fs::create_directory("d");
  std::ofstream("d/velder_data.sg.new") << "stale";
  EXPECT_EQ(Save_First_Settings("d", "", "p", ""), First_Save::written);
  EXPECT_EQ(Slurp("d/velder_data.sg"), "\r\np\r\n");
  EXPECT_FALSE(fs::exists("d/velder_data.sg.new"));
}

// Move_New never replaces: another save that gets there first wins.
TEST_F(SettingsFile, MoveNewNeverReplaces) {
  std::ofstream("from") << "new";
  std::ofstream("to") << "old";
  EXPECT_FALSE(platform::Move_New("from", "to"));
  EXPECT_EQ(Slurp("to") + Slurp("from"), "oldnew");
}

}  // namespace
