// How the POSIX command layer splits the command lines: double quotes
// group, blanks separate, nothing else is special.
#include <gtest/gtest.h>

#include "platform/words.h"

namespace {

using platform::Split_Texts;
using platform::Split_Words;
using platform::Strip_Outer_Quotes;
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

TEST(StripOuterQuotes, OnlyWhenItBeginsWithAQuoteAndHoldsMoreThanTwo) {
  EXPECT_EQ(Strip_Outer_Quotes("\"\"g++\" -g -o \"a.exe\" \"a.cpp\"\""),
            "\"g++\" -g -o \"a.exe\" \"a.cpp\"");
  EXPECT_EQ(Strip_Outer_Quotes("\"a b\""), "\"a b\"");  // two: kept
  EXPECT_EQ(Strip_Outer_Quotes("\"\"\""), "\"");
  EXPECT_EQ(Strip_Outer_Quotes("x \"a\" \"b\""), "x \"a\" \"b\"");
  EXPECT_EQ(Strip_Outer_Quotes("\"a\" b \"c\" d"), "a\" b \"c d");  // the last quote, wherever
  EXPECT_EQ(Strip_Outer_Quotes(""), "");
}

}  // namespace
