// Stands in for a working g++.exe where only its --version is asked (the
// installer's compiler search): answers as GCC does and exits with 0;
// anything else exits with 1.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "--version") != 0) return 1;
  std::puts("g++.exe (stand-in) 13.2.0");
  std::puts("Copyright (C) 2023 Free Software Foundation, Inc.");
  return 0;
}
