// Helpers for the EDF tests: a scratch directory, and EDF files built byte by byte from field
// texts, independent of the library, so that a test can change exactly one field or byte.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vantrel_test {

// A fresh directory for one test, removed with everything in it afterwards.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-edf-XXXXXX");
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// Field texts of one signal header, as they stand in the file (padded when written).
struct SignalTexts {
    std::string label = "EEG C3-A2";
    std::string transducer = "AgAgCl electrode";
    std::string dimension = "uV";
    std::string physicalMinimum = "-500";
    std::string physicalMaximum = "500";
    std::string digitalMinimum = "-32768";
    std::string digitalMaximum = "32767";
    std::string prefiltering = "HP:0.1Hz LP:70Hz";
    std::string samplesPerRecord = "4";
    std::string reserved = "";
};

// Field texts of a main header; headerBytes and signalCount default to the values that match
// the signal list.
struct HeaderTexts {
    std::string version = "0";
    std::string patient = "MCH-0234567 F 02-MAY-1951 Haagse_Harry";
    std::string recording = "Startdate 02-MAR-2002 PSG-1234/2002 NN Telemetry03";
    std::string startDate = "02.03.02";
    std::string startClock = "21.45.00";
    std::string headerBytes;  // empty: (signals + 1) x 256
    std::string reserved = "";
    std::string records = "3";
    std::string duration = "1";
    std::string signalCount;  // empty: the number of signals below
    std::vector<SignalTexts> signals = {SignalTexts{}};
};

inline std::string Padded(const std::string& text, size_t width) {
    std::string out = text.substr(0, width);
    out.resize(width, ' ');
    return out;
}

// The header bytes of the texts, every field padded with blanks or cut to its width.
inline std::string HeaderImage(const HeaderTexts& h) {
    const size_t n = h.signals.size();
    std::string out;
    out += Padded(h.version, 8);
    out += Padded(h.patient, 80);
    out += Padded(h.recording, 80);
    out += Padded(h.startDate, 8);
    out += Padded(h.startClock, 8);
    out += Padded(h.headerBytes.empty() ? std::to_string((n + 1) * 256) : h.headerBytes, 8);
    out += Padded(h.reserved, 44);
    out += Padded(h.records, 8);
    out += Padded(h.duration, 8);
    out += Padded(h.signalCount.empty() ? std::to_string(n) : h.signalCount, 4);
    auto field = [&](auto member, size_t width) {
        for (const SignalTexts& s : h.signals)
            out += Padded(s.*member, width);
    };
    field(&SignalTexts::label, 16);
    field(&SignalTexts::transducer, 80);
    field(&SignalTexts::dimension, 8);
    field(&SignalTexts::physicalMinimum, 8);
    field(&SignalTexts::physicalMaximum, 8);
    field(&SignalTexts::digitalMinimum, 8);
    field(&SignalTexts::digitalMaximum, 8);
    field(&SignalTexts::prefiltering, 80);
    field(&SignalTexts::samplesPerRecord, 8);
    field(&SignalTexts::reserved, 32);
    return out;
}

// Samples as little-endian bytes.
inline std::string SampleBytes(const std::vector<int16_t>& samples) {
    std::string out;
    out.reserve(samples.size() * 2);
    for (int16_t s : samples) {
        const auto u = static_cast<uint16_t>(s);
        out += static_cast<char>(u & 0xff);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A recognisable sample value for record r, sample i of the whole record.
inline int16_t Pattern(int64_t r, int64_t i) {
    return static_cast<int16_t>((r * 7919 + i * 31) % 65536 - 32768);
}

inline std::vector<int16_t> PatternRecord(int64_t r, size_t samples) {
    std::vector<int16_t> record(samples);
    for (size_t i = 0; i < samples; ++i)
        record[i] = Pattern(r, static_cast<int64_t>(i));
    return record;
}

// A whole file: the header of h followed by `records` pattern records of `recordSamples`.
inline std::string FileImage(const HeaderTexts& h, int records, size_t recordSamples) {
    std::string out = HeaderImage(h);
    for (int r = 0; r < records; ++r)
        out += SampleBytes(PatternRecord(r, recordSamples));
    return out;
}

// Drops the file's pages from the page cache, written back first, so that it is next read from
// the disk.
inline void DropFromPageCache(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0) << path;
    ::fdatasync(fd);
    EXPECT_EQ(::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED), 0);
    ::close(fd);
}

// The file system of `path` takes direct reads (O_DIRECT): readers can go past the page cache.
inline bool DirectReadsPossible(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECT);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
}

// An EDF+D recording of an EEG signal (256 Hz, 1-second records) and an annotation signal
// whose time keeping gives each record's start ("0", "1", "5": a gap before the third).
inline std::string DiscontinuousRecording(const std::vector<std::string>& starts) {
    HeaderTexts header;
    header.reserved = "EDF+D";
    header.records = std::to_string(starts.size());
    header.signals[0].samplesPerRecord = "256";
    SignalTexts annotations;
    annotations.label = "EDF Annotations";
    annotations.samplesPerRecord = "16";
    header.signals.push_back(annotations);
    std::string image = HeaderImage(header);
    for (size_t r = 0; r < starts.size(); ++r) {
        image += SampleBytes(PatternRecord(int64_t(r), 256));
        const std::string tal = "+" + starts[r] + "\x14\x14";
        image += tal + std::string(32 - tal.size(), '\0');
    }
    return image;
}

}  // namespace vantrel_test
