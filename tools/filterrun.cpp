// filterrun: runs one filter of the factory over a column of numbers.
//
//   filterrun NAME SETTING1 SETTING2 [SETTING3 ...] [--no-input-terms] [--weight W]
//             [--init-on-first] [--block K] < input > output
//   filterrun --help | -h
//
// The filter is created by its factory name (LP, HP, DUE, SE, MEDIAN, ...) and gets the
// settings in order (1 is the sample frequency in Hz, 2 the gain, then the filter's own).
// Only words that begin with "--" (and -h) are options; every other word after the name,
// negative numbers included, is a setting. Input and output are doubles, one per line; the
// output is written with 17 significant digits. The input is read, filtered and written in
// blocks of at most K samples (default 65536), so memory stays the same whatever the input's
// length; the filter's state carries over from block to block.
//
// Exit status: see uToolCommon.h (0 done, 1 an input line is not a number, 2 wrong usage, an
// unknown filter name or a setting the filter refuses, 3 the output could not be written).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filters/uFilter.h"
#include "support/udStr.h"
#include "tools/uToolCommon.h"

namespace {

using namespace vantrel;
using namespace vantrel::tool;

constexpr const char* kTool = "filterrun";
constexpr int64_t kDefaultBlock = 65536;  // samples per block unless --block asks for fewer

struct TOptions {
    std::string name;  // as typed
    std::vector<double> settings;
    bool noInputTerms = false;
    std::optional<double> weight;
    bool initOnFirst = false;
    int64_t block = kDefaultBlock;
};

// A usage error found while reading the arguments.
struct TUsageError {
    std::string message;
};

// "  3 -3dB frequency (Hz)": the settings of a filter as the factory made it.
std::string SettingsList(const TCustomFilter& filter) {
    std::string out;
    for (int32_t i = 1; i <= filter.GetSettingCount(); ++i) {
        const std::string unit = filter.GetSettingUnit(i);
        out += "      " + std::to_string(i) + " " + filter.GetSettingName(i);
        out += unit.empty() ? "\n" : " (" + unit + ")\n";
    }
    return out;
}

std::string HelpText() {
    std::string text =
        "usage: filterrun NAME SETTING1 SETTING2 [SETTING3 ...] [--no-input-terms]\n"
        "                 [--weight W] [--init-on-first] [--block K] < input > output\n"
        "       filterrun --help | -h\n"
        "Runs the filter NAME over the numbers on standard input (one per line) and writes one\n"
        "output per line. Settings are given in order; the filter's settings check runs first.\n"
        "  --no-input-terms  recursive filters emit the feedback part only\n"
        "  --weight W        recursive filters emit W*previous output + (1-W)*value\n"
        "  --init-on-first   start in the steady state of the first input\n"
        "  --block K         filter at most K samples per call (default 65536)\n"
        "Exit status: 0 done, 1 an input line is not a number, 2 wrong usage or a setting out\n"
        "of range, 3 the output could not be written.\n"
        "Filters (NAME, description, settings):\n";
    for (const std::string_view name : FilterTypeNames) {
        const std::unique_ptr<TCustomFilter> filter = CreateFilter(name);
        text += "  " + std::string(name) + "  " + filter->GetDescription() + "\n";
        text += SettingsList(*filter);
    }
    return text;
}

// The whole word as a number, or nothing.
std::optional<double> ParseNumber(const std::string& word) {
    if (word.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    if (end != word.c_str() + word.size()) return std::nullopt;
    return value;
}

// The whole word as a whole number of 1 ... 2^62, or nothing.
std::optional<int64_t> ParseCount(const std::string& word) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || error != std::errc() || end != word.data() + word.size() || value < 1)
        return std::nullopt;
    return value;
}

TOptions ParseArguments(const std::vector<std::string>& args) {
    TOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word.rfind("--", 0) != 0 && options.name.empty()) {
            options.name = word;
        } else if (word.rfind("--", 0) != 0) {
            const std::optional<double> value = ParseNumber(word);
            if (!value)
                throw TUsageError{"setting " + std::to_string(options.settings.size() + 1) + " '" +
                                  word + "' is not a number"};
            options.settings.push_back(*value);
        } else if (word == "--no-input-terms") {
            options.noInputTerms = true;
        } else if (word == "--init-on-first") {
            options.initOnFirst = true;
        } else if (word == "--weight" || word == "--block") {
            if (i + 1 >= args.size()) throw TUsageError{"option '" + word + "' needs a value"};
            const std::string& text = args[++i];
            if (word == "--weight") {
                const std::optional<double> value = ParseNumber(text);
                if (!value) throw TUsageError{"--weight '" + text + "' is not a number"};
                options.weight = *value;
            } else {
                const std::optional<int64_t> value = ParseCount(text);
                if (!value)
                    throw TUsageError{"--block '" + text + "' is not a whole number of 1 or more"};
                options.block = std::min(*value, kDefaultBlock);
            }
        } else {
            throw TUsageError{"unknown option '" + word + "'"};
        }
    }
    if (options.name.empty()) throw TUsageError{"no filter name given"};
    if (options.settings.size() < 2)
        throw TUsageError{"give at least SETTING1 (sample frequency) and SETTING2 (gain)"};
    return options;
}

// Gives the filter its settings and asks its settings check; a usage error names the filter
// as typed, the setting by its name and the value.
void Configure(TCustomFilter& filter, const TOptions& options) {
    if (options.settings.size() > static_cast<size_t>(filter.GetSettingCount()))
        throw TUsageError{options.name + " has " + std::to_string(filter.GetSettingCount()) +
                          " settings, " + std::to_string(options.settings.size()) + " were given"};
    auto* recursive = dynamic_cast<TCustomIIRFilter*>(&filter);
    if ((options.noInputTerms || options.weight) && recursive == nullptr)
        throw TUsageError{"--no-input-terms and --weight apply to recursive filters; " +
                          options.name + " is not one"};
    for (size_t i = 0; i < options.settings.size(); ++i)
        filter.SetSetting(static_cast<int32_t>(i + 1), options.settings[i]);
    int32_t bad = filter.CheckSettings();
    for (int32_t i = 1; bad == 0 && i <= filter.GetSettingCount(); ++i)
        if (!std::isfinite(filter.GetSetting(i))) bad = i;
    if (bad != 0) {
        const std::string unit = filter.GetSettingUnit(bad);
        throw TUsageError{options.name + " setting " + std::to_string(bad) + " \"" +
                          filter.GetSettingName(bad) +
                          "\" = " + FormatFloatGeneral(filter.GetSetting(bad), 15) +
                          (unit.empty() ? "" : " " + unit) + " is out of range"};
    }
    if (options.noInputTerms) recursive->IncludeInputTerms = false;
    if (options.weight) recursive->PreviousOutputWeight = *options.weight;
    filter.InputType = stDouble;
    filter.SetOutputType(stDouble);
    filter.Reset();
    if (options.initOnFirst) filter.SetInitOnFirstSample(true);
}

// Reads up to `wanted` numbers (blank lines skipped) into values; false at a line that is not
// a number, after reporting it. lineNumber counts the lines read so far.
bool ReadBlock(std::vector<double>& values, size_t wanted, int64_t& lineNumber) {
    values.clear();
    std::string line;
    while (values.size() < wanted && std::getline(std::cin, line)) {
        ++lineNumber;
        const size_t begin = line.find_first_not_of(" \t\r");
        if (begin == std::string::npos) continue;
        const size_t end = line.find_last_not_of(" \t\r");
        const std::string word = line.substr(begin, end - begin + 1);
        const std::optional<double> value = ParseNumber(word);
        if (!value) {
            std::fprintf(stderr, "%s: input line %lld '%s' is not a number\n", kTool,
                         static_cast<long long>(lineNumber), word.c_str());
            return false;
        }
        values.push_back(*value);
    }
    return true;
}

std::string FormatBlock(const std::vector<double>& values) {
    std::string text;
    char buffer[64];
    for (const double value : values) {
        const auto result =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
        text.append(buffer, result.ptr);
        text += '\n';
    }
    return text;
}

// Streams standard input through the filter to standard output, block by block.
int Run(TCustomFilter& filter, const TOptions& options) {
    std::vector<double> input;
    std::vector<double> output;
    int64_t lineNumber = 0;
    const size_t block = static_cast<size_t>(options.block);
    for (;;) {
        const bool readable = ReadBlock(input, block, lineNumber);
        if (!input.empty()) {
            output.resize(input.size());
            filter.Filter(input.data(), output.data(), 0, static_cast<int32_t>(input.size()) - 1,
                          -1);
            if (!WriteOut(FormatBlock(output))) return OutputError(kTool, errno);
        }
        if (!readable) return kExitBadInput;
        if (input.size() < block) return kExitDone;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (std::any_of(args.begin(), args.end(), IsHelpOption)) {
        if (!WriteOut(HelpText())) return OutputError(kTool, errno);
        return Finish(kTool, kExitDone);
    }
    try {
        const TOptions options = ParseArguments(args);
        std::unique_ptr<TCustomFilter> filter = CreateFilter(options.name);
        if (!filter) return UsageError(kTool, "unknown filter name '" + options.name + "'");
        Configure(*filter, options);
        return Finish(kTool, Run(*filter, options));
    } catch (const TUsageError& error) {
        return UsageError(kTool, error.message);
    } catch (const vantrel::Exception& error) {
        std::fprintf(stderr, "%s: %s\n", kTool, error.what());
        return Finish(kTool, kExitUsage);
    }
}
