#include "expr/uExprParser.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace vantrel {
namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;
constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();

struct TEvaluation {
    long double Value;
    bool CalcError;
};

TEvaluation Evaluate(const std::string& text, long double x = 0, long double y = 0) {
    TExprParser parser;
    parser.SetExpression(text);
    parser.X = x;
    parser.Y = y;
    const long double value = parser.Value();
    return {value, parser.CalcError()};
}

// The message of the parse error that text raises, prefixed by the class name.
std::string ParseFailure(const std::string& text) {
    TExprParser parser;
    try {
        parser.SetExpression(text);
    } catch (const EMathParserError& error) {
        return std::string(error.ClassName()) + ": " + error.Message();
    }
    return "parsed";
}

// Nested calls name(name(...(X)...)), depth calls deep.
std::string Nested(const std::string& name, int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += name + "(";
    text += "X";
    text.append(depth, ')');
    return text;
}

struct TValueCase {
    const char* Text;
    long double X;
    long double Expected;
};

// Texts whose value is known exactly (or to the last bit of the extended routine used).
TEST(ExprParser, EvaluatesNumbersOperatorsAndGrouping) {
    const TValueCase cases[] = {
        {"2E+3", 0, 2000},
        {"-PI", 0, -kPi},
        {"2*pi", 0, 2 * kPi},
        {"1.5", 0, 1.5L},
        {"-2", 0, -2},
        {"(-X)-Y", 1, -1},  // Y = 0
        {"0-X-Y", 3, -3},
        {"-X+Y", 3, -3},
        {"(X^2)^2", 2, 16},
        {"X^-2", 2, 0.25L},
        {"-X^2", 3, -9},
        {"2^10", 0, 1024},
        {"X^3", -2, -8},
        {"X^4", -2, 16},
        {"X^(2)", -3, 9},  // a bracketed whole exponent is a square, negative base allowed
        {"(-8)^2", 0, 64},
        {"2^X", 3, 8},  // real power with a whole exponent: exact repeated squaring
        {"2^0.5", 0, std::sqrt(2.0L)},
        {"7MOD3", 0, 1},
        {"-7MOD3", 0, -1},    // the remainder takes the sign of the dividend
        {"7.9DIV2.5", 0, 3},  // both operands truncated first
        {"-7DIV2", 0, -3},
        {"X*1E-5", 2, 2 * 1E-5L},
        {"2*E+5", 0, 5},  // E is a variable, so this is (2*E)+5
        {"2E+5", 0, 200000},
        {"((((X))))", 4, 4},
        {"  x  ", 6, 6},
        {"12/3/2", 0, 2},  // (12/3)/2
        {"12/3*2", 0, 8},  // (12/3)*2
        {"2*3+4*5", 0, 26},
        {"2+3*4^2", 0, 50},
        {"-X*3", 2, -6},  // (-X)*3
        {"-SIN(X)", 0, -0.0L},
    };
    for (const TValueCase& c : cases) {
        const TEvaluation result = Evaluate(c.Text, c.X);
        EXPECT_EQ(result.Value, c.Expected) << c.Text << " at X = " << static_cast<double>(c.X);
        EXPECT_FALSE(result.CalcError) << c.Text;
    }
}

// "+" and "-" group left to right, but a sum takes a difference as its right operand: A+B-C is
// A+(B-C). With B = C = 1E20, adding 1 to B first would lose it.
TEST(ExprParser, GroupingDecidesTheRounding) {
    TExprParser parser;
    parser.A = 1;
    parser.B = 1E20L;
    parser.C = 1E20L;
    parser.SetExpression("A+B-C");
    EXPECT_EQ(parser.Value(), 1);
    parser.SetExpression("(A+B)-C");
    EXPECT_EQ(parser.Value(), 0);
    parser.SetExpression("A-C+B");  // (A-C)+B
    EXPECT_EQ(parser.Value(), 0);
    parser.SetExpression("B-C-A");  // (B-C)-A
    EXPECT_EQ(parser.Value(), -1);
}

TEST(ExprParser, EvaluatesEveryFunction) {
    const long double c = 0.63661977236758134308L;  // the divisor of PH
    const TValueCase cases[] = {
        {"SIN(X)", 0, 0},
        {"sin(x)", 1, std::sin(1.0L)},
        {"COS(X)", 0, 1},
        {"SIN(X)", 1E30L, 0},  // beyond what the hardware reduces
        {"COS(X)", 1E30L, 0},
        {"TAN(X)", 1, std::sin(1.0L) / std::cos(1.0L)},
        {"COTAN(X)", 1, std::cos(1.0L) / std::sin(1.0L)},
        {"ARCTAN(X)", 1, kPi / 4},
        {"SINH(X)", 1, (std::exp(1.0L) - std::exp(-1.0L)) / 2},
        {"COSH(X)", 1, (std::exp(1.0L) + std::exp(-1.0L)) / 2},
        {"EXP(X)", 0, 1},
        {"LN(X)", 1, 0},
        {"LOG10(X)", 10, 1},
        {"LOG2(X)", 8, 3},
        {"SQR(X)", -3, 9},
        {"SQRT(X)", 16, 4},
        {"ABS(X)", -2.5L, 2.5L},
        {"TRUNC(X)", -2.7L, -2},
        {"INT(X)", 2.7L, 2},
        {"CEIL(X)", 2.1L, 3},
        {"CEIL(X)", -2.1L, -2},
        {"CEIL(X)", 2, 2},
        {"FLOOR(X)", -2.1L, -3},
        {"FLOOR(X)", 2.9L, 2},
        {"FLOOR(X)", -2, -2},
        {"HEAV(X)", 0, 1},
        {"HEAV(X)", -1E-30L, 0},
        {"SIGN(X)", -3, -1},
        {"SIGN(X)", 0, 0},
        {"SIGN(X)", 0.5L, 1},
        {"ZERO(X)", 0, 0},
        {"ZERO(X)", -4, 1},
        {"PH(X)", 0, 0},
        {"PH(X)", c / 2, kPi},      // q = 0.5 rounds to 0 (ties to even)
        {"PH(X)", c * 1.5L, -kPi},  // q = 1.5 rounds to 2
        {"MAX(X,2)", 1, 2},
        {"MIN(X,2)", 1, 1},
        {"ARG(X,0)", -1, kPi},
        {"ARG(X,1)", 1, kPi / 4},
        {"ARG(0,X)", 1, kPi / 2},
        {"ARG(0,X)", 0, -kPi / 2},
        {"POWER(X,0.5)", 4, 2},
        {"POWER(X,0)", 5, 1},
        {"INTPOWER(X,-2)", 2, 0.25L},
        {"INTPOWER(X,3.9)", -2, -8},
        {"LOGN(2,X)", 8, 3},
        {"MAX(MIN(X,3),-1)", 7, 3},
    };
    for (const TValueCase& tc : cases) {
        const TEvaluation result = Evaluate(tc.Text, tc.X);
        EXPECT_EQ(result.Value, tc.Expected) << tc.Text << " at X = " << static_cast<double>(tc.X);
        EXPECT_FALSE(result.CalcError) << tc.Text;
    }
}

TEST(ExprParser, RandomFunctionsDrawFreshNumbers) {
    TExprParser parser;
    parser.SetExpression("RANDOM(0)");
    std::vector<long double> draws;
    for (int i = 0; i < 200; ++i) {
        const long double r = parser.Value();
        EXPECT_FALSE(parser.CalcError());
        EXPECT_GE(r, 0);
        EXPECT_LT(r, 1);
        draws.push_back(r);
    }
    EXPECT_NE(draws[0], draws[1]);
    parser.SetExpression("RND(X)");
    parser.X = 10.9L;
    for (int i = 0; i < 50; ++i) {
        const long double r = parser.Value();
        EXPECT_GE(r, 0);
        EXPECT_LT(r, 10);
    }
}

struct TErrorCase {
    const char* Text;
    long double X;
};

// Every math error, including those the hardware would trap on or that are undefined in C++,
// sets CalcError instead of raising or crashing.
TEST(ExprParser, MathErrorsSetCalcError) {
    const long double huge = 1E3000L;
    const TErrorCase cases[] = {
        {"1/X", 0},
        {"TAN(X)", 1E30L},  // cos gives 0 beyond the hardware range
        {"COTAN(X)", 0},
        {"LN(X)", 0},
        {"LOG10(X)", -1},
        {"LOG2(X)", 0},
        {"SQRT(X)", -1},
        {"POWER(-8,2)", 0},  // the base of a real power must be positive
        {"X^0.5", -4},
        {"LOGN(X,8)", -2},
        {"LOGN(2,X)", 0},
        // Faults of the hardware or of C++:
        {"XDIV0.5", 7},  // the divisor truncates to 0
        {"XMOD0.5", 7},
        {"XDIV1", 1E30L},  // truncation beyond 64 bits
        {"XMOD3", -1E19L},
        {"1DIVX", 1E19L},
        {"-9223372036854775808DIV(-1)", 0},  // the quotient 2^63 does not fit
        {"X^-2", 0},                         // zero to a negative power
        {"0^-1", 0},
        {"INTPOWER(X,-3)", 0},
        {"INTPOWER(2,X)", 1E19L},
        {"LOGN(1,X)", 8},   // base 1
        {"EXP(X)", 20000},  // overflow of the extended range
        {"SINH(X)", 20000},
        {"COSH(X)", -20000},
        {"X^2", huge},
        {"X^3", huge},
        {"X^4", huge},
        {"X^5", huge},
        {"2^X", 1E5L},
        {"X^1.5", 1E4000L},
        {"POWER(X,1E10)", 10},
        {"SQR(X)", huge},
        {"X*X", huge},
        {"X+X", std::numeric_limits<long double>::max()},
        {"RND(X)", 1E19L},
    };
    for (const TErrorCase& c : cases) {
        const TEvaluation result = Evaluate(c.Text, c.X);
        EXPECT_TRUE(result.CalcError) << c.Text << " at X = " << static_cast<double>(c.X);
        EXPECT_EQ(result.Value, 0) << c.Text;  // nothing evaluated before: the stale value is 0
    }
    EXPECT_EQ(Evaluate("-9223372036854775808MOD(-1)").Value, 0);
    EXPECT_FALSE(Evaluate("-9223372036854775808MOD(-1)").CalcError);
}

TEST(ExprParser, NonFiniteVariablesNeverTrap) {
    const long double inf = std::numeric_limits<long double>::infinity();
    TExprParser parser;
    parser.SetExpression("XDIV2+XMOD3+INTPOWER(2,X)+SQRT(X)+SIN(X)+PH(X)+CEIL(X)+RND(X)+X^2");
    for (long double x : {kNaN, inf, -inf}) {
        parser.X = x;
        parser.Value();
        EXPECT_TRUE(parser.CalcError()) << static_cast<double>(x);
    }
    parser.SetExpression("X+1");
    parser.X = inf;
    EXPECT_EQ(parser.Value(), inf);  // infinity handed in is no overflow
    EXPECT_FALSE(parser.CalcError());
}

// A failing step leaves its destination as it was; Value returns the destination of the step
// after the failing one (of the failing one when it is the last).
TEST(ExprParser, FailedStepsReturnStaleDestinations) {
    TExprParser parser;
    parser.SetExpression("1/X");
    EXPECT_EQ(parser.Value(), 0);
    EXPECT_TRUE(parser.CalcError());
    parser.X = 2;
    EXPECT_EQ(parser.Value(), 0.5L);
    EXPECT_FALSE(parser.CalcError());
    parser.X = 0;
    EXPECT_EQ(parser.Value(), 0.5L);
    EXPECT_TRUE(parser.CalcError());

    parser.SetExpression("1/X+5");  // steps: 1/X, then the sum
    parser.X = 2;
    EXPECT_EQ(parser.Value(), 5.5L);
    parser.X = 0;
    EXPECT_EQ(parser.Value(), 5.5L);  // the sum's old result, not the division's
    EXPECT_TRUE(parser.CalcError());
    parser.X = 4;
    EXPECT_EQ(parser.Value(), 5.25L);
    EXPECT_FALSE(parser.CalcError());
}

const char* const kMatchingFunction =
    "(2/3)*(-0.5894)*(HEAV(x+(2*Pi))-HEAV(x+(Pi/2)))+(HEAV(x+(Pi/2))-HEAV(x))*((sin(2*x))/"
    "(2*x))+(HEAV(x)-HEAV(x-Pi/2))*((sin(2*x))/(2*x))";

long double Heav(long double x) {
    return x >= 0 ? 1 : 0;
}

// The matching function computed directly, in the order the parser groups it: the three
// products are added as P1 + (P2 + P3), a product of three as a * (b * c).
long double MatchingFunction(long double x) {
    const long double sinc = std::sin(2 * x) / (2 * x);
    const long double p1 = (2.0L / 3) * (-0.5894L * (Heav(x + 2 * kPi) - Heav(x + kPi / 2)));
    const long double p2 = (Heav(x + kPi / 2) - Heav(x)) * sinc;
    const long double p3 = (Heav(x) - Heav(x - kPi / 2)) * sinc;
    return p1 + (p2 + p3);
}

TEST(ExprParser, MatchingFunctionAgreesWithDirectComputation) {
    TExprParser parser;
    parser.SetExpression(kMatchingFunction);
    long double peak = 0;
    int peakIndex = -1;
    for (int l = 1; l <= 5998; ++l) {
        const long double x = l / 5999.0L * 3 * kPi - 2 * kPi;
        parser.X = x;
        const long double value = parser.Value();
        ASSERT_FALSE(parser.CalcError()) << "l = " << l;
        ASSERT_EQ(value, MatchingFunction(x)) << "l = " << l;
        if (value > peak) {
            peak = value;
            peakIndex = l;
        }
    }
    EXPECT_EQ(peakIndex, 3999);  // x = -pi/5999, next to the sinc peak
    parser.X = -3;
    EXPECT_NEAR(static_cast<double>(parser.Value()), -0.5894 * 2 / 3, 1E-15);
}

// At X = 0 the first failing step is the first sin(2x)/(2x); the step after it is
// HEAV(x)-HEAV(x-Pi/2) of the last product, whose old value comes back.
TEST(ExprParser, MatchingFunctionAtZeroReturnsTheStaleNextStep) {
    TExprParser parser;
    parser.SetExpression(kMatchingFunction);
    parser.X = 1;  // HEAV(1)-HEAV(1-pi/2) = 1
    parser.Value();
    parser.X = 0;
    EXPECT_EQ(parser.Value(), 1);
    EXPECT_TRUE(parser.CalcError());
    parser.X = 2;  // HEAV(2)-HEAV(2-pi/2) = 0
    parser.Value();
    parser.X = 0;
    EXPECT_EQ(parser.Value(), 0);
    EXPECT_TRUE(parser.CalcError());
}

struct TParseErrorCase {
    const char* Text;
    const char* Expected;
};

TEST(ExprParser, RejectsBadTextsWithTheirMessages) {
    const TParseErrorCase cases[] = {
        {"-X-Y", "ESyntaxError: Error parsing expression:\r-X-Y"},
        {"X^2^2", "ESyntaxError: Error parsing expression:\rX^2\r2"},
        {"RANDOM", "ESyntaxError: Error parsing expression:\rRANDOM"},
        {")A(", "ESyntaxError: Error parsing expression:\r)A("},
        {"2*-X", "ESyntaxError: Error parsing expression:\r2\r-X"},
        {"sin(x)+", "ESyntaxError: Error parsing expression:\rSIN(X)+"},
        {"MAX(1,2,3)", "ESyntaxError: Error parsing expression:\r1,2\r3"},
        {"FOO(X)", "ESyntaxError: Error parsing expression:\rFOO(X)"},
        {"()", "ESyntaxError: Error parsing expression:\r()"},
        {"--X", "ESyntaxError: Error parsing expression:\r--X"},
        {"1E99999", "ESyntaxError: Error parsing expression:\r1E99999"},
        {"A B", "EExpressionHasBlanks: Expression has blanks"},
        {"(A", "EMissMatchingBracket: Missing brackets in expression"},
        {"SIN(X))", "EMissMatchingBracket: Missing brackets in expression"},
    };
    for (const TParseErrorCase& c : cases)
        EXPECT_EQ(ParseFailure(c.Text), c.Expected) << c.Text;
    EXPECT_EQ(ParseFailure(Nested("SIN", 21)),
              "ETooManyNestings: Expression contains too many nestings");
    EXPECT_EQ(ParseFailure(Nested("SIN", 20)), "parsed");
    EXPECT_EQ(ParseFailure("  A  "), "parsed");
}

// A full tree of sums with 32 steps at level 6, whose 64 operand slots hold either X or
// (X*X): each (X*X) adds a step at level 7.
std::string TreeWithBottomSteps(int bottomSteps) {
    std::vector<std::string> terms;
    for (int slot = 0; slot < 64; ++slot)
        terms.push_back(slot < bottomSteps ? "(X*X)" : "X");
    while (terms.size() > 1) {
        std::vector<std::string> joined;
        for (size_t i = 0; i < terms.size(); i += 2) {
            const std::string sum = terms[i] + "+" + terms[i + 1];
            joined.push_back(terms.size() == 2 ? sum : "(" + sum + ")");
        }
        terms = joined;
    }
    return terms[0];
}

TEST(ExprParser, LimitsOperationsPerLevel) {
    TExprParser parser;
    parser.SetExpression(TreeWithBottomSteps(50));
    parser.X = 2;
    EXPECT_EQ(parser.Value(), 50 * 4 + 14 * 2);
    EXPECT_EQ(ParseFailure(TreeWithBottomSteps(51)),
              "EExpressionTooComplex: Expression is too complex");
}

TEST(ExprParser, LimitsNestedOperationLevels) {
    TExprParser parser;
    parser.SetExpression(Nested("SQRT", 20));
    parser.X = 1;
    EXPECT_EQ(parser.Value(), 1);
    // 20 levels of sums written as a chain: X+X+... groups to the right, X+(X+(...)).
    std::string chain = "X";
    for (int i = 0; i < 20; ++i)
        chain += "+X";
    parser.SetExpression(chain);
    EXPECT_EQ(parser.Value(), 21);
    EXPECT_EQ(ParseFailure(chain + "+X"),
              "ETooManyNestings: Expression contains too many nestings");
}

// Texts built to make a naive parser recurse or search without end finish quickly with a result
// or a parse error.
TEST(ExprParser, PathologicalTextsEndInAResultOrAnError) {
    EXPECT_EQ(Evaluate(std::string(100000, '(') + "X" + std::string(100000, ')'), 3).Value, 3);
    EXPECT_EQ(ParseFailure(Nested("SIN", 100000)),
              "ETooManyNestings: Expression contains too many nestings");
    std::string differences = "X";
    for (int i = 0; i < 20000; ++i)
        differences += "-X";
    EXPECT_EQ(ParseFailure(differences), "ETooManyNestings: Expression contains too many nestings");
    std::string flat = "(X)";
    for (int i = 0; i < 300; ++i)
        flat += "*(X)";
    EXPECT_EQ(ParseFailure(flat + "*-"),
              "ESyntaxError: Error parsing expression:\r" + flat + "\r-");
    EXPECT_EQ(ParseFailure(std::string(500, '-') + "X"),
              "ESyntaxError: Error parsing expression:\r" + std::string(500, '-') + "X");
    EXPECT_EQ(ParseFailure(std::string(50000, '-') + "X"),
              "ETooManyNestings: Expression contains too many nestings");
    EXPECT_EQ(ParseFailure(std::string(TCustomExprParser::kMaxTextLength + 1, '1')),
              "EExpressionTooComplex: Expression is too complex");
    // Alternating operators that each leave many ways to split.
    std::string mixed = "X";
    for (int i = 0; i < 400; ++i)
        mixed += (i % 2 ? "-X*X" : "/X^X");
    const std::string outcome = ParseFailure(mixed);
    EXPECT_TRUE(outcome.rfind("ETooManyNestings", 0) == 0 ||
                outcome.rfind("EExpressionTooComplex", 0) == 0)
        << outcome.substr(0, 80);
}

TEST(ExprParser, OnParserErrorReceivesTheErrorInsteadOfTheWriter) {
    TExprParser parser;
    std::vector<std::string> seen;
    TCustomExprParser* sender = nullptr;
    parser.SetOnParserError([&](TCustomExprParser& s, const EMathParserError& e) {
        sender = &s;
        seen.push_back(std::string(e.ClassName()) + ": " + e.Message());
    });
    parser.SetExpression("X+1");
    EXPECT_FALSE(parser.ParseError());
    EXPECT_NO_THROW(parser.SetExpression("x^2^2"));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "ESyntaxError: Error parsing expression:\rX^2\r2");
    EXPECT_EQ(sender, &parser);
    EXPECT_TRUE(parser.ParseError());
    EXPECT_EQ(parser.Expression(), "x^2^2");  // the failed text as written
    parser.X = 5;
    EXPECT_EQ(parser.Value(), 0);  // the old steps are gone
    EXPECT_FALSE(parser.CalcError());

    parser.SetExpression("X*2");
    EXPECT_FALSE(parser.ParseError());
    EXPECT_EQ(parser.Value(), 10);
}

TEST(ExprParser, WithoutHandlerTheWriterGetsTheErrorAndTheStepsAreGone) {
    TExprParser parser;
    parser.SetExpression("X+1");
    EXPECT_THROW(parser.SetExpression("(X"), EMissMatchingBracket);
    EXPECT_TRUE(parser.ParseError());
    EXPECT_EQ(parser.Value(), 0);
    EXPECT_THROW(parser.SetExpression(Nested("SIN", 21)), ETooManyNestings);
    EXPECT_THROW(parser.SetExpression("1+"), ESyntaxError);
}

TEST(ExprParser, EmptyExpressionIsValueZero) {
    TExprParser parser;
    parser.SetExpression("1/X");
    parser.Value();
    ASSERT_TRUE(parser.CalcError());
    parser.SetExpression("");
    EXPECT_FALSE(parser.ParseError());
    EXPECT_EQ(parser.Value(), 0);
    EXPECT_FALSE(parser.CalcError());
}

TEST(ExprParser, VariablesAreReadByAddressAtEachEvaluation) {
    TExprParser parser;
    parser.SetExpression("A+B*C-D/E+X*Y^T");
    parser.A = 1;
    parser.B = 2;
    parser.C = 3;
    parser.D = 8;
    parser.E = 4;
    parser.X = 5;
    parser.Y = 2;
    parser.T = 3;
    EXPECT_EQ(parser.Value(), 1 + 6 - 2 + 40);
    parser.T = 1;
    EXPECT_EQ(parser.Value(), 1 + 6 - 2 + 10);
}

TEST(ExprParser, LocaleNumberFormatUsesTheLocaleSeparator) {
    TExprParser parser;
    parser.SetPointNumberFormat(false);
    parser.SetExpression("1.5*X");  // the C locale's separator is the point
    parser.X = 2;
    EXPECT_EQ(parser.Value(), 3);

    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    // tools/setup-deps.sh generates nl_NL.UTF-8.
    if (std::setlocale(LC_NUMERIC, "nl_NL.UTF-8") == nullptr &&
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma (nl_NL.UTF-8) is installed";
    parser.SetExpression("MAX(1,5,X)");  // 1 and 5,X fail; 1,5 and X split
    const long double commaValue = parser.Value();
    TExprParser pointParser;
    pointParser.SetExpression("1.5");
    const long double pointValue = pointParser.Value();
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(commaValue, 2);
    EXPECT_EQ(pointValue, 1.5L);  // the default format ignores the locale
}

// No locale with a decimal comma may be installed, so the comma is tested one layer down.
TEST(ExprNumbers, ReadWithTheGivenSeparator) {
    long double value = 0;
    EXPECT_TRUE(ReadExprNumber("1,5", ',', value));
    EXPECT_EQ(value, 1.5L);
    EXPECT_FALSE(ReadExprNumber("1.5", ',', value));
    EXPECT_TRUE(ReadExprNumber("+.5E-1", '.', value));
    EXPECT_EQ(value, 0.05L);
    for (const char* bad :
         {"", "+", ".", "1E", "1E+", "E5", "1.5.", "INF", "NAN", "0X10", "1E5000"})
        EXPECT_FALSE(ReadExprNumber(bad, '.', value)) << bad;

    const TNameTable<long double*> variables{{"X", &value}};
    const TNameTable<TMathProc> none;
    TNameTable<TMathProc> two;
    two.emplace("MAX", nullptr);
    TTermRecognizer terms("MAX(1,5,X)", variables, none, two, ',');
    const TTerm term = terms.Recognise(terms.Whole());
    ASSERT_EQ(term.Kind, TTermKind::FunctionTwo);
    EXPECT_EQ(terms.Text(term.Left), "1,5");  // "5,X" is no number, so the second comma splits
    EXPECT_EQ(terms.Text(term.Right), "X");
}

}  // namespace
}  // namespace vantrel
