// One whole session as a user has it at a terminal: set the compiler,
// the pauser and the options through the menus, create a file, write a
// program into it in the editor, compile and run it through the pauser,
// quit, and find the settings again at the next start.
#include <gtest/gtest.h>

#include "harness.h"
#include "pages.h"

namespace {

const char PROGRAM[] =
    "#include <iostream>\n"
    "int main() { std::cout << \"你好，velder！\" << std::endl; return 3; }\n";

TEST(Session, ConfigureCreateWriteCompileRunQuitAndStartAgain) {
  Temp_Dir d;
  const std::string pauser = PAUSER_BIN;
  Options o = In(d.path());
  o.env = {{"TERM", "xterm"},
           {"EDITOR", Helper("fake_editor")},
           {"FAKE_EDITOR_TEXT", PROGRAM}};
  o.unset = {"VISUAL", "TMUX", "DISPLAY", "WAYLAND_DISPLAY"};
  const std::string main_end = "4. 保存信息并退出\r\n\r\n", settings_end = "5. 返回\r\n\r\n",
                    edit_end = "3. 返回\r\n\r\n";
  Result r = Run_Pty(o, {{main_end, "3\r"},
                         {settings_end, "1\r"},
                         {"请输入新编译器路径：\r\n", "/usr/bin/g++\r"},
                         {PAUSE_PROMPT, "k"},
                         {settings_end, "2\r"},
                         {"请输入新 ConsolePauser 路径：\r\n", pauser + "\r"},
                         {PAUSE_PROMPT, "k"},
                         {settings_end, "3\r"},
                         {"请输入新编译选项：\r\n", "-O2 -Wall\r"},
                         {PAUSE_PROMPT, "k"},
                         {settings_end, "5\r"},
                         {main_end, "1\r"},
                         {edit_end, "1\r"},
                         {"完整目录：\r\n", d.path() + "\r"},
                         {"扩展名）：\r\n", "hello\r"},
                         {PAUSE_PROMPT, "k"},
                         {edit_end, "2\r"},
                         {"完整目录：\r\n", "hello.cpp\r"},
                         {PAUSE_PROMPT, "k"},
                         {edit_end, "3\r"},
                         {main_end, "2\r"},
                         {"完整路径：\r\n", "hello.cpp\r"},
                         {"（0/1）\r\n", "1\r"},
                         {PAUSE_PROMPT, "k"},  // the pauser's
                         {PAUSE_PROMPT, "k"},  // velder's
                         {main_end, "4\r"}});
  const std::string cls = Cls_Smart(), pause = Onlcr(Pause_Text());
  const std::string main_page = cls + Onlcr(Main_Page_Text());
  const std::string settings_page = cls + Onlcr(Settings_Page_Text());
  const std::string edit_page = cls + Onlcr(Edit_Page_Text());
  std::string expected =
      "\x1b]0;Velder\a" + main_page + "3\r\n" + settings_page + "1\r\n" + cls +
      "当前编译器路径：\r\n请输入新编译器路径：\r\n/usr/bin/g++\r\n" + Onlcr(SET_OK) + pause +
      settings_page + "2\r\n" + cls +
      "当前 ConsolePauser 路径：\r\n请输入新 ConsolePauser 路径：\r\n" + pauser + "\r\n" +
      Onlcr(SET_OK) + pause + settings_page + "3\r\n" + cls +
      "当前编译选项：\r\n请输入新编译选项：\r\n-O2 -Wall\r\n" + Onlcr(SET_OK) + pause +
      settings_page + "5\r\n" + main_page + "1\r\n" + edit_page + "1\r\n" + cls +
      Onlcr(DIR_PROMPT) + d.path() + "\r\n" + Onlcr(NAME_PROMPT) + "hello\r\n" +
      Onlcr(std::string("\n") + CREATED) + pause + edit_page + "2\r\n" + cls +
      Onlcr(OPEN_PROMPT) + "hello.cpp\r\n" + Onlcr(OPENED) + "[fake_editor]\r\n" + pause +
      edit_page + "3\r\n" + main_page + "2\r\n" + cls +
      "请输入 C++ 文件的完整路径：\r\nhello.cpp\r\n\r\n"
      "未找到对应程序的 exe 文件，自动编译。\r\n正在编译……\r\n编译成功！\r\n\r\n"
      "是否需要运行？（0/1）\r\n1\r\n正在通过 ConsolePauser 启动程序……\r\n"
      "\x1b]0;hello.exe\a你好，velder！\r\n\r\n" +
      std::string(40, '-') + "\r\n程序已结束，返回值为 3。" + PAUSER_FIGURES + "\r\n" + pause +
      "启动成功！\r\n\r\n" + pause + main_page + "4\r\n" + cls + Onlcr(FAREWELL);
  EXPECT_EQ(Fixed_Figures(r.out), expected);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read_File_Bytes(d / "hello.cpp"), PROGRAM);
  EXPECT_TRUE(Exists(d / "hello.exe"));
  EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), "/usr/bin/g++\r\n" + pauser + "\r\n-O2 -Wall");

  // The next start shows the values on the change screens.
  Result again = Run_Piped(In(d.path()), "3\n1\n/usr/bin/g++\n2\n" + pauser + "\n3\n-O2 -Wall\n5\n");
  auto screen = [](std::string label, std::string prompt) {
    return Cls_Dumb() + label + "\n" + prompt + "\n" + SET_OK + Pause_Text() + Cls_Dumb() +
           Settings_Page_Text();
  };
  EXPECT_EQ(again.out,
            Through_Settings(screen("当前编译器路径：/usr/bin/g++", "请输入新编译器路径：") +
                             screen("当前 ConsolePauser 路径：" + pauser,
                                    "请输入新 ConsolePauser 路径：") +
                             screen("当前编译选项：-O2 -Wall", "请输入新编译选项：")));
}

}  // namespace
