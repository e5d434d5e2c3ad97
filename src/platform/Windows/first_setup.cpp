#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <string>

#include "platform/first_setup.h"
#include "platform/Windows/utf16.h"

namespace platform {

namespace {

std::wstring Expand(const std::wstring& v) {
  DWORD n = ExpandEnvironmentStringsW(v.c_str(), nullptr, 0);
  if (n == 0) return v;
  std::wstring out(n, L'\0');
  n = ExpandEnvironmentStringsW(v.c_str(), &out[0], n);
  if (n == 0 || n > out.size()) return v;
  out.resize(n - 1);
  return out;
}

// A Path value as the system puts it together for a new logon: the
// string, with %NAME% expanded when it is REG_EXPAND_SZ.
std::string Registry_Path(HKEY root, const wchar_t* key) {
  HKEY k;
  if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return "";
  DWORD type = 0, size = 0;
  std::wstring v;
  LONG r = RegQueryValueExW(k, L"Path", nullptr, &type, nullptr, &size);
  if (r == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
    v.assign(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(v.size() * sizeof(wchar_t));
    r = RegQueryValueExW(k, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(&v[0]), &size);
    v.resize(r == ERROR_SUCCESS ? std::min(v.size(), size / sizeof(wchar_t)) : 0);
    v.resize(v.find(L'\0') == std::wstring::npos ? v.size() : v.find(L'\0'));
  }
  RegCloseKey(k);
  return To_Utf8(type == REG_EXPAND_SZ ? Expand(v) : v);
}

std::wstring Variable(const wchar_t* name) {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = GetEnvironmentVariableW(name, buf, MAX_PATH + 1);
  return n == 0 || n > MAX_PATH ? L"" : std::wstring(buf, n);
}

std::vector<std::wstring> Subfolders(const std::wstring& dir) {
  std::vector<std::wstring> found;
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (f == INVALID_HANDLE_VALUE) return found;
  do {
    std::wstring name = fd.cFileName;
    if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
      found.push_back(dir + L"\\" + name);
  } while (FindNextFileW(f, &fd));
  FindClose(f);
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

Compiler_Places Find_Compiler_Places() {
  Compiler_Places p;
  p.user_path = Registry_Path(HKEY_CURRENT_USER, L"Environment");
  p.machine_path = Registry_Path(
      HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment");
  p.list_separator = ';';
  DWORD drives = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    wchar_t letter = static_cast<wchar_t>(L'A' + (i + 2) % 26);  // C: to Z:, then A:, B:
    std::wstring root = std::wstring(1, letter) + L":\\";
    if ((drives >> (letter - L'A') & 1) && GetDriveTypeW(root.c_str()) == DRIVE_FIXED)
      p.drives.push_back(To_Utf8(root.substr(0, 2)));
  }
  std::vector<std::wstring> roots;
  for (const wchar_t* name : {L"ProgramFiles", L"ProgramFiles(x86)"}) {
    std::wstring r = Variable(name);
    if (!r.empty() && std::find(roots.begin(), roots.end(), r) == roots.end()) roots.push_back(r);
  }
  for (const std::wstring& r : roots)
    for (const std::wstring& f : Subfolders(r)) {
      p.program_folders.push_back(To_Utf8(f));
      for (const std::wstring& g : Subfolders(f)) p.program_folders.push_back(To_Utf8(g));
    }
  return p;
}

std::string Compiler_File_Name() { return "g++.exe"; }

std::vector<std::string> Arguments(int argc, char** argv) {
  int n = 0;
  wchar_t** w = CommandLineToArgvW(GetCommandLineW(), &n);
  if (w == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  for (int i = 0; i < n; ++i) args.push_back(To_Utf8(w[i]));
  LocalFree(w);
  return args;
}

}  // namespace platform
