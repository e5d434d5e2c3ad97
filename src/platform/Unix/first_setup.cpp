#include <cstdlib>
#include <string>

#include "platform/first_setup.h"

namespace platform {

// Here a compiler is whatever g++ the user's PATH finds: the system's
// packages put it there, and there are no usual folders off the PATH.
Compiler_Places Find_Compiler_Places() {
  Compiler_Places p;
  const char* path = std::getenv("PATH");
  p.user_path = path ? path : "";
  p.list_separator = ':';
  return p;
}

std::string Compiler_File_Name() { return "g++"; }

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace platform
