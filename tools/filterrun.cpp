// filterrun: runs one filter of the factory over a column of numbers.
//
//   filterrun NAME SETTING1 SETTING2 [SETTING3 ...] [--no-input-terms] [--weight W]
//             [--init-on-first] [--block K] < input > output
//
// The filter is created by its factory name (LP, HP, DUE, SE, MEDIAN, ...) and gets the
// settings in order (1 is the sample frequency in Hz, 2 the gain, then the filter's own).
// Only words that begin with "--" are options; every other word after the name, negative
// numbers included, is a setting. Input and output are doubles, one per line; the output is
// written with 17 significant digits. The input is filtered in blocks of K samples (default:
// all at once), which shows that the filter's state carries over from block to block.
//
// Exit codes: 0 done; 1 an input line is not a number; 2 wrong usage, unknown filter name or a
// setting the filter rejects (the filter's message goes to standard error).
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filters/uFilter.h"

namespace {

using namespace vantrel;

constexpr int kExitInput = 1;
constexpr int kExitUsage = 2;

struct TOptions {
    std::string name;
    std::vector<double> settings;
    bool noInputTerms = false;
    std::optional<double> weight;
    bool initOnFirst = false;
    long block = 0;  // 0: the whole input in one block
};

void PrintUsage() {
    std::cerr << "usage: filterrun NAME SETTING1 SETTING2 [SETTING3 ...] [--no-input-terms]\n"
                 "                 [--weight W] [--init-on-first] [--block K] < input > output\n"
                 "NAME is a filter type: ";
    for (size_t i = 0; i < FilterTypeNames.size(); ++i)
        std::cerr << (i > 0 ? ", " : "") << FilterTypeNames[i];
    std::cerr << "\n";
}

// The whole word as a number, or nothing.
std::optional<double> ParseNumber(const std::string& word) {
    if (word.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    if (end != word.c_str() + word.size()) return std::nullopt;
    return value;
}

[[noreturn]] void UsageError(const std::string& message) {
    std::cerr << "filterrun: " << message << "\n";
    PrintUsage();
    std::exit(kExitUsage);
}

TOptions ParseArguments(int argc, char** argv) {
    if (argc < 2) UsageError("no filter name given");
    TOptions options;
    options.name = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.rfind("--", 0) != 0) {
            const std::optional<double> value = ParseNumber(word);
            if (!value)
                UsageError("setting " + std::to_string(options.settings.size() + 1) + " '" + word +
                           "' is not a number");
            options.settings.push_back(*value);
        } else if (word == "--no-input-terms") {
            options.noInputTerms = true;
        } else if (word == "--init-on-first") {
            options.initOnFirst = true;
        } else if (word == "--weight" || word == "--block") {
            if (i + 1 >= argc) UsageError(word + " needs a value");
            const std::string text = argv[++i];
            const std::optional<double> value = ParseNumber(text);
            if (word == "--weight") {
                if (!value) UsageError("--weight '" + text + "' is not a number");
                options.weight = *value;
            } else {
                if (!value || *value < 1 || *value != static_cast<long>(*value))
                    UsageError("--block '" + text + "' is not a whole number of 1 or more");
                options.block = static_cast<long>(*value);
            }
        } else {
            UsageError("unknown option " + word);
        }
    }
    if (options.settings.size() < 2)
        UsageError("give at least SETTING1 (sample frequency) and SETTING2 (gain)");
    return options;
}

// Reads one number per line; blank lines are skipped.
std::vector<double> ReadInput() {
    std::vector<double> values;
    std::string line;
    long lineNumber = 0;
    while (std::getline(std::cin, line)) {
        ++lineNumber;
        const size_t begin = line.find_first_not_of(" \t\r");
        if (begin == std::string::npos) continue;
        const size_t end = line.find_last_not_of(" \t\r");
        const std::string word = line.substr(begin, end - begin + 1);
        const std::optional<double> value = ParseNumber(word);
        if (!value) {
            std::cerr << "filterrun: input line " << lineNumber << " '" << word
                      << "' is not a number\n";
            std::exit(kExitInput);
        }
        values.push_back(*value);
    }
    return values;
}

void Configure(TCustomFilter& filter, const TOptions& options) {
    if (options.settings.size() > static_cast<size_t>(filter.GetSettingCount()))
        UsageError(options.name + " has " + std::to_string(filter.GetSettingCount()) +
                   " settings, " + std::to_string(options.settings.size()) + " were given");
    auto* recursive = dynamic_cast<TCustomIIRFilter*>(&filter);
    if ((options.noInputTerms || options.weight) && recursive == nullptr)
        UsageError("--no-input-terms and --weight apply to recursive filters; " + options.name +
                   " is not one");
    for (size_t i = 0; i < options.settings.size(); ++i)
        filter.SetSetting(static_cast<int32_t>(i + 1), options.settings[i]);
    if (options.noInputTerms) recursive->IncludeInputTerms = false;
    if (options.weight) recursive->PreviousOutputWeight = *options.weight;
    filter.InputType = stDouble;
    filter.SetOutputType(stDouble);
    filter.Reset();
    if (options.initOnFirst) filter.SetInitOnFirstSample(true);
}

void WriteOutput(const std::vector<double>& values) {
    std::string text;
    char buffer[64];
    for (double value : values) {
        const auto result =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
        text.append(buffer, result.ptr);
        text += '\n';
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const TOptions options = ParseArguments(argc, argv);
    std::unique_ptr<TCustomFilter> filter = CreateFilter(options.name);
    if (!filter) UsageError("unknown filter name '" + options.name + "'");

    try {
        Configure(*filter, options);
        const std::vector<double> input = ReadInput();
        std::vector<double> output(input.size());
        const long total = static_cast<long>(input.size());
        const long block = options.block > 0 ? options.block : std::max(total, 1L);
        for (long start = 0; start < total; start += block) {
            const long last = std::min(start + block, total) - 1;
            filter->Filter(input.data(), output.data(), static_cast<int32_t>(start),
                           static_cast<int32_t>(last), -1);
        }
        WriteOutput(output);
    } catch (const vantrel::Exception& error) {
        std::cerr << error.what() << "\n";
        return kExitUsage;
    }
    return std::fflush(stdout) == 0 ? 0 : kExitInput;
}
