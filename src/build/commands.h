// The command lines of build and run, as handed to the command
// processor. Paths and options go in byte for byte, each path between
// its own pair of double quotes.
#pragma once

#include <string>

// The executable that belongs to a source: the source path less its last
// four bytes (".cpp" in any case), then ".exe".
std::string Exe_Path(std::string fpath);

// "cmd /c" and, between one more pair of quotes, the compiler, the
// options (when there are any), "-g -o", the executable and the source.
// An executable or source path that begins with "-" gets "./" (".\" on
// Windows) in front, so that the compiler takes it for a file.
std::string Compile_Command(std::string com_path, std::string com_settings, std::string epath,
                            std::string fpath);

// A new window with an empty title, the pauser given the executable.
std::string Pauser_Launch_Command(std::string con_path, std::string epath);

// A new window titled with the source path, running the executable.
std::string Direct_Launch_Command(std::string fpath, std::string epath);
