// edfinfo: shows an EDF recording as the Vantrel EDF library reads it, to see why a file is
// refused or what a signal holds.
//
//   edfinfo [--strict] FILE              every header field with its value and validity flag
//   edfinfo --json [--strict] FILE       the same as one JSON object
//   edfinfo --samples N [--strict] FILE  the digital samples of signal N (1 = first), one per line
//
// Checking is lenient unless --strict is given. Exit status: 0 when the file was opened (valid
// or not), 1 for wrong arguments or a signal number out of range, 2 when the file could not be
// opened.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "edf/uEDF.h"
#include "support/udStr.h"
#include "support/uDateTime.h"

using namespace vantrel;

namespace {

constexpr int kExitOpened = 0;
constexpr int kExitUsage = 1;
constexpr int kExitNotOpened = 2;

constexpr const char* kUsage =
    "usage: edfinfo [--strict] FILE\n"
    "       edfinfo --json [--strict] FILE\n"
    "       edfinfo --samples N [--strict] FILE\n";

const char* const kFileFieldNames[kEDFFieldCount] = {
    "Version",     "Patient",  "Recording",       "StartDate",      "StartClock",
    "HeaderBytes", "Reserved", "NumberOfRecords", "RecordDuration", "NumberOfSignals"};
const char* const kSignalFieldNames[kEDFFieldCount] = {
    "Label",          "Transducer",     "PhysicalDimension", "PhysicalMinimum",  "PhysicalMaximum",
    "DigitalMinimum", "DigitalMaximum", "Prefiltering",      "SamplesPerRecord", "Reserved"};

enum class TMode { Text, Json, Samples };

struct TOptions {
    TMode Mode = TMode::Text;
    bool Strict = false;
    int Signal = 0;  // 1-based, for TMode::Samples
    std::string FileName;
};

bool ParseArguments(int argc, char** argv, TOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--strict") {
            options.Strict = true;
        } else if (arg == "--json") {
            options.Mode = TMode::Json;
        } else if (arg == "--samples" && i + 1 < argc) {
            options.Mode = TMode::Samples;
            if (!IsInt32Text(argv[++i])) return false;
            options.Signal = StrToInt32Or0(argv[i]);
        } else if (arg.rfind("--", 0) == 0 || !options.FileName.empty()) {
            return false;
        } else {
            options.FileName = arg;
        }
    }
    return !options.FileName.empty();
}

// Shortest text that reads back as the same double; "null" for NaN and infinities.
std::string Number(double x) {
    if (!std::isfinite(x)) return "null";
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, x);
    return error == std::errc() ? std::string(buffer, end) : "null";
}

// A JSON string: control characters and bytes above 127 (read as Latin-1) as \u00XX.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (byte < 0x20 || byte > 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// A text for the plain listing: bytes outside printable ASCII as \xXX.
std::string Shown(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte > 0x7e) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += ch;
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
    return {Shown(info.Version()),
            Shown(info.Patient()),
            Shown(info.Recording()),
            FormatDateTimeFmt("dd.mm.yyyy", info.StartDate(), kLocaleEnglishUS),
            FormatDateTimeFmt("hh:nn:ss", info.StartClock(), kLocaleEnglishUS),
            std::to_string(info.HeaderBytes()),
            Shown(info.Reserved()),
            std::to_string(info.NumberOfRecords()),
            Number(static_cast<double>(info.RecordDuration())),
            std::to_string(info.NumberOfSignals())};
}

std::vector<std::string> SignalFieldTexts(const TCustomEDFSignalInfo& s) {
    return {Shown(s.Label()),
            Shown(s.Transducer()),
            Shown(s.PhysicalDimension()),
            Number(s.PhysicalMinimum()),
            Number(s.PhysicalMaximum()),
            std::to_string(s.DigitalMinimum()),
            std::to_string(s.DigitalMaximum()),
            Shown(s.Prefiltering()),
            std::to_string(s.SamplesPerRecord()),
            Shown(s.Reserved())};
}

void PrintField(const char* name, const std::string& value, bool valid) {
    std::printf("  %-18s %-7s %s\n", name, valid ? "valid" : "INVALID", value.c_str());
}

// Why the file is refused, one line per reason, from what the library exposes.
std::vector<std::string> Problems(TEDFFile& file) {
    std::vector<std::string> problems;
    const TCustomEDFFileInfo& info = file.FileInfo();
    for (int i = 0; i < kEDFFieldCount; ++i)
        if (!info.FieldValid(i))
            problems.push_back(std::string("main header field ") + kFileFieldNames[i] +
                               " is invalid: text " + Shown(info.RawIn().Field(i)));
    if (info.FieldValid(ffNumberOfSignals) && file.SignalCount() == 0)
        problems.push_back("the header declares no signals");
    int64_t recordSamples = 0;
    for (int32_t k = 0; k < file.SignalCount(); ++k) {
        const TCustomEDFSignalInfo& s = file.Signal(k);
        for (int i = 0; i < kEDFFieldCount; ++i)
            if (!s.FieldValid(i))
                problems.push_back("signal " + std::to_string(k + 1) + " " + Shown(s.Label()) +
                                   ": field " + kSignalFieldNames[i] + " is invalid: text " +
                                   Shown(s.Raw().Field(i)));
        recordSamples += std::max(s.SamplesPerRecord(), 0);
    }
    const int64_t recordBytes = recordSamples * 2;
    if (recordBytes > kEDFMaxRecordBytes)
        problems.push_back("a data record of " + std::to_string(recordBytes) +
                           " bytes is larger than " + std::to_string(kEDFMaxRecordBytes) +
                           " bytes: the header is damaged");
    if (!file.StrictChecking()) return problems;
    if (recordBytes > kEDFStrictMaxRecordBytes)
        problems.push_back("strict: a data record of " + std::to_string(recordBytes) +
                           " bytes is larger than " + std::to_string(kEDFStrictMaxRecordBytes) +
                           " bytes");
    // The other strict checks need a readable header; the record count is the one it states.
    if (!file.HeaderValid()) return problems;
    const long double duration = info.RecordDuration();
    if (duration < 1 && recordBytes / duration < kEDFStrictMaxRecordBytes)
        problems.push_back("strict: records of " + Number(static_cast<double>(duration)) +
                           " s are shorter than 1 s although a 1 s record would fit");
    const std::string statedText = info.RawIn().NumberOfRecords();
    const int32_t stated = StrToInt32Or0(statedText);
    const int64_t expected = info.HeaderBytes() + static_cast<int64_t>(stated) * recordBytes;
    if (IsInt32Text(statedText) && stated >= 0 && file.FileSize() != expected)
        problems.push_back("strict: the file has " + std::to_string(file.FileSize()) +
                           " bytes, the header's " + std::to_string(stated) + " records need " +
                           std::to_string(expected));
    return problems;
}

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
        for (const std::string& problem : Problems(file))
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
                        Shown(s.GetDimension()).c_str());
        else
            std::printf("  %-18s no, dimension %s\n", "LogFloat", Shown(s.GetDimension()).c_str());
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
        out += ",\"reserved\":" + JsonString(s.Reserved());
        out += ",\"sample_offset\":" + std::to_string(s.SampleOffset());
        out += ",\"is_log_float\":" + Bool(s.IsLogFloat());
        out += ",\"field_valid\":" + FieldValidArray(s);
        out += "}";
    }
    out += "]}\n";
    std::fputs(out.c_str(), stdout);
}

int PrintSamples(TEDFFile& file, int signalNumber) {
    if (signalNumber < 1 || signalNumber > file.SignalCount()) {
        std::fprintf(stderr, "edfinfo: signal %d does not exist; the file has %d signal(s)\n",
                     signalNumber, file.SignalCount());
        return kExitUsage;
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
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitOpened;
}

}  // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (!ParseArguments(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    TEDFFile file;
    try {
        file.SetFileName(options.FileName);
        file.SetReadOnly(true);
        file.SetStrictChecking(options.Strict);
        file.SetActive(true);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "edfinfo: %s\n", e.what());
        return kExitNotOpened;
    }
    try {
        switch (options.Mode) {
            case TMode::Text:
                PrintText(file, options);
                break;
            case TMode::Json:
                PrintJson(file);
                break;
            case TMode::Samples:
                return PrintSamples(file, options.Signal);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "edfinfo: %s\n", e.what());
        return kExitUsage;
    }
    return kExitOpened;
}
