// The real recordings of ../shared/data, read with the library in lenient and strict checking
// and compared with a decoding of the raw bytes done here, without the library.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "EDFTestFiles.h"
#include "SharedData.h"
#include "edf/uEDF.h"
#include "edf/uEDFTools.h"
#include "support/uDateTime.h"

namespace vantrel {
namespace {

// ---- Independent decoding ---------------------------------------------------------------------

std::string TrimEnd(std::string text) {
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.pop_back();
    return text;
}

struct RawSignal {
    std::string label, transducer, dimension, physicalMinimum, physicalMaximum, digitalMinimum,
        digitalMaximum, prefiltering, samplesPerRecord, reserved;
};

struct RawRecording {
    std::string bytes;
    std::string version, patient, recording, startDate, startClock, headerBytes, reserved, records,
        duration, signalCount;
    std::vector<RawSignal> signals;
    int64_t recordSamples = 0;

    int64_t HeaderSize() const { return std::atoll(headerBytes.c_str()); }
    int64_t WholeRecords() const {
        return (static_cast<int64_t>(bytes.size()) - HeaderSize()) / (recordSamples * 2);
    }
    // Sample i of record r, little-endian.
    int16_t Sample(int64_t r, int64_t i) const {
        const size_t at = static_cast<size_t>(HeaderSize() + (r * recordSamples + i) * 2);
        const auto lo = static_cast<unsigned char>(bytes[at]);
        const auto hi = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
    }
};

RawRecording Decode(const std::string& path) {
    RawRecording raw;
    raw.bytes = vantrel_test::ReadBytes(path);
    size_t at = 0;
    auto take = [&](size_t width) {
        std::string text = raw.bytes.substr(at, width);
        at += width;
        return text;
    };
    raw.version = take(8);
    raw.patient = take(80);
    raw.recording = take(80);
    raw.startDate = take(8);
    raw.startClock = take(8);
    raw.headerBytes = take(8);
    raw.reserved = take(44);
    raw.records = take(8);
    raw.duration = take(8);
    raw.signalCount = take(4);
    raw.signals.resize(static_cast<size_t>(std::atoi(raw.signalCount.c_str())));
    const std::pair<std::string RawSignal::*, size_t> fields[] = {
        {&RawSignal::label, 16},           {&RawSignal::transducer, 80},
        {&RawSignal::dimension, 8},        {&RawSignal::physicalMinimum, 8},
        {&RawSignal::physicalMaximum, 8},  {&RawSignal::digitalMinimum, 8},
        {&RawSignal::digitalMaximum, 8},   {&RawSignal::prefiltering, 80},
        {&RawSignal::samplesPerRecord, 8}, {&RawSignal::reserved, 32}};
    for (const auto& [member, width] : fields)
        for (auto& s : raw.signals)
            s.*member = take(width);
    for (const auto& s : raw.signals)
        raw.recordSamples += std::atoi(s.samplesPerRecord.c_str());
    return raw;
}

// Start date "dd.mm.yy" with the EDF century rule (85..99 are 19xx).
double StartDateOf(const std::string& text) {
    const int day = std::atoi(text.substr(0, 2).c_str());
    const int month = std::atoi(text.substr(3, 2).c_str());
    const int yy = std::atoi(text.substr(6, 2).c_str());
    double value = 0;
    EXPECT_TRUE(TryEncodeDate(yy < 85 ? 2000 + yy : 1900 + yy, month, day, value)) << text;
    return value;
}

double StartClockOf(const std::string& text) {
    const int h = std::atoi(text.substr(0, 2).c_str());
    const int n = std::atoi(text.substr(3, 2).c_str());
    const int s = std::atoi(text.substr(6, 2).c_str());
    return (h * 3600 + n * 60 + s) / 86400.0;
}

bool PrintableAndLeftAligned(const std::string& text) {
    for (char ch : text)
        if (static_cast<unsigned char>(ch) < 32 || static_cast<unsigned char>(ch) > 126)
            return false;
    return text.empty() || text[0] != ' ' || TrimEnd(text).empty();
}

// Strict validity of the shared recordings, with the reason.
const std::map<std::string, bool> kStrictValid = {
    {"cap-brux2-100s.edf", true},
    {"egi-0p1s-26s.edf", false},  // 0.1 s records although a 1 s record would fit
    {"nk-edfplusd-29s.edf", true},
    {"nox-a1-2min.edf", false},  // UTF-8 labels; records of 147320 bytes
    {"sleepedf-sc4001-5min.edf", true},
    {"stim-oddheader-10s.edf", true},
};

// ---- Checks -----------------------------------------------------------------------------------

void ExpectHeaderAsDecoded(const TEDFFile& file, const RawRecording& raw) {
    const TCustomEDFFileInfo& info = file.FileInfo();
    EXPECT_EQ(info.Version(), TrimEnd(raw.version));
    EXPECT_EQ(info.Patient(), TrimEnd(raw.patient));
    EXPECT_EQ(info.Recording(), TrimEnd(raw.recording));
    EXPECT_EQ(info.Reserved(), TrimEnd(raw.reserved));
    EXPECT_EQ(info.HeaderBytes(), raw.HeaderSize());
    EXPECT_EQ(info.NumberOfSignals(), static_cast<int32_t>(raw.signals.size()));
    EXPECT_EQ(info.RecordDuration(), std::strtod(raw.duration.c_str(), nullptr));
    EXPECT_EQ(info.StartDate(), StartDateOf(raw.startDate));
    EXPECT_NEAR(info.StartClock(), StartClockOf(raw.startClock), 1e-9);
    ASSERT_EQ(file.SignalCount(), static_cast<int32_t>(raw.signals.size()));
    for (size_t k = 0; k < raw.signals.size(); ++k) {
        const RawSignal& r = raw.signals[k];
        const TCustomEDFSignalInfo& s = file.Signal(static_cast<int32_t>(k));
        SCOPED_TRACE("signal " + std::to_string(k + 1) + " " + TrimEnd(r.label));
        EXPECT_EQ(s.Label(), TrimEnd(r.label));
        EXPECT_EQ(s.Transducer(), TrimEnd(r.transducer));
        EXPECT_EQ(s.PhysicalDimension(), TrimEnd(r.dimension));
        EXPECT_EQ(s.Prefiltering(), TrimEnd(r.prefiltering));
        EXPECT_EQ(s.Reserved(), TrimEnd(r.reserved));
        EXPECT_EQ(s.PhysicalMinimum(), std::strtod(r.physicalMinimum.c_str(), nullptr));
        EXPECT_EQ(s.PhysicalMaximum(), std::strtod(r.physicalMaximum.c_str(), nullptr));
        EXPECT_EQ(s.DigitalMinimum(), std::atoi(r.digitalMinimum.c_str()));
        EXPECT_EQ(s.DigitalMaximum(), std::atoi(r.digitalMaximum.c_str()));
        EXPECT_EQ(s.SamplesPerRecord(), std::atoi(r.samplesPerRecord.c_str()));
        if (file.StrictChecking()) {
            EXPECT_EQ(s.FieldValid(sfLabel), PrintableAndLeftAligned(r.label));
        } else {
            EXPECT_TRUE(s.AllFieldsValid());
        }
    }
}

void ExpectSamplesAsDecoded(TEDFFile& file, const RawRecording& raw) {
    ASSERT_EQ(file.NumberOfRecords(), raw.WholeRecords());
    ASSERT_EQ(file.RecordSamples(), raw.recordSamples);
    const TDynSmallIntArray& buffer = file.GetRecordBuffer();
    ASSERT_EQ(static_cast<int64_t>(buffer.size()), raw.recordSamples);
    for (int32_t r = 0; r < file.NumberOfRecords(); ++r) {
        file.ReadRecord(r);
        int64_t offset = 0;
        for (int32_t k = 0; k < file.SignalCount(); ++k) {
            const TCustomEDFSignalInfo& s = file.Signal(k);
            ASSERT_EQ(s.SampleOffset(), offset);
            for (int32_t i = 0; i < s.SamplesPerRecord(); ++i)
                ASSERT_EQ(buffer[static_cast<size_t>(offset + i)], raw.Sample(r, offset + i))
                    << "record " << r << " signal " << k + 1 << " sample " << i;
            offset += s.SamplesPerRecord();
        }
    }
}

TEST(SharedRecordings, ReadLenientlyLikeTheRawBytes) {
    VANTREL_NEED_SHARED_DATA();
    const auto files = vantrel_test::SharedRecordings();
    ASSERT_FALSE(files.empty());
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        const RawRecording raw = Decode(path.string());
        TEDFFile file;
        file.SetFileName(path.string());
        file.SetReadOnly(true);
        file.SetStrictChecking(false);
        file.SetActive(true);
        EXPECT_TRUE(file.IsValid());
        ExpectHeaderAsDecoded(file, raw);
        ExpectSamplesAsDecoded(file, raw);
        EXPECT_TRUE(IsValidEDFFile(path.string(), false));
    }
}

TEST(SharedRecordings, ReadStrictly) {
    VANTREL_NEED_SHARED_DATA();
    for (const auto& path : vantrel_test::SharedRecordings()) {
        SCOPED_TRACE(path.filename().string());
        const RawRecording raw = Decode(path.string());
        TEDFFile file;
        file.SetFileName(path.string());
        file.SetReadOnly(true);
        file.SetActive(true);
        const auto known = kStrictValid.find(path.filename().string());
        if (known != kStrictValid.end()) {
            EXPECT_EQ(file.IsValid(), known->second);
            EXPECT_EQ(IsValidEDFFile(path.string(), true), known->second);
        }
        ExpectHeaderAsDecoded(file, raw);
        if (file.IsValid()) {
            ExpectSamplesAsDecoded(file, raw);
        } else {
            EXPECT_EQ(file.NumberOfRecords(), 0);
        }
    }
}

// ---- The edfinfo tool --------------------------------------------------------------------------

struct ToolResult {
    int exitCode = -1;
    std::string output;
};

ToolResult RunEdfinfo(const std::string& arguments) {
    const std::string command = std::string(VANTREL_TOOLS_DIR) + "/edfinfo " + arguments;
    ToolResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        result.output.append(chunk, n);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(SharedRecordings, EdfinfoShowsHeadersAndSamples) {
    VANTREL_NEED_SHARED_DATA();
    for (const auto& path : vantrel_test::SharedRecordings()) {
        SCOPED_TRACE(path.filename().string());
        const RawRecording raw = Decode(path.string());
        const ToolResult json = RunEdfinfo("--json '" + path.string() + "'");
        ASSERT_EQ(json.exitCode, 0);
        EXPECT_NE(json.output.find("\"valid\":true,\"version\":\"0\""), std::string::npos);
        EXPECT_NE(json.output.find("\"records\":" + std::to_string(raw.WholeRecords()) + ","),
                  std::string::npos);
        EXPECT_NE(json.output.find("\"signal_count\":" + std::to_string(raw.signals.size())),
                  std::string::npos);

        const ToolResult samples = RunEdfinfo("--samples 1 '" + path.string() + "'");
        ASSERT_EQ(samples.exitCode, 0);
        std::string expected;
        const int64_t perRecord = std::atoi(raw.signals[0].samplesPerRecord.c_str());
        for (int64_t r = 0; r < raw.WholeRecords(); ++r)
            for (int64_t i = 0; i < perRecord; ++i)
                expected += std::to_string(raw.Sample(r, i)) + "\n";
        EXPECT_EQ(samples.output, expected);
    }
}

TEST(Edfinfo, WritesLatin1EscapesAndExitsWith2WhenTheFileCannotBeOpened) {
    vantrel_test::ScratchDir dir;
    const std::string path = dir.File("latin1.edf");
    vantrel_test::HeaderTexts h;
    h.patient = "X X X Andr\xE9";
    h.signals[0].label = "C3 Imp\xC3\xA9";
    vantrel_test::WriteBytes(path, vantrel_test::FileImage(h, 3, 4));
    const ToolResult json = RunEdfinfo("--json " + path);
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_NE(json.output.find("\"patient\":\"X X X Andr\\u00E9\""), std::string::npos);
    // Valid UTF-8 is shown as UTF-8, anything else as Latin-1.
    EXPECT_NE(json.output.find("\"label\":\"C3 Imp\\u00E9\""), std::string::npos);
    EXPECT_NE(json.output.find("\"reasons\":[]"), std::string::npos);
    EXPECT_NE(json.output.find("\"sample_frequency\":4,"), std::string::npos);
    const ToolResult strict = RunEdfinfo("--json --strict " + path);
    EXPECT_EQ(strict.exitCode, 0);
    EXPECT_NE(strict.output.find("\"valid\":false"), std::string::npos);
    EXPECT_NE(strict.output.find("\"reasons\":[\"main header field Patient is invalid"),
              std::string::npos)
        << strict.output;
}

TEST(Edfinfo, BehavesLikeAUnixTool) {
    vantrel_test::ScratchDir dir;
    const std::string path = dir.File("plain.edf");
    vantrel_test::WriteBytes(path, vantrel_test::FileImage(vantrel_test::HeaderTexts{}, 3, 4));
    struct Case {
        std::string arguments;
        int exitCode;
        std::string inOutput;  // expected in standard output and error together
    };
    const Case cases[] = {
        {"--help", 0, "usage: edfinfo"},
        {"-h", 0, "usage: edfinfo"},
        {path, 0, "IsValid:         yes"},
        {"--frobnicate " + path, 2, "'--frobnicate'"},
        {"--samples x " + path, 2, "'x'"},
        {"--samples 2 " + path, 2, "signal 2 does not exist"},
        {dir.File("missing.edf"), 2, "No such file"},
        {"--json " + path + " > /dev/full", 3, ""},  // the message goes there too
    };
    for (const Case& c : cases) {
        const ToolResult r = RunEdfinfo(c.arguments + " 2>&1");
        EXPECT_EQ(r.exitCode, c.exitCode) << c.arguments << ": " << r.output;
        EXPECT_NE(r.output.find(c.inOutput), std::string::npos) << c.arguments << ": " << r.output;
    }
}

}  // namespace
}  // namespace vantrel
