// Expression parser and evaluator: turns a formula given as text, such as
// "(2/3)*(-0.5894)*(HEAV(x+(2*Pi))-HEAV(x+(Pi/2)))+...", into a list of evaluation steps once,
// then evaluates that list quickly for many values of its variables.
//
// Typical use (the piB detection):
//     TExprParser parser;
//     parser.SetExpression(text);         // parses; raises an EMathParserError on a bad text
//     for (...) { parser.X = x; value = parser.Value(); }
//
// Syntax. The text is upper-cased and may have blanks only before and after. Numbers are written
// 2, -2, 1.5, 2E+3 (the point is the decimal separator; see PointNumberFormat); PI and -PI are π
// and −π. Variables A, B, C, D, E, X, Y, T (E is a variable, not Euler's number). Operators from
// loosest to tightest: "+" and "-" (left to right), "*", then "/", "DIV" and "MOD" (left to
// right), then "^", which does not chain without brackets (X^2^2 is an error, (X^2)^2 is not).
// A leading minus negates what follows and binds looser than "^": -X^2 is −(X²); a negation may
// stand alone or as the left operand of "+", "-", "*", "/", DIV and MOD, so -X-Y is an error
// while -X+Y and (-X)-Y are not. X^-2 is a power with the number -2. Functions of one argument:
// SIN COS TAN COTAN ARCTAN SINH COSH EXP LN LOG10 LOG2 SQR SQRT ABS TRUNC INT CEIL FLOOR HEAV SIGN
// ZERO PH RND RANDOM; of two arguments, separated by ",": MAX MIN ARG POWER INTPOWER LOGN.
//
// Evaluation never raises: a math error (division by zero, logarithm of a non-positive value,
// overflow, integer arguments beyond 64 bits, ...) stops the evaluation and sets CalcError.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "expr/uExprSteps.h"
#include "expr/uExprTerms.h"
#include "support/uExceptions.h"

namespace vantrel {

// Base of every error raised while an expression text is parsed.
class EMathParserError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "EMathParserError"; }
};

// A piece of the text is of no known kind: "Error parsing expression:\r<term>", or
// "Error parsing expression:\r<left>\r<right>" with the operand texts of the last split tried.
class ESyntaxError : public EMathParserError {
  public:
    using EMathParserError::EMathParserError;
    const char* ClassName() const override { return "ESyntaxError"; }
};

// A blank inside the trimmed text.
class EExpressionHasBlanks : public EMathParserError {
  public:
    EExpressionHasBlanks() : EMathParserError("Expression has blanks") {}
    const char* ClassName() const override { return "EExpressionHasBlanks"; }
};

// More than 50 operations at one nesting level, or a text too large to examine.
class EExpressionTooComplex : public EMathParserError {
  public:
    EExpressionTooComplex() : EMathParserError("Expression is too complex") {}
    const char* ClassName() const override { return "EExpressionTooComplex"; }
};

// More than 20 nested operation levels.
class ETooManyNestings : public EMathParserError {
  public:
    ETooManyNestings() : EMathParserError("Expression contains too many nestings") {}
    const char* ClassName() const override { return "ETooManyNestings"; }
};

// The numbers of "(" and ")" differ.
class EMissMatchingBracket : public EMathParserError {
  public:
    EMissMatchingBracket() : EMathParserError("Missing brackets in expression") {}
    const char* ClassName() const override { return "EMissMatchingBracket"; }
};

// An inconsistent term while the steps are built; cannot happen with the built-in kinds.
class EParserInternalError : public EMathParserError {
  public:
    EParserInternalError() : EMathParserError("TParser internal error") {}
    const char* ClassName() const override { return "EParserInternalError"; }
};

class TCustomExprParser;

// Receives a parse error instead of the writer of Expression. sender: the parser; error: what
// was raised (its ClassName tells the class). The handler may raise something of its own.
using TParserErrorEvent =
    std::function<void(TCustomExprParser& sender, const EMathParserError& error)>;

// The parser without variables or functions: descendants register them. Not copyable, since the
// steps hold the addresses of the variables and of each other.
class TCustomExprParser {
  public:
    // Nested operation levels an expression may have, and operations per level.
    static constexpr int kMaxLevels = 20;
    static constexpr size_t kMaxOperationsPerLevel = 50;
    // Longer texts are rejected as too complex before they are examined.
    static constexpr size_t kMaxTextLength = 1'000'000;

    TCustomExprParser() = default;
    virtual ~TCustomExprParser() = default;
    TCustomExprParser(const TCustomExprParser&) = delete;
    TCustomExprParser& operator=(const TCustomExprParser&) = delete;

    // True when the last Value stopped on a math error. Changed by Value only; false initially.
    bool CalcError() const { return m_calcError; }

    // Evaluates the expression with the current variable values. 0 when there is no expression.
    // On a math error CalcError is set and the result is the destination of the step after the
    // failing one (the failing step itself when it is the last), left from an earlier evaluation
    // or 0 before the first complete one.
    long double Value();

    // The formula text as written. Writing it drops the old steps and, unless the text is empty,
    // parses it: on success the steps are ready; on failure there are no steps, ParseError is
    // true and an EMathParserError descendant is raised, or handed to OnParserError when set.
    const std::string& Expression() const { return m_expression; }
    void SetExpression(const std::string& text);

    // True after a write of Expression that failed to parse; false after any other write.
    bool ParseError() const { return m_parseError; }

    // true (default): numbers use a point as decimal separator. false: the decimal separator of
    // the process's current C locale. Takes effect at the next write of Expression.
    bool PointNumberFormat() const { return m_pointNumberFormat; }
    void SetPointNumberFormat(bool value) { m_pointNumberFormat = value; }

    // When set, parse errors go to this handler and the write of Expression returns normally.
    const TParserErrorEvent& OnParserError() const { return m_onParserError; }
    void SetOnParserError(TParserErrorEvent handler) { m_onParserError = std::move(handler); }

  protected:
    // Registers a variable that expressions read by address; the storage must outlive the
    // parser. The name is matched without regard to case; a name already registered is ignored.
    void AddVariable(std::string_view name, long double* address);
    // Registers a function; its routine reads *Arg1 (and *Arg2). A name registered twice in the
    // same table raises EInvalidOperation.
    void AddFunctionOne(std::string_view name, TMathProc proc);
    void AddFunctionTwo(std::string_view name, TMathProc proc);

  private:
    void Parse(const std::string& text);
    void ClearOperations();

    bool m_parseError = false;
    TNameTable<long double*> m_variables;
    // The steps in the order they were created; m_firstStep starts the chain that Value runs.
    std::vector<std::unique_ptr<TOperationRecord>> m_operations;
    TOperationRecord* m_firstStep = nullptr;
    std::deque<long double> m_numbers;  // values of the number literals, at fixed addresses
    std::string m_expression;
    bool m_calcError = false;
    bool m_pointNumberFormat = true;
    TParserErrorEvent m_onParserError;
    TNameTable<TMathProc> m_functionsOne;
    TNameTable<TMathProc> m_functionsTwo;
};

// The parser with the variables A, B, C, D, E, X, Y, T and the built-in functions.
class TExprParser : public TCustomExprParser {
  public:
    TExprParser();

    // The variables of the expression, 0 after construction. Write them at any time; the next
    // Value reads them without parsing again.
    long double A = 0;
    long double B = 0;
    long double C = 0;
    long double D = 0;
    long double E = 0;
    long double X = 0;
    long double Y = 0;
    long double T = 0;
};

}  // namespace vantrel
