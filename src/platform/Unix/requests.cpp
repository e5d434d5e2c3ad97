// The requests carried out on POSIX: every program started directly from
// the request's own fields, through the one process seam, no shell
// between. The compile runs as a job in this terminal; a launch goes to a
// window of its own where one can be had (a tmux window, then a graphical
// terminal), otherwise to this terminal.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/cmd_lines.h"
#include "platform/requests.h"
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

// The words of an editor variable; none when it is unset or blank.
std::vector<std::string> From_Variable(const char* name) {
  const char* v = std::getenv(name);
  return v ? Split_Texts(v) : std::vector<std::string>();
}

// The editor that stands in for notepad.exe: the user's own choice, as
// other terminal programs honour it, else a common one found on PATH.
std::vector<std::string> Editor_Words() {
  std::vector<std::string> argv = From_Variable("VISUAL");
  if (argv.empty()) argv = From_Variable("EDITOR");
  if (!argv.empty()) return argv;
  for (const char* name : {"editor", "nano", "vi"})
    if (!Find_On_Path(name).empty()) return {name};
  return argv;
}

}  // namespace

int Compile(Compile_Request r) {
  // The options are split as a Windows program's runtime splits its
  // command line, so that one settings file means the same arguments on
  // every system.
  Process_Spec s;
  s.argv = {Program_Word(r.com_path)};
  for (std::string w : Split_Arguments(r.com_settings)) s.argv.push_back(w);
  s.argv.insert(s.argv.end(), {"-g", "-o", Not_An_Option(r.epath), Not_An_Option(r.fpath)});
  s.env = r.env;
  s.on_output = r.on_output;
  return Exit_Status(Spawn(s, true));
}

int Launch(Launch_Request r) {
  // The pauser's window has no title of its own; a program started
  // directly is titled with its source.
  std::vector<std::string> argv = {r.con_path.empty() ? r.epath : r.con_path};
  if (!r.con_path.empty()) argv.push_back(r.epath);
  std::string title = r.con_path.empty() ? r.fpath : std::string();
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
  return Spawn(argv, true).started ? 0 : 127;
}

int Open_Editor(std::string fpath) {
  std::vector<std::string> argv = Editor_Words();
  if (argv.empty()) {
    std::cerr << "velder: 找不到编辑器：请设置 VISUAL 或 EDITOR，或安装 editor、nano、vi 之一。\n";
    return 127;
  }
  argv.push_back(Not_An_Option(fpath));
  return Exit_Status(Spawn(argv, true));
}

}  // namespace platform
