// Recordings for engine tests: small EDF files whose samples a test chooses, recordings of any
// length from tools/make-recording, and the raw header fields of a results file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "../edf/EDFTestFiles.h"
#include "analysis/uVantrel4.h"

namespace vantrel_test {

// One signal of digital samples sample(i), i counted from 0 over the whole recording.
struct TestRecording {
    int32_t SamplesPerRecord = 64;
    double RecordDuration = 1;
    int32_t Records = 10;
    int16_t DigitalMinimum = -32767, DigitalMaximum = 32767;
    double PhysicalMinimum = -250, PhysicalMaximum = 250;
    std::function<int16_t(int64_t)> Sample = [](int64_t) { return int16_t{0}; };
};

inline void WriteRecording(const std::string& name, const TestRecording& r) {
    vantrel::TEDFFile file;
    file.SetFileName(name);
    file.CreateNew(1, true);
    file.FileInfo().SetPatient("X X X Test");
    file.FileInfo().SetRecording("Startdate 01-JAN-2026 X X test");
    file.FileInfo().SetStartDateText("01.01.26");
    file.FileInfo().SetStartClockText("22.30.00");
    file.FileInfo().SetRecordDuration(r.RecordDuration);
    vantrel::TCustomEDFSignalInfo& s = file.Signal(0);
    s.SetLabel("EEG Cz");
    s.SetPhysicalDimension("uV");
    s.SetPhysicalMinimum(r.PhysicalMinimum);
    s.SetPhysicalMaximum(r.PhysicalMaximum);
    s.SetDigitalMinimum(r.DigitalMinimum);
    s.SetDigitalMaximum(r.DigitalMaximum);
    s.SetSamplesPerRecord(r.SamplesPerRecord);
    file.WriteHeader();
    auto& buffer = file.GetRecordBuffer();
    for (int32_t j = 0; j < r.Records; ++j) {
        for (int32_t i = 0; i < r.SamplesPerRecord; ++i)
            buffer[i] = r.Sample(int64_t{j} * r.SamplesPerRecord + i);
        file.WriteRecord(j);
    }
    file.Close();
}

// Runs tools/make-recording with the given options.
inline void MakeRecording(const std::string& name, const std::string& options) {
    const std::string command =
        std::string(VANTREL_TOOLS_DIR) + "/make-recording " + options + " '" + name + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

inline std::string FileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Field `field` (0..9) of signal k of an EDF header of n signals, as stored (with blanks).
inline std::string RawSignalField(const std::string& bytes, int n, int k, int field) {
    size_t offset = 256;
    for (int f = 0; f < field; ++f)
        offset += static_cast<size_t>(vantrel::kEDFSignalFieldWidths[f]) * n;
    const size_t width = vantrel::kEDFSignalFieldWidths[field];
    return bytes.substr(offset + width * k, width);
}

// The analysis parameters of a test run.
inline vantrel::TAnalysisParam Params(const std::string& input, const std::string& output,
                                      int32_t factor, double F0 = 1, double B = 1.5,
                                      double Fc = 1.8) {
    vantrel::TAnalysisParam p;
    p.InputFileName = input;
    p.OutputFileName = output;
    p.F0 = F0;
    p.B = B;
    p.Fc = Fc;
    p.SmootherRate = 0.01666;
    p.UndersamplingFactor = factor;
    return p;
}

// The digital SU (signal 0) or SS (signal 1) samples of every record of a results file.
inline std::vector<int16_t> ResultSamples(const std::string& name, int signal) {
    vantrel::TEDFFile file;
    file.SetFileName(name);
    file.SetReadOnly(true);
    file.SetActive(true);
    std::vector<int16_t> samples;
    for (int32_t j = 0; j < file.NumberOfRecords(); ++j) {
        file.ReadRecord(j);
        const auto& buffer = file.GetRecordBuffer();
        samples.insert(samples.end(), buffer.begin() + signal * 1800,
                       buffer.begin() + (signal + 1) * 1800);
    }
    return samples;
}

}  // namespace vantrel_test
