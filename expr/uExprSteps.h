// Evaluation steps of the expression parser: the operation record that one step of a parsed
// expression is made of, and the routines that compute each kind of step.
//
// A step reads its arguments by address (a variable of the parser, a number literal, or the
// destination of an earlier step) and writes its destination. A routine that meets a math error
// (division by zero, logarithm of a non-positive value, overflow, ...) sets the step's Error byte
// and leaves the destination unchanged; it never raises and never traps, whatever the values.
#pragma once

#include <cstdint>
#include <span>

namespace vantrel {

// What a step computes. The numbers are stored in TOperationRecord::Kind.
enum class TOperationKind : uint8_t {
    Variable = 0,       // a lone variable: the step does nothing, its destination is the variable
    Number = 1,         // a lone number: the step does nothing, its destination is the literal
    Negation = 2,       // -x
    Sum = 3,            // x + y
    Difference = 4,     // x - y
    Product = 5,        // x * y
    Division = 6,       // x / y
    Modulo = 7,         // x MOD y on 64-bit integers
    IntegerDivide = 8,  // x DIV y on 64-bit integers
    IntegerPower = 9,   // x ^ n, n a whole literal other than 2, 3, 4
    RealPower = 10,     // x ^ y, x > 0
    Square = 11,        // x ^ 2
    Cube = 12,          // x ^ 3
    FourthPower = 13,   // x ^ 4
    FunctionOne = 14,   // a one-argument function such as SIN(x)
    FunctionTwo = 15,   // a two-argument function such as MAX(x,y)
};

struct TOperationRecord;

// Computes one step: reads *Arg1 (and *Arg2), writes *Dest or sets Error.
using TMathProc = void (*)(TOperationRecord& op);

// One evaluation step. Created by the parser when an expression is parsed and kept until the
// expression changes; the parser owns it.
struct TOperationRecord {
    const long double* Arg1 = nullptr;  // first (left) argument; null when the kind has none
    const long double* Arg2 = nullptr;  // second (right) argument; null when the kind has none
    long double* Dest = nullptr;        // where the result goes; normally &Result
    TOperationRecord* Next = nullptr;   // the step run after this one; null for the last step
    TMathProc Proc = nullptr;           // the routine of this step
    TOperationKind Kind = TOperationKind::Variable;
    uint8_t Error = 0;       // set to 1 by Proc on a math error; cleared before each run
    long double Result = 0;  // the step's own destination; keeps its value between evaluations
};

// Routines of the operator steps.
void StepNothing(TOperationRecord& op);
void StepNegation(TOperationRecord& op);
void StepSum(TOperationRecord& op);
void StepDifference(TOperationRecord& op);
void StepProduct(TOperationRecord& op);
void StepDivision(TOperationRecord& op);
void StepModulo(TOperationRecord& op);
void StepIntegerDivide(TOperationRecord& op);
void StepIntegerPower(TOperationRecord& op);
void StepRealPower(TOperationRecord& op);
void StepSquare(TOperationRecord& op);
void StepCube(TOperationRecord& op);
void StepFourthPower(TOperationRecord& op);

// The routine of an operator kind (not for the function kinds, whose routine comes from the
// function tables).
TMathProc OperatorProc(TOperationKind kind);

// A function routine with its name as written in an expression (upper case).
struct TNamedMathProc {
    const char* Name;
    TMathProc Proc;
};

// The built-in functions: 24 of one argument, 6 of two arguments.
std::span<const TNamedMathProc> BuiltInFunctionsOne();
std::span<const TNamedMathProc> BuiltInFunctionsTwo();

// Restarts the pseudo-random sequence of RND and RANDOM. The sequence is the same on every run
// of the program unless it is reseeded.
void SetExprRandomSeed(uint64_t seed);

}  // namespace vantrel
