// Random and mutated expression texts through parse and evaluation. With a fixed seed the run is
// the same every time; built with -DVANTREL_SANITIZE=ON it checks that no text and no variable
// value reaches undefined behaviour.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "expr/uExprParser.h"

namespace vantrel {
namespace {

const char* const kSeedTexts[] = {
    "(2/3)*(-0.5894)*(HEAV(x+(2*Pi))-HEAV(x+(Pi/2)))+(HEAV(x+(Pi/2))-HEAV(x))*((sin(2*x))/"
    "(2*x))+(HEAV(x)-HEAV(x-Pi/2))*((sin(2*x))/(2*x))",
    "X^-2+Y^3-A^4*B^0.5",
    "MAX(MIN(X,3),-1)/ARG(X,Y)",
    "LOGN(2,X)+XMOD3-XDIV0.5+7MODY",
    "-PI*SIN(X)/COS(X)^2",
    "(((A+B)*C)/D)^E",
    "INTPOWER(X,-3)+POWER(X,Y)-SQR(T)",
    "PH(T)-TAN(X)*COTAN(Y)+ARCTAN(2E+3)",
    "RND(X)+RANDOM(0)*CEIL(Y)-FLOOR(X)",
    "EXP(X)+SINH(Y)-COSH(A)+LN(B)*LOG10(C)/LOG2(D)",
    "ABS(X)+TRUNC(Y)+INT(A)+SIGN(B)+ZERO(C)+SQRT(D)",
};

const char* const kTokens[] = {
    "X",
    "Y",
    "A",
    "E",
    "T",
    "PI",
    "-PI",
    "0",
    "1",
    "2",
    "3",
    "4",
    "0.5",
    "1E+5",
    "1E-300",
    "1E4000",
    "9223372036854775808",
    "+",
    "-",
    "*",
    "/",
    "^",
    "DIV",
    "MOD",
    ",",
    "(",
    ")",
    "SIN(",
    "LN(",
    "EXP(",
    "SQRT(",
    "MAX(",
    "INTPOWER(",
    "POWER(",
    "LOGN(",
    "RANDOM(",
    "HEAV(",
    "COTAN(",
    "PH(",
    "RND(",
    " ",
    ".",
    "E",
    "-2",
};

const char kAlphabet[] = "XYABCDET()+-*/^,.E0123456789DIVMODSINPI ";

const long double kOddValues[] = {
    0,
    -0.0L,
    1,
    -1,
    0.5L,
    2,
    3.7L,
    -2.5L,
    std::numeric_limits<long double>::denorm_min(),
    1E-4930L,
    1E4930L,
    -1E4930L,
    9.3E18L,
    -9.3E18L,
    9223372036854775808.0L,
    std::numeric_limits<long double>::lowest(),
    std::numeric_limits<long double>::quiet_NaN(),
    std::numeric_limits<long double>::infinity(),
    -std::numeric_limits<long double>::infinity(),
};

class TTextSource {
  public:
    explicit TTextSource(uint32_t seed) : m_random(seed) {}

    // A third each: token soup, mutated sample formulas, formulas from a small grammar.
    std::string Next() {
        switch (Pick(3)) {
            case 0:
                return RandomTokens();
            case 1:
                return Mutated();
            default:
                return Formula(2 + Pick(2));
        }
    }

    long double OddValue() { return kOddValues[Pick(std::size(kOddValues))]; }

  private:
    size_t Pick(size_t count) {
        return std::uniform_int_distribution<size_t>(0, count - 1)(m_random);
    }

    std::string RandomTokens() {
        std::string text;
        const size_t count = 1 + Pick(25);
        for (size_t i = 0; i < count; ++i)
            text += kTokens[Pick(std::size(kTokens))];
        return text;
    }

    // expr := ["-"] term {("+"|"-") term}; term := factor {("*"|"/"|"DIV"|"MOD") factor};
    // factor := atom ["^" atom]; atom := variable | number | "(" expr ")" | function call.
    // Texts that start with "-" cannot be differences (-X-Y), and "-2^2" is a negation, which
    // may not follow an operator: negative literals appear only where they are operands.
    std::string Formula(int depth) {
        const bool negated = Pick(5) == 0;
        std::string text = negated ? "-" : "";
        const size_t terms = 1 + Pick(3);
        for (size_t i = 0; i < terms; ++i) {
            if (i > 0) text += Pick(2) || negated ? "+" : "-";
            const size_t factors = 1 + Pick(2);
            for (size_t j = 0; j < factors; ++j) {
                if (j > 0) text += std::vector<std::string>{"*", "/", "DIV", "MOD"}[Pick(4)];
                const bool power = Pick(4) == 0;
                text += Atom(depth, j > 0 && !power);
                if (power) text += "^" + Atom(depth, true);
            }
        }
        return text;
    }

    std::string Atom(int depth, bool negativeAllowed) {
        // The negative literals come last so that they can be left out.
        const char* const leaves[] = {"X", "Y",   "A",      "T",       "E",      "PI",  "0",  "2",
                                      "3", "0.5", "1E4900", "1E-4900", "9.3E18", "-PI", "-2", "-1"};
        if (depth == 0 || Pick(3) == 0)
            return leaves[Pick(std::size(leaves) - (negativeAllowed ? 0 : 3))];
        const char* const functions[] = {
            "SIN",   "COS",  "TAN",  "COTAN", "ARCTAN", "SINH",   "COSH", "EXP",  "LN",
            "LOG10", "LOG2", "SQR",  "SQRT",  "ABS",    "TRUNC",  "INT",  "CEIL", "FLOOR",
            "HEAV",  "SIGN", "ZERO", "PH",    "RND",    "RANDOM", ""};
        const char* const pairs[] = {"MAX", "MIN", "ARG", "POWER", "INTPOWER", "LOGN"};
        if (Pick(4) == 0)
            return std::string(pairs[Pick(std::size(pairs))]) + "(" + Formula(depth - 1) + "," +
                   Formula(depth - 1) + ")";
        return std::string(functions[Pick(std::size(functions))]) + "(" + Formula(depth - 1) + ")";
    }

    std::string Mutated() {
        std::string text = kSeedTexts[Pick(std::size(kSeedTexts))];
        const size_t mutations = 1 + Pick(4);
        for (size_t i = 0; i < mutations && !text.empty(); ++i) {
            const size_t at = Pick(text.size());
            switch (Pick(5)) {
                case 0:
                    text.erase(at, 1 + Pick(4));
                    break;
                case 1:
                    text.insert(at, kTokens[Pick(std::size(kTokens))]);
                    break;
                case 2:
                    text[at] = kAlphabet[Pick(sizeof kAlphabet - 1)];
                    break;
                case 3:
                    text.insert(at, text.substr(Pick(text.size()), 1 + Pick(12)));
                    break;
                default:
                    std::swap(text[at], text[Pick(text.size())]);
                    break;
            }
        }
        return text;
    }

    std::mt19937 m_random;
};

TEST(ExprFuzz, RandomAndMutatedTextsParseOrFailCleanly) {
    TTextSource source(20240601);
    int parsed = 0;
    int rejected = 0;
    int calcErrors = 0;
    for (int i = 0; i < 4000; ++i) {
        const std::string text = source.Next();
        TExprParser parser;
        try {
            parser.SetExpression(text);
            ++parsed;
        } catch (const EMathParserError&) {
            ++rejected;
            EXPECT_TRUE(parser.ParseError()) << text;
            EXPECT_EQ(parser.Value(), 0) << text;
            continue;
        } catch (const std::exception& e) {
            ADD_FAILURE() << "unexpected " << e.what() << " for \"" << text << "\"";
            continue;
        }
        for (int round = 0; round < 4; ++round) {
            for (long double* variable : {&parser.A, &parser.B, &parser.C, &parser.D, &parser.E,
                                          &parser.X, &parser.Y, &parser.T})
                *variable = source.OddValue();
            parser.Value();
            calcErrors += parser.CalcError();
        }
    }
    // Both paths must be exercised for the run to mean anything.
    EXPECT_GT(parsed, 800);
    EXPECT_GT(rejected, 800);
    EXPECT_GT(calcErrors, 400);
}

// A random expression tree, written fully bracketed, and evaluated directly with the same
// extended operations in the same order.
struct TNode {
    enum Kind {
        Leaf,
        Negate,
        Sine,
        Absolute,
        Root,
        Square,
        Add,
        Subtract,
        Multiply,
        Divide,
        Maximum
    };
    Kind Op = Leaf;
    std::string Literal;  // leaf text: a variable or a number
    std::unique_ptr<TNode> Left;
    std::unique_ptr<TNode> Right;
};

struct TReference {
    long double Value;
    bool Error;
};

class TTreeSource {
  public:
    explicit TTreeSource(uint32_t seed) : m_random(seed) {}

    std::unique_ptr<TNode> Tree(int depth) {
        auto node = std::make_unique<TNode>();
        if (depth == 0 || Pick(4) == 0) {
            const char* const leaves[] = {"X", "Y", "0.5", "3", "-2", "1.25", "0", "100"};
            node->Literal = leaves[Pick(std::size(leaves))];
            return node;
        }
        node->Op = static_cast<TNode::Kind>(1 + Pick(TNode::Maximum));
        node->Left = Tree(depth - 1);
        if (node->Op >= TNode::Add) node->Right = Tree(depth - 1);
        return node;
    }

    long double Variable() { return static_cast<long double>(Pick(9)) * 0.75L - 3; }

  private:
    size_t Pick(size_t count) {
        return std::uniform_int_distribution<size_t>(0, count - 1)(m_random);
    }
    std::mt19937 m_random;
};

std::string Write(const TNode& node) {
    const auto left = [&] { return "(" + Write(*node.Left) + ")"; };
    const auto right = [&] { return "(" + Write(*node.Right) + ")"; };
    switch (node.Op) {
        case TNode::Leaf:
            return node.Literal;
        case TNode::Negate:
            return "-" + left();
        case TNode::Sine:
            return "SIN" + left();
        case TNode::Absolute:
            return "ABS" + left();
        case TNode::Root:
            return "SQRT" + left();
        case TNode::Square:
            return left() + "^2";
        case TNode::Add:
            return left() + "+" + right();
        case TNode::Subtract:
            return left() + "-" + right();
        case TNode::Multiply:
            return left() + "*" + right();
        case TNode::Divide:
            return left() + "/" + right();
        case TNode::Maximum:
            return "MAX(" + Write(*node.Left) + "," + Write(*node.Right) + ")";
    }
    return {};
}

TReference Reference(const TNode& node, long double x, long double y) {
    if (node.Op == TNode::Leaf) {
        if (node.Literal == "X") return {x, false};
        if (node.Literal == "Y") return {y, false};
        return {std::stold(node.Literal), false};
    }
    const TReference a = Reference(*node.Left, x, y);
    if (a.Error) return a;
    TReference b{0, false};
    if (node.Right) {
        b = Reference(*node.Right, x, y);
        if (b.Error) return b;
    }
    switch (node.Op) {
        case TNode::Negate:
            return {-a.Value, false};
        case TNode::Sine:
            return {std::sin(a.Value), false};
        case TNode::Absolute:
            return {std::fabs(a.Value), false};
        case TNode::Root:
            return a.Value >= 0 ? TReference{std::sqrt(a.Value), false} : TReference{0, true};
        case TNode::Square:
            return {a.Value * a.Value, false};
        case TNode::Add:
            return {a.Value + b.Value, false};
        case TNode::Subtract:
            return {a.Value - b.Value, false};
        case TNode::Multiply:
            return {a.Value * b.Value, false};
        case TNode::Divide:
            return b.Value != 0 ? TReference{a.Value / b.Value, false} : TReference{0, true};
        case TNode::Maximum:
            return {a.Value < b.Value ? b.Value : a.Value, false};
        default:
            return {0, true};
    }
}

TEST(ExprFuzz, RandomTreesEvaluateLikeTheDirectComputation) {
    TTreeSource source(777);
    for (int i = 0; i < 1500; ++i) {
        const std::unique_ptr<TNode> tree = source.Tree(4);
        const std::string text = Write(*tree);
        TExprParser parser;
        ASSERT_NO_THROW(parser.SetExpression(text)) << text;
        for (int round = 0; round < 3; ++round) {
            parser.X = source.Variable();
            parser.Y = source.Variable();
            const long double value = parser.Value();
            const TReference expected = Reference(*tree, parser.X, parser.Y);
            ASSERT_EQ(parser.CalcError(), expected.Error) << text;
            if (!expected.Error) {
                ASSERT_EQ(value, expected.Value) << text;
            }
        }
    }
}

}  // namespace
}  // namespace vantrel
