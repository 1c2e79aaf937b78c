// Term recognition of the expression parser: decides what kind of term a piece of the prepared
// (upper-cased, trimmed) expression text is, and where it splits into operands.
//
// The kinds are tested in a fixed order and the first that fits decides: variable, number,
// negation, sum, difference, product, DIV, MOD, division, power, one-argument function,
// two-argument function. A binary operator splits the text at the first occurrence (from the
// left) where both parts have balanced bracket counts and are of a kind the operator allows as
// its left and right operand; that table gives the operators their precedence and grouping.
//
// Every piece of text is recognised at most once (the results are remembered), so a text costs
// polynomial time. The recursion depth and the amount of work are capped so that no text, however
// long or malformed, can exhaust the stack or run for long: past the caps the text is rejected as
// too deeply nested or too complex.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "expr/uExprSteps.h"

namespace vantrel {

// Names of variables and functions, upper case, sorted.
template <class T>
using TNameTable = std::map<std::string, T, std::less<>>;

// What a piece of text is. Bracket applies to operands only: a bracket operand is used by its
// inside.
enum class TTermKind : uint8_t {
    None,
    Variable,
    Number,
    Negation,
    Sum,
    Difference,
    Product,
    IntegerDivide,
    Modulo,
    Division,
    Power,
    FunctionOne,
    FunctionTwo,
    Bracket,
};

// A piece of the prepared text: characters Start … End - 1.
struct TTextRange {
    uint32_t Start = 0;
    uint32_t End = 0;
    uint32_t Length() const { return End - Start; }
};

// A recognised term with its operands (bracket layers of the operands not yet removed).
struct TTerm {
    TTermKind Kind = TTermKind::None;
    TTextRange Left;   // left operand, negated term, or function argument
    TTextRange Right;  // right operand or second function argument
    TTextRange Name;   // function name
};

// Reads a number: "PI", "-PI", or sign, digits with an optional decimal separator and fraction,
// and an optional exponent E with optional sign. False when the whole text is not such a number
// or its value is outside the extended range.
bool ReadExprNumber(std::string_view text, char decimalSeparator, long double& value);

class TTermRecognizer {
  public:
    // At most this many recognitions may be nested while a text is examined; deeper texts are
    // rejected with ETooManyNestings. Far more than the 20 operation levels a usable expression
    // may have, and small enough for any thread's stack.
    static constexpr int kMaxRecursion = 1000;
    // At most this many pieces of text may be recognised, and this many operator occurrences
    // examined, for one expression; beyond, the text is rejected with EExpressionTooComplex.
    static constexpr size_t kMaxTerms = 1'000'000;
    static constexpr size_t kMaxWork = 20'000'000;

    // text: the prepared expression; it and the tables must outlive the recognizer.
    TTermRecognizer(std::string_view text, const TNameTable<long double*>& variables,
                    const TNameTable<TMathProc>& functionsOne,
                    const TNameTable<TMathProc>& functionsTwo, char decimalSeparator);

    std::string_view Text(TTextRange range) const {
        return m_text.substr(range.Start, range.Length());
    }
    TTextRange Whole() const { return {0, static_cast<uint32_t>(m_text.size())}; }

    // The kind of a term (never Bracket; None when no kind fits).
    TTermKind Kind(TTextRange range);
    // The kind of an operand: Bracket when it is a bracket term, otherwise Kind.
    TTermKind OperandKind(TTextRange range);
    // The kind with the operands.
    TTerm Recognise(TTextRange range);
    // Removes enclosing brackets as long as the text is a bracket term.
    TTextRange StripBrackets(TTextRange range);
    // The operand texts of the last operator or comma split examined while the term was tested;
    // false when no split was examined.
    bool LastSplitTried(TTextRange range, TTextRange& left, TTextRange& right) const;

  private:
    struct TMemo {
        TTermKind Kind;
        uint32_t Split;  // operator, comma or bracket position that splits the term
    };

    static uint64_t MemoKey(TTextRange range) {
        return (static_cast<uint64_t>(range.Start) << 32) | range.End;
    }
    // The helpers that hold large locals stay out of line, so that the frames of the recursion
    // stay small.
    [[gnu::noinline]] const TMemo* Remembered(TTextRange range) const;
    [[gnu::noinline]] void Remember(TTextRange range, TMemo memo);
    [[gnu::noinline]] TTermKind LeafKind(TTextRange range);
    TMemo Classify(TTextRange range);
    bool FitsNegation(TTextRange range);
    uint32_t FindOperatorSplit(size_t index, TTextRange range);
    uint32_t FunctionOneBracket(TTextRange range);
    uint32_t FunctionTwoComma(TTextRange range);
    bool IsBracketTerm(TTextRange range);
    bool IsValid(TTextRange range) { return OperandKind(range) != TTermKind::None; }
    bool IsBalanced(uint32_t from, uint32_t to) const { return m_depth[to] == m_depth[from]; }
    uint32_t FirstOpenBracket(TTextRange range) const;
    TTextRange PeelMatchedBrackets(TTextRange range) const;
    void ChargeWork(size_t amount);
    static bool LastOccurrence(const std::vector<uint32_t>& positions, uint32_t size,
                               TTextRange range, uint32_t& last);

    std::string_view m_text;
    const TNameTable<long double*>& m_variables;
    const TNameTable<TMathProc>& m_functionsOne;
    const TNameTable<TMathProc>& m_functionsTwo;
    char m_decimalSeparator;

    std::vector<int32_t> m_depth;         // "(" minus ")" before each position, and at the end
    std::vector<uint32_t> m_match;        // for a "(", the position of its ")"; else kNoMatch
    std::vector<uint32_t> m_openBracket;  // positions of "(" in order
    // Positions of each operator symbol (in the order of the operator tests), then of ",".
    std::vector<std::vector<uint32_t>> m_occurrences;
    std::unordered_map<uint64_t, TMemo> m_memo;
    int m_recursion = 0;
    size_t m_work = 0;
};

}  // namespace vantrel
