// The command lines of the screen's actions as cmd.exe is handed them on
// Windows, where the system renders each request into one of these; on
// POSIX they are the tests' record of what Windows gets. Paths and
// options go in byte for byte, each path between its own pair of double
// quotes.
#pragma once

#include <string>

namespace platform {

// A relative path that begins with "-" would be taken for an option by
// the compiler or the editor; "./" (".\" on Windows) in front names the
// same file. Any other path as it is.
std::string Not_An_Option(std::string path);

// "cmd /c" and, between one more pair of quotes, the compiler, the
// options (when there are any), "-g -o", the executable and the source,
// each path made Not_An_Option.
std::string Compile_Command(std::string com_path, std::string com_settings, std::string epath,
                            std::string fpath);

// A new window with an empty title, the pauser given the executable.
std::string Pauser_Launch_Command(std::string con_path, std::string epath);

// A new window titled with the source path, running the executable.
std::string Direct_Launch_Command(std::string fpath, std::string epath);

// The editor opened on a file.
std::string Editor_Command(std::string fpath);

}  // namespace platform
