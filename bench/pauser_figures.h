// The figures of velder-pauser's report line, read back by the pauser
// benchmarks on both systems.
#pragma once

#include <cstdlib>
#include <regex>
#include <string>

struct Figures {
  double seconds = -1, cpu = -1, mib = -1;  // -1: not in the report
};

inline Figures Parse(const std::string& out) {
  static const std::regex re(
      "用时 ([0-9.]+) 秒，CPU 时间 ([0-9.]+) 秒，内存峰值 ([0-9.]+) (KiB|MiB|GiB)");
  std::smatch m;
  Figures f;
  if (!std::regex_search(out, m, re)) return f;
  f.seconds = std::atof(m[1].str().c_str());
  f.cpu = std::atof(m[2].str().c_str());
  f.mib = std::atof(m[3].str().c_str()) * (m[4] == "KiB" ? 1.0 / 1024 : m[4] == "GiB" ? 1024 : 1);
  return f;
}
