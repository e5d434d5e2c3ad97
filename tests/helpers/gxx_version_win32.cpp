// Stands in for a working g++.exe where only its --version is asked (the
// installer's compiler search): answers as GCC does and exits with 0;
// anything else exits with 1. With a file "hang" beside it, it never
// answers: it sleeps until it is ended.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, &self[0], static_cast<DWORD>(self.size())));
  std::wstring hang = self.substr(0, self.find_last_of(L'\\') + 1) + L"hang";
  if (GetFileAttributesW(hang.c_str()) != INVALID_FILE_ATTRIBUTES) Sleep(INFINITE);
  if (argc != 2 || std::strcmp(argv[1], "--version") != 0) return 1;
  std::puts("g++.exe (stand-in) 13.2.0");
  std::puts("Copyright (C) 2023 Free Software Foundation, Inc.");
  return 0;
}
