// Feeds standard input from bytes and captures what the console code
// writes to std::cout, for unit tests of the reading and printing code.
#pragma once

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "platform/input.h"

class Fake_Stdin {
 public:
  explicit Fake_Stdin(const std::string& bytes) {
    saved_ = dup(0);
    FILE* f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fflush(f);
    lseek(fileno(f), 0, SEEK_SET);
    dup2(fileno(f), 0);
    std::fclose(f);
    platform::Reset_Input();
  }
  ~Fake_Stdin() {
    dup2(saved_, 0);
    close(saved_);
    platform::Reset_Input();
  }

 private:
  int saved_;
};

class Capture_Stdout {
 public:
  Capture_Stdout() : old_(std::cout.rdbuf(buf_.rdbuf())) {}
  ~Capture_Stdout() { std::cout.rdbuf(old_); }
  std::string str() const { return buf_.str(); }

 private:
  std::ostringstream buf_;
  std::streambuf* old_;
};
