// exprcalc EXPRESSION [X ...]: parses the expression once and prints its value for each X given
// (X = 0 when none is given), with 17 significant digits, followed by " CalcError" when the
// evaluation stopped on a math error. A parse error prints the parser's message (its carriage
// returns shown as line breaks) and exits with code 2; a bad argument exits with code 1.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "expr/uExprParser.h"

namespace {

bool ReadX(const char* text, long double& value) {
    const char* first = text[0] == '+' ? text + 1 : text;
    const char* last = text + std::strlen(text);
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    return first != last && error == std::errc() && end == last;
}

void PrintValue(vantrel::TExprParser& parser) {
    const long double value = parser.Value();
    std::printf("%.17Lg%s\n", value, parser.CalcError() ? " CalcError" : "");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: exprcalc EXPRESSION [X ...]\n"
                     "  prints the value of EXPRESSION for each X (X = 0 when none is given)\n");
        return 1;
    }
    std::vector<long double> xs;
    for (int i = 2; i < argc; ++i) {
        long double x = 0;
        if (!ReadX(argv[i], x)) {
            std::fprintf(stderr,
                         "exprcalc: X value \"%s\" is not a number; write it like -1.5 or 2E-3\n",
                         argv[i]);
            return 1;
        }
        xs.push_back(x);
    }
    if (xs.empty()) xs.push_back(0);

    vantrel::TExprParser parser;
    try {
        parser.SetExpression(argv[1]);
    } catch (const vantrel::EMathParserError& error) {
        std::string message = error.Message();
        for (char& c : message) {
            if (c == '\r') c = '\n';
        }
        std::fprintf(stderr, "%s\n", message.c_str());
        return 2;
    }
    for (long double x : xs) {
        parser.X = x;
        PrintValue(parser);
    }
    return 0;
}
