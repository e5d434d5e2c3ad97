// Reads Windows shortcuts (.lnk) through the shell's own IShellLinkW, for
// the test of the installer under Wine. Text out is UTF-8, one
// "name=value" per line.
//   shortcut_win32 folders       the current user's Start-menu programs
//                                folder, documents folder and local
//                                application data folder
//   shortcut_win32 show LINK     the shortcut's target, working folder and
//                                arguments
//   shortcut_win32 start LINK    starts the target with its arguments in
//                                the working folder, as the shell would,
//                                but with this program's standard handles,
//                                waits for it and exits with its status
// Errors go to standard error with exit status 120 and above.
#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "platform/Windows/utf16.h"

namespace {

int Fail(const std::string& what, HRESULT hr) {
  std::fprintf(stderr, "shortcut_win32: %s failed (0x%08lx)\n", what.c_str(),
               static_cast<unsigned long>(hr));
  return 120;
}

void Put(const std::string& name, const std::wstring& value) {
  std::fputs((name + "=" + platform::To_Utf8(value) + "\n").c_str(), stdout);
}

int Folders() {
  struct Known { const char* name; REFKNOWNFOLDERID id; };
  const Known known[] = {{"programs", FOLDERID_Programs},
                         {"documents", FOLDERID_Documents},
                         {"local_app_data", FOLDERID_LocalAppData}};
  for (const Known& k : known) {
    PWSTR p = nullptr;
    HRESULT hr = SHGetKnownFolderPath(k.id, 0, nullptr, &p);
    if (FAILED(hr)) return Fail(std::string("SHGetKnownFolderPath ") + k.name, hr);
    Put(k.name, p);
    CoTaskMemFree(p);
  }
  return 0;
}

struct Shortcut {
  std::wstring target, folder, arguments;
};

// Loads LINK without resolving it: what the file says, not what the
// shell would search for if the target had moved.
HRESULT Load(const std::wstring& link, Shortcut& s) {
  IShellLinkW* sl = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&sl));
  if (FAILED(hr)) return hr;
  IPersistFile* pf = nullptr;
  hr = sl->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pf));
  if (SUCCEEDED(hr)) {
    hr = pf->Load(link.c_str(), STGM_READ);
    pf->Release();
  }
  std::wstring buf(32768, L'\0');
  int n = static_cast<int>(buf.size());
  if (SUCCEEDED(hr)) hr = sl->GetPath(&buf[0], n, nullptr, SLGP_RAWPATH);
  if (SUCCEEDED(hr)) s.target = buf.c_str();
  if (SUCCEEDED(hr)) hr = sl->GetWorkingDirectory(&buf[0], n);
  if (SUCCEEDED(hr)) s.folder = buf.c_str();
  if (SUCCEEDED(hr)) hr = sl->GetArguments(&buf[0], n);
  if (SUCCEEDED(hr)) s.arguments = buf.c_str();
  sl->Release();
  return hr;
}

int Start(const Shortcut& s) {
  std::wstring line = L"\"" + s.target + L"\"";
  if (!s.arguments.empty()) line += L" " + s.arguments;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(s.target.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                      s.folder.empty() ? nullptr : s.folder.c_str(), &si, &pi))
    return Fail("CreateProcessW", HRESULT_FROM_WIN32(GetLastError()));
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD status = 121;
  GetExitCodeProcess(pi.hProcess, &status);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(status);
}

int Usage() {
  std::fputs("usage: shortcut_win32 folders | show LINK | start LINK\n", stderr);
  return 122;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return Fail("CommandLineToArgvW", HRESULT_FROM_WIN32(GetLastError()));
  std::wstring op = argc > 1 ? argv[1] : L"";
  std::wstring link = argc > 2 ? argv[2] : L"";
  bool known = (op == L"folders" && argc == 2) || ((op == L"show" || op == L"start") && argc == 3);
  LocalFree(argv);
  if (!known) return Usage();

  HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(hr)) return Fail("CoInitializeEx", hr);
  int status = 0;
  Shortcut s;
  if (op == L"folders") {
    status = Folders();
  } else if (FAILED(hr = Load(link, s))) {
    status = Fail("reading the shortcut", hr);
  } else if (op == L"show") {
    Put("target", s.target);
    Put("folder", s.folder);
    Put("arguments", s.arguments);
  } else {
    status = Start(s);
  }
  CoUninitialize();
  return status;
}
