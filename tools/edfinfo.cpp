// edfinfo: shows an EDF recording as the Vantrel EDF library reads it, to see why a file is
// refused or what a signal holds.
//
//   edfinfo [--strict] FILE              every header field with its value and validity flag
//   edfinfo --json [--strict] FILE       the same as one JSON object
//   edfinfo --samples N [--strict] FILE  the digital samples of signal N (1 = first), one per line
//   edfinfo --help | -h
//
// Checking is lenient unless --strict is given. Header texts are shown as UTF-8 when their
// bytes are valid UTF-8, otherwise read as Latin-1. Exit status (uToolCommon.h): 0 when the file
// was opened (valid or not), 1 when a data record could not be read, 2 for wrong arguments, a
// signal number out of range or a file that could not be opened, 3 when the output could not
// be written.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "edf/uEDF.h"
#include "edf/uEDFTools.h"
#include "support/uDateTime.h"
#include "support/udStr.h"
#include "tools/uToolCommon.h"

using namespace vantrel;
using namespace vantrel::tool;

namespace {

constexpr const char* kTool = "edfinfo";

constexpr const char* kHelp =
    "usage: edfinfo [--strict] FILE\n"
    "       edfinfo --json [--strict] FILE\n"
    "       edfinfo --samples N [--strict] FILE\n"
    "       edfinfo --help | -h\n"
    "Shows every header field of an EDF recording with its value and validity, and why the file\n"
    "is refused; --json gives the same as one JSON object, --samples N the digital samples of\n"
    "signal N (1 = first). Checking is lenient unless --strict is given.\n"
    "Exit status: 0 the file opened (valid or not), 1 a data record could not be read, 2 wrong\n"
    "usage or a file that could not be opened, 3 the output could not be written.\n";

enum class TMode { Text, Json, Samples };

struct TOptions {
    TMode Mode = TMode::Text;
    bool Strict = false;
    int Signal = 0;  // 1-based, for TMode::Samples
    std::string FileName;
};

// Reads the arguments into options; the text of a usage error, or empty.
std::string ParseArguments(const std::vector<std::string>& args, TOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--strict") {
            options.Strict = true;
        } else if (arg == "--json") {
            options.Mode = TMode::Json;
        } else if (arg == "--samples") {
            if (i + 1 >= args.size()) return "option '--samples' needs a signal number";
            options.Mode = TMode::Samples;
            if (!IsInt32Text(args[++i]))
                return "--samples '" + args[i] + "' is not a signal number";
            options.Signal = StrToInt32Or0(args[i]);
        } else if (LooksLikeOption(arg)) {
            return "unknown option '" + arg + "'";
        } else if (!options.FileName.empty()) {
            return "one FILE only; '" + arg + "' is a second";
        } else {
            options.FileName = arg;
        }
    }
    return options.FileName.empty() ? "no FILE given" : "";
}

// Shortest text that reads back as the same double; "null" for NaN and infinities.
std::string Number(double x) {
    if (!std::isfinite(x)) return "null";
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, x);
    return error == std::errc() ? std::string(buffer, end) : "null";
}

// The code points of a valid UTF-8 text.
std::vector<uint32_t> CodePoints(const std::string& utf8) {
    std::vector<uint32_t> codes;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length && i + k < utf8.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        codes.push_back(code);
        i += static_cast<size_t>(length);
    }
    return codes;
}

// A JSON string of a header text (UTF-8 or Latin-1, see HeaderTextToUtf8), in ASCII: control
// characters and everything beyond ASCII as \uXXXX (surrogate pairs above U+FFFF).
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    char escaped[16];
    for (const uint32_t code : CodePoints(HeaderTextToUtf8(text))) {
        if (code == '"' || code == '\\') {
            out += '\\';
            out += static_cast<char>(code);
        } else if (code >= 0x20 && code < 0x7f) {
            out += static_cast<char>(code);
        } else if (code < 0x10000) {
            std::snprintf(escaped, sizeof escaped, "\\u%04X", code);
            out += escaped;
        } else {
            const uint32_t v = code - 0x10000;
            std::snprintf(escaped, sizeof escaped, "\\u%04X\\u%04X", 0xD800 + (v >> 10),
                          0xDC00 + (v & 0x3FF));
            out += escaped;
        }
    }
    return out + "\"";
}

std::string Bool(bool value) {
    return value ? "true" : "false";
}

std::string FieldValidArray(const TCustomEDFFileHeaderInfo& header) {
    std::string out = "[";
    for (int i = 0; i < header.FieldCount(); ++i)
        out += (i ? "," : "") + Bool(header.FieldValid(i));
    return out + "]";
}

// The start as "yyyy-mm-dd hh:nn:ss", or empty when the date or the time did not read.
std::string StartText(const TCustomEDFFileInfo& info) {
    if (!info.FieldValid(ffStartDate) || !info.FieldValid(ffStartClock)) return {};
    return FormatDateTimeFmt("yyyy-mm-dd hh:nn:ss", info.StartDateTime(), kLocaleEnglishUS);
}

double SampleFrequency(const TEDFFile& file, const TCustomEDFSignalInfo& signal) {
    const long double duration = file.FileInfo().RecordDuration();
    return duration > 0 ? static_cast<double>(signal.SamplesPerRecord() / duration) : NAN;
}

// The main header values as texts, by field index.
std::vector<std::string> FileFieldTexts(const TCustomEDFFileInfo& info) {
    const std::string start = StartText(info);
    return {QuotedHeaderText(info.Version()),
            QuotedHeaderText(info.Patient()),
            QuotedHeaderText(info.Recording()),
            FormatDateTimeFmt("dd.mm.yyyy", info.StartDate(), kLocaleEnglishUS),
            FormatDateTimeFmt("hh:nn:ss", info.StartClock(), kLocaleEnglishUS),
            std::to_string(info.HeaderBytes()),
            QuotedHeaderText(info.Reserved()),
            std::to_string(info.NumberOfRecords()),
            Number(static_cast<double>(info.RecordDuration())),
            std::to_string(info.NumberOfSignals())};
}

std::vector<std::string> SignalFieldTexts(const TCustomEDFSignalInfo& s) {
    return {QuotedHeaderText(s.Label()),
            QuotedHeaderText(s.Transducer()),
            QuotedHeaderText(s.PhysicalDimension()),
            Number(s.PhysicalMinimum()),
            Number(s.PhysicalMaximum()),
            std::to_string(s.DigitalMinimum()),
            std::to_string(s.DigitalMaximum()),
            QuotedHeaderText(s.Prefiltering()),
            std::to_string(s.SamplesPerRecord()),
            QuotedHeaderText(s.Reserved())};
}

void PrintField(const char* name, const std::string& value, bool valid) {
    std::printf("  %-18s %-7s %s\n", name, valid ? "valid" : "INVALID", value.c_str());
}

// Why the file is refused, one line per reason, from what the library exposes.
void PrintText(TEDFFile& file, const TOptions& options) {
    const TCustomEDFFileInfo& info = file.FileInfo();
    std::printf("File:            %s\n", options.FileName.c_str());
    std::printf("Checking:        %s\n", options.Strict ? "strict" : "lenient");
    std::printf("IsValid:         %s\n", file.IsValid() ? "yes" : "no");
    std::printf("Records found:   %d\n", info.NumberOfRecords());
    std::printf("Record samples:  %d\n", file.RecordSamples());
    std::printf("File size:       %lld bytes\n", static_cast<long long>(file.FileSize()));
    std::printf("Start:           %s\n", StartText(info).c_str());
    if (!file.IsValid()) {
        std::printf("\nWhy it is not valid\n");
        for (const std::string& problem : HeaderProblems(file))
            std::printf("  %s\n", problem.c_str());
    }
    std::printf("\nMain header\n");
    const auto texts = FileFieldTexts(info);
    for (int i = 0; i < kEDFFieldCount; ++i)
        PrintField(kFileFieldNames[i], texts[i], info.FieldValid(i));
    for (int32_t k = 0; k < file.SignalCount(); ++k) {
        const TCustomEDFSignalInfo& s = file.Signal(k);
        std::printf("\nSignal %d\n", k + 1);
        const auto signalTexts = SignalFieldTexts(s);
        for (int i = 0; i < kEDFFieldCount; ++i)
            PrintField(kSignalFieldNames[i], signalTexts[i], s.FieldValid(i));
        std::printf("  %-18s %s Hz\n", "SampleFrequency", Number(SampleFrequency(file, s)).c_str());
        std::printf("  %-18s %d\n", "SampleOffset", s.SampleOffset());
        if (s.GainValid())
            std::printf("  %-18s %s per step\n", "Gain",
                        Number(static_cast<double>(s.Gain())).c_str());
        else
            std::printf("  %-18s none (a range field is invalid or empty)\n", "Gain");
        if (s.IsLogFloat())
            std::printf("  %-18s yes: Y0 %s, A %s, dimension %s\n", "LogFloat",
                        Number(s.LogFloatY0()).c_str(), Number(s.LogFloatA()).c_str(),
                        QuotedHeaderText(s.GetDimension()).c_str());
        else
            std::printf("  %-18s no, dimension %s\n", "LogFloat",
                        QuotedHeaderText(s.GetDimension()).c_str());
    }
}

void PrintJson(TEDFFile& file) {
    const TCustomEDFFileInfo& info = file.FileInfo();
    const std::string start = StartText(info);
    std::string out = "{";
    out += "\"valid\":" + Bool(file.IsValid());
    out += ",\"version\":" + JsonString(info.Version());
    out += ",\"patient\":" + JsonString(info.Patient());
    out += ",\"recording\":" + JsonString(info.Recording());
    out += ",\"start\":" + (start.empty() ? std::string("null") : JsonString(start));
    out += ",\"header_bytes\":" + std::to_string(info.HeaderBytes());
    out += ",\"records\":" + std::to_string(info.NumberOfRecords());
    out += ",\"record_duration\":" + Number(static_cast<double>(info.RecordDuration()));
    out += ",\"signal_count\":" + std::to_string(info.NumberOfSignals());
    out += ",\"field_valid\":" + FieldValidArray(info);
    out += ",\"reasons\":[";
    if (!file.IsValid()) {
        const std::vector<std::string> reasons = HeaderProblems(file);
        for (size_t i = 0; i < reasons.size(); ++i)
            out += (i ? "," : "") + JsonString(reasons[i]);
    }
    out += "]";
    out += ",\"signals\":[";
    for (int32_t k = 0; k < file.SignalCount(); ++k) {
        const TCustomEDFSignalInfo& s = file.Signal(k);
        out += k ? ",{" : "{";
        out += "\"label\":" + JsonString(s.Label());
        out += ",\"transducer\":" + JsonString(s.Transducer());
        out += ",\"physical_dimension\":" + JsonString(s.PhysicalDimension());
        out += ",\"dimension\":" + JsonString(s.GetDimension());
        out += ",\"physical_minimum\":" + Number(s.PhysicalMinimum());
        out += ",\"physical_maximum\":" + Number(s.PhysicalMaximum());
        out += ",\"digital_minimum\":" + std::to_string(s.DigitalMinimum());
        out += ",\"digital_maximum\":" + std::to_string(s.DigitalMaximum());
        out += ",\"prefiltering\":" + JsonString(s.Prefiltering());
        out += ",\"samples_per_record\":" + std::to_string(s.SamplesPerRecord());
        out += ",\"sample_frequency\":" + Number(SampleFrequency(file, s));
        out += ",\"reserved\":" + JsonString(s.Reserved());
        out += ",\"sample_offset\":" + std::to_string(s.SampleOffset());
        out += ",\"is_log_float\":" + Bool(s.IsLogFloat());
        out += ",\"field_valid\":" + FieldValidArray(s);
        out += "}";
    }
    out += "]}\n";
    WriteOut(out);
}

int PrintSamples(TEDFFile& file, int signalNumber) {
    if (signalNumber < 1 || signalNumber > file.SignalCount()) {
        return UsageError(kTool, "signal " + std::to_string(signalNumber) +
                                     " does not exist; the file has " +
                                     std::to_string(file.SignalCount()) + " signal(s)");
    }
    const TCustomEDFSignalInfo& signal = file.Signal(signalNumber - 1);
    const TDynSmallIntArray& buffer = file.GetRecordBuffer();
    std::string out;
    for (int32_t i = 0; i < file.NumberOfRecords(); ++i) {
        file.ReadRecord(i);
        for (int32_t s = 0; s < signal.SamplesPerRecord(); ++s) {
            out += std::to_string(buffer[static_cast<size_t>(signal.SampleOffset() + s)]);
            out += '\n';
        }
        if (out.size() > (1u << 16)) {
            if (!WriteOut(out)) return OutputError(kTool, errno);
            out.clear();
        }
    }
    if (!WriteOut(out)) return OutputError(kTool, errno);
    return kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (std::any_of(args.begin(), args.end(), IsHelpOption)) {
        if (!WriteOut(kHelp)) return OutputError(kTool, errno);
        return Finish(kTool, kExitDone);
    }
    TOptions options;
    if (const std::string problem = ParseArguments(args, options); !problem.empty())
        return UsageError(kTool, problem);
    TEDFFile file;
    try {
        file.SetFileName(options.FileName);
        file.SetReadOnly(true);
        file.SetStrictChecking(options.Strict);
        file.SetActive(true);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kTool, e.what());
        return kExitUsage;
    }
    int status = kExitDone;
    try {
        switch (options.Mode) {
            case TMode::Text:
                PrintText(file, options);
                break;
            case TMode::Json:
                PrintJson(file);
                break;
            case TMode::Samples:
                status = PrintSamples(file, options.Signal);
                break;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kTool, e.what());
        status = kExitBadInput;
    }
    return Finish(kTool, status);
}
