// What velder asks of the world outside, as data: the compile, the launch
// of a program in a window of its own, the screen clear, the pause, the
// window title and the editor. Each system carries a request out its own
// way: Windows renders it once into the cmd.exe line the program has
// always issued and runs cmd.exe with it; POSIX starts the programs
// directly, no shell between. A request is never turned into text and
// read back.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

// One change to the environment of a program started.
struct Env_Change {
  std::string name;
  std::string value;
  bool unset = false;  // removed, whatever value says
};

// Where a started program's output goes: to this process's own standard
// output and error when empty; otherwise both are read through one pipe
// and handed over here as they arrive, in the order written.
using Output_Sink = std::function<void(const std::string& chunk)>;

struct Compile_Request {
  std::string com_path;      // the compiler, as stored
  std::string com_settings;  // the options text, as stored (may be empty)
  std::string epath;         // the executable to write
  std::string fpath;         // the source
  std::vector<Env_Change> env;  // the compiler's environment, changed
  Output_Sink on_output;
};

// Runs the compile and waits for it: the compiler's exit status, 0 for
// success; not 0 also when it could not start, or (Windows) when cmd.exe
// would not carry the options or paths as written, which is said on
// standard error.
int Compile(Compile_Request r);

struct Launch_Request {
  std::string con_path;  // the pauser; empty: the program is started directly
  std::string epath;     // the program
  std::string fpath;     // its source: the title of a direct launch's window
};

// Starts the program in a window of its own where there is one, and
// returns without waiting for it. 0 when it started.
int Launch(Launch_Request r);

// The screen emptied, cursor top left.
int Clear_Screen();

// "请按任意键继续……" and one key; without a terminal, the prompt only.
int Pause_For_Key();

// The title of this console window (POSIX: of the terminal, where it
// understands escape sequences).
int Set_Title(std::string title);

// The editor opened on one file, waited for.
int Open_Editor(std::string fpath);

}  // namespace platform
