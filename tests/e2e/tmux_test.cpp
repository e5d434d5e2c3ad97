// "start" inside tmux: velder runs in a pane of a private tmux server, and
// the program must come up in a new window, named by the title, in
// velder's working directory, with no shell and no tmux format or command
// separator taken from the names.
#include <cstdlib>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "harness.h"

namespace {

std::string Tmux() {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    std::size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? colon : colon - start);
    if (!dir.empty() && access((dir + "/tmux").c_str(), X_OK) == 0) return dir + "/tmux";
    if (colon == std::string::npos) return "";
    start = colon + 1;
  }
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
  // Starts velder in window 0 of a new session, working in cwd.
  void Start_Velder(const std::string& cwd) {
    Result r = Run({"new-session", "-d", "-s", "v", "-x", "150", "-y", "40", "-c", Tmux_Text(cwd),
                    "--", "/usr/bin/env", VELDER_BIN});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  void Type(const std::string& text) {
    Run({"send-keys", "-t", "v:0", "-l", text});
    Run({"send-keys", "-t", "v:0", "Enter"});
  }
  std::string Windows() {
    return Run({"list-windows", "-t", "v", "-F", "#{window_index}|#{window_name}|#{pane_current_path}"}).out;
  }
};

TEST(Tmux, DirectLaunchOpensANamedWindow) {
  if (Tmux().empty()) GTEST_SKIP() << "SKIPPED: tmux is not installed, no tmux window test";
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
  if (Tmux().empty()) GTEST_SKIP() << "SKIPPED: tmux is not installed, no tmux window test";
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

}  // namespace
