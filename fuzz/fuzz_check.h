// What the fuzz targets share: a failed check stops the run with a
// message, so that libFuzzer saves the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

inline void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}
