// The command line of vantrel4, without any window: which arguments are options, what each
// argument does, the usage text. The main window applies the result through TCommandLineTarget,
// so the same code runs under the tests, the fuzzer and the real program.
//
//   vantrel4 EDFFile SignalNr OutFile F0 B Fc Rate [/OPTION ...]
//
// Positional arguments count by absolute position (1 = the first argument): an option standing
// at position 3 takes position 3 away from the results file. Options are compared in upper case
// and may be written with "/", "-" or "--" in front ("/batch", "-BATCH", "--batch"); "--help"
// and "-h" are "/?". Because Linux paths begin with "/", an argument that begins with "/" is an
// option only when it is one of the known options; otherwise it is positional when it looks
// like a path (it holds a "." or a further "/", or names an existing path), and an unknown
// option, ignored with the line "Unknown option /WORD ignored", when it does not.
//
// Example (the window implements the target):
//   TCommandLineValues values;
//   if (ParseCommandLine(args, window, values) == TParseOutcome::Usage) ... show UsageText()
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

// Process exit codes.
inline constexpr int kExitOk = 0;      // interactive end, or a batch run that completed
inline constexpr int kExitUsage = 1;   // after the usage text
inline constexpr int kExitFailed = 2;  // a batch run that did not complete
inline constexpr int kExitOutput = 3;  // a listing that could not be written (--signals, --version)

// The main window's fields that the command line writes.
enum class TCommandField { InputFile, SignalNumber, OutputFile, F0, B, Fc, Rate, LP, HP };

// What the command line sets besides the fields. Flags start false; the engine settings start
// at the engine's defaults and are copied to the engine by the caller.
struct TCommandLineValues {
    bool BatchMode = false;             // "/BATCH": no dialogs, Start pressed at once, batch log
    bool OverwriteOutput = false;       // "/OVERWRITE": an existing results file is deleted
    bool PrintPiB = false;              // "/PRINTPIB": print the piB histogram
    bool ExportBmp = false;             // "/BMP": export the piB histogram as a bitmap
    int32_t UndersamplingFactor = 0;    // "/UNDERSAMPLE=": 0 = chosen automatically
    int32_t XPiBPlus = 9;               // "/XPIBPLUS="
    int32_t XPiBMinus = -9;             // "/XPIBMINUS="
    int32_t XPiBZero = 10;              // "/XPIBZERO="
    double IIRBackpolate = 0.5;         // "/IIRBACKPOLATE="
    std::string DUEFilterName = "DUE";  // "/DUE=": DUE, DUE1987 or DUE2007
    int32_t AnalysisThreads = 0;        // "/THREADS=": 0 = one per core; cohorts run 1 each
    bool Picture = false;               // "/PNG": draw the night's picture beside the results
    std::string Hypnogram;              // "/HYPNOGRAM:FILE" or "--hypnogram=FILE", as typed
    double EpochSeconds = 30;           // "/EPOCH=s": epoch of a plain-text hypnogram
};

// Where the parsed arguments go. SetField writes a field's text and runs its change handler; an
// exception it raises ends the parsing at that argument and reaches the caller of
// ParseCommandLine, as does a number argument that cannot be read.
class TCommandLineTarget {
  public:
    virtual ~TCommandLineTarget() = default;
    virtual void SetField(TCommandField field, const std::string& text) = 0;
    virtual void AppendLine(const std::string& line) = 0;  // a progress-list line
};

enum class TParseOutcome {
    Completed,  // every argument was handled
    Usage,      // "/?" was met: show the usage and end with exit code 1; later arguments unseen
};

// Handles every argument once, in order. Raises EConvertError "'%s' is not a valid floating
// point value" for an unreadable number in positions 4 to 7. Position 4 may instead name a text
// file whose first number is F0, when it is not a number itself: the line "F0 read from file
// "<name>": <value>" then says so.
TParseOutcome ParseCommandLine(const std::vector<std::string>& args, TCommandLineTarget& target,
                               TCommandLineValues& values);

// The upper-case "/" form of an option argument ("--lp:35" gives "/LP:35"), or nothing when the
// argument is not an option: then it is positional or, for an unknown "/" word, ignored.
std::optional<std::string> OptionForm(const std::string& arg);
// An argument that begins with "/" but is no option and does not look like a path: it is
// ignored.
bool IsIgnoredArgument(const std::string& arg);
// The argument that the command line gives position `position` (1 = first), or "" when that
// argument is an option, is ignored, or is missing. Lets a run that stopped at an earlier
// argument still find its results file.
std::string PositionalArgument(const std::vector<std::string>& args, int position);

// "/BATCH" stands somewhere among the arguments (it counts wherever it stands, even after an
// argument that ends the parsing). Decides before any window exists: no splash, no dialogs.
bool HasBatchOption(const std::vector<std::string>& args);
// "/?" (or "-h", "--help") stands somewhere among the arguments.
bool HasUsageOption(const std::vector<std::string>& args);
// The first argument asks for the signal list ("--signals", "-signals" or "/SIGNALS").
bool IsSignalListRequest(const std::vector<std::string>& args);
// An argument asks for a check of the batch run that the others describe ("--check", "-check"
// or "/CHECK", in any letter case). It may stand anywhere, so that a check typed at the end never
// becomes a run; WithoutCheckRequest takes it out before the others are read, so it takes no
// position.
bool IsCheckRequest(const std::vector<std::string>& args);
std::vector<std::string> WithoutCheckRequest(const std::vector<std::string>& args);
// The first argument asks for the program's version ("--version", "-version" or "/VERSION").
bool IsVersionRequest(const std::vector<std::string>& args);

// The usage text, lines separated by single line feeds, no line feed at the end.
std::string UsageText();
// Writes the usage text and a line feed to standard output, flushed.
void PrintUsage();

// Position 4: the first number of a text file ('.' as decimal separator), formatted in the
// general format; empty when the file cannot be read or holds no number. Reads at most the
// first 64 KiB, so naming a device or a huge file cannot stall the program.
std::string ReadF0File(const std::string& fileName);

}  // namespace vantrel
