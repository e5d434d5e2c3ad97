// How the POSIX command layer splits the command lines: the simple rule
// of the editor variables (double quotes group, blanks separate, nothing
// else is special), and the rules of a Windows program's C runtime for
// the compile and start lines.
#include <gtest/gtest.h>

#include "platform/words.h"

namespace {

using platform::Split_Arguments;
using platform::Split_Texts;
using platform::Split_Words;
using Texts = std::vector<std::string>;

TEST(SplitWords, BlanksSeparateOutsideQuotes) {
  EXPECT_EQ(Split_Texts("a b\tc  \t d"), (Texts{"a", "b", "c", "d"}));
  EXPECT_EQ(Split_Texts("  lead trail \t"), (Texts{"lead", "trail"}));
  EXPECT_EQ(Split_Texts("\"a b\"\t\"c\td\""), (Texts{"a b", "c\td"}));
  EXPECT_EQ(Split_Texts("x\"y z\"w \"p\"q"), (Texts{"xy zw", "pq"}));
  EXPECT_EQ(Split_Texts(""), Texts{});
  EXPECT_EQ(Split_Texts(" \t "), Texts{});
}

TEST(SplitWords, EmptyQuotedWordsAndUnbalancedQuotes) {
  EXPECT_EQ(Split_Texts("\"\""), Texts{""});
  EXPECT_EQ(Split_Texts("a \"\" b \"\""), (Texts{"a", "", "b", ""}));
  EXPECT_EQ(Split_Texts("a \"b c"), (Texts{"a", "b c"}));  // runs to the end
  EXPECT_EQ(Split_Texts("a \""), (Texts{"a", ""}));
  std::vector<platform::Word> w = Split_Words("\"\" p \"q\"");
  ASSERT_EQ(w.size(), 3u);
  EXPECT_TRUE(w[0].quoted);
  EXPECT_FALSE(w[1].quoted);
  EXPECT_TRUE(w[2].quoted);
}

TEST(SplitWords, NothingElseIsSpecial) {
  EXPECT_EQ(Split_Texts("C:\\dir\\ \"C:\\a b\\\" \\\"x"), (Texts{"C:\\dir\\", "C:\\a b\\", "\\x"}));
  EXPECT_EQ(Split_Texts("$HOME ${x} $(rm -rf x) a;b ; `id` a&&b | * ~ > f 2>&1 'q r'"),
            (Texts{"$HOME", "${x}", "$(rm", "-rf", "x)", "a;b", ";", "`id`", "a&&b", "|", "*", "~",
                   ">", "f", "2>&1", "'q", "r'"}));
  EXPECT_EQ(Split_Texts("\"$(x) `y`; z & w\""), Texts{"$(x) `y`; z & w"});
  EXPECT_EQ(Split_Texts("新 \"中 文\""), (Texts{"新", "中 文"}));
}

// Each rule the runtime documents, on the arguments after the name.
TEST(SplitArguments, BackslashesAndQuotes) {
  auto args = Split_Arguments;
  EXPECT_EQ(args("a b\tc  \t d"), (Texts{"a", "b", "c", "d"}));
  EXPECT_EQ(args("\"a b\"\t\"c\td\""), (Texts{"a b", "c\td"}));
  EXPECT_EQ(args("-DMSG=\\\"hi\\\""), Texts{"-DMSG=\"hi\""});          // \" is a quote
  EXPECT_EQ(args("-DM=\"a\\\"b\" -O2"), (Texts{"-DM=a\"b", "-O2"}));  // also within quotes
  EXPECT_EQ(args("-DP=\"C:\\dir\\\\\""), Texts{"-DP=C:\\dir\\"});    // \\" : \ and the end
  EXPECT_EQ(args("\\\\\\\\\"x y\""), Texts{"\\\\x y"});                  // 4 \ then " : 2 \ and a quote
  EXPECT_EQ(args("\\\\\\\"x"), Texts{"\\\"x"});                            // 3 \ then " : \ and "
  EXPECT_EQ(args("a\\\\b\\c\\ d\\"), (Texts{"a\\\\b\\c\\", "d\\"}));    // no quote after: plain
  EXPECT_EQ(args("-DS=\"a\"\"b\""), Texts{"-DS=a\"b"});                 // "" inside quotes
  EXPECT_EQ(args("\"a\"\"b c\" d"), (Texts{"a\"b c", "d"}));              // ... and the part goes on
  EXPECT_EQ(args("\"\"\"\""), Texts{"\""});
  EXPECT_EQ(args("a\"\"b"), Texts{"ab"});                               // outside quotes: empty part
  EXPECT_EQ(args("\"\" x \"\""), (Texts{"", "x", ""}));
  EXPECT_EQ(args("x\"y z\"w"), Texts{"xy zw"});
  EXPECT_EQ(args("\"open to the end"), Texts{"open to the end"});
  EXPECT_EQ(args("a \"\\"), (Texts{"a", "\\"}));
  EXPECT_EQ(args("-D中=\"文 字\" 名"), (Texts{"-D中=文 字", "名"}));
  EXPECT_EQ(args(" \t "), Texts{});
}

// The characters cmd.exe acts on, and the shell's, are plain here.
TEST(SplitArguments, NothingOfAShellOrOfCmd) {
  EXPECT_EQ(Split_Arguments("%PATH% a^b x&y | < > $(id) `id` ; 'q r' !v!"),
            (Texts{"%PATH%", "a^b", "x&y", "|", "<", ">", "$(id)", "`id`", ";", "'q", "r'",
                   "!v!"}));
}

// What cmd.exe changes between double quotes, and where a text first
// holds such a character.
TEST(CmdChanges, ByCharacter) {
  using platform::Cmd_Change;
  struct Case {
    char c;
    Cmd_Change change;
  };
  for (Case x : {Case{'%', Cmd_Change::variable}, Case{'!', Cmd_Change::delayed},
                 Case{'"', Cmd_Change::quote}, Case{'\n', Cmd_Change::line},
                 Case{'\r', Cmd_Change::line}, Case{'\t', Cmd_Change::line},
                 Case{'\0', Cmd_Change::line}, Case{'^', Cmd_Change::none},
                 Case{'&', Cmd_Change::none}, Case{' ', Cmd_Change::none},
                 Case{'\xe4', Cmd_Change::none}})
    EXPECT_EQ(platform::Cmd_Change_Of(x.c), x.change) << static_cast<int>(x.c);
  EXPECT_EQ(platform::Cmd_Changed_At("C:\\a b\\你好 & (1)^.cpp"), std::string::npos);
  EXPECT_EQ(platform::Cmd_Changed_At("C:\\100%\\!a.cpp"), 6u);
  EXPECT_EQ(platform::Cmd_Changed_At("a!b%"), 1u);
}

}  // namespace
