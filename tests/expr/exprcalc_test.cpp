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

TEST(ExprCalc, RejectsAnXThatIsNoNumber) {
    const TRun run = RunExprCalc("X abc");
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Output.find("\"abc\" is not a number"), std::string::npos) << run.Output;
}

}  // namespace
