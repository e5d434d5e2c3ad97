// A failed compile explained: the corpus of broken programs (one or more
// per rule, compiled here by the system's g++ in the C locale), GCC's
// saved outputs of other versions and systems, and GCC's colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <unistd.h>

#include "build/colour.h"
#include "build/diagnose.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// The options a corpus program asks for on its first line:
// "// g++ options: -Wall -O2".
std::vector<std::string> Options_Of(const std::string& source) {
  const std::string mark = "// g++ options:";
  std::vector<std::string> r;
  if (source.compare(0, mark.size(), mark) != 0) return r;
  std::istringstream in(source.substr(mark.size(), source.find('\n') - mark.size()));
  for (std::string o; in >> o;) r.push_back(o);
  return r;
}

struct Compiled {
  bool ok;
  std::string output;  // standard output and error together
};

// g++ as velder runs it: English messages, -g, one source, one program.
Compiled Compile(const fs::path& src, const fs::path& dir) {
  platform::Process_Spec s;
  s.argv = {"/bin/sh", "-c", "LC_ALL=C; export LC_ALL; unset LANGUAGE; exec \"$0\" \"$@\" 2>&1", "g++"};
  for (const std::string& o : Options_Of(Read(src))) s.argv.push_back(o);
  for (std::string a : {std::string("-g"), std::string("-o"), (dir / "a.out").string(), src.string()})
    s.argv.push_back(a);
  s.output = (dir / "output.txt").string();
  platform::Process_End e = platform::Run_Process(s);
  return {e.started && !e.signaled && e.code == 0, Read(dir / "output.txt")};
}

bool Warning_Rule(const std::string& id) {
  static const std::set<std::string> ids = {"return_type", "uninitialized", "scanf_address", "format",
                                            "assignment_in_condition", "overflow", "loop_out_of_bounds"};
  return ids.count(id) > 0;
}

// Rules no compile on this machine can trigger; the saved outputs below
// cover them.
const std::set<std::string> SAVED_ONLY = {"output_locked"};  // root writes read-only files

// Each program in tests/data/diagnose is named after the rule it must
// trigger ("missing_semicolon.next_line.cpp": missing_semicolon), and
// every rule has one.
TEST(DiagnoseCorpus, EachProgramTriggersItsRule) {
  if (std::system("g++ --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no g++ here";
  fs::path dir = fs::temp_directory_path() / ("velder-diagnose-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::vector<fs::path> programs;
  for (const auto& e : fs::directory_iterator(DIAGNOSE_CORPUS)) programs.push_back(e.path());
  std::sort(programs.begin(), programs.end());
  std::set<std::string> covered = SAVED_ONLY;
  for (const fs::path& p : programs) {
    std::string rule = p.filename().string().substr(0, p.filename().string().find('.'));
    covered.insert(rule);
    Compiled c = Compile(p, dir);
    std::string source = Read(p);
    SCOPED_TRACE(p.filename().string() + "\n" + c.output);
    if (Warning_Rule(rule)) {
      EXPECT_TRUE(c.ok);
      EXPECT_EQ(Explain_Warnings(c.output, p.string(), source).rule, rule);
    } else {
      EXPECT_FALSE(c.ok);
      Explanation e = Explain_Failure(c.output, p.string(), source);
      EXPECT_EQ(e.rule, rule) << e.text;
      EXPECT_EQ(e.text.find("：\n", e.text.find("原因")), std::string::npos) << "a sentence left out:\n" << e.text;
    }
  }
  fs::remove_all(dir);
  for (const std::string& id : Rule_Ids()) EXPECT_TRUE(covered.count(id)) << "no program triggers " << id;
}

struct Saved {
  const char* name;
  std::string output;
  std::string fpath;
  std::string source;
  std::string rule;
  std::vector<std::string> shown;  // each in the explanation
};

const std::string SORT_SOURCE = "#include <algorithm>\n#include <vector>\nstruct P { int x; };\nint main() {\n"
                                "    std::vector<P> v; std::sort(v.begin(), v.end());\n}\n";

const Saved SAVED[] = {
    {"GCC 4.9: the undeclared name's std:: in a note", R"(a.cpp: In function 'int main()':
a.cpp:4:5: error: 'cout' was not declared in this scope
     cout << n;
     ^
a.cpp:4:5: note: suggested alternative:
In file included from a.cpp:1:0:
/usr/include/c++/4.9/iostream:61:18: note:   'std::cout'
   extern ostream cout;  /// Linked to standard output.
                  ^
)",
     "a.cpp", "#include <iostream>\nint main() {\n    int n = 1;\n    cout << n;\n}\n", "undeclared_std",
     {"第一个错误在 a.cpp 第 4 行：\n    4 |     cout << n;\n      |     ^\n", "写成 std::cout"}},
    {"GCC 4.9: a full-width mark, byte by byte", R"(a.cpp: In function 'int main()':
a.cpp:2:14: error: stray '\357' in program
     int a = 1；
              ^
a.cpp:2:14: error: stray '\274' in program
a.cpp:2:14: error: stray '\233' in program
)",
     "a.cpp", "int main() {\n    int a = 1；\n    return a;\n}\n", "fullwidth_punct",
     {"共 3 个错误。", "；（U+FF1B）", "改成英文的 ;"}},
    {"GCC 4.9: inside a library header, required from the student's line",
     R"(In file included from /usr/include/c++/4.9/algorithm:62:0,
                 from a.cpp:1:
/usr/include/c++/4.9/bits/stl_algo.h: In instantiation of 'void std::__insertion_sort(_RandomAccessIterator, _RandomAccessIterator, _Compare)':
/usr/include/c++/4.9/bits/stl_algo.h:1884:70:   required from 'void std::__final_insertion_sort(_RandomAccessIterator, _RandomAccessIterator, _Compare)'
a.cpp:5:34:   required from here
/usr/include/c++/4.9/bits/predefined_ops.h:42:23: error: no match for 'operator<' (operand types are 'P' and 'P')
       { return *__it1 < *__it2; }
                       ^
)",
     "a.cpp", SORT_SOURCE, "no_operator",
     {"第一个错误出在库文件 predefined_ops.h 里，起因是 a.cpp 第 5 行：", "定义 operator<"}},
    {"GCC 14: required from here with its source lines",
     R"(In file included from /usr/include/c++/14/algorithm:61,
                 from a.cpp:1:
/usr/include/c++/14/bits/predefined_ops.h: In instantiation of 'constexpr bool __gnu_cxx::__ops::_Iter_less_iter::operator()(_Iterator1, _Iterator2) const':
/usr/include/c++/14/bits/stl_algo.h:1777:14:   required from 'void std::__insertion_sort(_RandomAccessIterator, _RandomAccessIterator, _Compare)'
 1777 |           if (__comp(__i, __first))
      |               ~~~~~~^~~~~~~~~~~~~~
a.cpp:5:34:   required from here
    5 |     std::vector<P> v; std::sort(v.begin(), v.end());
      |                       ~~~~~~~~~^~~~~~~~~~~~~~~~~~~~
/usr/include/c++/14/bits/predefined_ops.h:45:23: error: no match for 'operator<' (operand types are 'P' and 'P')
   45 |       { return *__it1 < *__it2; }
      |                ~~~~~~~^~~~~~~~
)",
     "a.cpp", SORT_SOURCE, "no_operator", {"起因是 a.cpp 第 5 行：", "  |                                  ^\n"}},
    {"GCC 14: did you mean",
     "a.cpp: In function 'int main()':\na.cpp:3:5: error: 'summ' was not declared in this scope; did you "
     "mean 'sum'?\n    3 |     summ = 3;\n      |     ^~~~\n      |     sum\n",
     "a.cpp", "int main() {\n    int sum = 0;\n    summ = 3;\n}\n", "undeclared", {"GCC 猜你想写的是 sum。"}},
    {"MinGW: drive letters, CR LF, Chinese in the path",
     "D:\\work\\作业\\a.cpp: In function 'int main()':\r\n"
     "D:\\work\\作业\\a.cpp:3:5: error: 'cout' was not declared in this scope; did you mean 'std::cout'?\r\n"
     "    3 |     cout << \"你好\";\r\n      |     ^~~~\r\n      |     std::cout\r\n"
     "In file included from D:\\work\\作业\\a.cpp:1:\r\n"
     "C:/mingw64/lib/gcc/x86_64-w64-mingw32/13.2.0/include/c++/iostream:63:18: note: 'std::cout' declared "
     "here\r\n",
     "D:\\work\\作业\\a.cpp", "#include <iostream>\r\nint main() {\r\n    cout << \"你好\";\r\n}\r\n",
     "undeclared_std", {"第一个错误在 a.cpp 第 3 行：\n    3 |     cout << \"你好\";\n      |     ^\n"}},
    {"MinGW: no main, in the old linker's quotes",
     "C:/mingw64/bin/../lib/gcc/x86_64-w64-mingw32/8.1.0/../../../../x86_64-w64-mingw32/bin/ld.exe: "
     "C:/mingw64/bin/../lib/gcc/x86_64-w64-mingw32/8.1.0/../../../../x86_64-w64-mingw32/lib/../lib/"
     "libmingw32.a(lib64_libmingw32_a-crt0_c.o):crt0_c.c:(.text.startup+0x2e): undefined reference to "
     "`WinMain'\r\ncollect2.exe: error: ld returned 1 exit status\r\n",
     "D:\\work\\a.cpp", "int mian() { return 0; }\r\n", "no_main", {"共 1 个错误。\n原因：", "mian"}},
    {"MinGW: no main, in the new linker's quotes",
     "C:/msys64/ucrt64/bin/../lib/gcc/x86_64-w64-mingw32/14.2.0/../../../../x86_64-w64-mingw32/bin/ld.exe: "
     "C:/msys64/ucrt64/lib/libmingw32.a(lib64_libmingw32_a-crtexewin.o): in function `main':\r\n"
     "C:/M/B/src/mingw-w64/mingw-w64-crt/crt/crtexewin.c:67:(.text.startup+0xbd): undefined reference to "
     "'WinMain'\r\ncollect2.exe: error: ld returned 1 exit status\r\n",
     "D:\\work\\a.cpp", "", "no_main", {"程序里没有 main 函数"}},
    {"MinGW: the program still runs", 
     "C:/mingw64/bin/../lib/gcc/x86_64-w64-mingw32/13.2.0/../../../../x86_64-w64-mingw32/bin/ld.exe: cannot "
     "open output file D:\\work\\a.exe: Permission denied\r\ncollect2.exe: error: ld returned 1 exit status\r\n",
     "D:\\work\\a.cpp", "int main() {}\r\n", "output_locked", {"共 1 个错误。\n", "D:\\work\\a.exe", "关掉程序的窗口"}},
    {"MinGW: a function without its body, located by -g",
     "C:/mingw64/bin/../lib/gcc/x86_64-w64-mingw32/13.2.0/../../../../x86_64-w64-mingw32/bin/ld.exe: "
     "C:\\Users\\xm\\AppData\\Local\\Temp\\ccAbc.o: in function `main':\r\nD:/work/a.cpp:2: undefined "
     "reference to `f(int)'\r\ncollect2.exe: error: ld returned 1 exit status\r\n",
     "D:\\work\\a.cpp", "int f(int a);\r\nint main() { return f(1); }\r\n", "undefined_reference",
     {"第一个错误在 a.cpp 第 2 行：\n    2 | int main() { return f(1); }\n原因：f(int) 只有声明"}},
    {"colour codes, as -fdiagnostics-color=always leaves them",
     "\x1b[01m\x1b[Ka.cpp:\x1b[m\x1b[K In function '\x1b[01m\x1b[Kint main()\x1b[m\x1b[K':\n\x1b[01m\x1b[Ka.cpp:3:"
     "5:\x1b[m\x1b[K \x1b[01;31m\x1b[Kerror: \x1b[m\x1b[K'\x1b[01m\x1b[Ksumm\x1b[m\x1b[K' was not declared in "
     "this scope; did you mean '\x1b[01m\x1b[Ksum\x1b[m\x1b[K'?\n",
     "a.cpp", "int main() {\n    int sum = 0;\n    summ = 3;\n}\n", "undeclared", {"第 3 行", "sum。"}},
    {"a Chinese locale: half-translated, so unknown",
     "a.cpp: 在函数‘int main()’中:\na.cpp:3:5: 错误：‘summ’ was not declared in this scope; did you mean "
     "‘sum’?\n    3 |     summ = 3;\n      |     ^~~~\na.cpp:2:9: 警告：未使用的变量‘sum’ [-Wunused-variable]\n",
     "a.cpp", "int main() {\n    int sum = 0;\n    summ = 3;\n}\n", "unknown",
     {"共 1 个错误、1 个警告。\n第一个错误在 a.cpp 第 3 行：", "请看上方第一条 error。\n"}},
    {"a Chinese locale: fully translated, so unknown", "a.cpp:3:5: 错误：‘summ’在此作用域中尚未声明\n", "a.cpp",
     "", "unknown", {"第一个错误在 a.cpp 第 3 行：\n请看上方第一条 error。\n"}},
    {"the driver: no place to show", "g++: fatal error: no input files\ncompilation terminated.\n", "a.cpp", "",
     "unknown", {"共 1 个错误。\n请看上方第一条 error。\n"}},
    {"the linker's summary alone counts once",
     "/usr/bin/ld: cannot find -lfoo: No such file or directory\ncollect2: error: ld returned 1 exit status\n",
     "a.cpp", "", "unknown", {"共 1 个错误。\n"}},
    {"no diagnostic: nothing to say", "Segmentation fault\n", "a.cpp", "", "", {}},
    {"the first error is in another file, reached by no line of the student's",
     "b.h:1:1: error: 'x' does not name a type\n", "a.cpp", "", "unknown_type", {"原因："}},
};

TEST(DiagnoseSaved, OtherVersionsAndSystems) {
  for (const Saved& s : SAVED) {
    SCOPED_TRACE(s.name);
    Explanation e = Explain_Failure(s.output, s.fpath, s.source);
    EXPECT_EQ(e.rule, s.rule) << e.text;
    for (const std::string& t : s.shown) EXPECT_NE(e.text.find(t), std::string::npos) << "[" << t << "] in\n" << e.text;
    if (s.rule.empty()) {
      EXPECT_EQ(e.text, "");
    }
  }
}

// GCC before 8 reports a missing ";" at the next line: the block names
// the line that lacks it. The whole block, byte for byte.
TEST(DiagnoseSaved, WholeBlockForAMissingSemicolon) {
  std::string out = "a.cpp: In function 'int main()':\na.cpp:4:5: error: expected ';' before 'return'\n"
                    "     return 0;\n     ^\na.cpp:3:9: warning: unused variable 'x' [-Wunused-variable]\n";
  std::string src = "#include <cstdio>\nint main() {\n\tint x = 3 // three\n    return 0;\n}\n";
  EXPECT_EQ(Explain_Failure(out, "a.cpp", src).text,
            "共 1 个错误、1 个警告。\n"
            "第一个错误在 a.cpp 第 3 行：\n"
            "    3 |         int x = 3 // three\n"
            "      |                  ^\n"
            "原因：第 3 行的末尾少了分号 ;。GCC 读到第 4 行才发现上一句没有结束，所以把错误报在了第 4 行。\n"
            "改法：在第 3 行的末尾加上 ;。\n");
}

TEST(DiagnoseSaved, WarningsAfterSuccess) {
  std::string out =
      "a.cpp: In function 'int main()':\n"
      "a.cpp:5:13: warning: format '%d' expects argument of type 'int*', but argument 2 has type 'int' [-Wformat=]\n"
      "a.cpp:6:11: warning: suggest parentheses around assignment used as truth value [-Wparentheses]\n"
      "a.cpp:7:9: warning: unused variable 'k' [-Wunused-variable]\n"
      "a.cpp:8:11: warning: suggest parentheses around assignment used as truth value [-Wparentheses]\n";
  Explanation e = Explain_Warnings(out, "a.cpp", "");
  EXPECT_EQ(e.rule, "scanf_address");
  EXPECT_EQ(e.text,
            "编译有 4 个警告，第一个在 a.cpp 第 5 行。\n"
            "第 5 行：scanf 的第 2 个参数应当是变量的地址：变量前面少了 &，例如 scanf(\"%d\", &n);。\n"
            "第 6 行：条件里用了赋值 =，多半本想写比较 ==。\n");
  EXPECT_EQ(Explain_Warnings("a.cpp:7:9: warning: unused variable 'k'\n", "a.cpp", "").text,
            "编译有 1 个警告，第一个在 a.cpp 第 7 行。\n");
  EXPECT_EQ(Explain_Warnings("a.cpp:7:9: 警告：未使用的变量‘k’\n", "a.cpp", "").rule, "unknown");
  EXPECT_EQ(Explain_Warnings("", "a.cpp", "").text, "");
}

// Whatever the compiler prints: no crash, no hang, bounded work.
TEST(DiagnoseSaved, HostileOutput) {
  std::string huge(2 << 20, 'x');
  const std::string outputs[] = {
      huge,
      "a.cpp:1:1: error: " + huge,
      "a.cpp:1:1: error: '" + huge + "' was not declared in this scope\n",
      "a.cpp:99999999999999999999:1: error: x\n",
      ":1:1: error: x\n: error: \n\x1b[\n\r\n",
      "a.cpp:3:5: error: expected ';' before 'x'\n",
  };
  for (const std::string& o : outputs) {
    Explain_Failure(o, "a.cpp", "\xff\xfe\n\n\n");
    Explain_Failure(o, "a.cpp", "int a；\xe4\n" + huge);
    Explain_Warnings(o, "a.cpp", huge);
  }
}

const std::string B = "\x1b[01m\x1b[K", R = "\x1b[01;31m\x1b[K", M = "\x1b[01;35m\x1b[K", C = "\x1b[01;36m\x1b[K",
                  G = "\x1b[01;32m\x1b[K", E = "\x1b[m\x1b[K";

TEST(Colour, LinesInGccsColours) {
  const std::pair<std::string, std::string> cases[] = {
      {"a.cpp:3:5: error: x", B + "a.cpp:3:5:" + E + " " + R + "error:" + E + " x"},
      {"D:\\a b\\x.cpp:1:2: warning: w\r", B + "D:\\a b\\x.cpp:1:2:" + E + " " + M + "warning:" + E + " w\r"},
      {"a.cpp:1:12: note: to match", B + "a.cpp:1:12:" + E + " " + C + "note:" + E + " to match"},
      {"a.cpp:2:1: fatal error: x.h: No such file", B + "a.cpp:2:1:" + E + " " + R + "fatal error:" + E + " x.h: No such file"},
      {"collect2: error: ld returned 1", B + "collect2:" + E + " " + R + "error:" + E + " ld returned 1"},
      {"      |     ^~~~ ", "      |     " + G + "^~~~" + E + " "},
      {"     ^", "     " + G + "^" + E},
      {"    3 |     cout << 1;", "    3 |     cout << 1;"},
      {"printf(\"a: error: b\");", "printf(\"a: error: b\");"},  // GCC 4.9's echo of a source line
      {R + "error:" + E, R + "error:" + E},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Colour_Line(c.first), c.second) << c.first;
}

// Chunks may cut a line anywhere; a line too long to hold passes as it is.
TEST(Colour, ChunksAndLongLines) {
  std::string out = "a.cpp: In function 'int main()':\na.cpp:3:5: error: x\n      |     ^\nno newline at the end";
  Colouriser whole;
  std::string expected = whole.Colour(out);
  expected += whole.End();
  Colouriser bytes;
  std::string got;
  for (char c : out) got += bytes.Colour(std::string(1, c));
  EXPECT_EQ(got + bytes.End(), expected);

  std::string line = "a.cpp:1:1: error: " + std::string(100000, 'y');
  Colouriser longer;
  std::string shown;
  for (std::size_t i = 0; i < line.size(); i += 1000) {
    shown += longer.Colour(line.substr(i, 1000));
    EXPECT_LE(std::min(line.size(), i + 1000) - shown.size(), 4097u);  // what is held stays small
  }
  shown += longer.Colour("\na.cpp:2:1: error: z\n");
  shown += longer.End();
  EXPECT_EQ(shown, line + "\n" + B + "a.cpp:2:1:" + E + " " + R + "error:" + E + " z\n");
}

}  // namespace
