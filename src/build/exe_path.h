// The executable that belongs to a source file.
#pragma once

#include <string>

// The source path less its last four bytes (".cpp" in any case), then
// ".exe".
std::string Exe_Path(std::string fpath);
