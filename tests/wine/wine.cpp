#include "wine.h"

#include <sys/xattr.h>

#include <algorithm>
#include <cstdlib>

Options Wine_In(std::string cwd, std::string exe) {
  Options o = In(cwd);
  o.program = VELDER_BIN;
  o.args = {exe};
  // Wine names Linux files in the charset of the locale: only a UTF-8
  // one maps Chinese Windows names to the same Linux names (Windows
  // itself has no such setting, its names are UTF-16).
  o.env = {{"WINEPREFIX", WINE_PREFIX}, {"WINEDEBUG", "-all"}, {"LC_ALL", "C.UTF-8"}};
  // No display: "start" and the like must not look for one.
  o.unset = {"DISPLAY", "WAYLAND_DISPLAY"};
  o.timeout = 120;
  return o;
}

std::string Win_Path(std::string linux_path) {
  std::string r = "Z:";
  for (char c : linux_path) r += c == '/' ? '\\' : c;
  return r;
}

std::string Crlf(std::string s) { return Onlcr(s); }

std::string Cls_Wine() { return ""; }

std::string Pause_Wine() { return std::string(PAUSE_PROMPT) + "\r\n"; }

std::string Dos_Attributes(const std::string& path) {
  char v[32] = {};
  ssize_t n = getxattr(path.c_str(), "user.DOSATTRIB", v, sizeof v);
  return n > 0 ? std::string(v, static_cast<std::size_t>(n)) : std::string();
}

std::string Attrib_Letters(const std::string& path) {
  Options o = Wine_In("/", "attrib");
  o.args.push_back(Win_Path(path));
  Result r = Run_Piped(o, "");
  std::string letters;
  std::size_t end = r.out.find("Z:\\");
  for (std::size_t i = 0; i < end && i < r.out.size(); ++i)
    if (r.out[i] != ' ') letters += r.out[i];
  return letters;
}

std::string Without_Escapes(const std::string& s) {
  std::string r;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\x1b' || i + 1 >= s.size()) {
      r += s[i];
      continue;
    }
    char kind = s[++i];
    if (kind == '[') {
      std::size_t from = i + 1;
      while (i + 1 < s.size() && !(s[i + 1] >= '@' && s[i + 1] <= '~')) ++i;
      ++i;  // the final byte
      // The console draws a space as a move of the cursor to the right.
      if (i < s.size() && s[i] == 'C') r += std::string(std::max(1, std::atoi(s.c_str() + from)), ' ');
    } else if (kind == ']') {
      while (i + 1 < s.size() && s[i + 1] != '\a') ++i;
      ++i;  // the BEL
    }
  }
  return r;
}
