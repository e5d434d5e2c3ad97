// A stand-in compiler for the tests under Wine. It appends what it was
// given to the file beside itself named like it with ".args.txt" (its
// own "g++.exe" gives "g++.args.txt"): the UTF-16 command line and then
// each argument, converted to UTF-8, one per line, and a line "--end".
// The arguments are what its C runtime made of the command line and
// handed to wmain, as a real compiler gets them.
// After "-o" it puts a copy of itself at the path that follows, so that
// what it "compiled" can be started too. "--exit=N" makes it exit with N.
// With RECORD_ARGS_IN_FOLDER set, the record goes to its working folder
// instead, under the same name: where it ran, whatever path it was
// started by.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/Windows/utf16.h"

namespace {

std::wstring Own_Path() {
  std::wstring p(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, &p[0], static_cast<DWORD>(p.size()));
  p.resize(n);
  return p;
}

std::wstring Record_Path(std::wstring self) {
  std::size_t dot = self.rfind(L'.');
  std::size_t slash = self.find_last_of(L"\\/");
  if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) self.erase(dot);
  return self + L".args.txt";
}

void Append(const std::wstring& file, const std::string& text) {
  HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) std::exit(120);
  DWORD k = 0;
  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &k, nullptr);
  CloseHandle(h);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring self = Own_Path();
  std::string record = platform::To_Utf8(GetCommandLineW()) + "\n";
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    record += platform::To_Utf8(a) + "\n";
    if (a.compare(0, 7, L"--exit=") == 0) status = std::wcstol(a.c_str() + 7, nullptr, 10);
    if (a == L"-o" && i + 1 < argc && !CopyFileW(self.c_str(), argv[i + 1], FALSE)) status = 122;
  }
  std::wstring file = Record_Path(self);
  if (_wgetenv(L"RECORD_ARGS_IN_FOLDER")) file = file.substr(file.find_last_of(L"\\/") + 1);
  Append(file, record + "--end\n");
  return status;
}
