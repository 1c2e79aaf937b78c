// exprcalc EXPRESSION [X ...]: parses the expression once and prints its value for each X given
// (X = 0 when none is given), with 17 significant digits, followed by " CalcError" when the
// evaluation stopped on a math error. A parse error prints the parser's message (its carriage
// returns shown as line breaks). --help or -h prints the usage.
//
// Exit status: see uToolCommon.h (0 done, 2 an expression that does not parse, an X that is not
// a number or an unknown option, 3 the output could not be written).
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "expr/uExprParser.h"
#include "tools/uToolCommon.h"

namespace {

using namespace vantrel::tool;

constexpr const char* kTool = "exprcalc";

constexpr const char* kHelp =
    "usage: exprcalc EXPRESSION [X ...]\n"
    "       exprcalc --help | -h\n"
    "Prints the value of EXPRESSION for each X (X = 0 when none is given), one per line with\n"
    "17 significant digits; \" CalcError\" follows a value whose evaluation hit a math error.\n"
    "Exit status: 0 done, 2 wrong usage (an expression that does not parse, an X that is not a\n"
    "number), 3 the output could not be written.\n";

bool ReadX(const char* text, long double& value) {
    const char* first = text[0] == '+' ? text + 1 : text;
    const char* last = text + std::strlen(text);
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    return first != last && error == std::errc() && end == last;
}

std::string ValueLine(vantrel::TExprParser& parser) {
    const long double value = parser.Value();  // sets CalcError
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%.17Lg%s\n", value,
                  parser.CalcError() ? " CalcError" : "");
    return buffer;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (std::any_of(args.begin(), args.end(), IsHelpOption)) {
        if (!WriteOut(kHelp)) return OutputError(kTool, errno);
        return Finish(kTool, kExitDone);
    }
    for (const std::string& arg : args)
        if (arg.rfind("--", 0) == 0) return UsageError(kTool, "unknown option '" + arg + "'");
    if (args.empty()) return UsageError(kTool, "no EXPRESSION given");

    std::vector<long double> xs;
    for (size_t i = 1; i < args.size(); ++i) {
        long double x = 0;
        if (!ReadX(args[i].c_str(), x))
            return UsageError(
                kTool, "X value \"" + args[i] + "\" is not a number; write it like -1.5 or 2E-3");
        xs.push_back(x);
    }
    if (xs.empty()) xs.push_back(0);

    vantrel::TExprParser parser;
    try {
        parser.SetExpression(args[0]);
    } catch (const vantrel::EMathParserError& error) {
        std::string message = error.Message();
        std::replace(message.begin(), message.end(), '\r', '\n');
        std::fprintf(stderr, "%s\n", message.c_str());
        return kExitUsage;
    }
    for (const long double x : xs) {
        parser.X = x;
        if (!WriteOut(ValueLine(parser))) return OutputError(kTool, errno);
    }
    return Finish(kTool, kExitDone);
}
