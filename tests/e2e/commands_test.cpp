// The screen requests on a POSIX terminal, in both terminal modes.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

Options Command(std::vector<std::string> args, std::string term) {
  Options o;
  o.program = Helper("run_command");
  o.args = args;
  o.env = {{"TERM", term}};
  if (term.empty()) o.unset = {"TERM"};
  return o;
}

TEST(Commands, ThroughAPipe) {
  Result r = Run_Piped(Command({"cls", "title:Velder", "pause", "read"}, "xterm"), "next\n");
  // Not a terminal: a form feed, no title, the prompt without a wait.
  EXPECT_EQ(r.out, std::string("\f") + PAUSE_PROMPT + "\n[next]\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Commands, OnASmartTerminal) {
  Result r = Run_Pty(Command({"title:Velder", "cls", "pause", "read"}, "xterm-256color"),
                     {{PAUSE_PROMPT, "k"}, {"\n", "line\r"}});
  // The key is neither echoed nor left for the next read.
  EXPECT_EQ(r.out, "\x1b]0;Velder\a" + Cls_Smart() + PAUSE_PROMPT + "\r\nline\r\n[line]\r\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Commands, OnADumbOrUnnamedTerminal) {
  for (std::string term : {"dumb", ""}) {
    Result r = Run_Pty(Command({"title:Velder", "cls", "pause"}, term), {{PAUSE_PROMPT, "\r"}});
    EXPECT_EQ(r.out, std::string("\f") + PAUSE_PROMPT + "\r\n") << term;
  }
}

TEST(Commands, TerminalModeIsBackAfterThePause) {
  // After the pause the line is read in line mode with echo again.
  Result r = Run_Pty(Command({"pause", "read", "pause", "read"}, "xterm"),
                     {{PAUSE_PROMPT, " "}, {"\n", "ab\r"}, {PAUSE_PROMPT, "q"}, {"\n", "cd\r"}});
  EXPECT_EQ(r.out, std::string(PAUSE_PROMPT) + "\r\nab\r\n[ab]\r\n" + PAUSE_PROMPT +
                       "\r\ncd\r\n[cd]\r\n");
}

TEST(Commands, UnknownRequestRunsNothing) {
  Result r = Run_Piped(Command({"rm -rf /"}, "dumb"), "");
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err, "");
  EXPECT_EQ(r.status, 1);
}

}  // namespace
