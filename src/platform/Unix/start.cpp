// "start " + words: the program in a window of its own where there is
// one to be had (a tmux window, then a graphical terminal), otherwise in
// this terminal. No shell on any of these ways.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/Unix/commands.h"
#include "platform/words.h"

namespace platform {

namespace {

bool Is_Set(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && v[0] != '\0';
}

// tmux reads an argument that ends in ";" as the end of a command, unless
// a backslash stands before the ";" (which it then drops).
std::string Tmux_Word(std::string w) {
  if (!w.empty() && w.back() == ';') w.insert(w.size() - 1, "\\");
  return w;
}

// Window names and start directories are expanded as tmux formats, in
// which "#" starts a sequence (even one that runs a command); "##" is a
// plain "#".
std::string Tmux_Text(std::string s) {
  std::string r;
  for (char c : s) {
    r += c;
    if (c == '#') r += '#';
  }
  return Tmux_Word(r);
}

// What a new window is to run. Both tmux (always) and some terminals (when
// the program fails to start) run a single word through the shell, and
// only several words directly, so a program without arguments is handed
// over through nice, which at increment 0 changes nothing and starts it
// directly. Empty when nice is missing.
std::vector<std::string> Window_Command(std::vector<std::string> argv) {
  if (argv.size() > 1) return argv;
  std::string nice = Find_On_Path("nice");
  if (nice.empty()) return {};
  return {nice, "-n", "0", "--", argv[0]};
}

int Tmux_Window(std::string title, std::vector<std::string> run) {
  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  std::vector<std::string> a = {Find_On_Path("tmux"), "new-window"};
  if (!title.empty()) a.insert(a.end(), {"-n", Tmux_Text(title)});
  if (!ec) a.insert(a.end(), {"-c", Tmux_Text(cwd)});
  a.push_back("--");
  for (const std::string& w : run) a.push_back(Tmux_Word(w));
  return Exit_Status(Spawn(a, true));
}

int Terminal_Window(std::string title, std::vector<std::string> run) {
  std::vector<std::string> a = {Find_On_Path("x-terminal-emulator")};
  if (!title.empty()) a.insert(a.end(), {"-T", title});
  a.push_back("-e");
  a.insert(a.end(), run.begin(), run.end());
  return Spawn(a, false).started ? 0 : 127;
}

int In_This_Terminal(std::vector<std::string> argv) {
  return Spawn(argv, true).started ? 0 : 127;
}

// The program as it will be started: a path, or empty (with a line on
// standard error) when there is nothing runnable by that name.
std::string Runnable(std::string word) {
  std::string prog = Find_On_Path(Program_Word(word));
  struct stat st;
  if (prog.empty() || stat(prog.c_str(), &st) != 0) {
    std::cerr << "velder: " << word << ": not found\n";
    return std::string();
  }
  if (!S_ISREG(st.st_mode) || access(prog.c_str(), X_OK) != 0) {
    std::cerr << "velder: " << word << ": not an executable file\n";
    return std::string();
  }
  return prog;
}

}  // namespace

int Start_Command(std::string words) {
  // As for cmd.exe's start: a first word with quotes is the title; the
  // program and its arguments follow, split as the program would.
  std::size_t i = 0;
  Word first = First_Word(words, i);
  std::string title;
  if (first.quoted)
    title = first.text;
  else
    i = 0;
  std::vector<std::string> argv = Split_Command_Line(words.substr(i));
  if (argv.empty()) {
    std::cerr << "velder: start: no program given\n";
    return 127;
  }
  // The new window may not report a program that fails to start, so that
  // is found out here, before any window opens.
  argv[0] = Runnable(argv[0]);
  if (argv[0].empty()) return 127;
  bool tmux = Is_Set("TMUX") && !Find_On_Path("tmux").empty();
  bool terminal = !tmux && (Is_Set("DISPLAY") || Is_Set("WAYLAND_DISPLAY")) &&
                  !Find_On_Path("x-terminal-emulator").empty();
  // Looked up only when a window can be had: a PATH search for nice is
  // a good part of what a launch in this terminal would otherwise cost.
  if (tmux || terminal) {
    std::vector<std::string> run = Window_Command(argv);
    if (!run.empty()) return tmux ? Tmux_Window(title, run) : Terminal_Window(title, run);
  }
  return In_This_Terminal(argv);
}

}  // namespace platform
