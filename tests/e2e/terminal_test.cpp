// A signal that ends the program during a pause's key wait (echo and
// line mode off) leaves the terminal as it found it; a signal ignored when
// velder started stays ignored; a terminal that has gone ends the input.
// The pause takes one key press whole, however many bytes it sends.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

#include <termios.h>

#include "harness.h"

namespace {

const tcflag_t MODE = ICANON | ECHO;

// velder on a pseudo-terminal of its own, SIGHUP ignored as nohup leaves
// it or not.
Options On_A_Terminal(const Temp_Dir& d, bool ignore_hangup = false) {
  Options o = In(d.path());
  o.env = {{"TERM", "xterm"}};
  // (push_back: GCC 14 under AddressSanitizer misreads the copy of a
  // one-element list as out of bounds.)
  if (ignore_hangup) o.ignored.push_back(SIGHUP);
  return o;
}

// The settings menu, then the About screen, which ends with the pause.
void To_The_Pause(Live& s) {
  ASSERT_TRUE(s.Wait_For("4. 保存信息并退出\r\n\r\n")) << s.out();
  s.Type("3\r");
  ASSERT_TRUE(s.Wait_For("5. 返回\r\n\r\n")) << s.out();
  s.Type("4\r");
  ASSERT_TRUE(s.Wait_For(PAUSE_PROMPT)) << s.out();
}

class SignalDuringPause : public testing::TestWithParam<int> {};

TEST_P(SignalDuringPause, RestoresLineModeAndEcho) {
  int sig = GetParam();
  Temp_Dir d;
  Live s(On_A_Terminal(d), Input::terminal);
  ASSERT_TRUE(s.Wait_For("4. 保存信息并退出\r\n\r\n")) << s.out();
  // On Linux the master reports the mode of the terminal's program side.
  termios before{};
  ASSERT_TRUE(s.Mode(before));
  EXPECT_EQ(before.c_lflag & MODE, MODE);
  s.Type("3\r");
  ASSERT_TRUE(s.Wait_For("5. 返回\r\n\r\n")) << s.out();
  s.Type("4\r");
  ASSERT_TRUE(s.Wait_For(PAUSE_PROMPT)) << s.out();
  termios raw{};
  ASSERT_TRUE(s.Mode(raw));
  EXPECT_EQ(raw.c_lflag & MODE, 0u) << "the pause waits with echo and line mode off";

  s.Signal(sig);
  EXPECT_EQ(s.End().status, 128 + sig);
  termios after{};
  ASSERT_TRUE(s.Mode(after));
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_lflag & MODE, MODE);
  EXPECT_EQ(std::memcmp(after.c_cc, before.c_cc, sizeof after.c_cc), 0);
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalDuringPause, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& i) {
                           return std::string(sigabbrev_np(i.param));
                         });

TEST(IgnoredSignals, HangUpStaysIgnoredAtThePause) {
  Temp_Dir d;
  Live s(On_A_Terminal(d, true), Input::terminal);
  To_The_Pause(s);
  s.Signal(SIGHUP);
  s.Watch(0.3);
  EXPECT_TRUE(s.Running()) << "ended by an ignored SIGHUP";
  termios raw{};
  ASSERT_TRUE(s.Mode(raw));
  EXPECT_EQ(raw.c_lflag & MODE, 0u) << "still waiting for the key";
  s.Type("x");
  ASSERT_TRUE(s.Wait_For("5. 返回\r\n\r\n")) << s.out();
  s.Signal(SIGTERM);
  EXPECT_EQ(s.End().status, 128 + SIGTERM);
}

// The terminal goes away (its window closed) while SIGHUP is ignored:
// reads fail, and that is the end of the input, not an empty line.
TEST(IgnoredSignals, TerminalThatHasGoneEndsTheInput) {
  Temp_Dir d;
  Write_File_Bytes(d / "velder_data.sg", "/old/g++\r\n\r\n");
  Live s(On_A_Terminal(d, true), Input::terminal);
  ASSERT_TRUE(s.Wait_For("4. 保存信息并退出\r\n\r\n")) << s.out();
  s.Close_Input();
  EXPECT_EQ(s.End().status, 1);
  EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), "/old/g++\r\n\r\n");
}

const char MAIN_END[] = "4. 保存信息并退出\r\n\r\n";

// An arrow, a function key (CSI and SS3 forms, the Linux console's),
// Esc alone, Alt+x and a Chinese character from an input method: none of
// their bytes is left in front of the next answer.
TEST(KeyAtThePause, IsTakenWhole) {
  struct Case {
    const char *name, *bytes;
  };
  for (Case c : {Case{"Up", "\x1b[A"}, Case{"F5", "\x1b[15~"}, Case{"F1", "\x1bOP"},
                 Case{"Shift+Up", "\x1b[1;2A"}, Case{"console F1", "\x1b[[A"}, Case{"Esc", "\x1b"},
                 Case{"Alt+x", "\x1bx"}, Case{"中", "中"}}) {
    Temp_Dir d;
    Live s(On_A_Terminal(d), Input::terminal);
    To_The_Pause(s);
    ASSERT_TRUE(s.Wait_Raw()) << c.name;
    s.Type(c.bytes);
    ASSERT_TRUE(s.Wait_For("5. 返回\r\n\r\n")) << c.name << "\n" << s.out();
    // The answer's echo, then the first line velder writes after it.
    s.Type("5\r");
    ASSERT_TRUE(s.Wait_For("5\r\n") && s.Wait_For("\r\n")) << c.name << "\n" << s.out();
    EXPECT_EQ(s.out().find("输入不是自然数"), std::string::npos) << c.name << "\n" << s.out();
    EXPECT_NE(s.out().find("Tarnwickshade\r\n"), std::string::npos) << c.name << "\n" << s.out();
  }
}

// The pauser in velder's own terminal: an arrow at its pause ends that
// pause alone, and velder's pause, which comes next, waits for a key of
// its own.
TEST(KeyAtThePause, ArrowAtThePausersPauseEndsOnlyThat) {
  Temp_Dir d;
  Write_File_Bytes(d / "a.cpp", "");
  Write_File_Bytes(d / "velder_data.sg", Helper("fake_compiler") + "\r\n" + PAUSER_BIN + "\r\n");
  Options o = On_A_Terminal(d);
  o.unset = {"TMUX", "DISPLAY", "WAYLAND_DISPLAY"};
  o.env.push_back({"FAKE_COMPILER_COPY", Helper("greeter")});
  Live s(o, Input::terminal);
  ASSERT_TRUE(s.Wait_For(MAIN_END)) << s.out();
  s.Type("2\r");
  ASSERT_TRUE(s.Wait_For("请输入 C++ 文件的完整路径：")) << s.out();
  s.Type("a.cpp\r");
  ASSERT_TRUE(s.Wait_For("是否需要运行？（0/1）")) << s.out();
  s.Type("1\r");
  ASSERT_TRUE(s.Wait_For(PAUSE_PROMPT) && s.Wait_Raw()) << s.out();  // the pauser's
  s.Type("\x1b[A");
  ASSERT_TRUE(s.Wait_For(std::string("启动成功！\r\n\r\n") + PAUSE_PROMPT)) << s.out();
  ASSERT_TRUE(s.Wait_Raw());
  std::size_t shown = s.out().size();
  s.Watch(0.5);
  EXPECT_EQ(s.out().size(), shown) << "velder's pause ended by itself:\n" << s.out();
  s.Type("x");
  EXPECT_TRUE(s.Wait_For(MAIN_END)) << s.out();
}

}  // namespace

namespace {

// A hangup saves what "4" would, once, and only when something changed:
// SIGHUP at the menu (input still open), at the pause, the terminal gone
// (its window closed), with SIGHUP ignored (nohup) too. The end of a
// pipe's input still saves nothing.
TEST(Hangup, SavesChangedSettings) {
  enum How { signal_at_menu, signal_at_pause, terminal_gone, pipe_ended };
  struct Case {
    const char* name;
    How how;
    Input input;
    bool change, ignore_hangup;
    int status;
    std::string file;  // what the settings file holds after; "-" none
  };
  const std::string SAVED = "/old/g++\r\n\r\n-O2 -Wall";
  const std::string OLD = "/old/g++\r\n\r\n";
  const Case cases[] = {
      {"SIGHUP at the menu", signal_at_menu, Input::pipe, true, false, 128 + SIGHUP, SAVED},
      {"SIGHUP at the pause", signal_at_pause, Input::terminal, true, false, 128 + SIGHUP, SAVED},
      {"terminal gone", terminal_gone, Input::terminal, true, false, 128 + SIGHUP, SAVED},
      {"terminal gone, nohup", terminal_gone, Input::terminal, true, true, 1, SAVED},
      {"nothing changed", signal_at_menu, Input::terminal, false, false, 128 + SIGHUP, "-"},
      {"end of a pipe's input", pipe_ended, Input::pipe, true, false, 1, OLD},
  };
  for (const Case& c : cases) {
    Temp_Dir d;
    if (c.file != "-") Write_File_Bytes(d / "velder_data.sg", OLD);
    Live s(On_A_Terminal(d, c.ignore_hangup), c.input);
    std::string nl = c.input == Input::terminal ? "\r" : "\n";
    std::string page_end = "4. 保存信息并退出" + std::string(c.input == Input::terminal ? "\r\n\r\n" : "\n\n");
    ASSERT_TRUE(s.Wait_For(page_end)) << c.name << s.out();
    if (c.change) {
      s.Type("3" + nl + "3" + nl + "-O2 -Wall" + nl);
      ASSERT_TRUE(s.Wait_For(PAUSE_PROMPT)) << c.name << s.out();
    }
    if (c.how != signal_at_pause && c.change) {
      s.Type(c.input == Input::terminal ? "x" : "\n");
      s.Type("5" + nl);
      ASSERT_TRUE(s.Wait_For(page_end)) << c.name << s.out();
    }
    if (c.how == signal_at_pause) {
      ASSERT_TRUE(s.Wait_Raw()) << c.name;
    }
    if (c.how == terminal_gone || c.how == pipe_ended) s.Close_Input();
    else s.Signal(SIGHUP);
    Result r = s.End();
    EXPECT_EQ(r.status, c.status) << c.name << r.out << r.err;
    if (c.file == "-") {
      EXPECT_FALSE(Exists(d / "velder_data.sg")) << c.name;
    } else {
      EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), c.file) << c.name;
    }
    if (c.how == signal_at_menu && c.input == Input::pipe) {
      EXPECT_EQ(r.err, "velder: 窗口已关闭或终端已断开，改动的设置已保存。\n") << c.name;
    }
  }
}

}  // namespace
