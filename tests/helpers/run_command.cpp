// Hands requests to the platform's request layer in turn, as velder
// would, and exits with the last status. Each argument names one; the
// fields of a request come from lines of standard input, one field a
// line (UTF-8 on every system, where a Windows argument would arrive in
// the ANSI code page):
//   cls, pause                 no fields
//   title:TEXT                 the title given in the argument itself
//   compile                    compiler, options, executable, source
//   launch                     pauser (empty: none), executable, source
//   edit                       the file
//   read                       reads one line and prints it between brackets
// A request whose fields end early is not made.
#include <iostream>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/input.h"
#include "platform/requests.h"

namespace {

bool Fields(std::size_t n, std::vector<std::string>& f) {
  f.assign(n, std::string());
  for (std::string& s : f)
    if (!platform::Read_Line(s)) return false;
  return true;
}

int Request(const std::string& name, bool& known) {
  std::vector<std::string> f;
  known = true;
  if (name == "cls") return platform::Clear_Screen();
  if (name == "pause") return platform::Pause_For_Key();
  if (name.compare(0, 6, "title:") == 0) return platform::Set_Title(name.substr(6));
  if (name == "edit") return Fields(1, f) ? platform::Open_Editor(f[0]) : 1;
  if (name == "compile") {
    if (!Fields(4, f)) return 1;
    platform::Compile_Request r;
    r.com_path = f[0], r.com_settings = f[1], r.epath = f[2], r.fpath = f[3];
    return platform::Compile(r);
  }
  if (name == "launch") return Fields(3, f) ? platform::Launch({f[0], f[1], f[2]}) : 1;
  known = false;
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  platform::Init_Console();
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    std::string t = argv[i];
    if (t == "read") {
      std::string s;
      bool got = platform::Read_Line(s);
      std::cout << (got ? "[" + s + "]\n" : "[end]\n") << std::flush;
      continue;
    }
    bool known;
    status = Request(t, known);
    if (!known) std::cerr << "run_command: unknown request: " << t << '\n';
  }
  platform::End_Console();
  return status;
}
