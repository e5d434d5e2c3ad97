#include "build/encoding.h"

#include <filesystem>
#include <fstream>

#include "platform/files.h"

void Check_Utf8(Utf8_Check& c, const char* p, std::size_t n) {
  for (std::size_t i = 0; i < n && !c.bad; ++i) {
    unsigned char b = static_cast<unsigned char>(p[i]);
    if (c.need > 0) {
      c.bad = b < c.lo || b > c.hi;
      --c.need;
      c.lo = 0x80;
      c.hi = 0xBF;
    } else if (b < 0x80) {
    } else if (b >= 0xC2 && b <= 0xDF) {
      c.need = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      c.need = 2;
      if (b == 0xE0) c.lo = 0xA0;  // shorter forms have fewer bytes
      if (b == 0xED) c.hi = 0x9F;  // U+D800 to U+DFFF are surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      c.need = 3;
      if (b == 0xF0) c.lo = 0x90;
      if (b == 0xF4) c.hi = 0x8F;  // nothing past U+10FFFF
    } else {
      c.bad = true;  // a stray continuation, C0, C1 or F5 to FF
    }
  }
}

bool Valid_Utf8(const Utf8_Check& c) { return !c.bad && c.need == 0; }

bool Source_Is_Utf8(std::string fpath) {
  std::filesystem::path p;
  if (!platform::Native_Path(fpath, p)) return true;
  std::ifstream in(p, std::ios::binary);
  if (!in) return true;
  Utf8_Check c;
  char buf[65536];
  while (!c.bad && in) {
    in.read(buf, sizeof buf);
    Check_Utf8(c, buf, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return true;  // not read to the end: nothing known
  return Valid_Utf8(c);
}
