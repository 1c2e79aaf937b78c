#include "support/uTokenizer.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

std::vector<int> CodesOf(const std::string& pattern) {
    std::vector<int> codes;
    for (const TStringToken& token : TokenizeDateTimePattern(pattern))
        codes.push_back(token.Code);
    return codes;
}

TEST(StringTokenizer, CutsWordsBetweenRunsOfDelimiters) {
    TStringTokenizer tokenizer("  one two\t\tthree  ");
    const std::vector<TStringToken> words = tokenizer.Remaining();
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].Text, "one");
    EXPECT_EQ(words[0].Position, 2u);
    EXPECT_EQ(words[1].Text, "two");
    EXPECT_EQ(words[2].Text, "three");
    EXPECT_EQ(words[2].Position, 11u);
    EXPECT_TRUE(tokenizer.AtEnd());

    tokenizer.SetText("again");
    TStringToken token;
    ASSERT_TRUE(tokenizer.Next(token));
    EXPECT_EQ(token.Value, "again");
    EXPECT_FALSE(tokenizer.Next(token));
}

TEST(DateTimeFormatTokenizer, GivesEachRunItsCode) {
    struct Case {
        const char* pattern;
        std::vector<int> codes;
    };
    for (const Case& c : {
             Case{"c", {1}},
             {"cc", {0}},
             {"d dd ddd dddd", {2, 34, 3, 34, 4, 34, 5}},
             {"ddddd dddddd ddddddd dddddddd", {6, 34, 7, 34, 8, 34, 0}},
             {"m mm mmm mmmm mmmmm", {9, 34, 10, 34, 11, 34, 12, 34, 0}},
             {"y yy yyy yyyy yyyyy", {0, 34, 13, 34, 0, 34, 14, 34, 0}},
             {"h hh hhh n nn nnn", {15, 34, 16, 34, 0, 34, 17, 34, 18, 34, 0}},
             {"s ss sss ssss sssss ssssss", {19, 34, 20, 34, 21, 34, 22, 34, 23, 34, 0}},
             {"z zz zzz zzzz", {24, 34, 0, 34, 25, 34, 0}},
             {"t tt ttt", {26, 34, 27, 34, 0}},
             {"am/pm A/P AmPm ax", {28, 34, 29, 34, 30, 34, 0, 34}},
             {"/:?.-,", {31, 32, 33, 34, 34, 34}},
             {"DdMmYyyY", {3, 10, 14}},  // letter case does not matter within a run
             {"xx'dd'\"mm\"", {34, 34, 34}},
         }) {
        EXPECT_EQ(CodesOf(c.pattern), c.codes) << c.pattern;
    }
}

TEST(DateTimeFormatTokenizer, QuotedTextsRunToTheSameQuoteOrTheEnd) {
    const std::vector<TStringToken> tokens = TokenizeDateTimePattern("'a\"b'\"c'd\"'open");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].Text, "'a\"b'");
    EXPECT_EQ(tokens[0].Value, "a\"b");
    EXPECT_EQ(tokens[1].Value, "c'd");
    EXPECT_EQ(tokens[2].Text, "'open");
    EXPECT_EQ(tokens[2].Value, "open");
    EXPECT_EQ(tokens[2].Position, 10u);
    EXPECT_EQ(TokenizeDateTimePattern("''")[0].Value, "");
    EXPECT_EQ(TokenizeDateTimePattern("'")[0].Value, "");
}

}  // namespace
}  // namespace vantrel
