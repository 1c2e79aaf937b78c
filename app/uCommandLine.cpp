// The command line of vantrel4: option forms, ParseCommandLine, the usage text, the F0 file.
#include "app/uCommandLine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "support/udStr.h"

namespace vantrel {

namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 6> kFlagOptions = {"/?",        "/BATCH", "/OVERWRITE",
                                                     "/PRINTPIB", "/BMP",   "/PNG"};
constexpr std::array<const char*, 12> kValueOptions = {
    "/LP:",        "/HP:",        "/UNDERSAMPLE=",   "/XPIBPLUS=",
    "/XPIBMINUS=", "/XPIBZERO=",  "/IIRBACKPOLATE=", "/DUE=",
    "/THREADS=",   "/HYPNOGRAM:", "/HYPNOGRAM=",     "/EPOCH="};

constexpr std::size_t kF0FileReadLimit = 64 * 1024;

std::string UpperAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : char(c); });
    return text;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

bool IsKnownOption(const std::string& upper) {
    for (const char* flag : kFlagOptions)
        if (upper == flag) return true;
    for (const char* prefix : kValueOptions)
        if (StartsWith(upper, prefix)) return true;
    return false;
}

// Removes everything up to and including the first "=".
std::string AfterEquals(const std::string& s) {
    const std::size_t equals = s.find('=');
    return equals == std::string::npos ? std::string() : s.substr(equals + 1);
}

std::string NormalisedNumber(const std::string& arg) {
    return FloatToStr(StrToFloatGuess(arg, true));
}

// Position 4: a number is F0 itself; only a text that is no number may name a file holding F0.
// A stray file named like a number (a shell typo such as "2>1" leaves one named "1") must never
// change what a number means, and the log says where F0 came from.
void HandleF0(const std::string& arg, TCommandLineTarget& target) {
    double value = 0;
    std::error_code ec;
    if (TryStrToFloatGuess(arg, true, value) || !fs::is_regular_file(arg, ec)) {
        target.SetField(TCommandField::F0, NormalisedNumber(arg));
        return;
    }
    const std::string f0 = ReadF0File(arg);
    if (f0.empty())
        target.AppendLine("F0 file \"" + arg + "\" holds no number");
    else
        target.AppendLine("F0 read from file \"" + arg + "\": " + f0);
    target.SetField(TCommandField::F0, f0);
}

void HandlePositional(int position, const std::string& arg, TCommandLineTarget& target) {
    switch (position) {
        case 1:
            target.SetField(TCommandField::InputFile, arg);
            break;
        case 2:
            target.SetField(TCommandField::SignalNumber, arg);
            break;
        case 3:
            target.SetField(TCommandField::OutputFile, arg);
            break;
        case 4:
            HandleF0(arg, target);
            break;
        case 5:
            target.SetField(TCommandField::B, NormalisedNumber(arg));
            break;
        case 6:
            target.SetField(TCommandField::Fc, NormalisedNumber(arg));
            break;
        case 7:
            target.SetField(TCommandField::Rate, NormalisedNumber(arg));
            break;
        default:
            break;  // positions 8 and later mean nothing
    }
}

// The value of a file option as typed: the option's name is matched in any letter case, the
// file name keeps its own ("--hypnogram=Night1.TSV" gives "Night1.TSV").
std::string ValueAsTyped(const std::string& arg) {
    const std::size_t at = arg.find_first_of(":=");
    return at == std::string::npos ? std::string() : arg.substr(at + 1);
}

// The tests of one option, one after another: a test that handles the option empties s so that
// no later test matches. `typed` is the argument as it was typed.
void HandleOption(std::string s, const std::string& typed, TCommandLineTarget& target,
                  TCommandLineValues& values) {
    if (StartsWith(s, "/HYPNOGRAM:") || StartsWith(s, "/HYPNOGRAM=")) {
        values.Hypnogram = ValueAsTyped(typed);
        return;
    }
    if (StartsWith(s, "/EPOCH=")) {
        double seconds = 0;
        if (TryStrToFloatGuess(AfterEquals(s), true, seconds) && seconds > 0 &&
            std::isfinite(seconds))
            values.EpochSeconds = seconds;
        else
            target.AppendLine("Invalid epoch length " + AfterEquals(s) + " (using " +
                              FloatToStr(values.EpochSeconds) + " s)");
        return;
    }
    struct TFlag {
        const char* Option;
        bool TCommandLineValues::*Flag;
        const char* Line;
    };
    static const std::array<TFlag, 5> flags = {{
        {"/BATCH", &TCommandLineValues::BatchMode, "--- BATCH mode ---"},
        {"/OVERWRITE", &TCommandLineValues::OverwriteOutput, "Overwriting existing files"},
        {"/PRINTPIB", &TCommandLineValues::PrintPiB, "Printing PiB histogram"},
        {"/BMP", &TCommandLineValues::ExportBmp, "Exporting PiB histogram to BMP"},
        {"/PNG", &TCommandLineValues::Picture, "Drawing the night's picture"},
    }};
    for (const TFlag& flag : flags) {
        if (s == flag.Option) {
            values.*flag.Flag = true;
            target.AppendLine(flag.Line);
            s.clear();
        }
    }
    if (Contains(s, "/LP:")) {
        target.SetField(TCommandField::LP, s.substr(4));
        s.clear();
    }
    if (Contains(s, "/HP:")) {
        target.SetField(TCommandField::HP, s.substr(4));
        s.clear();
    }
    if (Contains(s, "/UNDERSAMPLE=")) {
        s = AfterEquals(s);
        if (IsInt32Text(s))
            values.UndersamplingFactor = StrToInt32Or0(s);
        else
            target.AppendLine("Invalid undersample factor");
    }
    const std::array<std::pair<const char*, int32_t TCommandLineValues::*>, 3> thresholds = {{
        {"/XPIBPLUS=", &TCommandLineValues::XPiBPlus},
        {"/XPIBMINUS=", &TCommandLineValues::XPiBMinus},
        {"/XPIBZERO=", &TCommandLineValues::XPiBZero},
    }};
    for (const auto& [option, member] : thresholds) {
        if (Contains(s, option)) {
            s = AfterEquals(s);
            if (IsInt32Text(s)) values.*member = StrToInt32Or0(s);
        }
    }
    if (Contains(s, "/IIRBACKPOLATE=")) {
        s = AfterEquals(s);
        double value = 0;
        if (TryStrToFloatGuess(s, true, value))
            values.IIRBackpolate = value;
        else
            target.AppendLine("Invalid IIRBackpolate value (using default = 0.5)");
    }
    if (Contains(s, "/THREADS=")) {
        s = AfterEquals(s);
        if (IsInt32Text(s) && StrToInt32Or0(s) >= 0)
            values.AnalysisThreads = StrToInt32Or0(s);
        else
            target.AppendLine("Invalid thread count (using one per core)");
        s.clear();
    }
    if (Contains(s, "/DUE=")) {
        s = AfterEquals(s);
        if (s == "DUE" || s == "DUE1987" || s == "DUE2007")
            values.DUEFilterName = s;
        else
            target.AppendLine("Unknown DU/E filter \"" + s + "\" (keeping " + values.DUEFilterName +
                              "; use DUE, DUE1987 or DUE2007)");
    }
}

}  // namespace

std::optional<std::string> OptionForm(const std::string& arg) {
    std::string body;
    bool dashed = false;
    if (StartsWith(arg, "--")) {
        body = arg.substr(2);
        dashed = true;
    } else if (StartsWith(arg, "-")) {
        body = arg.substr(1);
        dashed = true;
    } else if (StartsWith(arg, "/")) {
        body = arg.substr(1);
    } else {
        return std::nullopt;
    }
    const std::string upper = "/" + UpperAscii(body);
    if (dashed && (upper == "/H" || upper == "/HELP")) return std::string("/?");
    if (IsKnownOption(upper)) return upper;
    return std::nullopt;
}

bool IsIgnoredArgument(const std::string& arg) {
    if (!StartsWith(arg, "/") || OptionForm(arg)) return false;
    std::error_code ec;
    const bool looksLikePath = arg.find('/', 1) != std::string::npos ||
                               arg.find('.') != std::string::npos || fs::exists(arg, ec);
    return !looksLikePath;
}

std::string PositionalArgument(const std::vector<std::string>& args, int position) {
    if (position < 1 || static_cast<std::size_t>(position) > args.size()) return {};
    const std::string& arg = args[static_cast<std::size_t>(position) - 1];
    if (OptionForm(arg) || IsIgnoredArgument(arg)) return {};
    return arg;
}

bool HasBatchOption(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& arg) { return OptionForm(arg) == "/BATCH"; });
}

bool HasUsageOption(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& arg) { return OptionForm(arg) == "/?"; });
}

bool IsSignalListRequest(const std::vector<std::string>& args) {
    if (args.empty()) return false;
    const std::string upper = UpperAscii(args.front());
    return upper == "--SIGNALS" || upper == "-SIGNALS" || upper == "/SIGNALS";
}

namespace {

bool IsCheckArgument(const std::string& arg) {
    const std::string upper = UpperAscii(arg);
    return upper == "--CHECK" || upper == "-CHECK" || upper == "/CHECK";
}

}  // namespace

bool IsCheckRequest(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(), IsCheckArgument);
}

std::vector<std::string> WithoutCheckRequest(const std::vector<std::string>& args) {
    std::vector<std::string> rest;
    std::copy_if(args.begin(), args.end(), std::back_inserter(rest),
                 [](const std::string& arg) { return !IsCheckArgument(arg); });
    return rest;
}

bool IsVersionRequest(const std::vector<std::string>& args) {
    if (args.empty()) return false;
    const std::string upper = UpperAscii(args.front());
    return upper == "--VERSION" || upper == "-VERSION" || upper == "/VERSION";
}

TParseOutcome ParseCommandLine(const std::vector<std::string>& args, TCommandLineTarget& target,
                               TCommandLineValues& values) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const int position = static_cast<int>(i) + 1;
        const std::optional<std::string> option = OptionForm(arg);
        if (!option) {
            if (IsIgnoredArgument(arg))
                target.AppendLine("Unknown option " + arg + " ignored");
            else
                HandlePositional(position, arg, target);
            continue;
        }
        if (*option == "/?") return TParseOutcome::Usage;
        HandleOption(*option, arg, target, values);
    }
    return TParseOutcome::Completed;
}

std::string UsageText() {
    static const char* const lines[] = {
        "Program parameters:",
        "",
        "VANTREL4 EDFFile SignalNr OutFile F0 B Fc Rate [/OPTION]",
        "",
        "EDFFile  = EDF inputfile",
        "SignalNr = signal to be analysed (1=first signal)",
        "OutFile  = filename of results file",
        "F0       = centre frequency (Hz)",
        "B        = bandwidth (Hz)",
        "Fc       = physiological low-pass cut-off (Hz)",
        "Rate     = smoother update rate (1/s)",
        "",
        "Options:",
        "/Batch          = for batch processing, no user interaction",
        "/Overwrite      = overwrite results file",
        "/PrintPiB       = print PiB histogram using default printer",
        "/BMP            = export PiB histogram to OutFile.BMP",
        "/LP:            = set LP filter value",
        "/HP:            = set HP filter value",
        "/Undersample=   = force undersample value",
        "/XPiBPlus=      = override XpiBPlus default value",
        "/XPiBMinus=     = override XpiBMinus default value",
        "/XPiBZero=      = override XpiBZero default value",
        "/IIRBackpolate= = backpolate value for SE filter",
        "/Threads=       = threads for the piB match curve (0 = one per core)",
        "/PNG            = draw the night's picture to OutFile.png",
        "/Hypnogram:     = sleep stages for the statistics (EDF+, TSV or text)",
        "/Epoch=         = epoch length (s) of a plain-text hypnogram (30)",
        "/DUE=           = DU/E filter (DUE1987 or DUE2007)",
    };
    std::string text = lines[0];
    for (std::size_t i = 1; i < std::size(lines); ++i)
        text += std::string("\n") + lines[i];
    return text;
}

void PrintUsage() {
    std::fputs((UsageText() + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::string ReadF0File(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) return {};
    std::string content(kF0FileReadLimit, '\0');
    file.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(file.gcount()));
    // A text editor may have put a UTF-8 byte order mark in front of the number.
    if (content.rfind("\xEF\xBB\xBF", 0) == 0) content.erase(0, 3);
    std::istringstream words(content);
    std::string word;
    while (words >> word) {
        double value = 0;
        if (TryStrToFloatSep(word, '.', '\0', value)) return FloatToStr(value);
    }
    return {};
}

}  // namespace vantrel
