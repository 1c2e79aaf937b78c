#include "expr/uExprParser.h"

#include <array>
#include <clocale>
#include <cmath>

namespace vantrel {
namespace {

std::string UpperCase(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

// Upper-cases, trims blanks (character 32 only) and checks blanks and bracket counts.
std::string PrepareText(const std::string& text) {
    std::string prepared = UpperCase(text);
    const size_t first = prepared.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    prepared = prepared.substr(first, prepared.find_last_not_of(' ') - first + 1);
    if (prepared.find(' ') != std::string::npos) throw EExpressionHasBlanks();
    long long brackets = 0;
    for (char c : prepared) {
        if (c == '(') ++brackets;
        if (c == ')') --brackets;
    }
    if (brackets != 0) throw EMissMatchingBracket();
    if (prepared.size() > TCustomExprParser::kMaxTextLength) throw EExpressionTooComplex();
    return prepared;
}

char LocaleDecimalSeparator() {
    const std::lconv* conventions = std::localeconv();
    if (conventions == nullptr || conventions->decimal_point == nullptr ||
        conventions->decimal_point[0] == '\0')
        return '.';
    return conventions->decimal_point[0];
}

std::string UpperName(std::string_view name) {
    return UpperCase(name);
}

// Builds the steps of a recognised expression: depth first, left operand before right, each
// operation placed at the level below its term with the next free index of that level.
class TStepBuilder {
  public:
    TStepBuilder(TTermRecognizer& terms, const TNameTable<long double*>& variables,
                 const TNameTable<TMathProc>& functionsOne,
                 const TNameTable<TMathProc>& functionsTwo, char decimalSeparator,
                 std::vector<std::unique_ptr<TOperationRecord>>& operations,
                 std::deque<long double>& numbers)
        : m_terms(terms),
          m_variables(variables),
          m_functionsOne(functionsOne),
          m_functionsTwo(functionsTwo),
          m_decimalSeparator(decimalSeparator),
          m_operations(operations),
          m_numbers(numbers) {}

    // Builds the whole expression (brackets already removed) and returns the first step.
    TOperationRecord* Build(TTextRange whole) {
        const TTermKind kind = m_terms.Kind(whole);
        if (kind == TTermKind::Variable || kind == TTermKind::Number) {
            // A lone operand: one step that does nothing, whose destination is the operand.
            const auto stepKind =
                kind == TTermKind::Variable ? TOperationKind::Variable : TOperationKind::Number;
            TOperationRecord& step = Place(1, stepKind, StepNothing);
            step.Dest = Operand(whole, 1);
            step.Arg1 = step.Dest;
        } else {
            BuildTerm(whole, 0);
        }
        return Chain();
    }

  private:
    // The storage of a variable or number operand, or the destination of the operand's step.
    long double* Operand(TTextRange range, int level) {
        const TTextRange inside = m_terms.StripBrackets(range);
        switch (m_terms.Kind(inside)) {
            case TTermKind::Variable:
                return m_variables.find(m_terms.Text(inside))->second;
            case TTermKind::Number:
                m_numbers.push_back(NumberValue(inside));
                return &m_numbers.back();
            default:
                return BuildTerm(inside, level);
        }
    }

    long double NumberValue(TTextRange range) const {
        long double value = 0;
        if (!ReadExprNumber(m_terms.Text(range), m_decimalSeparator, value))
            throw EParserInternalError();
        return value;
    }

    // An operation term at level h: its step goes to level h + 1, its operands are terms there.
    long double* BuildTerm(TTextRange range, int level) {
        const TTerm term = m_terms.Recognise(range);
        const int stepLevel = level + 1;
        TOperationRecord* step = nullptr;
        switch (term.Kind) {
            case TTermKind::Negation:
                step = &Place(stepLevel, TOperationKind::Negation, StepNegation);
                step->Arg1 = Operand(term.Left, stepLevel);
                return step->Dest;
            case TTermKind::FunctionOne:
                step = &Place(stepLevel, TOperationKind::FunctionOne,
                              FunctionProc(m_functionsOne, term));
                step->Arg1 = Operand(term.Left, stepLevel);
                return step->Dest;
            case TTermKind::FunctionTwo:
                step = &Place(stepLevel, TOperationKind::FunctionTwo,
                              FunctionProc(m_functionsTwo, term));
                break;
            case TTermKind::Power:
                step = &Place(stepLevel, PowerKind(term.Right), nullptr);
                step->Proc = OperatorProc(step->Kind);
                break;
            case TTermKind::Sum:
            case TTermKind::Difference:
            case TTermKind::Product:
            case TTermKind::Division:
            case TTermKind::Modulo:
            case TTermKind::IntegerDivide: {
                const TOperationKind kind = BinaryKind(term.Kind);
                step = &Place(stepLevel, kind, OperatorProc(kind));
                break;
            }
            default:
                throw EParserInternalError();
        }
        step->Arg1 = Operand(term.Left, stepLevel);
        step->Arg2 = Operand(term.Right, stepLevel);
        return step->Dest;
    }

    static TOperationKind BinaryKind(TTermKind kind) {
        switch (kind) {
            case TTermKind::Sum:
                return TOperationKind::Sum;
            case TTermKind::Difference:
                return TOperationKind::Difference;
            case TTermKind::Product:
                return TOperationKind::Product;
            case TTermKind::Division:
                return TOperationKind::Division;
            case TTermKind::Modulo:
                return TOperationKind::Modulo;
            default:
                return TOperationKind::IntegerDivide;
        }
    }

    // A whole literal exponent gives a square, cube, fourth or integer power; anything else a
    // real power. A bracketed literal counts as the literal.
    TOperationKind PowerKind(TTextRange exponentRange) {
        const TTextRange inside = m_terms.StripBrackets(exponentRange);
        if (m_terms.Kind(inside) != TTermKind::Number) return TOperationKind::RealPower;
        const long double exponent = NumberValue(inside);
        if (exponent != std::trunc(exponent)) return TOperationKind::RealPower;
        if (exponent == 2) return TOperationKind::Square;
        if (exponent == 3) return TOperationKind::Cube;
        if (exponent == 4) return TOperationKind::FourthPower;
        return TOperationKind::IntegerPower;
    }

    TMathProc FunctionProc(const TNameTable<TMathProc>& table, const TTerm& term) const {
        const auto found = table.find(m_terms.Text(term.Name));
        if (found == table.end()) throw EParserInternalError();
        return found->second;
    }

    TOperationRecord& Place(int level, TOperationKind kind, TMathProc proc) {
        if (level > TCustomExprParser::kMaxLevels) throw ETooManyNestings();
        std::vector<TOperationRecord*>& row = m_levels[level];
        if (row.size() >= TCustomExprParser::kMaxOperationsPerLevel) throw EExpressionTooComplex();
        m_operations.push_back(std::make_unique<TOperationRecord>());
        TOperationRecord& step = *m_operations.back();
        step.Kind = kind;
        step.Proc = proc;
        step.Dest = &step.Result;
        row.push_back(&step);
        return step;
    }

    // Deepest level first, each level left to right, up to level 1 with the outermost step.
    TOperationRecord* Chain() {
        TOperationRecord* first = nullptr;
        TOperationRecord* previous = nullptr;
        for (int level = TCustomExprParser::kMaxLevels; level >= 1; --level) {
            for (TOperationRecord* step : m_levels[level]) {
                if (previous != nullptr) previous->Next = step;
                if (first == nullptr) first = step;
                previous = step;
            }
        }
        return first;
    }

    TTermRecognizer& m_terms;
    const TNameTable<long double*>& m_variables;
    const TNameTable<TMathProc>& m_functionsOne;
    const TNameTable<TMathProc>& m_functionsTwo;
    char m_decimalSeparator;
    std::vector<std::unique_ptr<TOperationRecord>>& m_operations;
    std::deque<long double>& m_numbers;
    std::array<std::vector<TOperationRecord*>, TCustomExprParser::kMaxLevels + 1> m_levels;
};

ESyntaxError SyntaxError(const TTermRecognizer& terms, TTextRange term) {
    const std::string header = "Error parsing expression:\r";
    TTextRange left;
    TTextRange right;
    if (terms.LastSplitTried(term, left, right))
        return ESyntaxError(header + std::string(terms.Text(left)) + "\r" +
                            std::string(terms.Text(right)));
    return ESyntaxError(header + std::string(terms.Text(term)));
}

}  // namespace

long double TCustomExprParser::Value() {
    m_calcError = false;
    TOperationRecord* step = m_firstStep;
    if (step == nullptr) return 0;
    for (;;) {
        step->Error = 0;
        step->Proc(*step);
        m_calcError = step->Error != 0;
        if (m_calcError) return step->Next != nullptr ? *step->Next->Dest : *step->Dest;
        if (step->Next == nullptr) return *step->Dest;
        step = step->Next;
    }
}

void TCustomExprParser::SetExpression(const std::string& text) {
    ClearOperations();
    m_parseError = false;
    m_expression = text;
    if (text.empty()) return;
    try {
        Parse(PrepareText(text));
    } catch (const EMathParserError& error) {
        ClearOperations();
        m_parseError = true;
        if (!m_onParserError) throw;
        m_onParserError(*this, error);
    } catch (...) {
        ClearOperations();
        m_parseError = true;
        throw;
    }
}

void TCustomExprParser::Parse(const std::string& text) {
    const char separator = m_pointNumberFormat ? '.' : LocaleDecimalSeparator();
    TTermRecognizer terms(text, m_variables, m_functionsOne, m_functionsTwo, separator);
    const TTextRange whole = terms.StripBrackets(terms.Whole());
    if (terms.Kind(whole) == TTermKind::None) throw SyntaxError(terms, whole);
    TStepBuilder builder(terms, m_variables, m_functionsOne, m_functionsTwo, separator,
                         m_operations, m_numbers);
    m_firstStep = builder.Build(whole);
}

void TCustomExprParser::ClearOperations() {
    m_firstStep = nullptr;
    m_operations.clear();
    m_numbers.clear();
}

void TCustomExprParser::AddVariable(std::string_view name, long double* address) {
    m_variables.emplace(UpperName(name), address);
}

void TCustomExprParser::AddFunctionOne(std::string_view name, TMathProc proc) {
    if (!m_functionsOne.emplace(UpperName(name), proc).second)
        throw EInvalidOperation("Function \"" + UpperName(name) +
                                "\" of one argument is registered twice; give it one entry only");
}

void TCustomExprParser::AddFunctionTwo(std::string_view name, TMathProc proc) {
    if (!m_functionsTwo.emplace(UpperName(name), proc).second)
        throw EInvalidOperation("Function \"" + UpperName(name) +
                                "\" of two arguments is registered twice; give it one entry only");
}

TExprParser::TExprParser() {
    AddVariable("A", &A);
    AddVariable("B", &B);
    AddVariable("C", &C);
    AddVariable("D", &D);
    AddVariable("E", &E);
    AddVariable("X", &X);
    AddVariable("Y", &Y);
    AddVariable("T", &T);
    for (const TNamedMathProc& function : BuiltInFunctionsOne())
        AddFunctionOne(function.Name, function.Proc);
    for (const TNamedMathProc& function : BuiltInFunctionsTwo())
        AddFunctionTwo(function.Name, function.Proc);
}

}  // namespace vantrel
