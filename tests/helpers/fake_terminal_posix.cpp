// Stands in for x-terminal-emulator: writes its arguments, each between
// brackets, to FAKE_TERMINAL_LOG, then sends its output to terminal.out
// and runs what follows -e, as a terminal window would.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv) {
  std::string line;
  int e = argc;
  for (int i = 1; i < argc; ++i) {
    line += "[" + std::string(argv[i]) + "]";
    if (e == argc && std::strcmp(argv[i], "-e") == 0) e = i + 1;
  }
  if (const char* log = std::getenv("FAKE_TERMINAL_LOG")) std::ofstream(log) << line << '\n';
  if (e >= argc) return 2;
  int fd = open("terminal.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(fd, 1);
  dup2(fd, 2);
  execv(argv[e], argv + e);
  return 127;
}
