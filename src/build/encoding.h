// Whether a source file is UTF-8, the encoding the run window shows.
// The file is read a piece at a time, so a huge one costs no memory.
#pragma once

#include <cstddef>
#include <string>

// Where a check stands between pieces: a sequence may go on in the next.
struct Utf8_Check {
  int need = 0;              // continuation bytes still due
  unsigned char lo = 0x80;   // the range of the next one
  unsigned char hi = 0xBF;
  bool bad = false;
};

// Feeds the next n bytes. Overlong forms, surrogates and code points past
// U+10FFFF count as invalid, as a stray or missing continuation does.
void Check_Utf8(Utf8_Check& c, const char* p, std::size_t n);

// True when everything fed is valid UTF-8 and no sequence is left open.
bool Valid_Utf8(const Utf8_Check& c);

// False only when the file at fpath could be read and is not UTF-8 (a
// UTF-8 byte order mark is UTF-8 too).
bool Source_Is_Utf8(std::string fpath);
