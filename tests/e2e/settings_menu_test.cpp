// The settings menu: its page, the three change screens with their
// current values and refusals, the About screen, and when the settings
// file gets the new values.
#include <gtest/gtest.h>

#include <filesystem>

#include "harness.h"
#include "pages.h"

namespace fs = std::filesystem;

namespace {

const char SETTINGS_FILE[] = "velder_data.sg";

std::string Com_Screen(std::string current, std::string messages = "") {
  return Cls_Dumb() + "当前编译器路径：" + current + "\n请输入新编译器路径：\n" + messages +
         SET_OK + Pause_Text() + Cls_Dumb() + Settings_Page_Text();
}

std::string Con_Screen(std::string current, std::string messages = "") {
  return Cls_Dumb() + "当前 ConsolePauser 路径：" + current + "\n请输入新 ConsolePauser 路径：\n" +
         messages + SET_OK + Pause_Text() + Cls_Dumb() + Settings_Page_Text();
}

std::string Options_Screen(std::string current) {
  return Cls_Dumb() + "当前编译选项：" + current + "\n请输入新编译选项：\n" + SET_OK +
         Pause_Text() + Cls_Dumb() + Settings_Page_Text();
}

TEST(SettingsMenu, PageRefusalsAndBackAtOnce) {
  Temp_Dir d;
  Result r = Run_Piped(In(d.path()), "3\n6\n0\n\nx\n05\n");
  // 5 leads straight to the main page: no message, no pause.
  EXPECT_EQ(r.out, Through_Settings(std::string(RANGE_MESSAGE) + RANGE_MESSAGE + RANGE_MESSAGE +
                                    DIGIT_MESSAGE));
  EXPECT_EQ(r.status, 1);
}

TEST(SettingsMenu, About) {
  Temp_Dir d;
  Result r = Run_Piped(In(d.path()), "3\n4\n5\n");
  EXPECT_EQ(r.out, Through_Settings(Cls_Dumb() +
                                    "作者：Tarnwickshade 开发组（https://tarnwickshade.invalid/velder）\n"
                                    "介绍：Tarnwickshade\n版本：Alpha 1.1\n发布时间：2025/10/3\n\n" +
                                    Pause_Text() + Cls_Dumb() + Settings_Page_Text()));
}

TEST(SettingsMenu, PathScreensShowTheValueAndRefuseWithoutRepeatingThePrompt) {
  Temp_Dir d;
  fs::create_directory(d / "tools");
  Write_File_Bytes(d / "tools/readme.txt", "");
  Write_File_Bytes(d / "tools/MY G++.EXE", "");  // no execute bit: the name decides
  Write_File_Bytes(d / "tools/pauser.exe", "");
  Result r = Run_Piped(In(d.path()),
                       "3\n1\n\nnone.exe\ntools\ntools/readme.txt\ntools/MY G++.EXE\n"
                       "1\n/usr/bin/g++\n1\ntools/MY G++.EXE\n"
                       "2\ntools\ntools/pauser.exe\n2\ntools/pauser.exe\n5\n");
  EXPECT_EQ(r.out,
            Through_Settings(
                Com_Screen("", std::string(NO_PATH) + NO_PATH + NOT_FILE + WRONG_TYPE) +
                Com_Screen("tools/MY G++.EXE") + Com_Screen("/usr/bin/g++") +
                Con_Screen("", NOT_FILE) + Con_Screen("tools/pauser.exe")));
  EXPECT_EQ(r.status, 1);
}

TEST(SettingsMenu, OptionsAreTakenVerbatim) {
  Temp_Dir d;
  std::string odd = "  -O2 -DNAME=\"a b\" 'c' $HOME;`id` \\  ";
  Result r = Run_Piped(In(d.path()), "3\n3\n" + odd + "\n3\n\n3\n-Wall\n3\n\n5\n");
  EXPECT_EQ(r.out, Through_Settings(Options_Screen("") + Options_Screen(odd) +
                                    Options_Screen("") + Options_Screen("-Wall")));
}

TEST(SettingsMenu, FileChangesOnlyAtTheOrderlyExit) {
  Temp_Dir d;
  Write_File_Bytes(d / "tools.exe", "");
  const std::string old = "old/g++.exe\r\nold/pauser.exe\r\n-O1";
  const std::string changes = "3\n1\n/usr/bin/g++\n2\ntools.exe\n3\n-std=c++17  -O2\n5\n";
  Write_File_Bytes(d / SETTINGS_FILE, old);
  // The input ends before 4: every change is lost, as at any other end.
  Result r = Run_Piped(In(d.path()), changes);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Read_File_Bytes(d / SETTINGS_FILE), old);
  // With 4 the file holds them, and the next start shows them.
  r = Run_Piped(In(d.path()), changes + "4\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read_File_Bytes(d / SETTINGS_FILE), "/usr/bin/g++\r\ntools.exe\r\n-std=c++17  -O2");
  r = Run_Piped(In(d.path()), "3\n1\n/usr/bin/g++\n2\ntools.exe\n3\n\n5\n");
  EXPECT_EQ(r.out, Through_Settings(Com_Screen("/usr/bin/g++") + Con_Screen("tools.exe") +
                                    Options_Screen("-std=c++17  -O2")));
  EXPECT_EQ(Read_File_Bytes(d / SETTINGS_FILE), "/usr/bin/g++\r\ntools.exe\r\n-std=c++17  -O2");
}

TEST(SettingsMenu, EndOfInputOnAChangeScreenKeepsEverything) {
  for (std::string input : {"3\n1\n", "3\n1\nnone.exe\n", "3\n2\n", "3\n3\n"}) {
    Temp_Dir d;
    Write_File_Bytes(d / SETTINGS_FILE, "a.exe\r\nb.exe\r\nc");
    Result r = Run_Piped(In(d.path()), input);
    EXPECT_EQ(r.status, 1) << input;
    EXPECT_EQ(r.err, "velder: 输入已结束，退出（设置未保存）。\n") << input;
    EXPECT_EQ(Read_File_Bytes(d / SETTINGS_FILE), "a.exe\r\nb.exe\r\nc") << input;
  }
}

TEST(SettingsMenu, OnATerminal) {
  Temp_Dir d;
  Options o = In(d.path());
  o.env = {{"TERM", "xterm"}};
  std::string page_end = "5. 返回\r\n\r\n";
  Result r = Run_Pty(o, {{"4. 保存信息并退出\r\n\r\n", "3\r"},
                         {page_end, "3\r"},
                         {"请输入新编译选项：\r\n", "-O2 \"x\"\r"},
                         {PAUSE_PROMPT, "k"},
                         {page_end, "5\r"},
                         {"4. 保存信息并退出\r\n\r\n", "4\r"}});
  std::string cls = Cls_Smart();
  std::string page = cls + Onlcr(Settings_Page_Text());
  EXPECT_EQ(r.out, "\x1b]0;Velder\a" + cls + Onlcr(Main_Page_Text()) + "3\r\n" + page + "3\r\n" +
                       cls + "当前编译选项：\r\n请输入新编译选项：\r\n-O2 \"x\"\r\n" +
                       Onlcr(SET_OK) + Onlcr(Pause_Text()) + page + "5\r\n" + cls +
                       Onlcr(Main_Page_Text()) + "4\r\n" + cls + Onlcr(FAREWELL));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read_File_Bytes(d / SETTINGS_FILE), "\r\n\r\n-O2 \"x\"");
}

}  // namespace
