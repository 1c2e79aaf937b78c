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

namespace {

namespace fs = std::filesystem;

struct RunResult {
    int exitCode = -1;
    std::vector<double> values;
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
        const std::string command = std::string(VANTREL_TOOLS_DIR) + "/filterrun " + arguments +
                                    " < " + in.string() + " > " + out.string() + " 2> " +
                                    err.string();
        const int status = std::system(command.c_str());
        RunResult result;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream output(out);
        for (double value; output >> value;)
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
    const RunResult setting = Run("SE 56 8 1 29 3", {"1"});
    EXPECT_EQ(setting.exitCode, 2);
    EXPECT_NE(setting.errors.find("TSEFilter: Filter setting 4 out of range"), std::string::npos)
        << setting.errors;
    EXPECT_TRUE(setting.values.empty());

    const RunResult unknown = Run("DUE2008 56 1 1", {"1"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.errors.find("DUE2008"), std::string::npos);

    EXPECT_EQ(Run("LP 100 1 5 6", {"1"}).exitCode, 2);             // too many settings
    EXPECT_EQ(Run("MEDIAN 5 1 --weight 0.5", {"1"}).exitCode, 2);  // not recursive
    EXPECT_EQ(Run("LP 100 1 5 --block 0", {"1"}).exitCode, 2);
    EXPECT_EQ(Run("LP 100 1 5 --frobnicate", {"1"}).exitCode, 2);
    EXPECT_EQ(Run("LP 100 1 5", {"1", "x"}).exitCode, 1);
}

}  // namespace
