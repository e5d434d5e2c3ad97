// The edit menu: its page, creating empty files in every way a line can
// name one (and every way that must fail), and opening a file in the
// editor chosen from the environment.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "harness.h"
#include "pages.h"

namespace fs = std::filesystem;

namespace {

const char END_OF_INPUT[] = "velder: 输入已结束，退出（设置未保存）。\n";

// The .cpp entries of a directory, names only.
std::vector<std::string> Cpp_Files(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) {
    std::string name = e.path().filename().string();
    if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".cpp") == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::uintmax_t Size_Of(const std::string& path) {
  std::error_code ec;
  return fs::file_size(path, ec);
}

// A run with no editor variables from the outside world.
Options Clean(const Temp_Dir& d) {
  Options o = In(d.path());
  o.unset = {"VISUAL", "EDITOR"};
  return o;
}

TEST(EditMenu, PageAndBack) {
  Temp_Dir d;
  Result r = Run_Piped(In(d.path()), "1\n4\n0\nx\n\n3\n");
  EXPECT_EQ(r.out, Through_Edit(std::string(RANGE_MESSAGE) + RANGE_MESSAGE + DIGIT_MESSAGE +
                                RANGE_MESSAGE));
  EXPECT_EQ(r.err, END_OF_INPUT);
  EXPECT_EQ(r.status, 1);
}

TEST(EditMenu, BackThenQuitSavesAsUsual) {
  Temp_Dir d;
  Result r = Run_Piped(In(d.path()), "1\n3\n4\n");
  EXPECT_EQ(r.out, Cls_Dumb() + Main_Page_Text() + Cls_Dumb() + Edit_Page_Text() + Cls_Dumb() +
                       Main_Page_Text() + Cls_Dumb() + FAREWELL);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Cpp_Files(d.path()).empty());
}

TEST(NewFile, CreatesEmptyFilesNamedAsTyped) {
  Temp_Dir d;
  fs::create_directory(d / "子目录");
  std::string input = "1\n";
  std::string screens;
  for (auto dir_name : std::vector<std::pair<std::string, std::string>>{
           {d.path(), "plain"},
           {d.path(), "my first program"},
           {d.path(), ""},
           {d.path(), "hello.cpp"},
           {d.path() + "/", "trailing"},
           {d / "子目录", "你好"},
           {".", "relative"},
       }) {
    input += "1\n" + dir_name.first + "\n" + dir_name.second + "\n";
    screens += New_File_Screen(CREATED);
  }
  Result r = Run_Piped(In(d.path()), input + "3\n");
  EXPECT_EQ(r.out, Through_Edit(screens));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Cpp_Files(d.path()),
            (std::vector<std::string>{".cpp", "hello.cpp.cpp", "my first program.cpp",
                                      "plain.cpp", "relative.cpp", "trailing.cpp"}));
  EXPECT_EQ(Cpp_Files(d / "子目录"), std::vector<std::string>{"你好.cpp"});
  for (std::string f : {"plain.cpp", ".cpp", "hello.cpp.cpp", "trailing.cpp", "子目录/你好.cpp"})
    EXPECT_EQ(Size_Of(d / f), 0u) << f;
}

TEST(NewFile, RefusedDirectoryLinesAreReadAgain) {
  Temp_Dir d;
  std::string nul_line("x\0y", 3);
  Result r = Run_Piped(In(d.path()),
                       "1\n1\n\n" + (d / "missing") + "\n" + d.path() + nul_line + "\n" +
                           d.path() + "\nfound\n3\n");
  EXPECT_EQ(r.out, Through_Edit(New_File_Screen(
                       CREATED, std::string(NO_PATH) + NO_PATH + NO_PATH)));
  EXPECT_TRUE(Exists(d / "found.cpp"));
}

TEST(NewFile, ExistingFileIsLeftAlone) {
  Temp_Dir d;
  Write_File_Bytes(d / "old.cpp", "int main() {}\n");
  Write_File_Bytes(d / "target.txt", "kept");
  fs::create_symlink(d / "target.txt", d / "link.cpp");
  Result r = Run_Piped(In(d.path()), "1\n1\n" + d.path() + "\nold\n1\n" + d.path() + "\nlink\n3\n");
  EXPECT_EQ(r.out, Through_Edit(New_File_Screen(EXISTS) + New_File_Screen(EXISTS)));
  EXPECT_EQ(Read_File_Bytes(d / "old.cpp"), "int main() {}\n");
  EXPECT_EQ(Read_File_Bytes(d / "target.txt"), "kept");
  EXPECT_TRUE(fs::is_symlink(d / "link.cpp"));
}

TEST(NewFile, FailuresAreReportedAndCreateNothing) {
  Temp_Dir d;
  Write_File_Bytes(d / "notes.txt", "x");
  fs::create_directory(d / "sub");
  fs::create_directory(d / "taken.cpp");
  fs::create_symlink(d / "nowhere.cpp", d / "dangling.cpp");
  std::string cases[][2] = {
      {d / "notes.txt", "a"},              // the directory line names a file
      {d.path(), "sub/inner"},             // the name holds the separator
      {d.path(), "taken"},                 // a directory is at the full path
      {d.path(), "dangling"},              // a link to nothing: not followed
      {d.path(), std::string("a\0b", 3)},  // the system would see only "a"
      {d.path(), std::string(300, 'n')},   // longer than a name may be
      {d.path(), "say \"hi\""},            // no command line could carry it
  };
  std::string input = "1\n", screens;
  for (auto& c : cases) {
    input += "1\n" + c[0] + "\n" + c[1] + "\n";
    screens += New_File_Screen(FAILED);
  }
  Result r = Run_Piped(In(d.path()), input + "3\n");
  EXPECT_EQ(r.out, Through_Edit(screens));
  EXPECT_EQ(Cpp_Files(d.path()), (std::vector<std::string>{"dangling.cpp", "taken.cpp"}));
  EXPECT_FALSE(Exists(d / "sub/inner.cpp"));
  EXPECT_FALSE(Exists(d / "nowhere.cpp"));
  EXPECT_FALSE(Exists(d / "a"));
  EXPECT_TRUE(fs::is_directory(d / "taken.cpp"));
}

TEST(NewFile, FifoAtThePathDoesNotHang) {
  Temp_Dir d;
  ASSERT_EQ(mkfifo((d / "pipe.cpp").c_str(), 0600), 0);
  Options o = In(d.path());
  o.timeout = 30;
  Result r = Run_Piped(o, "1\n1\n" + d.path() + "\npipe\n3\n");
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.out, Through_Edit(New_File_Screen(FAILED)));
}

// Sets or clears the immutable flag, as chattr does.
bool Set_Immutable(const std::string& dir, bool on) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  close(fd);
  return ok;
}

// Root writes anywhere, whatever the mode bits; an immutable directory
// refuses even root.
bool Make_Unwritable(const std::string& dir, std::string& why) {
  if (geteuid() != 0) return chmod(dir.c_str(), 0555) == 0 || (why = "chmod failed", false);
  if (Set_Immutable(dir, true)) return true;
  why = "running as root, and this file system or this container does not let the immutable "
        "flag be set (chattr +i)";
  return false;
}

void Make_Writable(const std::string& dir) {
  if (geteuid() == 0) Set_Immutable(dir, false);
  chmod(dir.c_str(), 0755);
}

TEST(NewFile, UnwritableDirectory) {
  Temp_Dir d;
  fs::create_directory(d / "locked");
  std::string why;
  if (!Make_Unwritable(d / "locked", why)) GTEST_SKIP() << "SKIPPED: " << why;
  Result r = Run_Piped(In(d.path()), "1\n1\n" + (d / "locked") + "\nx\n3\n");
  Make_Writable(d / "locked");
  EXPECT_EQ(r.out, Through_Edit(New_File_Screen(FAILED)));
  EXPECT_FALSE(Exists(d / "locked/x.cpp"));
}

TEST(NewFile, EndOfInputBeforeTheNameCreatesNothing) {
  Temp_Dir d;
  Result r = Run_Piped(In(d.path()), "1\n1\n" + d.path() + "\n");
  EXPECT_EQ(r.out, Cls_Dumb() + Main_Page_Text() + Cls_Dumb() + Edit_Page_Text() + Cls_Dumb() +
                       DIR_PROMPT + NAME_PROMPT);
  EXPECT_EQ(r.err, END_OF_INPUT);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Cpp_Files(d.path()).empty());
  EXPECT_FALSE(Exists(d / "velder_data.sg"));
}

TEST(OpenFile, EditorGetsThePathAsTyped) {
  Temp_Dir d;
  fs::create_directory(d / "My Dir");
  Write_File_Bytes(d / "My Dir/Prog.CPP", "");
  Write_File_Bytes(d / "notes.txt", "");
  Options o = Clean(d);
  o.env = {{"EDITOR", Helper("fake_editor")}, {"FAKE_EDITOR_LOG", d / "log"}};
  Result r = Run_Piped(o, "1\n2\nmissing.cpp\nMy Dir\nnotes.txt\nMy Dir/Prog.CPP\n3\n");
  EXPECT_EQ(r.out, Through_Edit(Open_File_Screen("[fake_editor]\n", std::string(NO_PATH) +
                                                                        NOT_FILE + WRONG_TYPE)));
  EXPECT_EQ(Read_File_Bytes(d / "log"), Helper("fake_editor") + "\nMy Dir/Prog.CPP\n");
}

TEST(OpenFile, VisualComesFirstAndVariablesHoldWords) {
  Temp_Dir d;
  Write_File_Bytes(d / "a.cpp", "");
  Write_File_Bytes(d / "-dash.cpp", "");
  Write_File_Bytes(d / "s p $x;`y` & a.cpp", "");
  std::string editor = Helper("fake_editor");
  Options o = Clean(d);
  o.env = {{"VISUAL", "\"" + editor + "\" --wait  -n"},
           {"EDITOR", "/nonexistent/editor"},
           {"FAKE_EDITOR_LOG", d / "log"}};
  Result r = Run_Piped(o, "1\n2\na.cpp\n2\n-dash.cpp\n2\ns p $x;`y` & a.cpp\n3\n");
  std::string screen = Open_File_Screen("[fake_editor]\n");
  EXPECT_EQ(r.out, Through_Edit(screen + screen + screen));
  // A name that begins with "-" is not taken for an option.
  std::string words = editor + "\n--wait\n-n\n";
  EXPECT_EQ(Read_File_Bytes(d / "log"),
            words + "a.cpp\n" + words + "./-dash.cpp\n" + words + "s p $x;`y` & a.cpp\n");
  EXPECT_FALSE(Exists(d / "y"));
}

TEST(OpenFile, CommonEditorsOnPath) {
  Temp_Dir d;
  Write_File_Bytes(d / "a.cpp", "");
  fs::create_directory(d / "bin");
  for (std::string name : {"vi", "nano"})
    fs::create_symlink(Helper("fake_editor"), d / ("bin/" + name));
  Options o = Clean(d);
  o.env = {{"PATH", d / "bin"}, {"EDITOR", ""}, {"FAKE_EDITOR_LOG", d / "log"}};
  Run_Piped(o, "1\n2\na.cpp\n3\n");
  fs::create_symlink(Helper("fake_editor"), d / "bin/editor");
  Result r = Run_Piped(o, "1\n2\na.cpp\n3\n");
  EXPECT_EQ(r.out, Through_Edit(Open_File_Screen("[fake_editor]\n")));
  EXPECT_EQ(Read_File_Bytes(d / "log"), "nano\na.cpp\neditor\na.cpp\n");
}

TEST(OpenFile, NoEditorFound) {
  Temp_Dir d;
  Write_File_Bytes(d / "a.cpp", "");
  fs::create_directory(d / "empty");
  Options o = Clean(d);
  o.env = {{"PATH", d / "empty"}};
  Result r = Run_Piped(o, "1\n2\na.cpp\n3\n");
  EXPECT_EQ(r.out, Through_Edit(Open_File_Screen("")));
  EXPECT_EQ(r.err,
            "velder: 找不到编辑器：请设置 VISUAL 或 EDITOR，或安装 editor、nano、vi 之一。\n" +
                std::string(END_OF_INPUT));
  EXPECT_EQ(r.status, 1);
}

// The editor leaves the terminal non-blocking, as a program killed in the
// middle of a key poll does: the pause and the menus still wait for keys.
TEST(EditMenu, CreateAndOpenOnATerminal) {
  Temp_Dir d;
  Options o = Clean(d);
  std::string editor = "\"" + Helper("nonblocking_stdin_posix") + "\" \"" + Helper("fake_editor") + "\"";
  o.env = {{"TERM", "xterm"}, {"EDITOR", editor}, {"FAKE_EDITOR_LOG", d / "log"}};
  std::string page_end = "3. 返回\r\n\r\n";
  Result r = Run_Pty(o, {{"4. 保存信息并退出\r\n\r\n", "1\r"},
                         {page_end, "1\r"},
                         {"完整目录：\r\n", d.path() + "\r"},
                         {"扩展名）：\r\n", "新 文件\r"},
                         {PAUSE_PROMPT, "k"},
                         {page_end, "2\r"},
                         {"完整目录：\r\n", "新 文件.cpp\r"},
                         {PAUSE_PROMPT, " "},
                         {page_end, "3\r"},
                         {"4. 保存信息并退出\r\n\r\n", "4\r"}});
  std::string cls = Cls_Smart();
  std::string edit_page = cls + Onlcr(Edit_Page_Text());
  EXPECT_EQ(r.out, "\x1b]0;Velder\a" + cls + Onlcr(Main_Page_Text()) + "1\r\n" + edit_page +
                       "1\r\n" + cls + Onlcr(DIR_PROMPT) + d.path() + "\r\n" +
                       Onlcr(NAME_PROMPT) + "新 文件\r\n" + Onlcr(std::string("\n") + CREATED) +
                       Onlcr(Pause_Text()) + edit_page + "2\r\n" + cls + Onlcr(OPEN_PROMPT) +
                       "新 文件.cpp\r\n" + Onlcr(OPENED) + "[fake_editor]\r\n" +
                       Onlcr(Pause_Text()) + edit_page + "3\r\n" + cls +
                       Onlcr(Main_Page_Text()) + "4\r\n" + cls + Onlcr(FAREWELL));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Size_Of(d / "新 文件.cpp"), 0u);
  EXPECT_EQ(Read_File_Bytes(d / "log"), Helper("fake_editor") + "\n新 文件.cpp\n");
}

}  // namespace
