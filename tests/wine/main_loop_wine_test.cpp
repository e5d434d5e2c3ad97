// velder.exe under Wine: the main page as Windows text mode writes it,
// the choices, end of input, and the hidden settings file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "main_loop_cases.h"
#include "wine.h"

namespace {

ino_t Inode(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::vector<std::string> Names_In(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  return names;
}

// The Linux suite's cases, answered with CR LF as a Windows user types.
TEST(WineMainLoop, Cases) {
  Run_Main_Loop_Cases(
      [](std::string cwd, std::string input) { return Run_Piped(Wine_In(cwd), Crlf(input)); }, Crlf,
      Cls_Wine());
}

TEST(WineMainLoop, TheSettingsFileIsHiddenAndAlone) {
  Temp_Dir d;
  ASSERT_EQ(Run_Piped(Wine_In(d.path()), "4\r\n").status, 0);
  EXPECT_EQ(Dos_Attributes(d / "velder_data.sg"), "0x2");
  EXPECT_NE(Attrib_Letters(d / "velder_data.sg").find('H'), std::string::npos);
  EXPECT_EQ(Names_In(d.path()), std::vector<std::string>{"velder_data.sg"});
}

// The old file is hidden, as every save leaves it; the new one takes its
// place by a rename (a new file, not the old one rewritten), is hidden
// again, and no temporary file stays behind. The working directory's
// name is Chinese, so every file call has to go through UTF-16.
TEST(WineMainLoop, HiddenSettingsAreReplacedInOneStep) {
  Temp_Dir t;
  std::string d = t / "工作 目录";
  std::filesystem::create_directory(d);
  std::string file = d + "/velder_data.sg";
  Write_File_Bytes(file, "C:\\编译器\\g++.exe\nD:\\暂停 器.exe\n-O2 -DX=\"你好\"\nextra\n");
  Result r = Run_Piped(Wine_In(d), "4\r\n");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(Dos_Attributes(file), "0x2");
  ino_t before = Inode(file);

  r = Run_Piped(Wine_In(d), "4\r\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read_File_Bytes(file), "C:\\编译器\\g++.exe\r\nD:\\暂停 器.exe\r\n-O2 -DX=\"你好\"");
  EXPECT_NE(Inode(file), before);
  EXPECT_EQ(Dos_Attributes(file), "0x2");
  EXPECT_EQ(Names_In(d), std::vector<std::string>{"velder_data.sg"});
}

TEST(WineMainLoop, EmptyDirectoryInThePlaceOfTheFileIsReplaced) {
  Temp_Dir d;
  std::filesystem::create_directory(d / "velder_data.sg");
  Result r = Run_Piped(Wine_In(d.path()), "4\r\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), "\r\n\r\n");
  EXPECT_EQ(Dos_Attributes(d / "velder_data.sg"), "0x2");
}

// A save that cannot happen says why, on standard error and on the
// screen, and ends with status 2 instead of the farewell.
TEST(WineMainLoop, FolderWithContentsInThePlaceOfTheFileIsReported) {
  Temp_Dir d;
  std::filesystem::create_directories(d / "velder_data.sg/inner");
  Result r = Run_Piped(Wine_In(d.path()), "4\r\n");
  const std::string why = "设置文件 velder_data.sg 未能保存：它是一个不为空的目录。";
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("velder: " + why), std::string::npos) << r.err;
  EXPECT_NE(r.out.find(Crlf(why + "\n\n")), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("将在 3s 内退出"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(d / "velder_data.sg/inner"));
}

// In a console (Wine gives the program one under a pseudo-terminal) the
// typing effect's single bytes must still come out as Chinese text, not
// as one garbage character per byte.
TEST(WineMainLoop, ConsoleShowsTheChineseText) {
  Temp_Dir d;
  Options o = Wine_In(d.path());
  o.timeout = 60;
  Result r = Run_Pty(o, {{"出", "4\r", true}});
  std::string shown = Without_Escapes(r.out);
  for (const char* line : {"Tarnwickshade", "1. 编辑 C++ 文件", "2. 运行 C++ 程序", "3. 设置",
                           "4. 保存信息并退出", "将在 3s 内退出……"})
    EXPECT_NE(shown.find(line), std::string::npos) << line << "\n" << shown;
  EXPECT_EQ(shown.find("\xef\xbf\xbd"), std::string::npos);  // U+FFFD
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), "\r\n\r\n");
}

}  // namespace
