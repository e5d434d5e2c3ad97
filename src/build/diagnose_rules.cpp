#include "build/diagnose_rules.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

namespace {

struct Rule_Text {
  const char* id;
  Rule_For kind;
  const char* pattern;  // ECMAScript, on GCC's English (C locale) wording, 4.9 to 14
  Look look;
  std::vector<std::string> meaning, fix;
};

// The knowledge: GCC's messages, what they most likely mean for a
// beginner, and how to mend it. The first rule that fits (pattern and
// look) explains; none fitting, velder only points at the error.
const Rule_Text RULES[] = {
    // A full-width mark in code is an error wherever GCC reports it, and
    // GCC 10 and later often report something else (the mark joins a name).
    {"fullwidth_punct", Rule_For::error, "", Look::wide_punct,
     {"{!space}第 {line} 行的代码里有一个中文（全角）符号 {char}（{code}），C++ 只认英文（半角）符号。",
      "第 {line} 行的代码里有一个{space}（{code}），C++ 不认这种空格，它常来自中文输入法或从网页复制的代码。"},
     {"{!space}把 {char} 改成英文的 {ascii}。写代码时请切换到英文输入法。",
      "把这个{space}删掉，换成普通的空格。"}},
    {"stray_char", Rule_For::error,
     "stray '[^']*' in program|extended character .* is not valid in an identifier|\\\\U0000[0-9a-fA-F]{4}",
     Look::wide_any,
     {"这一行的代码里有一个不能出现在代码中的字符 {char}（{code}），常见于中文输入法或从网页、文档复制来的代码。"},
     {"删掉它，在英文输入法下重新输入这一段。"}},
    {"unterminated_string", Rule_For::error, "^missing terminating ([\"']) character", Look::none,
     {"这一行的字符串（或字符）少了结尾的引号 {1}。"},
     {"在字符串的末尾补上 {1}。引号要用英文的 \" 和 '，不能用中文的“”和‘’。"}},
    {"header_not_found", Rule_For::error, "^(.+): No such file or directory", Look::include_line,
     {"找不到头文件 {1}：多半是名字拼错了。"},
     {"检查 #include 里的名字，例如 iostream、cstdio、algorithm、bits/stdc++.h。"}},
    {"cxx_standard", Rule_For::cause,
     "only available with '?-std=(?:c|gnu)\\+\\+(\\w+)|not allowed in C\\+\\+98 mode|"
     "requires compiler and library support for the ISO C\\+\\+ 2011|'auto' changes meaning in C\\+\\+11",
     Look::none,
     {"这里用到了 C++{1|11} 才有的写法，而编译器用的是更旧的标准。"},
     {"在设置菜单的编译选项里加上 -std=c++{1|11}（或更新的，如 -std=c++14）。"}},
    {"void_main", Rule_For::error, "^'::main' must return 'int'|^main must return 'int'", Look::none,
     {"main 函数必须返回 int，不能写成 void main。"},
     {"写成 int main()，并在末尾 return 0;。"}},
    {"gets", Rule_For::error, "^'gets' was not declared in this scope", Look::none,
     {"gets 不安全，已经从新的 C 和 C++ 标准里删除了。"},
     {"读一行到字符数组 s 里：fgets(s, sizeof s, stdin); 或 cin.getline(s, sizeof s);；读到 string 里：getline(cin, s);。"}},
    {"undeclared_std", Rule_For::error, "^'(\\w+)' was not declared in this scope[\\s\\S]*'std::\\1'", Look::none,
     {"{1} 是标准库里的名字，在 std 命名空间里，直接写 {1} 找不到它。"},
     {"写成 std::{1}，或在所有 #include 之后加一行 using namespace std;。"}},
    {"undeclared_header", Rule_For::error, "^'(\\w+)' was not declared in this scope", Look::std_header,
     {"{1} 是标准库里的名字，但声明它的头文件 <{header}> 没有包含进来。"},
     {"在文件开头加上 #include <{header}>；没有写 using namespace std; 时还要写成 std::{1}。"}},
    {"undeclared", Rule_For::error, "^'([^']+)' was not declared in this scope", Look::none,
     {"{1} 没有声明：可能名字拼错了，或者它是在别的 { } 里面定义的，在这里用不到。",
      "GCC 猜你想写的是 {suggest}。"},
     {"检查拼写；变量要先定义再使用，而且只在定义它的那对 { } 里面有效。"}},
    {"statement_outside", Rule_For::error,
     "^'(cin|cout|cerr|printf|scanf|puts|getline|memset|sort|freopen)' does not name a type", Look::none,
     {"语句 {1} …… 写在了所有函数的外面，函数外面只能有声明和定义。"},
     {"把这条语句移到 main（或别的函数）的 { } 里面；也检查一下前面是不是多了一个 }。"}},
    {"type_std", Rule_For::error,
     "^'(string|vector|map|set|multiset|multimap|queue|priority_queue|stack|deque|list|pair|unordered_map|"
     "unordered_set|bitset|array|istream|ostream|stringstream|istringstream|ostringstream)' "
     "(?:does not name a type|has not been declared)",
     Look::none,
     {"{1} 是标准库里的类型，在 std 命名空间里，直接写 {1} 找不到它。"},
     {"包含它的头文件（如 #include <{1}>），并写成 std::{1}，或在所有 #include 之后加一行 using namespace std;。"}},
    {"unknown_type", Rule_For::error, "^'([^']+)' (?:does not name a type|has not been declared)", Look::none,
     {"编译器在这里要一个类型名（如 int、double），但不认识 {1}。"},
     {"检查 {1} 的拼写，以及定义它的头文件是否已包含；如果这一行本是一条语句，它应当写在函数里面。"}},
    {"void_parameter", Rule_For::error, "^variable or field '([^']+)' declared void", Look::none,
     {"{1} 的参数里有编译器不认识的类型（例如没写 std:: 的 string），所以它被当成了一个 void 类型的变量。"},
     {"看下一条错误说的是哪个名字，给它加上 std:: 或所需的头文件；变量也不能声明成 void。"}},
    {"missing_brace", Rule_For::error, "^expected '\\}' at end of input", Look::none,
     {"文件结束了，还有 { 没有配对的 }。"},
     {"从 GCC 指出的 {（note: to match this '{'）往下检查，在该结束的地方补上 }。"}},
    {"extra_brace", Rule_For::error, "^expected declaration before '\\}' token", Look::none,
     {"这个 } 是多余的：它前面的 { 已经都配对了。"},
     {"删掉多余的 }，或检查前面是不是少写了一个 {。"}},
    {"code_outside", Rule_For::error, "^expected unqualified-id before '(for|while|if|do|switch|return|\\{)'",
     Look::none,
     {"这里的语句写在了所有函数的外面：可能是前面多了一个 }，让函数提前结束了。"},
     {"检查上面的 { } 是否配对；语句只能写在函数的 { } 里面。"}},
    {"function_in_function", Rule_For::error, "^a function-definition is not allowed here", Look::none,
     {"在一个函数的里面又定义了一个函数：多半是上一个函数少了结尾的 }。"},
     {"检查上面函数的 { } 是否配对；函数要一个一个地写，不能套在别的函数里。"}},
    {"unclosed_paren", Rule_For::error, "^expected (?:';'|',' or ';'|'\\)'|primary-expression) before",
     Look::unclosed_paren,
     {"第 {line} 行的这个左括号 ( 到这里还没有配对的右括号 )。"},
     {"在该结束的地方补上 )，或删掉多余的 (。"}},
    {"missing_semicolon", Rule_For::error,
     "^expected (?:';'|',' or ';') before '(?!\\))|^expected initializer before|"
     "^expected ';' at end of member declaration",
     Look::statement_end,
     {"第 {line} 行的末尾少了分号 ;。", "GCC 读到第 {reported} 行才发现上一句没有结束，所以把错误报在了第 {reported} 行。"},
     {"在第 {line} 行的末尾加上 ;。"}},
    {"struct_semicolon", Rule_For::error, "^expected ';' after (class|struct|union|enum) definition", Look::none,
     {"{1} 定义的 } 后面少了分号 ;。"},
     {"在这个 } 后面加上 ;，写成 };。"}},
    {"too_few_arguments", Rule_For::error, "^too few arguments to function '([^']*)'", Look::none,
     {"调用函数时给的参数比它要的少。函数是：{1}。"},
     {"按函数的定义补齐参数。"}},
    {"too_many_arguments", Rule_For::error, "^too many arguments to function '([^']*)'", Look::none,
     {"调用函数时给的参数比它要的多。函数是：{1}。"},
     {"按函数的定义删掉多余的参数。"}},
    {"print_container", Rule_For::error,
     "^no match for 'operator(<<|>>)' \\(operand types are 'std::(?:basic_)?[io]stream[^)]*and "
     "'(?:const )?(?:std::)?(?:__cxx11::)?(vector|set|multiset|map|multimap|pair|queue|priority_queue|stack|"
     "deque|list|array|unordered_map|unordered_set)",
     Look::none,
     {"cin 和 cout 不能直接读入或输出整个 {2}，只能一个一个地处理它的元素。"},
     {"用循环逐个输出，例如 for (auto x : v) cout << x << ' ';（pair 写 p.first 和 p.second）。"}},
    {"no_operator", Rule_For::error,
     "^no match for 'operator([^']+)' \\(operand types? (?:are|is) '([^']*)'(?: \\{aka '[^']*'\\})?"
     "(?: and '([^']*)')?",
     Look::none,
     {"运算符 {1} 不能用在 {2} 和 {3} 之间。", "{!3}运算符 {1} 不能用在 {2} 上。",
      "如果它是你自己定义的结构体，编译器不知道该怎么对它做 {1}。"},
     {"检查两边的类型是否写对；要给结构体排序，可以为它定义 operator<，或给 sort 传一个比较函数。"}},
    {"no_matching_function", Rule_For::error, "^no matching function for call to '([^(']*)", Look::none,
     {"没有哪个版本的 {1} 能接受这里的参数：参数的个数或类型不对。"},
     {"对照 GCC 在下面用 note: candidate 列出的函数，检查每个参数的类型和个数。"}},
    {"conversion", Rule_For::error,
     "^(?:cannot convert|invalid conversion from|conversion from) '([^']*)'(?: \\{aka '[^']*'\\})? to "
     "(?:non-scalar type )?'([^']*)'",
     Look::none,
     {"{1} 类型的值不能变成 {2} 类型。"},
     {"检查赋值或传参时两边的类型，例如 string 不能直接赋给 int（要转换可以用 stoi）。"}},
    {"redeclaration", Rule_For::error,
     "^(?:redeclaration of|redefinition of|conflicting declaration) '([^']*)'|"
     "^declaration of '([^']*)' shadows a parameter",
     Look::none,
     {"{1|}{2|} 在同一个范围里被定义了两次。"},
     {"给其中一个换个名字，或删掉重复的定义。"}},
    {"ambiguous_name", Rule_For::error, "^reference to '(\\w+)' is ambiguous", Look::none,
     {"名字 {1} 有歧义：你定义的 {1} 和标准库里的 std::{1} 同名（因为写了 using namespace std;）。"},
     {"给自己的变量或函数换个名字，例如 {1}_ 或 my{1}。"}},
    {"library_clash", Rule_For::error, "^'[^']*\\b(\\w+)' redeclared as different kind of (?:symbol|entity)",
     Look::none,
     {"名字 {1} 已经被用作别的东西了，常见的是库里的函数（如 <cmath> 里的 y0、y1、j0、j1）。"},
     {"给这个变量换个名字。"}},
    {"not_a_function", Rule_For::error, "^'([^']*)' cannot be used as a function", Look::none,
     {"{1} 不是函数，不能在后面加括号调用：常见的是变量和函数同名（如 int max; 后又调用 max(a, b)）。"},
     {"给变量换个名字。"}},
    {"lvalue_required", Rule_For::error, "^lvalue required as (?:left operand of assignment|increment operand|decrement operand)",
     Look::none,
     {"赋值号 = （或 ++、--）的左边必须是一个变量，这里却是一个表达式或常量。"},
     {"如果本意是比较是否相等，要写 == 而不是 =。"}},
    {"not_an_array", Rule_For::error,
     "^invalid types '([^'\\[]*)\\[[^']*\\]' for array subscript|^subscripted value is neither array nor pointer",
     Look::none,
     {"[ ] 只能用在数组、vector、string 等上面，这里的变量是 {1|别的类型}。"},
     {"检查变量名是否写对，是不是和某个数组同名了。"}},
    {"const_assigned", Rule_For::error, "^assignment of read-only (?:variable|location|member|reference) '?([^']*)'?",
     Look::none,
     {"{1} 是常量（const），不能再给它赋值。"},
     {"如果它需要改变，就去掉 const；否则换一个变量来存新的值。"}},
    {"return_without_value", Rule_For::error, "^return-statement with no value, in function returning '([^']*)'",
     Look::none,
     {"这个函数要返回 {1} 类型的值，但 return 后面没有写值。"},
     {"写成 return 值;，或把函数改成 void。"}},
    {"return_with_value", Rule_For::error, "^return-statement with a value, in function returning 'void'",
     Look::none,
     {"void 函数不返回值，但这里的 return 后面写了值。"},
     {"去掉 return 后面的值，或把函数的返回类型改成 int 等。"}},
    {"else_without_if", Rule_For::error, "^'else' without a previous 'if'", Look::none,
     {"这个 else 前面没有和它配对的 if：多半是 if 后面有多条语句却没加 { }，或 if (…) 后面多了一个 ;。"},
     {"给 if 的多条语句加上 { }，并检查 if (…) 后面没有 ;。"}},
    {"jump_to_case", Rule_For::error, "^jump to case label", Look::none,
     {"前一个 case 里定义了变量，跳到后面的 case 时会跳过它的初始化。"},
     {"把那个 case 的语句用 { } 括起来，例如 case 1: { int x = 2; … break; }。"}},
    {"no_member", Rule_For::error, "^'([^']*)'(?: \\{aka '[^']*'\\})? has no member named '([^']*)'", Look::none,
     {"{1} 里没有叫 {2} 的成员。", "GCC 猜你想写的是 {suggest}。"},
     {"检查成员名的拼写，例如 string 用 size() 或 length()。"}},
    {"member_of_non_class", Rule_For::error,
     "^request for member '([^']*)' in '([^']*)', which is of (?:non-class|pointer) type '([^']*)'", Look::none,
     {"{2} 的类型是 {3}，它没有 .{1} 这样的成员。"},
     {"普通数组没有 .size() 等成员，可以改用 vector；指针要用 -> 而不是 .。"}},
    {"invalid_operands", Rule_For::error, "^invalid operands of types '([^']*)' and '([^']*)' to binary 'operator([^']*)'",
     Look::none,
     {"{1} 和 {2} 之间不能做运算 {3}。例如 % 只能用于整数。"},
     {"把操作数换成合适的类型（例如用 (int) 转换），或改用别的运算，如 fmod。"}},
    {"break_outside", Rule_For::error, "^(break|continue) statement not within", Look::none,
     {"{1} 只能写在循环（break 也可以在 switch）里面。"},
     {"检查它所在的循环的 { } 是否写对，或删掉它。"}},
    {"array_bound", Rule_For::error,
     "^size of array '[^']*' is not an integral constant-expression|^array bound is not an integer constant",
     Look::none,
     {"在函数外面定义的数组，大小必须是常量，不能是变量。"},
     {"用常量作大小，例如 const int N = 100005; int a[N];，或改用 vector。"}},
    {"no_main", Rule_For::error, "^undefined reference to '(?:WinMain(?:@16)?|main)'", Look::none,
     {"程序里没有 main 函数：可能是名字拼错了（如 mian、Main），或者文件还没保存。"},
     {"检查 int main() 的拼写，保存文件后再编译。"}},
    {"undefined_reference", Rule_For::error, "^undefined reference to '([^']*)'", Look::none,
     {"{1} 只有声明，没有定义（函数体）；或者定义时的名字、参数和声明不一样。"},
     {"给它写上函数体，并让定义和声明的名字、参数类型一致。"}},
    {"output_locked", Rule_For::error, "^cannot open output file (.*): Permission denied", Look::none,
     {"exe 文件 {1} 写不进去：多半是上次运行的这个程序还没有关闭。"},
     {"关掉程序的窗口（或在任务管理器里结束它），再编译。"}},
    {"bad_option", Rule_For::error, "^unrecognized (?:command-line|command line) option '([^']*)'", Look::none,
     {"编译选项里的 {1}，g++ 不认识。"},
     {"在设置菜单里改正编译选项。"}},

    // Warnings that are nearly always bugs, explained after a successful compile.
    {"return_type", Rule_For::warning,
     "^control reaches end of non-void function|^no return statement in function returning non-void", Look::none,
     {"函数应当返回一个值，但有的路径走到结尾时没有 return，返回值是不确定的。"}, {}},
    {"uninitialized", Rule_For::warning, "^'([^']+)' (?:is|may be) used uninitialized", Look::none,
     {"变量 {1} 还没有赋值就被使用了，它的值是不确定的。"}, {}},
    {"scanf_address", Rule_For::warning,
     "^format '(%[^']*)' expects argument of type '[^']*\\*', but argument (\\d+) has type '[^'*]*'", Look::none,
     {"scanf 的第 {2} 个参数应当是变量的地址：变量前面少了 &，例如 scanf(\"%d\", &n);。"}, {}},
    {"format", Rule_For::warning, "^format '(%[^']*)' expects argument of type '([^']*)', but argument (\\d+) has type '([^']*)'",
     Look::none,
     {"格式 {1} 对应的是 {2}，但第 {3} 个参数是 {4}，读入或输出的值会出错（long long 用 %lld，double 用 %lf 读入）。"},
     {}},
    {"assignment_in_condition", Rule_For::warning, "^suggest parentheses around assignment used as truth value",
     Look::none,
     {"条件里用了赋值 =，多半本想写比较 ==。"}, {}},
    {"overflow", Rule_For::warning,
     "^overflow in (?:conversion|implicit constant conversion)|^integer overflow in expression|"
     "^large integer implicitly truncated",
     Look::none,
     {"数值超出了类型能表示的范围，会变成另一个数（int 最大约 21 亿，更大的数请用 long long）。"}, {}},
    {"loop_out_of_bounds", Rule_For::warning, "^iteration (\\d+) invokes undefined behavior", Look::none,
     {"循环到第 {1} 次（从 0 数起）时会越界（例如数组下标超出范围），程序的行为无法预料：检查循环条件，比如 <= 是否应为 <。"},
     {}},
};

// Full-width marks that a Chinese input method types in place of the
// ASCII ones C++ uses.
const std::pair<const char*, const char*> WIDE_PUNCT[] = {
    {"；", ";"}, {"，", ","}, {"（", "("}, {"）", ")"}, {"：", ":"}, {"“", "\""}, {"”", "\""},
    {"‘", "'"},  {"’", "'"},  {"！", "!"}, {"？", "?"}, {"【", "["}, {"】", "]"}, {"｛", "{"},
    {"｝", "}"}, {"＝", "="}, {"＋", "+"}, {"－", "-"}, {"＊", "*"}, {"／", "/"}, {"＜", "<"},
    {"＞", ">"}, {"《", "<"}, {"》", ">"}, {"。", "."}, {"、", ","}, {"［", "["}, {"］", "]"},
    {"＆", "&"}, {"｜", "|"}, {"％", "%"}, {"＃", "#"}, {"．", "."}, {"＂", "\""}, {"＇", "'"},
    {"\xe3\x80\x80", " "},  // U+3000 ideographic space
    {"\xc2\xa0", " "},      // U+00A0 no-break space, pasted from web pages
};

// The spaces among them, which cannot be shown by themselves.
const std::pair<const char*, const char*> SPACE_NAMES[] = {
    {"\xe3\x80\x80", "全角空格"},
    {"\xc2\xa0", "不换行空格"},
};

// Names of the standard library that beginners use, by their header.
const std::pair<const char*, const char*> STD_HEADERS[] = {
    {"cin", "iostream"},       {"cout", "iostream"},     {"cerr", "iostream"},      {"endl", "iostream"},
    {"printf", "cstdio"},      {"scanf", "cstdio"},      {"puts", "cstdio"},        {"getchar", "cstdio"},
    {"putchar", "cstdio"},     {"freopen", "cstdio"},    {"sort", "algorithm"},     {"max", "algorithm"},
    {"min", "algorithm"},      {"swap", "algorithm"},    {"reverse", "algorithm"},  {"unique", "algorithm"},
    {"lower_bound", "algorithm"}, {"upper_bound", "algorithm"}, {"next_permutation", "algorithm"},
    {"fill", "algorithm"},     {"max_element", "algorithm"}, {"min_element", "algorithm"},
    {"vector", "vector"},      {"string", "string"},     {"getline", "string"},     {"map", "map"},
    {"set", "set"},            {"queue", "queue"},       {"priority_queue", "queue"}, {"stack", "stack"},
    {"deque", "deque"},        {"pair", "utility"},      {"make_pair", "utility"},  {"memset", "cstring"},
    {"strlen", "cstring"},     {"strcmp", "cstring"},    {"strcpy", "cstring"},     {"sqrt", "cmath"},
    {"pow", "cmath"},          {"fabs", "cmath"},        {"floor", "cmath"},        {"ceil", "cmath"},
    {"setw", "iomanip"},       {"setprecision", "iomanip"}, {"fixed", "iostream"},  {"accumulate", "numeric"},
    {"gcd", "numeric"},        {"abs", "cstdlib"},       {"rand", "cstdlib"},       {"srand", "cstdlib"},
    {"exit", "cstdlib"},       {"time", "ctime"},        {"INT_MAX", "climits"},    {"LLONG_MAX", "climits"},
};

// ---- the source ---------------------------------------------------------

// The code of one line: comments and literal insides made spaces. c
// carries a /* comment over from the line before.
std::string Code_Of(const std::string& line, bool& in_comment) {
  std::string r = line;
  char quote = 0;
  for (std::size_t i = 0; i < r.size(); ++i) {
    char c = line[i];
    char next = i + 1 < line.size() ? line[i + 1] : 0;
    if (in_comment) {
      if (c == '*' && next == '/') {
        in_comment = false;
        r[i + 1] = ' ';
      }
      r[i] = ' ';
      if (!in_comment) ++i;
    } else if (quote) {
      if (c == '\\' && next) r[++i] = ' ';
      else if (c == quote) quote = 0;
      if (quote) r[i] = ' ';
    } else if (c == '/' && next == '/') {
      std::fill(r.begin() + i, r.end(), ' ');
      break;
    } else if (c == '/' && next == '*') {
      in_comment = true;
      r[i] = ' ';
    } else if (c == '"' || (c == '\'' && !(i > 0 && std::isalnum(static_cast<unsigned char>(line[i - 1]))))) {
      quote = c;  // a ' after a digit separates digits (1'000)
    }
  }
  return r;
}

// The code point of the UTF-8 character at s[i] and its length; 0 when
// the bytes there are no valid character.
std::uint32_t Decode(const std::string& s, std::size_t i, std::size_t& len) {
  unsigned char b = static_cast<unsigned char>(s[i]);
  len = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
  if (len == 0 || i + len > s.size()) return 0;
  std::uint32_t cp = len == 1 ? b : b & (0x7F >> len);
  for (std::size_t k = 1; k < len; ++k) {
    unsigned char c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (c & 0x3F);
  }
  return cp;
}

// Columns a character takes on a terminal, as GCC counts them: two for
// East Asian wide characters.
int Width(std::uint32_t cp) {
  bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) || (cp >= 0xAC00 && cp <= 0xD7A3) ||
              (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
              (cp >= 0xFFE0 && cp <= 0xFFE6) || cp >= 0x20000;
  return wide ? 2 : 1;
}

// The display column (from 1) at byte at of line, tabs to stops of 8.
int Display_Column(const std::string& line, std::size_t at) {
  int col = 0;
  for (std::size_t i = 0; i < at && i < line.size();) {
    std::size_t len;
    std::uint32_t cp = Decode(line, i, len);
    if (line[i] == '\t') col = (col / 8 + 1) * 8;
    else col += cp ? Width(cp) : 1;
    i += cp ? len : 1;
  }
  return col + 1;
}

std::string Code_Point_Name(std::uint32_t cp) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
  return buf;
}

bool Has_Line(const Source& src, int line) {
  return line >= 1 && static_cast<std::size_t>(line) <= src.lines.size();
}

// The nearest line before line with code on it; 0 when none.
int Previous_Code_Line(const Source& src, int line) {
  for (int l = line - 1; l >= 1 && l >= line - 50; --l)
    if (src.code[l - 1].find_first_not_of(" \t") != std::string::npos) return l;
  return 0;
}

// Points w at byte at of line.
void Point_At(const Source& src, Where& w, int line, std::size_t at) {
  w.line = line;
  w.column = Display_Column(src.lines[line - 1], at);
}

bool Find_Wide_Punct(const Source& src, int line, Where& w, Values& v) {
  if (!Has_Line(src, line)) return false;
  const std::string& code = src.code[line - 1];
  std::size_t best = std::string::npos;
  const std::pair<const char*, const char*>* found = nullptr;
  for (const auto& p : WIDE_PUNCT) {
    std::size_t at = code.find(p.first);
    if (at < best) {
      best = at;
      found = &p;
    }
  }
  if (!found) return false;
  std::size_t len;
  v["char"] = found->first;
  v["ascii"] = found->second;
  v["code"] = Code_Point_Name(Decode(code, best, len));
  v["line"] = std::to_string(line);
  for (const auto& n : SPACE_NAMES)
    if (std::string(found->first) == n.first) v["space"] = n.second;
  Point_At(src, w, line, best);
  return true;
}

bool Look_Wide_Punct(const Source& src, Where& w, Values& v) {
  if (!w.known || w.from_header) return false;
  int line = w.line;
  return Find_Wide_Punct(src, line, w, v) || Find_Wide_Punct(src, Previous_Code_Line(src, line), w, v);
}

bool Look_Wide_Any(const Source& src, Where& w, Values& v) {
  if (!w.known || w.from_header || !Has_Line(src, w.line)) return false;
  const std::string& code = src.code[w.line - 1];
  auto it = std::find_if(code.begin(), code.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  if (it == code.end()) return false;
  std::size_t at = static_cast<std::size_t>(it - code.begin()), len;
  std::uint32_t cp = Decode(code, at, len);
  if (cp == 0) return false;  // not UTF-8: which character it is, is not known
  v["char"] = code.substr(at, len);
  v["code"] = Code_Point_Name(cp);
  Point_At(src, w, w.line, at);
  return true;
}

// The byte of line at display column col (past the end: its size).
std::size_t Byte_At(const std::string& line, int col) {
  std::size_t i = 0;
  while (i < line.size() && Display_Column(line, i) < col) {
    std::size_t len;
    i += Decode(line, i, len) ? len : 1;
  }
  return i;
}

struct Spot {
  int line;
  std::size_t at;
};

// A "(" still open where GCC stopped: looking back from (line, at) to the
// "{" or "}" that began the statement, and found unclosed to the end of
// that line too (so "f(1 2)" is no unclosed parenthesis).
bool Unclosed_Paren(const Source& src, int line, std::size_t at, Spot& open) {
  int depth = 0;
  bool found = false;
  for (int l = line; l >= 1 && l > line - 50 && !found; --l) {
    const std::string& code = src.code[l - 1];
    std::size_t i = l == line ? std::min(at, code.size()) : code.size();
    while (i-- > 0) {
      char c = code[i];
      if (c == ')') ++depth;
      if (c == '(' && depth-- == 0) {
        open = {l, i};
        found = true;
        break;
      }
      if ((c == '{' || c == '}') && depth == 0) return false;
    }
  }
  if (!found) return false;
  int balance = 0;
  for (int l = open.line; l <= line; ++l)
    for (std::size_t i = l == open.line ? open.at : 0; i < src.code[l - 1].size(); ++i)
      balance += src.code[l - 1][i] == '(' ? 1 : src.code[l - 1][i] == ')' ? -1 : 0;
  return balance > 0;
}

bool Unclosed_At(const Source& src, const Where& w, Spot& open) {
  return Unclosed_Paren(src, w.line, Byte_At(src.lines[w.line - 1], w.column), open);
}

// The statement that lacks its ";": GCC 8 and later point just after it;
// older ones, and some messages, at the first token of the next line.
bool Look_Statement_End(const Source& src, Where& w, Values& v) {
  if (!w.known || w.from_header || !Has_Line(src, w.line)) return false;
  Spot open;
  if (Unclosed_At(src, w, open)) return false;  // an unclosed "(" explains it better
  const std::string& code = src.code[w.line - 1];
  std::size_t first = code.find_first_not_of(" \t");
  int line = w.line;
  if (first == std::string::npos || w.column <= Display_Column(src.lines[line - 1], first)) {
    line = Previous_Code_Line(src, w.line);
    if (line == 0) return false;
    v["reported"] = std::to_string(w.line);
  }
  const std::string& lacking = src.code[line - 1];
  v["line"] = std::to_string(line);
  Point_At(src, w, line, lacking.find_last_not_of(" \t") + 1);
  return true;
}

bool Look_Unclosed_Paren(const Source& src, Where& w, Values& v) {
  if (!w.known || w.from_header || !Has_Line(src, w.line)) return false;
  Spot open;
  if (!Unclosed_At(src, w, open)) return false;
  v["line"] = std::to_string(open.line);
  Point_At(src, w, open.line, open.at);
  return true;
}

bool Look_Std_Header(Values& v) {
  if (!v["header"].empty()) return true;
  for (const auto& p : STD_HEADERS)
    if (v["1"] == p.first) v["header"] = p.second;
  return !v["header"].empty();
}

bool Look_Include_Line(const Source& src, const Where& w) {
  return w.known && !w.from_header && Has_Line(src, w.line) &&
         src.code[w.line - 1].find("#include") != std::string::npos;
}

}  // namespace

const std::vector<Rule>& Rules() {
  static const std::vector<Rule> rules = [] {
    std::vector<Rule> r;
    for (const Rule_Text& t : RULES)
      r.push_back({t.id, t.kind, std::regex(t.pattern), t.look, t.meaning, t.fix});
    return r;
  }();
  return rules;
}

Source Read_Source(const std::string& text) {
  Source s;
  bool in_comment = false;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    s.code.push_back(Code_Of(line, in_comment));
    s.lines.push_back(line);
    from = end + 1;
  }
  return s;
}

bool Look_At(Look look, const Source& src, Where& w, Values& v) {
  switch (look) {
    case Look::none: return true;
    case Look::wide_punct: return Look_Wide_Punct(src, w, v);
    case Look::wide_any: return Look_Wide_Any(src, w, v);
    case Look::statement_end: return Look_Statement_End(src, w, v);
    case Look::unclosed_paren: return Look_Unclosed_Paren(src, w, v);
    case Look::std_header: return Look_Std_Header(v);
    case Look::include_line: return Look_Include_Line(src, w);
  }
  return false;
}

bool Source_Line(const Source& src, int line, std::string& text) {
  if (!Has_Line(src, line)) return false;
  const std::string& s = src.lines[line - 1];
  const int max_columns = 160;
  text.clear();
  int col = 1;
  for (std::size_t i = 0; i < s.size() && col <= max_columns;) {
    std::size_t len;
    std::uint32_t cp = Decode(s, i, len);
    if (s[i] == '\t') {
      int next = ((col - 1) / 8 + 1) * 8 + 1;
      text.append(static_cast<std::size_t>(next - col), ' ');
      col = next;
      ++i;
      continue;
    }
    if (cp == 0) len = 1;
    text += s.substr(i, len);
    col += cp ? Width(cp) : 1;
    i += len;
  }
  if (col > max_columns) text += " ……";
  return true;
}

int Caret_Column(const Source& src, const Where& w) {
  std::string text;
  if (w.column <= 0 || !Source_Line(src, w.line, text)) return 0;
  return std::min(w.column, Display_Column(text, text.size()));
}
