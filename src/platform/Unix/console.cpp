#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <streambuf>

#include <poll.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "platform/console.h"
#include "platform/Unix/commands.h"
#include "platform/Unix/signals.h"

namespace platform {

namespace {

bool smart = false;

// Standard output and error written straight to their descriptors, with
// no buffer of their own (Print flushes after every byte anyway), so that
// a descriptor another program left non-blocking loses nothing.
class Fd_Buf : public std::streambuf {
 public:
  explicit Fd_Buf(int fd) : fd_(fd) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    char b = traits_type::to_char_type(c);
    return Write_Out(fd_, &b, 1) ? c : traits_type::eof();
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    return Write_Out(fd_, s, static_cast<std::size_t>(n)) ? n : 0;
  }

 private:
  int fd_;
};

}  // namespace

bool Write_Out(int fd, const char* s, std::size_t n) {
  while (n > 0) {
    ssize_t k = write(fd, s, n);
    if (k < 0 && errno == EINTR) continue;
    if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // Non-blocking, and full for now: wait until it takes more.
      pollfd p = {fd, POLLOUT, 0};
      if (poll(&p, 1, -1) < 0 && errno != EINTR) return false;
      continue;
    }
    if (k <= 0) return false;
    s += k;
    n -= static_cast<std::size_t>(k);
  }
  return true;
}

void Init_Console() {
#ifdef __linux__
  // Linux lets a sleep run up to 50 us late by default, so that wake-ups
  // can be grouped; the typing effect sleeps a thousand times a second
  // and wants its deadlines kept.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
  Set_Up_Signals();
  // Held for the whole run, past the end of main.
  static Fd_Buf* out = new Fd_Buf(STDOUT_FILENO);
  static Fd_Buf* err = new Fd_Buf(STDERR_FILENO);
  std::cout.flush();
  std::cout.rdbuf(out);
  std::cerr.rdbuf(err);
  // POSIX terminals take UTF-8 as they are; what is left to decide is
  // whether escape sequences may be written.
  const char* term = std::getenv("TERM");
  smart = isatty(STDOUT_FILENO) == 1 && term != nullptr && term[0] != '\0' &&
          std::strcmp(term, "dumb") != 0;
}

void End_Console() {}

bool Smart_Terminal() { return smart; }

}  // namespace platform
