// The exprcalc inspection tool, run as a person would run it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct TRun {
    std::string Output;  // standard output and standard error together
    int ExitCode = -1;
};

TRun RunExprCalc(const std::string& arguments) {
    const std::string command = std::string(VANTREL_TOOLS_DIR) + "/exprcalc " + arguments + " 2>&1";
    TRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 256> buffer{};
    while (fgets(buffer.data(), buffer.size(), pipe) != nullptr)
        run.Output += buffer.data();
    const int status = pclose(pipe);
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(ExprCalc, PrintsOneValuePerXWithCalcErrors) {
    const TRun run = RunExprCalc("'1/X' 2 0 -4");
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Output, "0.5\n0.5 CalcError\n-0.25\n");
}

TEST(ExprCalc, UsesXZeroWhenNoneIsGivenAnd17Digits) {
    EXPECT_EQ(RunExprCalc("'-pi+x'").Output, "-3.1415926535897932\n");
    EXPECT_EQ(RunExprCalc("'1/3'").Output, "0.33333333333333333\n");
}

TEST(ExprCalc, ParseErrorsPrintTheMessageAndExitWith2) {
    const TRun run = RunExprCalc("'X^2^2' 1");
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_EQ(run.Output, "Error parsing expression:\nX^2\n2\n");
    EXPECT_EQ(RunExprCalc("'(X'").Output, "Missing brackets in expression\n");
}

TEST(ExprCalc, BehavesLikeAUnixTool) {
    struct Case {
        const char* arguments;
        int exitCode;
        const char* inOutput;  // expected in standard output and error together
    };
    const Case cases[] = {
        {"--help", 0, "usage: exprcalc"},
        {"-h", 0, "usage: exprcalc"},
        {"X abc", 2, "\"abc\" is not a number"},  // an argument, not input data
        {"X --frobnicate", 2, "'--frobnicate'"},
        {"", 2, "no EXPRESSION"},
        {"X 1 > /dev/full", 3, ""},  // the message goes to /dev/full too
    };
    for (const Case& c : cases) {
        const TRun run = RunExprCalc(c.arguments);
        EXPECT_EQ(run.ExitCode, c.exitCode) << c.arguments << ": " << run.Output;
        EXPECT_NE(run.Output.find(c.inOutput), std::string::npos)
            << c.arguments << ": " << run.Output;
    }
}

}  // namespace
