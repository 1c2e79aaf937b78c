#include "support/udRoot.h"

#include <gtest/gtest.h>

#include "support/uDynamicArray.h"
#include "support/uExceptions.h"

namespace vantrel {
namespace {

TEST(DynamicArray, SizesFillsAndAppends) {
    TDynSmallIntArray ints{1, 2, 3};
    SetLengthAndFill(ints, 0, 7);
    EXPECT_TRUE(ints.empty());
    SetLengthAndFill(ints, 4, -5);
    EXPECT_EQ(ints, (TDynSmallIntArray{-5, -5, -5, -5}));
    FillSmallIntArray(ints, 9);
    EXPECT_EQ(ints, (TDynSmallIntArray{9, 9, 9, 9}));

    TDynBooleanArray flags;
    SetLengthAndFill(flags, -3, true);
    EXPECT_TRUE(flags.empty());
    SetLengthAndFill(flags, 2, true);
    EXPECT_EQ(flags, (TDynBooleanArray{true, true}));

    TDynStringArray lines;
    AppendString(lines, "first");
    EXPECT_EQ(lines, (TDynStringArray{"first"}));
}

TEST(ErrorMessage, AssignCopiesFromItsOwnKindOnly) {
    TErrorMessage source;
    source.Value = 42;
    source.Flag = 1;
    source.Lines = {"a", "b"};
    TErrorMessage target;
    target.Assign(&source);
    EXPECT_EQ(target.Value, 42);
    EXPECT_EQ(target.Flag, 1);
    EXPECT_EQ(target.Lines, source.Lines);

    TPersistent other;
    try {
        target.Assign(&other);
        FAIL() << "assigning a TPersistent must raise";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TPersistent to a TErrorMessage");
    }
    EXPECT_THROW(target.Assign(nullptr), EConvertError);
}

// Installs a scripted tick counter and message processor for one test, restores the defaults.
class DelayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetMessageProcessor([this] {
            ++passes;
            ticks += step;
        });
        SetTickCountSource([this] { return ticks; });
    }
    void TearDown() override {
        SetMessageProcessor({});
        SetTickCountSource({});
    }
    uint32_t ticks = 0;
    uint32_t step = 10;
    int passes = 0;
};

TEST_F(DelayTest, ZeroOrNegativeProcessesOnce) {
    Delay(0);
    EXPECT_EQ(passes, 1);
    Delay(-5);
    EXPECT_EQ(passes, 2);
}

TEST_F(DelayTest, WaitsUntilTheTimeHasPassed) {
    Delay(100);
    EXPECT_EQ(passes, 10);
}

TEST_F(DelayTest, SurvivesTheWrapOfTheTickCounter) {
    ticks = 0xFFFFFFFFu - 25;
    Delay(100);
    EXPECT_GE(passes, 10);
    EXPECT_LE(passes, 11);
}

TEST(Delay, RealClockWaitsAtLeastTheTime) {
    const uint32_t start = GetTickCount32();
    Delay(30);
    EXPECT_GE(GetTickCount32() - start, 29u);
}

}  // namespace
}  // namespace vantrel
