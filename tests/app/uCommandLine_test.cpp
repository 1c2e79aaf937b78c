// The command line without windows: what each argument list writes into the fields, which lines
// it appends and which values it sets.
#include "app/uCommandLine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/uExceptions.h"

namespace {

using vantrel::TCommandField;
using vantrel::TCommandLineValues;

const char* FieldName(TCommandField field) {
    static const char* const names[] = {"In", "Sig", "Out", "F0", "B", "Fc", "Rate", "LP", "HP"};
    return names[static_cast<int>(field)];
}

// Records every field write and line as "Field=text" or "+line".
class RecordingTarget : public vantrel::TCommandLineTarget {
  public:
    void SetField(TCommandField field, const std::string& text) override {
        Events.push_back(std::string(FieldName(field)) + "=" + text);
    }
    void AppendLine(const std::string& line) override { Events.push_back("+" + line); }
    std::vector<std::string> Events;
};

struct ParseCase {
    std::vector<std::string> Args;
    std::vector<std::string> Events;
    std::string Error;  // the conversion error that ends the parsing, if any
};

TEST(CommandLine, HandlesEachArgumentByPositionAndOption) {
    const std::vector<ParseCase> cases = {
        {{}, {}, ""},
        {{"in.edf", "2", "out.cvn", "1", "1,5", "1.80", "0.016660", "/BATCH", "/OVERWRITE"},
         {"In=in.edf", "Sig=2", "Out=out.cvn", "F0=1", "B=1.5", "Fc=1.8", "Rate=0.01666",
          "+--- BATCH mode ---", "+Overwriting existing files"},
         ""},
        // An option in positions 1 to 7 takes the position away: the file lands in Sig.
        {{"/batch", "in.edf", "1", "out.cvn"},
         {"+--- BATCH mode ---", "Sig=in.edf", "Out=1"},
         "'out.cvn' is not a valid floating point value"},
        {{"a", "1", "o", "1", "1", "1", "1", "extra", "/PrintPiB", "/bmp"},
         {"In=a", "Sig=1", "Out=o", "F0=1", "B=1", "Fc=1", "Rate=1", "+Printing PiB histogram",
          "+Exporting PiB histogram to BMP"},
         ""},
        {{"a", "1", "o", "x1", "/BATCH"},
         {"In=a", "Sig=1", "Out=o"},
         "'x1' is not a valid floating point value"},
        {{"/LP:35", "/hp:0.5"}, {"LP=35", "HP=0.5"}, ""},
        {{"/UNDERSAMPLE=abc", "/IIRBACKPOLATE=x", "--threads=-1", "/DUE=FOO"},
         {"+Invalid undersample factor", "+Invalid IIRBackpolate value (using default = 0.5)",
          "+Invalid thread count (using one per core)",
          "+Unknown DU/E filter \"FOO\" (keeping DUE; use DUE, DUE1987 or DUE2007)"},
         ""},
        // Linux: "-" and "--" forms; a "/" word that is no option and does not look like a
        // path is ignored with a line but keeps its position; a path with a further "/" or a
        // "." and a negative number are positional.
        {{"/data/in.edf", "/nosuchoption", "--overwrite", "-5", "--lp:35", "-BATCH"},
         {"In=/data/in.edf", "+Unknown option /nosuchoption ignored", "+Overwriting existing files",
          "F0=-5", "LP=35", "+--- BATCH mode ---"},
         ""},
        {{"/tmp", "1"}, {"In=/tmp", "Sig=1"}, ""},
        {{"/nonexist.edf", "1", "/o2.cvn"}, {"In=/nonexist.edf", "Sig=1", "Out=/o2.cvn"}, ""},
    };
    for (const ParseCase& c : cases) {
        RecordingTarget target;
        TCommandLineValues values;
        std::string error;
        try {
            EXPECT_EQ(vantrel::ParseCommandLine(c.Args, target, values),
                      vantrel::TParseOutcome::Completed);
        } catch (const vantrel::EConvertError& e) {
            error = e.what();
        }
        EXPECT_EQ(target.Events, c.Events) << c.Args.size() << " args";
        EXPECT_EQ(error, c.Error);
    }
}

TEST(CommandLine, SetsFlagsAndEngineSettings) {
    RecordingTarget target;
    TCommandLineValues values;
    vantrel::ParseCommandLine(
        {"/Batch", "/OVERWRITE", "/printpib", "/BMP", "/UNDERSAMPLE= 3 ", "/XPIBPLUS=1.5",
         "/XPIBMINUS=-5", "/XPIBZERO=12", "/IIRBACKPOLATE=0,3", "/IIRBACKPOLATE=bad",
         "/DUE=due2007", "--threads=1"},
        target, values);
    EXPECT_TRUE(values.BatchMode && values.OverwriteOutput && values.PrintPiB && values.ExportBmp);
    EXPECT_EQ(values.UndersamplingFactor, 3);
    EXPECT_EQ(values.XPiBPlus, 9);  // a non-integer is ignored without a message
    EXPECT_EQ(values.XPiBMinus, -5);
    EXPECT_EQ(values.XPiBZero, 12);
    EXPECT_EQ(values.IIRBackpolate, 0.3);  // the later bad value keeps it, with a warning
    EXPECT_EQ(values.DUEFilterName, "DUE2007");
    EXPECT_EQ(values.AnalysisThreads, 1);

    vantrel::ParseCommandLine({"/UNDERSAMPLE=0"}, target, values);
    EXPECT_EQ(values.UndersamplingFactor, 0);  // 0 restores the automatic choice
}

TEST(CommandLine, UsageAndBatchAreFoundWherever) {
    const std::vector<std::string> help = {"a", "/?", "/BATCH"};
    RecordingTarget target;
    TCommandLineValues values;
    EXPECT_EQ(vantrel::ParseCommandLine(help, target, values), vantrel::TParseOutcome::Usage);
    EXPECT_FALSE(values.BatchMode);  // later arguments are not looked at
    EXPECT_TRUE(vantrel::HasBatchOption(help));
    for (const char* arg : {"/?", "-h", "--help", "--?"})
        EXPECT_TRUE(vantrel::HasUsageOption({arg})) << arg;
    EXPECT_FALSE(vantrel::HasUsageOption({"/h"}));  // could be a path
    EXPECT_FALSE(vantrel::HasBatchOption({"in.edf", "/BATCHES", "batch"}));
    EXPECT_TRUE(vantrel::IsSignalListRequest({"--signals", "x.edf"}));
    EXPECT_TRUE(vantrel::IsSignalListRequest({"/SIGNALS"}));
    EXPECT_FALSE(vantrel::IsSignalListRequest({"x.edf", "--signals"}));

    const std::string usage = vantrel::UsageText();
    EXPECT_EQ(usage.substr(0, 21), "Program parameters:\n\n");
    EXPECT_NE(usage.find("\nF0       = centre frequency (Hz)\nB        = bandwidth (Hz)\n"
                         "Fc       = physiological low-pass cut-off (Hz)\n"
                         "Rate     = smoother update rate (1/s)\n"),
              std::string::npos);
    EXPECT_EQ(usage.substr(usage.size() - 50),
              "/DUE=           = DU/E filter (DUE1987 or DUE2007)");
}

// Position 4 reads a file only when it is no number, and says so.
TEST(CommandLine, ReadsF0FromATextFileOnlyWhenPositionFourIsNoNumber) {
    const auto dir = std::filesystem::temp_directory_path() / "vantrel_f0_test";
    std::filesystem::create_directories(dir);
    const struct {
        const char* Name;
        const char* Content;
        std::vector<std::string> Events;  // after In, Sig and Out
    } cases[] = {
        {"f0.txt", "0.85\n", {"+F0 read from file \"f0.txt\": 0.85", "F0=0.85"}},
        {"f0.txt",
         "\xEF\xBB\xBF"
         "F0 = 1.250 Hz",
         {"+F0 read from file \"f0.txt\": 1.25", "F0=1.25"}},
        {"f0.txt", "no number", {"+F0 file \"f0.txt\" holds no number", "F0="}},
        // A stray file named like a number (left by a shell typo "2>1") never changes F0.
        {"1", "Undersampling = 2 (50Hz)", {"F0=1"}},
    };
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    for (const auto& c : cases) {
        std::ofstream(c.Name) << c.Content;
        RecordingTarget target;
        TCommandLineValues values;
        vantrel::ParseCommandLine({"a", "1", "o", c.Name}, target, values);
        const std::vector<std::string> events(target.Events.begin() + 3, target.Events.end());
        EXPECT_EQ(events, c.Events) << c.Name << ": " << c.Content;
        std::filesystem::remove(c.Name);
    }
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
}

}  // namespace

namespace {

// Argument lists drawn from the pieces the parser looks at: it must handle each without a crash
// and raise nothing but a conversion error, and the flags must follow the options it saw.
TEST(CommandLine, FuzzedArgumentListsRaiseOnlyConversionErrors) {
    const std::vector<std::string> pieces = {"/",
                                             "-",
                                             "--",
                                             "/BATCH",
                                             "/batch",
                                             "/LP:",
                                             "/HP:",
                                             "/UNDERSAMPLE=",
                                             "/XPIBPLUS=",
                                             "/DUE=",
                                             "/IIRBACKPOLATE=",
                                             "=",
                                             ":",
                                             "1",
                                             "-3",
                                             "1,5",
                                             "1.5e3",
                                             "x",
                                             "/tmp",
                                             "/?",
                                             "",
                                             " ",
                                             "\xC3\xA9",
                                             "\xFF",
                                             "2147483648",
                                             "/dev/null",
                                             "HZ",
                                             "DUE2007"};
    uint32_t state = 12345;
    auto next = [&state](uint32_t n) {
        state = state * 1664525u + 1013904223u;  // a fixed sequence: the same lists every run
        return (state >> 8) % n;
    };
    for (int list = 0; list < 3000; ++list) {
        std::vector<std::string> args(next(12));
        for (std::string& arg : args)
            for (uint32_t k = next(4); k-- > 0;)
                arg += pieces[next(pieces.size())];
        RecordingTarget target;
        TCommandLineValues values;
        try {
            const auto outcome = vantrel::ParseCommandLine(args, target, values);
            if (outcome == vantrel::TParseOutcome::Completed) {
                EXPECT_EQ(values.BatchMode, vantrel::HasBatchOption(args));
            }
        } catch (const vantrel::EConvertError&) {
        }
    }
}

}  // namespace
