// Path input: the readers' messages for each kind of line, the POSIX
// executable rule, and lines that no status query can answer.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "paths/paths.h"
#include "stdio_capture.h"

namespace {

const std::string INVALID = "路径无效，请重新输入。\n";
const std::string NOT_FILE = "路径指向的不是文件，请重新输入。\n";
const std::string WRONG_TYPE = "路径指向的文件类型不正确，请重新输入。\n";

// Each test works in a fresh directory of its own, entered, so that
// relative lines resolve in it and no name in it carries a dot.
class Paths : public testing::Test {
 protected:
  void SetUp() override {
    old_ = std::filesystem::current_path();
    std::string tmpl = "/tmp/velderpathsXXXXXX";
    ASSERT_NE(mkdtemp(&tmpl[0]), nullptr);
    dir_ = tmpl;
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(dir_);
  }
  static void File(const std::string& name, mode_t mode = 0644) {
    std::ofstream(name) << "x";
    chmod(name.c_str(), mode);
  }
  // What Read_File_Path(wh) returned for input, and what it printed.
  static std::string Read_File(const std::string& input, const std::string& wh, std::string& printed) {
    Fake_Stdin in(input);
    Capture_Stdout out;
    std::string r = Read_File_Path(wh);
    printed = out.str();
    return r;
  }
  std::filesystem::path old_;
  std::string dir_;
};

TEST_F(Paths, EachRefusedLineGetsTheMessageOfItsFirstFailedTest) {
  std::filesystem::create_directories("d.x");
  std::filesystem::create_directory("src.cpp");  // a directory named like a source
  File("noext");
  File("d.x/inner");
  File("trail.");
  File("a.exe.txt");
  File("b.cpp");
  std::string printed;
  std::string got = Read_File(
      "\nmissing.cpp\nsrc.cpp\nnoext\nd.x/inner\ntrail.\na.exe.txt\nb.cpp \nb.cpp\n", "cpp", printed);
  EXPECT_EQ(got, "b.cpp");
  EXPECT_EQ(printed, INVALID + INVALID + NOT_FILE + WRONG_TYPE + WRONG_TYPE + WRONG_TYPE +
                         WRONG_TYPE + INVALID);
}

TEST_F(Paths, ExtensionIsTheLastOneInAnyCaseAndTheLineStaysAsTyped) {
  File("Hello.CPP");
  File("Mixed.Cpp");
  File("arch.tar.exe");
  std::string printed;
  EXPECT_EQ(Read_File("Hello.CPP\n", "cpp", printed), "Hello.CPP");
  EXPECT_EQ(Read_File("./Mixed.Cpp\n", "cpp", printed), "./Mixed.Cpp");
  EXPECT_EQ(Read_File(dir_ + "/arch.tar.exe\n", "exe", printed), dir_ + "/arch.tar.exe");
  EXPECT_EQ(printed, "");
  // A CR before the LF is the line end, not part of the extension.
  EXPECT_EQ(Read_File("Hello.CPP\r\n", "cpp", printed), "Hello.CPP");
}

TEST_F(Paths, ExecutablesCountAsExeWhateverTheirName) {
  File("tool", 0755);
  File("userx", 0744);
  File("plain", 0644);
  File("prog.EXE", 0644);
  File("script.sh", 0755);
  std::string printed;
  EXPECT_EQ(Read_File("plain\ntool\n", "exe", printed), "tool");
  EXPECT_EQ(printed, WRONG_TYPE);
  EXPECT_EQ(Read_File("userx\n", "exe", printed), "userx");
  EXPECT_EQ(Read_File("prog.EXE\n", "exe", printed), "prog.EXE");  // not executable, still taken
  EXPECT_EQ(Read_File("/usr/bin/g++\n", "exe", printed), "/usr/bin/g++");
  // The rule is for programs only: an executable is no C++ source.
  File("tool.cpp");
  EXPECT_EQ(Read_File("script.sh\ntool\nprog.EXE\n./\ntool.cpp\n", "cpp", printed), "tool.cpp");
  EXPECT_EQ(printed, WRONG_TYPE + WRONG_TYPE + WRONG_TYPE + NOT_FILE);
}

TEST_F(Paths, LinesNoStatusCanAnswerNameNothing) {
  File("a.cpp");
  File("q\"uote.cpp");
  std::filesystem::create_symlink("loop1.cpp", "loop2.cpp");
  std::filesystem::create_symlink("loop2.cpp", "loop1.cpp");
  std::string too_long = std::string(5000, 'n') + ".cpp";
  std::string nul = std::string("a.cpp\0.cpp", 10);
  std::string printed;
  File("ok.cpp");
  EXPECT_EQ(Read_File(too_long + "\nloop1.cpp\na.cpp/x.cpp\nq\"uote.cpp\n\"a.cpp\"\n" + nul + "\nok.cpp\n",
                      "cpp", printed),
            "ok.cpp");
  EXPECT_EQ(printed, INVALID + INVALID + INVALID + INVALID + INVALID + INVALID);
  EXPECT_FALSE(Isfile("q\"uote.cpp"));
  EXPECT_FALSE(Isfile(nul));
}

TEST_F(Paths, LinksAreFollowed) {
  File("real.cpp");
  std::filesystem::create_symlink("real.cpp", "link.cpp");
  std::filesystem::create_symlink("gone.cpp", "dangling.cpp");
  std::string printed;
  EXPECT_EQ(Read_File("dangling.cpp\nlink.cpp\n", "cpp", printed), "link.cpp");
  EXPECT_EQ(printed, INVALID);
  EXPECT_TRUE(Isfile("link.cpp"));
  EXPECT_FALSE(Isfile("dangling.cpp"));
}

TEST_F(Paths, ReadPathTakesAnythingThatExists) {
  std::filesystem::create_directory("d.x");
  Fake_Stdin in("\nnope\nd.x\n");
  Capture_Stdout out;
  EXPECT_EQ(Read_Path(), "d.x");
  EXPECT_EQ(out.str(), INVALID + INVALID);
}

TEST_F(Paths, IsfileIsTrueForRegularFilesOnly) {
  File("f.cpp");
  std::filesystem::create_directory("dir.exe");
  EXPECT_TRUE(Isfile("f.cpp"));
  EXPECT_TRUE(Isfile(dir_ + "/f.cpp"));
  EXPECT_FALSE(Isfile(""));
  EXPECT_FALSE(Isfile("missing"));
  EXPECT_FALSE(Isfile("dir.exe"));
  EXPECT_FALSE(Isfile("/dev/null"));
}

TEST(Change, QuotesWithoutEscaping) {
  EXPECT_EQ(Change(""), "\"\"");
  EXPECT_EQ(Change("D:\\my work\\a b.cpp"), "\"D:\\my work\\a b.cpp\"");
  EXPECT_EQ(Change("\"x\""), "\"\"x\"\"");
}

TEST(PathsDeathTest, EndOfInputEndsTheProgram) {
  EXPECT_EXIT(
      {
        Fake_Stdin in("nothing-here.cpp\n");
        Read_File_Path("cpp");
      },
      testing::ExitedWithCode(1), "");
  EXPECT_EXIT(
      {
        Fake_Stdin in("");
        Read_Path();
      },
      testing::ExitedWithCode(1), "");
}

}  // namespace
