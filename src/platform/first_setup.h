// What velder-setup needs from the system: where compilers are usually
// found, asking one for its version, and its own arguments as UTF-8.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Where to look for a compiler, as the system tells it.
struct Compiler_Places {
  // Windows: the user's and the machine's Path from the registry
  // (HKCU\Environment, then the Session Manager's Environment), with
  // %NAME% expanded, because the environment this process inherited may
  // be older than the last change to either. POSIX: PATH, and nothing.
  std::string user_path;
  std::string machine_path;
  char list_separator = ';';
  // Windows: the fixed drives ("C:" first), and every folder one and two
  // levels below Program Files and Program Files (x86), sorted. POSIX:
  // none.
  std::vector<std::string> drives;
  std::vector<std::string> program_folders;
};

Compiler_Places Find_Compiler_Places();

// "g++.exe" on Windows, "g++" on POSIX.
std::string Compiler_File_Name();

// Runs `exe --version` without a window or standard input and waits at
// most seconds (then it is ended). True when it ended in time with exit
// code 0 and wrote at most 64 KiB; text holds the start of what it wrote
// to standard output, at most 64 KiB. Standard error is not read (it
// stays this process's): GCC and clang answer on standard output.
bool Ask_Version(std::string exe, double seconds, std::string& text);

// This program's arguments, argv[0] included, as UTF-8. (On Windows the
// narrow ones are in the ANSI code page and lose what it cannot hold.)
std::vector<std::string> Arguments(int argc, char** argv);

}  // namespace platform
