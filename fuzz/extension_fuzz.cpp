// The extension test of Read_File_Path: the bytes after the last dot of
// the whole line, ASCII capitals folded, equal the required extension.
// The first byte chooses the extension: "exe", "cpp", or (odd bytes)
// the next up to 7 input bytes with ASCII capitals folded.
#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "paths/paths.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool Expected(const std::string& ans, const std::string& wh) {
  std::size_t dot = ans.find_last_of('.');
  if (dot == std::string::npos) return false;
  if (ans.size() - dot - 1 != wh.size()) return false;
  for (std::size_t i = 0; i < wh.size(); ++i)
    if (Lower(ans[dot + 1 + i]) != wh[i]) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string wh = data[0] % 4 == 0 ? "exe" : data[0] % 4 == 2 ? "cpp" : "";
  if (data[0] % 2 == 1) {
    std::size_t n = std::min<std::size_t>(data[0] / 2 % 8, rest.size());
    for (std::size_t i = 0; i < n; ++i) wh += Lower(rest[i]);
    rest.erase(0, n);
  }
  bool got = Has_Extension(rest, wh);
  Check(got == Expected(rest, wh), "the extension test follows the rule");

  // Whatever comes before, a last dot and wh in any letter case pass;
  // nothing without a dot does.
  if (wh.find('.') == std::string::npos) {
    std::string mixed = wh;
    for (std::size_t i = 0; i < mixed.size(); ++i)
      if (rest.size() > i && (rest[i] & 1)) mixed[i] = Upper(mixed[i]);
    Check(Has_Extension(rest + "." + mixed, wh), "a name ending in .wh passes");
  }
  std::string no_dots;
  for (char c : rest)
    if (c != '.') no_dots += c;
  Check(!Has_Extension(no_dots, wh), "a name without a dot has no extension");
  // Bytes outside ASCII are never folded: a name ending in .EXE with a
  // non-ASCII byte in the extension is not "exe".
  Check(!Has_Extension(rest + ".\xc3\x89XE", "exe") && !Has_Extension(rest + ".ex\xc3\xa9", "exe"),
        "non-ASCII bytes are not folded");
  return 0;
}
