#include "build/exe_path.h"

#include <cstdint>

std::string Exe_Path(std::string fpath) {
  std::int32_t lf = static_cast<std::int32_t>(fpath.size());
  if (lf < 4) return ".exe";  // never from Read_File_Path, which ends in ".cpp"
  return fpath.substr(0, static_cast<std::size_t>(lf - 4)) + ".exe";
}
