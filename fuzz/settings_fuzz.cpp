// The settings file, writer and reader. The head reader keeps the first
// three lines, each up to a limit, however the blocks cut them. Any three
// values without a line feed come back byte for byte, through
// Format_Settings and Load_Settings and through a real Save_Settings and
// Init in a directory of the fuzzer's own; a value too long to be loaded
// again is left out by the save, which says so. The input's first two
// line feeds separate the values; later line feeds are dropped.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "config/settings.h"
#include "fuzz_check.h"
#include "platform/files.h"

namespace {

void Set(const std::string& a, const std::string& b, const std::string& c) {
  COM_PATH = a;
  CON_PATH = b;
  COM_SETTINGS = c;
}

bool Holds(const std::string& a, const std::string& b, const std::string& c) {
  return COM_PATH == a && CON_PATH == b && COM_SETTINGS == c;
}

// Only the settings file, and no temporary file beside it.
bool Only_The_Settings_File() {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator("."))
    if (++n > 1 || e.path().filename() != "velder_data.sg") return false;
  return n == 1;
}

// The head of in by the rule: its first three lines, each with its LF; a
// line of more than max bytes kept as its LF alone and named.
platform::Head Head_By_Rule(const std::string& in, std::size_t max) {
  platform::Head h;
  std::size_t pos = 0;
  for (std::size_t i = 0; i < 3 && pos < in.size(); ++i) {
    std::size_t lf = in.find('\n', pos);
    std::size_t end = lf == std::string::npos ? in.size() : lf;
    if (end - pos > max)
      h.dropped.push_back(i);
    else
      h.content.append(in, pos, end - pos);
    if (lf == std::string::npos) break;
    h.content += '\n';
    pos = lf + 1;
  }
  return h;
}

// The reader of the settings file's head, fed in pieces of every size
// from 1 to 7 bytes with a limit of 5, against the rule.
void Check_Head_Reader(const std::string& in) {
  for (std::size_t piece = 1; piece <= 7; ++piece) {
    platform::Head h;
    platform::Head_Reader r{3, 5};
    for (std::size_t at = 0; at < in.size(); at += piece)
      if (!r.Add(h, in.data() + at, std::min(piece, in.size() - at))) break;
    platform::Head want = Head_By_Rule(in, 5);
    Check(h.content == want.content && h.dropped == want.dropped,
          "the head keeps three lines, each up to the limit, whatever the pieces");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static std::string dir = (std::filesystem::temp_directory_path() / "velder-fuzz-XXXXXX").string();
  Check(mkdtemp(&dir[0]) != nullptr && chdir(dir.c_str()) == 0, "a working directory");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string in(reinterpret_cast<const char*>(data), size);
  Check_Head_Reader(in);
  std::string v[3];
  int k = 0;
  for (char c : in) {
    if (c == '\n') {
      if (k < 2) ++k;
      continue;
    }
    v[k] += c;
  }

  std::string file = Format_Settings(v[0], v[1], v[2]);
  Check(file == v[0] + "\r\n" + v[1] + "\r\n" + v[2], "value, CR LF, value, CR LF, value");
  Set("", "", "");
  Load_Settings(file);
  Check(Holds(v[0], v[1], v[2]), "Load_Settings reads back what Format_Settings wrote");

  // A value longer than the reader keeps is left out, and the save says so.
  std::string kept[3];
  bool all = true;
  for (int i = 0; i < 3; ++i) {
    if (v[i].size() <= SETTING_MAX) kept[i] = v[i];
    all = all && v[i].size() <= SETTING_MAX;
  }
  Set(v[0], v[1], v[2]);
  Check(Save_Settings().empty() == all, "the save reports exactly the values it leaves out");
  Set("", "", "");  // as at a fresh start
  Init();
  Check(Holds(kept[0], kept[1], kept[2]), "Init reads back what Save_Settings wrote");
  Check(Only_The_Settings_File(), "the save leaves no other file");
  return 0;
}
