// Paths longer than MAX_PATH on Windows.
#pragma once

#include <string>

namespace platform {

// An absolute path too long for the calls that still stop at MAX_PATH,
// in the \\?\ form (\\?\UNC\ for a share), which they take at any
// length; any other path as it is.
std::wstring Long_Form(std::wstring path);

}  // namespace platform
