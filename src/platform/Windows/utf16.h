// UTF-8 <-> UTF-16 for the Windows implementation files.
#pragma once

#include <string>

namespace platform {

// False when s is not valid UTF-8.
bool To_Wide(const std::string& s, std::wstring& w);
std::string To_Utf8(const std::wstring& w);

// For text to show: malformed bytes become U+FFFD instead of failing.
std::wstring To_Utf16_Lenient(const std::string& s);

}  // namespace platform
