// The main page, its choices and the way out, driven through a pipe and
// through a terminal.
#include <gtest/gtest.h>
#include <sys/xattr.h>

#include "harness.h"
#include "main_loop_cases.h"

namespace {

std::string Hidden_Attribute(const std::string& path) {
  char v[16] = {};
  ssize_t n = getxattr(path.c_str(), "user.DOSATTRIB", v, sizeof v);
  return n > 0 ? std::string(v, n) : std::string();
}

TEST(MainLoop, Cases) {
  Run_Main_Loop_Cases([](std::string cwd, std::string input) { return Run_Piped(In(cwd), input); },
                      [](std::string s) { return s; }, Cls_Dumb());
}

TEST(MainLoop, TheSettingsFileIsHidden) {
  Temp_Dir d;
  ASSERT_EQ(Run_Piped(In(d.path()), "4\n").status, 0);
  EXPECT_EQ(Hidden_Attribute(d / "velder_data.sg"), "0x2");
}

TEST(MainLoop, CrLfAnswersWork) {
  Temp_Dir d;
  Result r = Run_Piped(In(d.path()), "4\r\n");
  EXPECT_EQ(r.out, Cls_Dumb() + Main_Page_Text() + Cls_Dumb() + FAREWELL);
  EXPECT_EQ(r.status, 0);
}

TEST(MainLoop, SmartTerminal) {
  Temp_Dir d;
  Options o = In(d.path());
  o.env = {{"TERM", "xterm"}};
  Result r = Run_Pty(o, {{"4. 保存信息并退出\r\n\r\n", "4\r"}});
  EXPECT_EQ(r.out, "\x1b]0;Velder\a" + Cls_Smart() + Onlcr(Main_Page_Text()) + "4\r\n" +
                       Cls_Smart() + Onlcr(FAREWELL));
  EXPECT_EQ(r.status, 0);
  EXPECT_GE(r.seconds, 2.5);
}

TEST(MainLoop, DumbTerminal) {
  Temp_Dir d;
  Options o = In(d.path());
  o.env = {{"TERM", "dumb"}};
  Result r = Run_Pty(o, {{"4. 保存信息并退出\r\n\r\n", "x\r"}, {"重新输入。\r\n", "4\r"}});
  EXPECT_EQ(r.out, Cls_Dumb() + Onlcr(Main_Page_Text()) + "x\r\n" + Onlcr(DIGIT_MESSAGE) +
                       "4\r\n" + Cls_Dumb() + Onlcr(FAREWELL));
  EXPECT_EQ(r.status, 0);
}

}  // namespace
