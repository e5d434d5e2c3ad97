// velder in a real terminal: a pane of a private tmux server.
// "start" inside tmux: the program must come up in a new window, named by
// the title, in velder's working directory, with no shell and no tmux
// format or command separator taken from the names.
// Started from a real shell (bash, dash) in the pane: job control, Ctrl+C,
// Ctrl+D and programs that leave the terminal raw, read from the screen
// and from stty -a.
#include <csignal>
#include <cstdlib>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pages.h"

#include "harness.h"

namespace {

// The full path of a program on PATH, or "".
std::string On_Path(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    std::size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? colon : colon - start);
    if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return dir + "/" + name;
    if (colon == std::string::npos) return "";
    start = colon + 1;
  }
}

std::string Tmux() { return On_Path("tmux"); }

// The skip message of a test whose tools are not all on PATH; empty
// when they are.
std::string Missing(std::vector<std::string> tools) {
  std::string names;
  for (const std::string& t : tools)
    if (On_Path(t).empty()) names += (names.empty() ? "" : ", ") + t;
  return names.empty() ? names : "SKIPPED: not installed: " + names;
}

// tmux's own reading of option values: "#" starts a format, a final ";"
// ends a command.
std::string Tmux_Text(std::string s) {
  std::string r;
  for (char c : s) r += c == '#' ? std::string("##") : std::string(1, c);
  if (!r.empty() && r.back() == ';') r.insert(r.size() - 1, "\\");
  return r;
}

bool Wait_For(const std::string& path) {
  for (int i = 0; i < 400; ++i) {
    if (Exists(path)) return true;
    usleep(50000);
  }
  return false;
}

// A tmux server of the test's own, on a socket in the test directory,
// killed with everything in it at the end.
struct Server {
  std::string tmux, socket;
  Options base;
  Server(const Temp_Dir& d, std::vector<std::pair<std::string, std::string>> env)
      : tmux(Tmux()), socket(d / "tmux.sock") {
    base = In(d.path());
    base.program = tmux;
    base.unset = {"TMUX", "TMUX_PANE", "DISPLAY", "WAYLAND_DISPLAY"};
    base.env = env;
    base.env.push_back({"TERM", "xterm"});
  }
  ~Server() { Run({"kill-server"}); }
  Result Run(std::vector<std::string> args) {
    Options o = base;
    o.args = {"-S", socket, "-f", "/dev/null"};
    o.args.insert(o.args.end(), args.begin(), args.end());
    return Run_Piped(o, "");
  }
  // Runs command in window 0 of a new session, working in cwd.
  void New_Session(const std::string& cwd, std::vector<std::string> command) {
    std::vector<std::string> a = {"new-session", "-d", "-s", "v", "-x", "150", "-y", "40", "-c",
                                  Tmux_Text(cwd), "--", "/usr/bin/env"};
    a.insert(a.end(), command.begin(), command.end());
    Result r = Run(a);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  void Start_Velder(const std::string& cwd) { New_Session(cwd, {VELDER_BIN}); }
  void Type(const std::string& text) {
    Run({"send-keys", "-t", "v:0", "-l", "--", text});
    Run({"send-keys", "-t", "v:0", "Enter"});
  }
  std::string Windows() {
    return Run({"list-windows", "-t", "v", "-F", "#{window_index}|#{window_name}|#{pane_current_path}"}).out;
  }

  // An interactive shell (no start-up files, no line editing but for
  // "bash-editing", prompt "sh>") in window 0.
  void Start_Shell(const std::string& cwd, const std::string& shell) {
    std::vector<std::string> a = {"PS1=sh>", "ENV=/dev/null"};
    if (shell == "bash")
      a.insert(a.end(), {On_Path("bash"), "--norc", "--noprofile", "--noediting", "-i"});
    else if (shell == "bash-editing")
      a.insert(a.end(), {On_Path("bash"), "--norc", "--noprofile", "-i"});
    else
      a.insert(a.end(), {On_Path(shell), "-i"});
    New_Session(cwd, a);
    ASSERT_TRUE(Wait_Screen("sh>")) << Screen();
  }
  // Keys by tmux's names (C-z, C-c, C-d, Enter), or one literal key.
  void Keys(const std::string& keys) { Run({"send-keys", "-t", "v:0", keys}); }
  void Key(const std::string& text) { Run({"send-keys", "-t", "v:0", "-l", "--", text}); }
  std::string Screen() { return Run({"capture-pane", "-p", "-t", "v:0"}).out; }
  // Waits until the screen shows text (at least n times).
  bool Wait_Screen(const std::string& text, int n = 1) {
    for (int i = 0; i < 400; ++i) {
      std::string screen = Screen();
      int seen = 0;
      for (std::size_t at = screen.find(text); at != std::string::npos; at = screen.find(text, at + 1))
        ++seen;
      if (seen >= n) return true;
      usleep(50000);
    }
    return false;
  }
  // Runs a command at the shell prompt and waits for its end; marks
  // count the commands so that each waits for its own.
  int marks = 0;
  void Shell(const std::string& command) {
    ++marks;
    Type(command + "; echo \"<$((" + std::to_string(marks) + "+1000))>\"");
    std::string mark = "<" + std::to_string(marks + 1000) + ">";
    EXPECT_TRUE(Wait_Screen(mark)) << command << "\n" << Screen();
  }
  // The terminal's settings as stty -a reports them.
  std::string Stty() {
    std::string tty = Run({"display-message", "-p", "-t", "v:0", "#{pane_tty}"}).out;
    if (!tty.empty() && tty.back() == '\n') tty.pop_back();
    Options o = base;
    o.program = On_Path("stty");
    o.args = {"-a", "-F", tty};
    return Run_Piped(o, "").out;
  }
  // Waits until stty -a shows the flag ("icanon") or its negation ("-icanon").
  bool Wait_Flag(const std::string& flag) {
    for (int i = 0; i < 200; ++i) {
      if (Has_Flag(Stty(), flag)) return true;
      usleep(50000);
    }
    return false;
  }
  static bool Has_Flag(const std::string& stty, const std::string& flag) {
    std::size_t at = 0;
    while ((at = stty.find(flag, at)) != std::string::npos) {
      bool starts = at == 0 || stty[at - 1] == ' ' || stty[at - 1] == '\n';
      std::size_t end = at + flag.size();
      bool ends = end == stty.size() || stty[end] == ' ' || stty[end] == '\n' || stty[end] == ';';
      if (starts && ends) return true;
      at = end;
    }
    return false;
  }
};

std::string Velder_Command() { return "'" + std::string(VELDER_BIN) + "'"; }
const char MAIN[] = "4. 保存信息并退出";
const char SETTINGS[] = "5. 返回";

// Plays steps at the terminal: each sends a line and Enter, or "^" and
// tmux key names ("^C-d"), or "=" and one key without Enter; then waits
// until the screen shows the step's text (none: no wait).
bool Play(Server& s, std::vector<std::pair<std::string, std::string>> steps) {
  for (const auto& st : steps) {
    const std::string& k = st.first;
    if (!k.empty() && k[0] == '^') s.Keys(k.substr(1));
    else if (!k.empty() && k[0] == '=') s.Key(k.substr(1));
    else if (!k.empty()) s.Type(k);
    if (!st.second.empty() && !s.Wait_Screen(st.second)) {
      ADD_FAILURE() << "after " << k << ", no " << st.second << " on the screen:\n" << s.Screen();
      return false;
    }
  }
  return true;
}

// From the shell to the pause of the About screen, where the terminal is
// without line mode and echo.
void To_The_Pause(Server& s) {
  ASSERT_TRUE(Play(s, {{Velder_Command(), MAIN}, {"3", SETTINGS}, {"4", PAUSE_PROMPT}}));
  ASSERT_TRUE(s.Wait_Flag("-icanon")) << s.Stty();
  EXPECT_TRUE(Server::Has_Flag(s.Stty(), "-echo"));
}

// From the settings page back to the shell through choice 4, with exit
// status 0.
void Quit_From_Settings(Server& s) {
  ASSERT_TRUE(Play(s, {{"", SETTINGS}, {"5", MAIN}, {"4", ""}}));
  s.Shell("echo \"status=$?\"");
  EXPECT_TRUE(s.Wait_Screen("status=0")) << s.Screen();
}

TEST(Tmux, DirectLaunchOpensANamedWindow) {
  if (std::string m = Missing({"tmux"}); !m.empty()) GTEST_SKIP() << m;
  Temp_Dir d;
  // Names with what tmux or a shell would act on.
  std::string work = d / "w #{session_name} $(touch SHELL0);";
  mkdir(work.c_str(), 0755);
  std::string src = work + "/p #{window_index} #(touch TMUX1) $(touch SHELL1) `touch SHELL2`.cpp";
  Write_File_Bytes(src, "");
  Write_File_Bytes(work + "/velder_data.sg", std::string(Helper("fake_compiler")) + "\r\n\r\n");
  Server s(d, {{"FAKE_COMPILER_COPY", Helper("greeter")}, {"GREETER_SLEEP", "60"}});
  s.Start_Velder(work);
  s.Type("2");
  s.Type(src);
  s.Type("1");
  ASSERT_TRUE(Wait_For(work + "/greeter.log")) << s.Windows();
  std::string exe = src.substr(0, src.size() - 4) + ".exe";
  EXPECT_EQ(Read_File_Bytes(work + "/greeter.log"), "cwd=" + work + "\n[" + exe + "]\n");
  std::string windows = s.Windows();
  EXPECT_NE(windows.find("\n1|" + src + "|" + work + "\n"), std::string::npos) << windows;
  EXPECT_EQ(windows.find("\n2|"), std::string::npos) << windows;
  for (std::string f : {"SHELL0", "SHELL1", "SHELL2", "TMUX1"}) {
    EXPECT_FALSE(Exists(d / f)) << f;
    EXPECT_FALSE(Exists(work + "/" + f)) << f;
  }
}

TEST(Tmux, PauserWindowShowsTheReport) {
  if (std::string m = Missing({"tmux"}); !m.empty()) GTEST_SKIP() << m;
  Temp_Dir d;
  std::string work = d.path();
  Write_File_Bytes(work + "/a.cpp", "");
  // A pauser whose name ends in ";", which tmux would take for the end of
  // its command.
  std::string pauser = work + "/pauser;";
  Write_File_Bytes(pauser, Read_File_Bytes(PAUSER_BIN));
  chmod(pauser.c_str(), 0755);
  Write_File_Bytes(work + "/velder_data.sg", std::string(Helper("fake_compiler")) + "\r\n" + pauser + "\r\n");
  Server s(d, {{"FAKE_COMPILER_COPY", Helper("greeter")}, {"GREETER_STATUS", "5"}});
  s.Start_Velder(work);
  s.Type("2");
  s.Type("a.cpp");
  s.Type("1");
  ASSERT_TRUE(Wait_For(work + "/greeter.log")) << s.Windows();
  EXPECT_EQ(Read_File_Bytes(work + "/greeter.log"), "cwd=" + work + "\n[a.exe]\n");
  std::string screen;
  for (int i = 0; i < 200 && screen.find("请按任意键继续") == std::string::npos; ++i) {
    usleep(50000);
    screen = s.Run({"capture-pane", "-p", "-t", "v:1"}).out;
  }
  EXPECT_NE(screen.find("你好，来自 greeter"), std::string::npos) << screen;
  EXPECT_NE(screen.find("程序已结束，返回值为 5。用时 "), std::string::npos) << screen;
  // The window is there until a key is pressed in it.
  EXPECT_NE(s.Windows().find("\n1|"), std::string::npos);
  s.Run({"send-keys", "-t", "v:1", "x"});
  for (int i = 0; i < 200 && s.Windows().find("\n1|") != std::string::npos; ++i) usleep(50000);
  EXPECT_EQ(s.Windows().find("\n1|"), std::string::npos);
}

// Ctrl+Z at the pause: the shell gets the terminal as it was before velder
// (dash does not restore it itself), and after fg the pause waits again
// for one key, without echo.
class Stop_At_Pause : public testing::TestWithParam<std::string> {};

TEST_P(Stop_At_Pause, GivesTheTerminalBackAndTakesItUpAgain) {
  if (std::string m = Missing({"tmux", "stty", GetParam()}); !m.empty()) GTEST_SKIP() << m;
  Temp_Dir d;
  Server s(d, {});
  s.Start_Shell(d.path(), GetParam());
  std::string before = s.Stty();
  ASSERT_TRUE(Server::Has_Flag(before, "icanon") && Server::Has_Flag(before, "echo")) << before;
  To_The_Pause(s);
  s.Keys("C-z");
  ASSERT_TRUE(s.Wait_Screen("Stopped")) << s.Screen();
  EXPECT_EQ(s.Stty(), before);
  // What the user types at the shell shows.
  s.Shell("echo typed-here");
  EXPECT_TRUE(s.Wait_Screen("typed-here", 2)) << s.Screen();
  s.Type("fg");
  ASSERT_TRUE(s.Wait_Flag("-icanon")) << s.Stty();
  EXPECT_TRUE(Server::Has_Flag(s.Stty(), "-echo"));
  EXPECT_TRUE(s.Wait_Screen(PAUSE_PROMPT, 2)) << "the prompt is shown again\n" << s.Screen();
  // One key, no Enter, ends the pause.
  ASSERT_TRUE(Play(s, {{"=x", "Tarnwickshade -- 设置"}}));
  EXPECT_TRUE(s.Wait_Flag("icanon"));
  Quit_From_Settings(s);
  EXPECT_EQ(s.Stty(), before);
}

INSTANTIATE_TEST_SUITE_P(Shells, Stop_At_Pause, testing::Values("bash", "dash"),
                         [](const testing::TestParamInfo<std::string>& i) { return i.param; });

// kill %1 (bash adds SIGCONT) on velder stopped at the pause ends it, with
// the terminal as it was; it is never left "Stopped (tty output)".
class Kill_When_Stopped : public testing::TestWithParam<std::string> {};

TEST_P(Kill_When_Stopped, EndsAtOnce) {
  if (std::string m = Missing({"tmux", "bash", "stty"}); !m.empty()) GTEST_SKIP() << m;
  Temp_Dir d;
  Server s(d, {});
  s.Start_Shell(d.path(), "bash");
  std::string before = s.Stty();
  To_The_Pause(s);
  s.Keys("C-z");
  ASSERT_TRUE(s.Wait_Screen("Stopped")) << s.Screen();
  s.Shell("kill -" + GetParam() + " %1; sleep 1; jobs; echo \"jobs=$(jobs | wc -l)\"");
  EXPECT_TRUE(s.Wait_Screen("jobs=0")) << s.Screen();
  EXPECT_EQ(s.Screen().find("tty output"), std::string::npos) << s.Screen();
  EXPECT_EQ(s.Stty(), before);
}

INSTANTIATE_TEST_SUITE_P(Signals, Kill_When_Stopped, testing::Values("TERM", "HUP"),
                         [](const testing::TestParamInfo<std::string>& i) { return i.param; });

// velder as a window's own program, with no shell to continue it: the
// kernel discards the stop of Ctrl+Z at the pause, and the key wait goes
// on as it was, one key without echo.
TEST(TmuxShell, CtrlZWithNoShellKeepsTheKeyWait) {
  if (std::string m = Missing({"tmux", "stty"}); !m.empty()) GTEST_SKIP() << m;
  Temp_Dir d;
  Server s(d, {});
  s.Start_Velder(d.path());
  ASSERT_TRUE(s.Wait_Screen(MAIN)) << s.Screen();
  ASSERT_TRUE(Play(s, {{"3", SETTINGS}, {"4", PAUSE_PROMPT}}));
  ASSERT_TRUE(s.Wait_Flag("-icanon")) << s.Stty();
  s.Keys("C-z");
  usleep(500000);
  std::string mode = s.Stty();
  EXPECT_TRUE(Server::Has_Flag(mode, "-icanon") && Server::Has_Flag(mode, "-echo")) << mode;
  ASSERT_TRUE(Play(s, {{"=x", "Tarnwickshade -- 设置"}, {"5", MAIN}}));
}

// velder as a window's own program, Ctrl+Z while the compiler runs: with
// no shell to take the terminal the stop is discarded, and the compiler
// goes on at once with the terminal, reading the next line.
TEST(TmuxShell, CtrlZWithNoShellContinuesTheProgram) {
  if (std::string m = Missing({"tmux"}); !m.empty()) GTEST_SKIP() << m;
  Temp_Dir d;
  Write_File_Bytes(d / "cc", "#!/bin/sh\necho compiling; read line; echo \"[$line]\" > log\n");
  chmod((d / "cc").c_str(), 0755);
  Write_File_Bytes(d / "a.cpp", "");
  Write_File_Bytes(d / "velder_data.sg", d / "cc" + "\r\n\r\n");
  Server s(d, {});
  s.Start_Velder(d.path());
  ASSERT_TRUE(Play(s, {{"", MAIN}, {"2", "请输入 C++ 文件的完整路径："}, {"a.cpp", "compiling"},
                       {"^C-z", ""}, {"one", "是否需要运行？（0/1）"}}));
  EXPECT_EQ(Read_File_Bytes(d / "log"), "[one]\n");
}

// With line editing the shell holds the terminal in a mode of its own at
// its prompt; velder, killed while stopped, must not set its old mode
// over it (arrow keys would then print ^[[D).
TEST(TmuxShell, KillWhenStoppedLeavesTheShellsLineEditingAlone) {
  if (std::string m = Missing({"tmux", "bash", "stty"}); !m.empty()) GTEST_SKIP() << m;
  Temp_Dir d;
  Server s(d, {});
  s.Start_Shell(d.path(), "bash-editing");
  std::string editing = s.Stty();
  ASSERT_TRUE(Server::Has_Flag(editing, "-icanon")) << editing;
  To_The_Pause(s);
  s.Keys("C-z");
  ASSERT_TRUE(s.Wait_Screen("Stopped")) << s.Screen();
  // The prompt comes back at once; velder ends a moment later.
  s.Type("kill %1");
  usleep(1000000);
  EXPECT_EQ(s.Stty(), editing);
  s.Shell("sleep 1");  // bash tells of the ended job at its next prompt
  EXPECT_TRUE(s.Wait_Screen("Terminated")) << s.Screen();
}

// trap '' INT: Ctrl+C at the pause stays ignored, as at the shell.
TEST(TmuxShell, IgnoredInterruptStaysIgnoredAtThePause) {
  if (std::string m = Missing({"tmux", "bash", "stty"}); !m.empty()) GTEST_SKIP() << m;
  Temp_Dir d;
  Server s(d, {});
  s.Start_Shell(d.path(), "bash");
  s.Shell("trap '' INT");
  std::string before = s.Stty();
  To_The_Pause(s);
  s.Keys("C-c");
  usleep(500000);
  EXPECT_TRUE(Server::Has_Flag(s.Stty(), "-icanon")) << "still at the pause";
  EXPECT_NE(s.Screen().find(PAUSE_PROMPT), std::string::npos) << s.Screen();
  ASSERT_TRUE(Play(s, {{"=x", "Tarnwickshade -- 设置"}}));
  Quit_From_Settings(s);
  EXPECT_EQ(s.Stty(), before);
}

// A compiler and an editor that leave the terminal raw, without echo: the
// menus still take a line ended by Enter, and the shell gets its mode back.
TEST(TmuxShell, ProgramsThatLeaveTheTerminalRaw) {
  if (std::string m = Missing({"tmux", "bash", "stty"}); !m.empty()) GTEST_SKIP() << m;
  Temp_Dir d;
  std::string raw = d / "raw-tool";
  Write_File_Bytes(raw, "#!/bin/sh\nstty raw -echo\necho \"$@\" >> '" + d / "raw.log" + "'\n");
  chmod(raw.c_str(), 0755);
  Write_File_Bytes(d / "a.cpp", "");
  Write_File_Bytes(d / "velder_data.sg", raw + "\r\n\r\n");
  Server s(d, {{"VISUAL", raw}});
  s.Start_Shell(d.path(), "bash");
  std::string before = s.Stty();
  // The compiler, then the editor.
  ASSERT_TRUE(Play(s, {{Velder_Command(), MAIN}, {"2", "请输入 C++ 文件的完整路径："},
                       {"a.cpp", "是否需要运行？（0/1）"}}));
  EXPECT_TRUE(s.Wait_Flag("icanon"));
  EXPECT_TRUE(Server::Has_Flag(s.Stty(), "echo"));
  ASSERT_TRUE(Play(s, {{"0", "跳过运行。"}, {"", PAUSE_PROMPT}, {"=x", MAIN}, {"1", "3. 返回"},
                       {"2", "请输入想要打开的文件的完整目录："}, {"a.cpp", PAUSE_PROMPT},
                       {"=x", "3. 返回"}}));
  EXPECT_TRUE(s.Wait_Flag("icanon"));
  ASSERT_TRUE(Play(s, {{"3", MAIN}, {"4", ""}}));
  s.Shell("echo \"status=$?\"");
  EXPECT_TRUE(s.Wait_Screen("status=0")) << s.Screen();
  EXPECT_EQ(s.Stty(), before);
  std::string log = Read_File_Bytes(d / "raw.log");
  EXPECT_NE(log.find("a.exe a.cpp"), std::string::npos) << log;  // compiled
  EXPECT_NE(log.find("\na.cpp\n"), std::string::npos) << log;    // edited
}

// Ctrl+D at the start of a line is an empty line, at a menu, a path, a
// yes/no question and the options; the session goes on and saves.
TEST(TmuxShell, CtrlDIsAnEmptyLine) {
  if (std::string m = Missing({"tmux", "bash"}); !m.empty()) GTEST_SKIP() << m;
  Temp_Dir d;
  std::string cc = d / "cc";
  Write_File_Bytes(cc, "#!/bin/sh\nexit 0\n");
  chmod(cc.c_str(), 0755);
  Write_File_Bytes(d / "a.cpp", "");
  Write_File_Bytes(d / "a.exe", "");
  Write_File_Bytes(d / "velder_data.sg", cc + "\r\n\r\n");
  Server s(d, {});
  s.Start_Shell(d.path(), "bash");
  ASSERT_TRUE(Play(s, {{Velder_Command(), MAIN},
                       {"^C-d", "输入不在给定范围内，请重新输入。"},
                       {"2", "请输入 C++ 文件的完整路径："},
                       {"^C-d", "路径无效，请重新输入。"},
                       {"a.cpp", "是否需要编译？（0/1）"},
                       {"^C-d", "跳过编译。"},
                       {"", "是否需要运行？（0/1）"},
                       {"^C-d", "跳过运行。"},
                       {"", PAUSE_PROMPT},
                       {"=x", MAIN},
                       {"3", SETTINGS},
                       {"3", "请输入新编译选项："},
                       {"-O2", PAUSE_PROMPT},
                       {"=x", SETTINGS},
                       {"3", "当前编译选项：-O2"},
                       {"^C-d", "设置成功！"},  // an empty value clears them
                       {"", PAUSE_PROMPT},
                       {"=x", SETTINGS},
                       {"3", "当前编译选项：\n"},
                       {"-Wall", PAUSE_PROMPT},
                       {"=x", ""}}));
  Quit_From_Settings(s);
  EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), cc + "\r\n\r\n-Wall");
}

// ---- One key press is one key at the pause: arrows, function keys, Esc,
// Alt+key and Chinese characters, in a pane with bash or dash. ----

class Key_At_Pause : public testing::TestWithParam<std::string> {};

// Each key ends the pause of the About screen; the settings menu then
// takes "4" (the About screen again) with no digit message.
TEST_P(Key_At_Pause, LeavesNoByteForTheNextAnswer) {
  if (std::string m = Missing({"tmux", "stty", GetParam()}); !m.empty()) GTEST_SKIP() << m;
  Temp_Dir d;
  Server s(d, {});
  s.Start_Shell(d.path(), GetParam());
  std::string before = s.Stty();
  To_The_Pause(s);
  const std::string digit = "输入不是自然数";
  for (std::string key : {"^Up", "^F5", "^Escape", "^M-x", "=中"}) {
    ASSERT_TRUE(Play(s, {{key, "Tarnwickshade -- 设置"}})) << key;
    s.Type("4");
    std::string screen = s.Screen();
    for (int i = 0; i < 400 && screen.find(PAUSE_PROMPT) == std::string::npos &&
                    screen.find(digit) == std::string::npos;
         ++i, screen = s.Screen())
      usleep(50000);
    EXPECT_EQ(screen.find(digit), std::string::npos) << key << "\n" << screen;
    if (screen.find(PAUSE_PROMPT) == std::string::npos) {
      ASSERT_TRUE(Play(s, {{"4", PAUSE_PROMPT}}));
    }
  }
  ASSERT_TRUE(Play(s, {{"=x", ""}}));
  Quit_From_Settings(s);
  EXPECT_EQ(s.Stty(), before);
}

// velder with no window to be had runs the pauser in its own terminal: an
// arrow at the pauser's pause ends that pause alone; velder's own pause,
// which follows, waits for a key of its own.
TEST_P(Key_At_Pause, ArrowAtThePausersPauseEndsOnlyThat) {
  if (std::string m = Missing({"tmux", "stty", GetParam()}); !m.empty()) GTEST_SKIP() << m;
  Temp_Dir d;
  Write_File_Bytes(d / "a.cpp", "");
  Write_File_Bytes(d / "velder_data.sg", Helper("fake_compiler") + "\r\n" + PAUSER_BIN + "\r\n");
  Server s(d, {{"FAKE_COMPILER_COPY", Helper("greeter")}});
  s.Start_Shell(d.path(), GetParam());
  ASSERT_TRUE(Play(s, {{"TMUX= " + Velder_Command(), MAIN},
                       {"2", "请输入 C++ 文件的完整路径："},
                       {"a.cpp", "是否需要运行？（0/1）"},
                       {"1", PAUSE_PROMPT},
                       {"^Up", "启动成功！"}}));
  ASSERT_TRUE(s.Wait_Screen(PAUSE_PROMPT, 2)) << s.Screen();
  usleep(500000);
  EXPECT_EQ(s.Screen().find(MAIN), std::string::npos)
      << "velder's pause ended by itself:\n" << s.Screen();
  EXPECT_TRUE(Server::Has_Flag(s.Stty(), "-icanon"));
  ASSERT_TRUE(Play(s, {{"=x", MAIN}, {"4", ""}}));
  s.Shell("echo \"status=$?\"");
  EXPECT_TRUE(s.Wait_Screen("status=0")) << s.Screen();
}

INSTANTIATE_TEST_SUITE_P(Shells, Key_At_Pause, testing::Values("bash", "dash"),
                         [](const testing::TestParamInfo<std::string>& i) { return i.param; });


// Programs run in this terminal as jobs of their own, as a shell runs
// them; under bash and dash.
class Jobs : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (std::string m = Missing({"tmux", "stty", GetParam()}); !m.empty()) GTEST_SKIP() << m;
  }
  // A script at d/name.
  static void Script(const Temp_Dir& d, const std::string& name, const std::string& body) {
    Write_File_Bytes(d / name, "#!/bin/sh\n" + body);
    chmod((d / name).c_str(), 0755);
  }
  // velder in this terminal, not in a window of its own.
  static std::string Here() { return "env -u TMUX " + Velder_Command(); }
};

// Ctrl+Z while the compiler runs, and again while the program runs
// through the pauser (three jobs: velder, the pauser, the program): the
// program stops, and the stop is passed on up to the shell, which gets
// the terminal as it was before velder; fg gives the program the terminal
// again, where it reads the next line.
TEST_P(Jobs, CtrlZStopsTheProgramAndFgContinuesIt) {
  Temp_Dir d;
  Script(d, "cc", "echo compiling; read line; echo \"cc [$line]\" >> log\n");
  Script(d, "a.exe", "echo running; read line; echo \"run [$line]\" >> log\n");
  Write_File_Bytes(d / "a.cpp", "");
  Write_File_Bytes(d / "velder_data.sg", d / "cc" + "\r\n" + PAUSER_BIN + "\r\n");
  Server s(d, {});
  s.Start_Shell(d.path(), GetParam());
  std::string before = s.Stty();
  ASSERT_TRUE(Play(s, {{Here(), MAIN}, {"2", "请输入 C++ 文件的完整路径："},
                       {"a.cpp", "是否需要编译？（0/1）"}, {"1", "compiling"}, {"^C-z", "Stopped"}}));
  EXPECT_EQ(s.Stty(), before);
  s.Shell("echo typed-here");
  ASSERT_TRUE(Play(s, {{"fg", ""}, {"one", "是否需要运行？（0/1）"}, {"1", "running"},
                       {"^C-z", ""}}));
  ASSERT_TRUE(s.Wait_Screen("Stopped", 2)) << s.Screen();
  EXPECT_EQ(s.Stty(), before);
  ASSERT_TRUE(Play(s, {{"fg", ""}, {"two", "程序已结束，返回值为 0。"}, {"=x", "启动成功！"}}));
  ASSERT_TRUE(s.Wait_Screen(PAUSE_PROMPT, 2)) << s.Screen();
  ASSERT_TRUE(Play(s, {{"=x", MAIN}, {"4", ""}}));
  s.Shell("echo \"status=$?\"");
  EXPECT_TRUE(s.Wait_Screen("status=0")) << s.Screen();
  EXPECT_EQ(Read_File_Bytes(d / "log"), "cc [one]\nrun [two]\n");
  EXPECT_EQ(s.Stty(), before);
}

// A compiler that leaves a child behind reading the terminal: the child
// is left in the background, where a read stops it (SIGTTIN) or fails
// (its group orphaned), and every line typed goes to velder's questions.
TEST_P(Jobs, AChildLeftBehindDoesNotReadVeldersInput) {
  Temp_Dir d;
  Script(d, "cc", "exec 3<&0\n(sleep 0.5; while read l <&3; do echo \"[$l]\" >> stolen; done) &\n");
  Write_File_Bytes(d / "a.cpp", "");
  Write_File_Bytes(d / "velder_data.sg", d / "cc" + "\r\n\r\n");
  Server s(d, {});
  s.Start_Shell(d.path(), GetParam());
  ASSERT_TRUE(Play(s, {{Here(), MAIN}, {"2", "请输入 C++ 文件的完整路径："},
                       {"a.cpp", "是否需要运行？（0/1）"}}));
  usleep(1000000);
  // Each line typed once the answer to the one before shows, so that the
  // echo does not fall into the middle of a message being typed out.
  int n = 0;
  for (const char* line : {"x", "y", "z"}) {
    s.Type(line);
    ASSERT_TRUE(s.Wait_Screen(DIGIT_MESSAGE, ++n)) << line << "\n" << s.Screen();
  }
  ASSERT_TRUE(Play(s, {{"0", "跳过运行。"}, {"", PAUSE_PROMPT}, {"=x", MAIN}, {"4", ""}}));
  s.Shell("echo \"status=$?\"");
  EXPECT_TRUE(s.Wait_Screen("status=0")) << s.Screen();
  EXPECT_FALSE(Exists(d / "stolen")) << Read_File_Bytes(d / "stolen");
}

// velder on a terminal that is not its controlling one (setsid), killed
// at the pause: the terminal is left as it was found.
TEST_P(Jobs, KilledAtThePauseOnAnotherSessionsTerminal) {
  if (std::string m = Missing({"setsid"}); !m.empty()) GTEST_SKIP() << m;
  Temp_Dir d;
  Server s(d, {});
  s.Start_Shell(d.path(), GetParam());
  std::string before = s.Stty();
  std::string run = "setsid -w sh -c \"echo \\$\\$ > pid; exec " + Velder_Command() + "\"";
  ASSERT_TRUE(Play(s, {{run, MAIN}, {"3", SETTINGS}, {"4", PAUSE_PROMPT}}));
  ASSERT_TRUE(s.Wait_Flag("-icanon")) << s.Stty();
  kill(std::atoi(Read_File_Bytes(d / "pid").c_str()), SIGTERM);
  s.Shell("echo ended");
  EXPECT_EQ(s.Stty(), before);
}

// A signal ignored when velder started (trap '' PIPE) reaches the compiler
// ignored; without the trap, at its default, though velder ignores it.
TEST_P(Jobs, SignalsIgnoredAtStartStayIgnoredInPrograms) {
  Temp_Dir d;
  Script(d, "cc", "grep '^SigIgn' /proc/$$/status >> log\n");
  Write_File_Bytes(d / "a.cpp", "");
  Write_File_Bytes(d / "velder_data.sg", d / "cc" + "\r\n\r\n");
  Server s(d, {});
  s.Start_Shell(d.path(), GetParam());
  for (const char* trap : {"trap '' PIPE", "trap - PIPE"}) {
    s.Shell(trap);
    ASSERT_TRUE(Play(s, {{Here(), MAIN}, {"2", "请输入 C++ 文件的完整路径："},
                         {"a.cpp", "是否需要运行？（0/1）"}, {"0", PAUSE_PROMPT}, {"=x", MAIN}, {"4", ""}}));
    s.Shell("echo \"status=$?\"");
  }
  std::string log = Read_File_Bytes(d / "log");
  std::size_t second = log.find('\n') + 1;
  ASSERT_NE(second, std::string::npos + 1) << log;
  auto pipe_ignored = [](const std::string& line) {
    unsigned long long mask = std::strtoull(line.substr(line.find(':') + 1).c_str(), nullptr, 16);
    return (mask >> (SIGPIPE - 1)) & 1;
  };
  EXPECT_TRUE(pipe_ignored(log.substr(0, second))) << log;
  EXPECT_FALSE(pipe_ignored(log.substr(second))) << log;
}

INSTANTIATE_TEST_SUITE_P(Shells, Jobs, testing::Values("bash", "dash"),
                         [](const testing::TestParamInfo<std::string>& i) { return i.param; });

}  // namespace
