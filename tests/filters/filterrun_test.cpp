// The filterrun tool, run as a user would: settings on the command line, numbers on stdin.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "filters/uFilter.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
    int exitCode = -1;
    std::vector<double> values;
    std::string output;
    std::string errors;
};

class FilterRun : public ::testing::Test {
  protected:
    void SetUp() override {
        directory_ = fs::temp_directory_path() /
                     ("filterrun_test_" + std::to_string(::getpid()) + "_" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(directory_);
    }
    void TearDown() override { fs::remove_all(directory_); }

    RunResult Run(const std::string& arguments, const std::vector<std::string>& input) {
        const fs::path in = directory_ / "in.txt", out = directory_ / "out.txt",
                       err = directory_ / "err.txt";
        {
            std::ofstream file(in);
            for (const std::string& line : input)
                file << line << "\n";
        }
        // An argument list that redirects the output itself keeps its redirection.
        const bool redirected = arguments.find('>') != std::string::npos;
        const std::string command = std::string(VANTREL_TOOLS_DIR) + "/filterrun " + arguments +
                                    " < " + in.string() + (redirected ? "" : " > " + out.string()) +
                                    " 2> " + err.string();
        const int status = std::system(command.c_str());
        RunResult result;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::stringstream text;
        text << std::ifstream(out).rdbuf();
        result.output = text.str();
        for (double value; text >> value;)
            result.values.push_back(value);
        std::stringstream errors;
        errors << std::ifstream(err).rdbuf();
        result.errors = errors.str();
        return result;
    }

  private:
    fs::path directory_;
};

TEST_F(FilterRun, DUEStepResponse) {
    const RunResult r = Run("DUE 100 1 1", {"1", "1", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    ASSERT_EQ(r.values.size(), 3u);
    EXPECT_DOUBLE_EQ(r.values[0], 0.005 + 1 / (2 * 100 * std::tan(std::numbers::pi / 100)));
    EXPECT_DOUBLE_EQ(r.values[1], 0.01);
    EXPECT_DOUBLE_EQ(r.values[2], 0.01);
}

TEST_F(FilterRun, BlocksGiveTheSameOutputAsOneBlock) {
    std::vector<std::string> input;
    for (int n = 0; n < 50; ++n)
        input.push_back(std::to_string((n * 37) % 23 - 11));
    const RunResult whole = Run("se 56 8 0.5 10 3 --no-input-terms --weight 0.5", input);
    const RunResult blocks = Run("SE 56 8 0.5 10 3 --block 7 --no-input-terms --weight 0.5", input);
    ASSERT_EQ(whole.exitCode, 0) << whole.errors;
    ASSERT_EQ(whole.values.size(), 50u);
    EXPECT_EQ(blocks.values, whole.values);  // 17 digits: the doubles themselves
}

TEST_F(FilterRun, WeightOneEmitsThePreviousFullOutput) {
    const std::vector<std::string> input = {"3", "-1", "4", "1", "-5"};
    const RunResult full = Run("BP12 100 1 0.5 20", input);
    const RunResult previous = Run("BP12 100 1 0.5 20 --no-input-terms --weight 1", input);
    ASSERT_EQ(previous.values.size(), 5u);
    EXPECT_EQ(previous.values[0], 0);
    for (size_t n = 1; n < 5; ++n)
        EXPECT_EQ(previous.values[n], full.values[n - 1]);
}

TEST_F(FilterRun, NegativeNumbersAreSettings) {
    const RunResult r = Run("ABS 100 -2", {"-3", "0.5"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_EQ(r.values, (std::vector<double>{6, 1}));
}

TEST_F(FilterRun, InitOnFirstStartsInTheSteadyState) {
    const RunResult r = Run("LP05NS 100 1 10 0.1 --init-on-first", {"50", "50"});
    EXPECT_EQ(r.values, (std::vector<double>{50, 50}));
}

TEST_F(FilterRun, ErrorsExitWithTwo) {
    // The settings check runs before any sample; the message names the filter as typed, the
    // setting by its name and the value.
    const RunResult setting = Run("se 56 8 1 29 3", {"1"});
    EXPECT_EQ(setting.exitCode, 2);
    EXPECT_NE(setting.errors.find("se setting 4 \"Center frequency\" = 29 Hz is out of range"),
              std::string::npos)
        << setting.errors;
    EXPECT_TRUE(setting.values.empty());
    const RunResult median = Run("MEDIAN 10 7000", {"1"});
    EXPECT_EQ(median.exitCode, 2);
    EXPECT_NE(median.errors.find("MEDIAN setting 2 \"Seconds to look back (s)\" = 7000"),
              std::string::npos)
        << median.errors;

    const RunResult unknown = Run("DUE2008 56 1 1", {"1"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.errors.find("DUE2008"), std::string::npos);

    EXPECT_EQ(Run("LP 100 1 5 6", {"1"}).exitCode, 2);             // too many settings
    EXPECT_EQ(Run("MEDIAN 5 1 --weight 0.5", {"1"}).exitCode, 2);  // not recursive
    EXPECT_EQ(Run("LP 100 1 5 --block 0", {"1"}).exitCode, 2);
    EXPECT_EQ(Run("LP 100 1 5 --frobnicate", {"1"}).exitCode, 2);
    EXPECT_EQ(Run("LP 100 1 5", {"1", "x"}).exitCode, 1);
}

TEST_F(FilterRun, BehavesLikeAUnixTool) {
    struct Case {
        std::string arguments;
        int exitCode;
        std::string inOutput;  // expected in standard output (or empty)
        std::string inErrors;  // expected in standard error (or empty)
    };
    const Case cases[] = {
        {"--help", 0, "usage: filterrun", ""},
        {"-h", 0, "usage: filterrun", ""},
        {"LP 100 1 5 --frobnicate", 2, "", "'--frobnicate'"},
        {"LP 100 1 5 --block 1e99", 2, "", "'1e99'"},
        {"LP 100 1 5 > /dev/full", 3, "", "cannot write the output"},
    };
    for (const Case& c : cases) {
        const RunResult r = Run(c.arguments, {"1", "2"});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.arguments << ": " << r.errors;
        EXPECT_NE(r.output.find(c.inOutput), std::string::npos) << c.arguments;
        EXPECT_NE(r.errors.find(c.inErrors), std::string::npos) << c.arguments << ": " << r.errors;
    }
}

TEST_F(FilterRun, HelpListsEveryFilterWithItsSettingsAndUnits) {
    const std::string help = Run("--help", {}).output;
    for (const std::string_view name : vantrel::FilterTypeNames) {
        const auto filter = vantrel::CreateFilter(name);
        std::string expected = "  " + std::string(name) + "  " + filter->GetDescription() + "\n";
        for (int32_t i = 1; i <= filter->GetSettingCount(); ++i) {
            const std::string unit = filter->GetSettingUnit(i);
            expected += "      " + std::to_string(i) + " " + filter->GetSettingName(i) +
                        (unit.empty() ? "" : " (" + unit + ")") + "\n";
        }
        EXPECT_NE(help.find(expected), std::string::npos) << expected;
    }
    EXPECT_NE(help.find("      2 Seconds to look back (s)\n"), std::string::npos);
}

}  // namespace
