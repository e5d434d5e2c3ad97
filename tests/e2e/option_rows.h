// Compile options and the arguments a compiler must get for them, the
// same on every platform: the Linux build splits the line as a Windows
// program's C runtime does, and the Windows build leaves that to the
// compiler's own runtime. "{exe}" and "{src}" stand for the paths the
// run passes.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct Option_Row {
  std::string options;
  std::vector<std::string> args;  // all of them after the compiler's name
};

inline std::vector<Option_Row> Option_Rows() {
  const std::string E = "{exe}", S = "{src}";
  return {
      {"-O2 -Wall", {"-O2", "-Wall", "-g", "-o", E, S}},
      {"  -O2  ", {"-O2", "-g", "-o", E, S}},
      {"-DMSG=\\\"hi\\\"", {"-DMSG=\"hi\"", "-g", "-o", E, S}},
      {"-DM=\"a\\\"b\" -O2", {"-DM=a\"b", "-O2", "-g", "-o", E, S}},
      {"-DP=\"C:\\dir\\\\\"", {"-DP=C:\\dir\\", "-g", "-o", E, S}},
      {"-I\"C:\\Program Files\\x\\\\\" -O1", {"-IC:\\Program Files\\x\\", "-O1", "-g", "-o", E, S}},
      {"-DS=\"a\"\"b\"", {"-DS=a\"b", "-g", "-o", E, S}},
      {"\"\"", {"", "-g", "-o", E, S}},
      {"-DE=\"\" x", {"-DE=", "x", "-g", "-o", E, S}},
      {"a\\\\b\\c d\\", {"a\\\\b\\c", "d\\", "-g", "-o", E, S}},
      {"\\\\\\\\\"x y\"", {"\\\\x y", "-g", "-o", E, S}},
      {"\\\\\\\"x", {"\\\"x", "-g", "-o", E, S}},
      {"-O2\t-g3", {"-O2", "-g3", "-g", "-o", E, S}},
      {"\"a\tb\"", {"a\tb", "-g", "-o", E, S}},
      {"-DNAME=\"名字 1\" -D中=文", {"-DNAME=名字 1", "-D中=文", "-g", "-o", E, S}},
      {"a\"b\"c \"d e\"f", {"abc", "d ef", "-g", "-o", E, S}},
      {"-DA=\"x\\\\\" -DB=\"y\"", {"-DA=x\\", "-DB=y", "-g", "-o", E, S}},
      {"-DS=\"a\"\"b c\" -O1", {"-DS=a\"b c", "-O1", "-g", "-o", E, S}},
      {"\"a\"\"\"\"b\"", {"a\"\"b", "-g", "-o", E, S}},
  };
}

// args with "{exe}" and "{src}" replaced.
inline std::vector<std::string> With_Paths(std::vector<std::string> args, std::string exe,
                                           std::string src) {
  for (std::string& a : args) {
    for (auto [key, value] : {std::pair<std::string, std::string>{"{exe}", exe}, {"{src}", src}}) {
      std::size_t at = a.find(key);
      if (at != std::string::npos) a.replace(at, key.size(), value);
    }
  }
  return args;
}

// The input of one session that sets each row's options in the settings
// menu and compiles src with them, answering the compile question
// (asked once an executable is there) with 1 and the run question with 0;
// newline is "\n" or "\r\n".
inline std::string Option_Rows_Input(const std::vector<Option_Row>& rows, std::string src,
                                     std::string newline) {
  std::string in;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    in += "3" + newline + "3" + newline + rows[i].options + newline + "5" + newline;
    in += "2" + newline + src + newline + (i == 0 ? "" : "1" + newline) + "0" + newline;
  }
  return in + "4" + newline;
}
