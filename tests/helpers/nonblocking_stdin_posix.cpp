// Runs PROGRAM [ARGUMENT...] with its standard input left non-blocking,
// as a program killed in the middle of a key poll leaves a terminal for
// whoever reads it next.
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
  execv(argv[1], argv + 1);
  std::perror(argv[1]);
  return 127;
}
