// Text for a Windows console goes out as UTF-16. Print writes UTF-8 one
// byte at a time, and a console fed bytes in code page 65001 shows a
// character split across writes as garbage on older Windows (and under
// Wine, whose C runtime even decodes console bytes in the ANSI code
// page). So standard output and error, when they are a console, get a
// stream buffer that holds the first bytes of a character until it is
// complete and then writes it with WriteConsoleW. Pipes and files keep
// the C runtime's byte stream (text mode: LF as CR LF).
#include <windows.h>

#include <iostream>
#include <streambuf>
#include <string>

#include "platform/Windows/console_out.h"
#include "platform/Windows/utf16.h"

namespace platform {

namespace {

// How much of s is whole characters: all but a last, unfinished
// sequence (a lead byte followed by fewer continuation bytes than it
// announces). Anything malformed counts as whole and is written as is.
std::size_t Whole_Part(const std::string& s) {
  std::size_t n = s.size();
  for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
    unsigned char c = static_cast<unsigned char>(s[n - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte
    std::size_t need = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
    return need > back ? n - back : n;
  }
  return n;
}

// The program's one adaptor to the standard stream interface: without
// a buffer of its own, every byte reaches overflow or xsputn at once.
struct Console_Buffer : std::streambuf {
  HANDLE console;
  std::string held;  // the start of an unfinished character

  explicit Console_Buffer(HANDLE h) : console(h) {}

  void Write(std::string bytes, bool all) {
    held += bytes;
    std::size_t whole = all ? held.size() : Whole_Part(held);
    if (whole == 0) return;
    std::wstring w = To_Utf16_Lenient(held.substr(0, whole));
    held.erase(0, whole);
    std::size_t done = 0;
    while (done < w.size()) {
      DWORD k = 0;
      if (!WriteConsoleW(console, w.data() + done, static_cast<DWORD>(w.size() - done), &k,
                         nullptr) ||
          k == 0)
        return;
      done += k;
    }
  }

  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof()))
      Write(std::string(1, traits_type::to_char_type(c)), false);
    return traits_type::not_eof(c);
  }

  std::streamsize xsputn(const char* s, std::streamsize n) override {
    Write(std::string(s, static_cast<std::size_t>(n)), false);
    return n;
  }
};

bool Is_Console(HANDLE h) {
  DWORD mode;
  return h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode) != 0;
}

// Never destroyed: std::cout may still be flushed after static objects
// are gone.
Console_Buffer* out_buffer = nullptr;
Console_Buffer* err_buffer = nullptr;

}  // namespace

void Attach_Console_Streams() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), err = GetStdHandle(STD_ERROR_HANDLE);
  if (!out_buffer && Is_Console(out)) {
    out_buffer = new Console_Buffer(out);
    std::cout.rdbuf(out_buffer);
  }
  if (!err_buffer && Is_Console(err)) {
    err_buffer = new Console_Buffer(err);
    std::cerr.rdbuf(err_buffer);
  }
}

void Flush_Console_Streams() {
  if (out_buffer) out_buffer->Write("", true);
  if (err_buffer) err_buffer->Write("", true);
}

}  // namespace platform
