// Runs a program with a file size limit, as a full disk or a quota would
// stop it: with_file_limit_posix BYTES PROGRAM [ARGS...]. SIGXFSZ is ignored
// (and stays so in the program), so a write past the limit fails with
// EFBIG instead of killing it.
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: with_file_limit_posix BYTES PROGRAM [ARGS...]\n");
    return 2;
  }
  std::signal(SIGXFSZ, SIG_IGN);
  rlim_t bytes = std::strtoull(argv[1], nullptr, 10);
  struct rlimit rl = {bytes, bytes};
  if (setrlimit(RLIMIT_FSIZE, &rl) != 0) {
    std::perror("setrlimit");
    return 2;
  }
  execv(argv[2], argv + 2);
  std::perror("execv");
  return 127;
}
