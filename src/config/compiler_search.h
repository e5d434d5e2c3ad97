// Finding the compiler for a first settings file: the folders to look in,
// in order, and whether the program found there is a working compiler.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/first_setup.h"

// How long a compiler may take to tell its version before it counts as
// not working.
const double VERSION_SECONDS = 5;

// The folders of a search path value in order: split at sep, a pair of
// double quotes around one taken off (Windows allows them), trailing
// separators dropped, empty ones left out.
std::vector<std::string> Split_Search_Path(std::string value, char sep);

// Every folder to look in, each once, in this order: the user's search
// path; the machine's; on each drive, msys64\ucrt64\bin, msys64\mingw64\bin,
// msys64\clang64\bin, MinGW\bin, mingw64\bin, TDM-GCC-64\bin,
// w64devkit\bin; then in each program folder, MinGW64\bin, MinGW\bin,
// TDM-GCC-64\bin, mingw32\bin.
std::vector<std::string> Search_Order(const platform::Compiler_Places& p);

// True when the output of `COMPILER --version` names GCC or clang: its
// first line is "clang version ..." (maybe after a vendor's name), or
// starts with a program name ending in g++, gcc or c++ and holds a
// version number.
bool Names_Compiler(std::string text);

// The first folder + the compiler's file name that is a regular file and
// that works(path) accepts; empty when there is none.
std::string First_Working(const std::vector<std::string>& folders, std::string file_name,
                          const std::function<bool(std::string)>& works);

// The whole search on this system: the first g++ in Search_Order whose
// `--version` ends with 0 within VERSION_SECONDS and names GCC or clang.
std::string Find_Compiler();
