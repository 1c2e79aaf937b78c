#include "expr/uExprTerms.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <numbers>

#include "expr/uExprParser.h"

namespace vantrel {
namespace {

constexpr uint32_t kNoMatch = std::numeric_limits<uint32_t>::max();

// The seven binary operators, in the order they are tested.
struct TOperatorInfo {
    TTermKind Kind;
    std::string_view Symbol;
    uint32_t LeftAllowed;   // bit set of TTermKind values allowed as left operand
    uint32_t RightAllowed;  // ... and as right operand
};

constexpr uint32_t Bit(TTermKind kind) {
    return 1u << static_cast<unsigned>(kind);
}

// Kinds every operator accepts on both sides.
constexpr uint32_t kPrimary = Bit(TTermKind::Variable) | Bit(TTermKind::Number) |
                              Bit(TTermKind::Bracket) | Bit(TTermKind::FunctionOne) |
                              Bit(TTermKind::FunctionTwo);
constexpr uint32_t kDivisionLike =
    Bit(TTermKind::IntegerDivide) | Bit(TTermKind::Modulo) | Bit(TTermKind::Division);
constexpr uint32_t kFactor = kPrimary | kDivisionLike | Bit(TTermKind::Power);
constexpr uint32_t kNegation = Bit(TTermKind::Negation);

// Left operands may be a negation; only "+" takes a sum on its right, only "+" and "-" a
// difference on their left, so "+" and "-" group left to right and bind loosest, "^" tightest.
constexpr TOperatorInfo kOperators[] = {
    {TTermKind::Sum, "+",
     kFactor | kNegation | Bit(TTermKind::Difference) | Bit(TTermKind::Product),
     kFactor | Bit(TTermKind::Sum) | Bit(TTermKind::Difference) | Bit(TTermKind::Product)},
    {TTermKind::Difference, "-",
     kFactor | kNegation | Bit(TTermKind::Difference) | Bit(TTermKind::Product),
     kFactor | Bit(TTermKind::Product)},
    {TTermKind::Product, "*", kFactor | kNegation, kFactor | Bit(TTermKind::Product)},
    {TTermKind::IntegerDivide, "DIV", kFactor | kNegation, kPrimary | Bit(TTermKind::Power)},
    {TTermKind::Modulo, "MOD", kFactor | kNegation, kPrimary | Bit(TTermKind::Power)},
    {TTermKind::Division, "/", kFactor | kNegation, kPrimary | Bit(TTermKind::Power)},
    {TTermKind::Power, "^", kPrimary, kPrimary},
};

constexpr size_t kCommaIndex = std::size(kOperators);  // after the operators in m_occurrences

// Position of an operator kind in kOperators; std::size(kOperators) for other kinds.
size_t OperatorIndex(TTermKind kind) {
    size_t index = 0;
    while (index < std::size(kOperators) && kOperators[index].Kind != kind)
        ++index;
    return index;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the number-shaped start of text; sets complete when all of text is number-shaped
// with at least one mantissa digit and, after an E, at least one exponent digit.
size_t ScanNumber(std::string_view text, char separator, bool& complete) {
    size_t i = 0;
    const size_t n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < n && IsDigit(text[i]))
        ++i, ++digits;
    if (i < n && text[i] == separator) {
        ++i;
        while (i < n && IsDigit(text[i]))
            ++i, ++digits;
    }
    complete = digits > 0;
    if (complete && i < n && text[i] == 'E') {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        size_t exponentDigits = 0;
        while (i < n && IsDigit(text[i]))
            ++i, ++exponentDigits;
        complete = exponentDigits > 0;
    }
    complete = complete && i == n;
    return i;
}

}  // namespace

bool ReadExprNumber(std::string_view text, char decimalSeparator, long double& value) {
    if (text == "PI" || text == "-PI") {
        value = text[0] == '-' ? -std::numbers::pi_v<long double> : std::numbers::pi_v<long double>;
        return true;
    }
    bool complete = false;
    ScanNumber(text, decimalSeparator, complete);
    if (!complete) return false;
    // from_chars reads the C format whatever the process locale is: a point, no leading "+".
    std::string plain(text.substr(text[0] == '+' ? 1 : 0));
    std::replace(plain.begin(), plain.end(), decimalSeparator, '.');
    long double result = 0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), result,
                                              std::chars_format::general);
    if (error != std::errc() || end != plain.data() + plain.size()) return false;
    value = result;
    return true;
}

TTermRecognizer::TTermRecognizer(std::string_view text, const TNameTable<long double*>& variables,
                                 const TNameTable<TMathProc>& functionsOne,
                                 const TNameTable<TMathProc>& functionsTwo, char decimalSeparator)
    : m_text(text),
      m_variables(variables),
      m_functionsOne(functionsOne),
      m_functionsTwo(functionsTwo),
      m_decimalSeparator(decimalSeparator) {
    m_depth.resize(text.size() + 1, 0);
    m_match.assign(text.size(), kNoMatch);
    std::vector<uint32_t> open;
    for (uint32_t i = 0; i < text.size(); ++i) {
        m_depth[i + 1] = m_depth[i];
        if (text[i] == '(') {
            ++m_depth[i + 1];
            open.push_back(i);
            m_openBracket.push_back(i);
        } else if (text[i] == ')') {
            --m_depth[i + 1];
            if (!open.empty()) {
                m_match[open.back()] = i;
                open.pop_back();
            }
        }
    }
    m_occurrences.resize(kCommaIndex + 1);
    for (size_t index = 0; index < std::size(kOperators); ++index) {
        const std::string_view symbol = kOperators[index].Symbol;
        for (size_t at = text.find(symbol); at != std::string_view::npos;
             at = text.find(symbol, at + symbol.size()))
            m_occurrences[index].push_back(static_cast<uint32_t>(at));
    }
    for (size_t at = text.find(','); at != std::string_view::npos; at = text.find(',', at + 1))
        m_occurrences[kCommaIndex].push_back(static_cast<uint32_t>(at));
}

void TTermRecognizer::ChargeWork(size_t amount) {
    m_work += amount;
    if (m_work > kMaxWork) throw EExpressionTooComplex();
}

const TTermRecognizer::TMemo* TTermRecognizer::Remembered(TTextRange range) const {
    const auto found = m_memo.find(MemoKey(range));
    return found != m_memo.end() ? &found->second : nullptr;
}

void TTermRecognizer::Remember(TTextRange range, TMemo memo) {
    m_memo.emplace(MemoKey(range), memo);
}

TTermKind TTermRecognizer::Kind(TTextRange range) {
    if (const TMemo* known = Remembered(range)) return known->Kind;
    if (m_recursion >= kMaxRecursion) throw ETooManyNestings();
    if (m_memo.size() >= kMaxTerms) throw EExpressionTooComplex();
    ++m_recursion;
    const TMemo memo = Classify(range);
    --m_recursion;
    Remember(range, memo);
    return memo.Kind;
}

TTermKind TTermRecognizer::OperandKind(TTextRange range) {
    return IsBracketTerm(range) ? TTermKind::Bracket : Kind(range);
}

TTextRange TTermRecognizer::PeelMatchedBrackets(TTextRange range) const {
    while (range.Length() >= 2 && m_text[range.Start] == '(' &&
           m_match[range.Start] == range.End - 1) {
        ++range.Start;
        --range.End;
    }
    return range;
}

// A valid inside has properly nested brackets, so a bracket term's first "(" matches its last
// ")": peeling matched layers and testing the core is the same as testing layer by layer,
// without recursing once per layer.
bool TTermRecognizer::IsBracketTerm(TTextRange range) {
    if (range.Length() < 2 || m_text[range.Start] != '(' || m_match[range.Start] != range.End - 1)
        return false;
    const TTextRange inside = PeelMatchedBrackets(range);
    ChargeWork(inside.Start - range.Start);
    return Kind(inside) != TTermKind::None;
}

TTextRange TTermRecognizer::StripBrackets(TTextRange range) {
    return IsBracketTerm(range) ? PeelMatchedBrackets(range) : range;
}

uint32_t TTermRecognizer::FirstOpenBracket(TTextRange range) const {
    const auto found = std::lower_bound(m_openBracket.begin(), m_openBracket.end(), range.Start);
    return found != m_openBracket.end() && *found < range.End ? *found : kNoMatch;
}

TTermKind TTermRecognizer::LeafKind(TTextRange range) {
    const std::string_view text = Text(range);
    if (m_variables.find(text) != m_variables.end()) return TTermKind::Variable;
    bool complete = false;
    ChargeWork(ScanNumber(text, m_decimalSeparator, complete));
    long double value = 0;
    if ((complete || text == "PI" || text == "-PI") &&
        ReadExprNumber(text, m_decimalSeparator, value))
        return TTermKind::Number;
    return TTermKind::None;
}

TTermRecognizer::TMemo TTermRecognizer::Classify(TTextRange range) {
    ChargeWork(1);
    if (range.Length() == 0) return {TTermKind::None, 0};
    if (const TTermKind leaf = LeafKind(range); leaf != TTermKind::None) return {leaf, 0};
    if (FitsNegation(range)) return {TTermKind::Negation, range.Start};
    for (size_t index = 0; index < std::size(kOperators); ++index) {
        if (const uint32_t split = FindOperatorSplit(index, range); split != kNoMatch)
            return {kOperators[index].Kind, split};
    }
    if (const uint32_t open = FunctionOneBracket(range); open != kNoMatch)
        return {TTermKind::FunctionOne, open};
    if (const uint32_t comma = FunctionTwoComma(range); comma != kNoMatch)
        return {TTermKind::FunctionTwo, comma};
    return {TTermKind::None, 0};
}

bool TTermRecognizer::FitsNegation(TTextRange range) {
    if (m_text[range.Start] != '-' || range.Length() < 2) return false;
    const TTextRange rest{range.Start + 1, range.End};
    switch (OperandKind(rest)) {
        case TTermKind::Bracket:
        case TTermKind::Variable:
        case TTermKind::Power:
        case TTermKind::FunctionOne:
        case TTermKind::FunctionTwo:
            return true;
        default:
            return false;
    }
}

// The position of the operator where range splits into allowed operands, or kNoMatch.
uint32_t TTermRecognizer::FindOperatorSplit(size_t index, TTextRange range) {
    const TOperatorInfo& info = kOperators[index];
    const auto size = static_cast<uint32_t>(info.Symbol.size());
    const std::vector<uint32_t>& positions = m_occurrences[index];
    auto at = std::lower_bound(positions.begin(), positions.end(), range.Start);
    // An occurrence at the first character, or one with nothing after it, ends the search.
    if (at != positions.end() && *at == range.Start) return kNoMatch;
    for (; at != positions.end() && *at + size < range.End; ++at) {
        ChargeWork(1);
        const uint32_t position = *at;
        if (!IsBalanced(range.Start, position) || !IsBalanced(position + size, range.End)) continue;
        if ((info.LeftAllowed & Bit(OperandKind({range.Start, position}))) != 0 &&
            (info.RightAllowed & Bit(OperandKind({position + size, range.End}))) != 0)
            return position;
    }
    return kNoMatch;
}

// The position of the "(" that opens the argument when range is a one-argument function call,
// or kNoMatch.
uint32_t TTermRecognizer::FunctionOneBracket(TTextRange range) {
    const uint32_t open = FirstOpenBracket(range);
    if (open == kNoMatch || open == range.Start) return kNoMatch;
    if (m_functionsOne.find(Text({range.Start, open})) == m_functionsOne.end()) return kNoMatch;
    return IsBracketTerm({open, range.End}) ? open : kNoMatch;
}

// The position of the "," between the arguments when range is a two-argument function call,
// or kNoMatch.
uint32_t TTermRecognizer::FunctionTwoComma(TTextRange range) {
    const uint32_t open = FirstOpenBracket(range);
    if (open == kNoMatch || open == range.Start || m_text[range.End - 1] != ')') return kNoMatch;
    if (m_functionsTwo.find(Text({range.Start, open})) == m_functionsTwo.end()) return kNoMatch;
    const TTextRange inside{open + 1, range.End - 1};
    const std::vector<uint32_t>& commas = m_occurrences[kCommaIndex];
    auto at = std::lower_bound(commas.begin(), commas.end(), inside.Start);
    // A "," at the first character of the inside, or at its end, ends the search.
    if (at != commas.end() && *at == inside.Start) return kNoMatch;
    for (; at != commas.end() && *at + 1 < inside.End; ++at) {
        ChargeWork(1);
        const uint32_t position = *at;
        if (IsValid({inside.Start, position}) && IsValid({position + 1, inside.End}))
            return position;
    }
    return kNoMatch;
}

TTerm TTermRecognizer::Recognise(TTextRange range) {
    TTerm term;
    term.Kind = Kind(range);
    const uint32_t split = Remembered(range)->Split;
    switch (term.Kind) {
        case TTermKind::Negation:
            term.Left = {range.Start + 1, range.End};
            break;
        case TTermKind::FunctionOne:
            term.Name = {range.Start, split};
            term.Left = {split, range.End};
            break;
        case TTermKind::FunctionTwo:
            term.Name = {range.Start, FirstOpenBracket(range)};
            term.Left = {term.Name.End + 1, split};
            term.Right = {split + 1, range.End - 1};
            break;
        default:
            if (const size_t index = OperatorIndex(term.Kind); index < std::size(kOperators)) {
                term.Left = {range.Start, split};
                term.Right = {split + static_cast<uint32_t>(kOperators[index].Symbol.size()),
                              range.End};
            }
            break;
    }
    return term;
}

// The last occurrence examined when searching positions for a split of range: none when the
// first occurrence is at the start, and the search stops before one with nothing after it.
bool TTermRecognizer::LastOccurrence(const std::vector<uint32_t>& positions, uint32_t size,
                                     TTextRange range, uint32_t& last) {
    auto at = std::lower_bound(positions.begin(), positions.end(), range.Start);
    if (at == positions.end() || *at == range.Start || *at + size >= range.End) return false;
    while (std::next(at) != positions.end() && *std::next(at) + size < range.End)
        ++at;
    last = *at;
    return true;
}

// Replays the order of the tests on a term that fit no kind: every test ran to its end, so
// the last split examined is the last one of the last test that examined any.
bool TTermRecognizer::LastSplitTried(TTextRange range, TTextRange& left, TTextRange& right) const {
    const uint32_t open = FirstOpenBracket(range);
    uint32_t last = 0;
    if (open != kNoMatch && open != range.Start && m_text[range.End - 1] == ')' &&
        m_functionsTwo.find(Text({range.Start, open})) != m_functionsTwo.end()) {
        const TTextRange inside{open + 1, range.End - 1};
        if (LastOccurrence(m_occurrences[kCommaIndex], 1, inside, last)) {
            left = {inside.Start, last};
            right = {last + 1, inside.End};
            return true;
        }
    }
    for (size_t index = std::size(kOperators); index-- > 0;) {
        const auto size = static_cast<uint32_t>(kOperators[index].Symbol.size());
        if (LastOccurrence(m_occurrences[index], size, range, last)) {
            left = {range.Start, last};
            right = {last + size, range.End};
            return true;
        }
    }
    return false;
}

}  // namespace vantrel
