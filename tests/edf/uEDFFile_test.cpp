#include "edf/uEDFFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "EDFTestFiles.h"
#include "edf/uDataFile.h"
#include "edf/uEDF.h"
#include "edf/uEDFSignalReader.h"
#include "edf/uEDFTools.h"
#include "edf/udDisk.h"
#include "support/uDateTime.h"

namespace vantrel {
namespace {

using vantrel_test::DirectReadsPossible;
using vantrel_test::DropFromPageCache;
using vantrel_test::FileImage;
using vantrel_test::HeaderImage;
using vantrel_test::HeaderTexts;
using vantrel_test::PatternRecord;
using vantrel_test::ReadBytes;
using vantrel_test::SampleBytes;
using vantrel_test::ScratchDir;
using vantrel_test::SignalTexts;
using vantrel_test::WriteBytes;

// Runs f and checks that it raises E with exactly the message.
template <typename E>
void ExpectError(const std::function<void()>& f, const std::string& message) {
    try {
        f();
        ADD_FAILURE() << "no exception, expected \"" << message << "\"";
    } catch (const E& e) {
        EXPECT_EQ(std::string(e.what()), message);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "other exception: " << e.what();
    }
}

void OpenForReading(TEDFFile& file, const std::string& path, bool strict) {
    file.SetFileName(path);
    file.SetReadOnly(true);
    file.SetStrictChecking(strict);
    file.SetActive(true);
}

void OpenForWriting(TEDFFile& file, const std::string& path, bool strict) {
    file.SetFileName(path);
    file.SetReadOnly(false);
    file.SetStrictChecking(strict);
    file.SetActive(true);
}

// Sets the main header fields of a new file.
void SetMainFields(TEDFFile& file) {
    TCustomEDFFileInfo& info = file.FileInfo();
    info.SetPatient("X M 01-JAN-1960 X");
    info.SetRecording("Startdate 02-MAR-2002 X X X");
    double start = 0;
    ASSERT_TRUE(TryEncodeDate(2002, 3, 2, start));
    info.SetStartDateTime(start + (21 * 3600 + 45 * 60 + 7) / 86400.0);
    info.SetRecordDuration(1);
}

void SetSignalFields(TCustomEDFSignalInfo& s, int32_t k, int32_t samplesPerRecord) {
    s.SetLabel("EEG " + std::to_string(k + 1));
    s.SetTransducer("AgAgCl electrode");
    s.SetPhysicalDimension("uV");
    s.SetPhysicalMinimum(-327.68);
    s.SetPhysicalMaximum(327.67);
    s.SetDigitalMinimum(-32768);
    s.SetDigitalMaximum(32767);
    s.SetPrefiltering("HP:0.1Hz LP:70Hz");
    s.SetSamplesPerRecord(samplesPerRecord);
    s.SetReserved("");
}

// Sets every field of a new file with one signal per entry of samplesPerRecord, writing the
// header in the two steps a program takes.
void CompleteHeader(TEDFFile& file, const std::vector<int32_t>& samplesPerRecord) {
    SetMainFields(file);
    file.WriteHeader();
    for (size_t k = 0; k < samplesPerRecord.size(); ++k)
        SetSignalFields(file.Signal(static_cast<int32_t>(k)), static_cast<int32_t>(k),
                        samplesPerRecord[k]);
    file.WriteHeader();
}

// Creates a file with the given layout holding `records` pattern records.
void CreatePatternFile(const std::string& path, const std::vector<int32_t>& samplesPerRecord,
                       int records) {
    TEDFFile file;
    file.SetFileName(path);
    file.CreateNew(static_cast<int32_t>(samplesPerRecord.size()), true);
    CompleteHeader(file, samplesPerRecord);
    ASSERT_TRUE(file.IsOpen());
    TDynSmallIntArray& buffer = file.GetRecordBuffer();
    for (int r = 0; r < records; ++r) {
        buffer = PatternRecord(r, buffer.size());
        file.WriteRecord(file.NumberOfRecords());
    }
}

// ---- Writing and reading back -----------------------------------------------------------------

TEST(EDFFile, WritesTheHeaderByteForByte) {
    ScratchDir dir;
    const std::string path = dir.File("new.edf");
    CreatePatternFile(path, {10, 4}, 2);

    HeaderTexts expected;
    expected.patient = "X M 01-JAN-1960 X";
    expected.recording = "Startdate 02-MAR-2002 X X X";
    expected.startDate = "02.03.02";
    expected.startClock = "21.45.07";
    expected.records = "2";
    expected.duration = "1";
    expected.signals.assign(2, SignalTexts{});
    for (size_t k = 0; k < 2; ++k) {
        SignalTexts& s = expected.signals[k];
        s.label = "EEG " + std::to_string(k + 1);
        s.physicalMinimum = "-327.68";
        s.physicalMaximum = "327.67";
        s.samplesPerRecord = k == 0 ? "10" : "4";
    }
    const std::string bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 768u + 2 * 14 * 2);
    EXPECT_EQ(bytes.substr(0, 768), HeaderImage(expected));
    EXPECT_EQ(bytes.substr(768),
              SampleBytes(PatternRecord(0, 14)) + SampleBytes(PatternRecord(1, 14)));
}

TEST(EDFFile, AWrittenFileReopensIdentically) {
    ScratchDir dir;
    const std::string path = dir.File("new.edf");
    const std::vector<int32_t> layout = {256, 25, 1};
    CreatePatternFile(path, layout, 7);

    for (bool strict : {true, false}) {
        TEDFFile file;
        OpenForReading(file, path, strict);
        ASSERT_TRUE(file.IsValid());
        EXPECT_EQ(file.NumberOfRecords(), 7);
        EXPECT_EQ(file.RecordSamples(), 282);
        EXPECT_EQ(file.FileInfo().Patient(), "X M 01-JAN-1960 X");
        EXPECT_EQ(file.FileInfo().RecordDuration(), 1.0L);
        ASSERT_EQ(file.SignalCount(), 3);
        int32_t offset = 0;
        for (int32_t k = 0; k < 3; ++k) {
            const TCustomEDFSignalInfo& s = file.Signal(k);
            EXPECT_EQ(s.Label(), "EEG " + std::to_string(k + 1));
            EXPECT_EQ(s.PhysicalMinimum(), -327.68);
            EXPECT_EQ(s.PhysicalMaximum(), 327.67);
            EXPECT_EQ(s.SamplesPerRecord(), layout[k]);
            EXPECT_EQ(s.SampleOffset(), offset);
            offset += layout[k];
        }
        const TDynSmallIntArray& buffer = file.GetRecordBuffer();
        for (int r = 6; r >= 0; --r) {
            file.ReadRecord(r);
            EXPECT_EQ(buffer, PatternRecord(r, 282)) << "record " << r;
        }
    }
}

TEST(EDFFile, ReopenedReadWriteAppendsAndRewrites) {
    ScratchDir dir;
    const std::string path = dir.File("new.edf");
    CreatePatternFile(path, {8}, 2);
    {
        TEDFFile file;
        OpenForWriting(file, path, true);
        TDynSmallIntArray& buffer = file.GetRecordBuffer();
        buffer = PatternRecord(9, 8);
        file.WriteRecord(0);  // in place
        buffer = PatternRecord(2, 8);
        file.WriteRecord(2);  // append
        EXPECT_EQ(file.NumberOfRecords(), 3);
    }
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes.substr(236, 8), "3       ");
    EXPECT_EQ(bytes.substr(512), SampleBytes(PatternRecord(9, 8)) +
                                     SampleBytes(PatternRecord(1, 8)) +
                                     SampleBytes(PatternRecord(2, 8)));
}

TEST(EDFFile, AnIncompleteNewFileStaysCreating) {
    ScratchDir dir;
    TEDFFile file;
    file.SetFileName(dir.File("new.edf"));
    file.CreateNew(2, false);
    SetMainFields(file);
    file.WriteHeader();
    EXPECT_TRUE(file.Creating());
    SetSignalFields(file.Signal(0), 0, 4);
    file.WriteHeader();  // signal 1 has no ranges yet
    EXPECT_TRUE(file.Creating());
    EXPECT_FALSE(file.IsOpen());
    ExpectError<EDataFileHeaderInvalid>([&] { file.WriteRecord(0); },
                                        "Invalid or incomplete file header");
    ExpectError<EDataFileIsCreating>([&] { file.SetReadOnly(true); }, "Busy creating new file");
    ExpectError<EDataFileIsOpen>([&] { file.SetFileName("other.edf"); },
                                 "Data file is already open");

    SetSignalFields(file.Signal(1), 1, 4);
    file.WriteHeader();
    EXPECT_FALSE(file.Creating());
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.GetRecordBuffer().size(), 8u);
    file.WriteRecord(0);
    EXPECT_EQ(file.NumberOfRecords(), 1);
}

TEST(EDFFile, TheFirstRecordFreezesTheStructure) {
    ScratchDir dir;
    TEDFFile file;
    file.SetFileName(dir.File("new.edf"));
    file.CreateNew(1, false);
    CompleteHeader(file, {4});
    file.WriteRecord(0);
    ExpectError<EDataFileDataExists>([&] { file.Signal(0).SetSamplesPerRecord(5); },
                                     "Data file already contains data");
    ExpectError<EDataFileDataExists>([&] { file.FileInfo().SetNumberOfSignals(1); },
                                     "Data file already contains data");
    file.Signal(0).SetSamplesPerRecord(4);  // unchanged: allowed
}

TEST(EDFFile, RecordIndexesAndStatesAreChecked) {
    ScratchDir dir;
    const std::string path = dir.File("new.edf");
    {
        TEDFFile file;
        file.SetFileName(path);
        file.CreateNew(1, false);
        CompleteHeader(file, {4});
        file.WriteRecord(0);
        file.WriteRecord(1);
        ExpectError<EDataFileReadData>([&] { file.WriteRecord(3); }, "Error reading file data");
        ExpectError<EDataFileReadData>([&] { file.ReadRecord(2); }, "Error reading file data");
        ExpectError<EDataFileReadData>([&] { file.ReadRecord(-1); }, "Error reading file data");
        ExpectError<EDataFileIsOpen>([&] { file.CreateNew(1, true); }, "Data file is already open");
        ExpectError<EDataFileIsOpen>([&] { file.SetReadOnly(true); }, "Data file is already open");
        ExpectError<EDataFileIsOpen>([&] { file.SetFileName(path); }, "Data file is already open");
        file.Close();
        ExpectError<EDataFileHeaderInvalid>([&] { file.ReadRecord(0); },
                                            "Invalid or incomplete file header");
    }
    TEDFFile file;
    OpenForReading(file, path, true);
    file.ReadRecord(1);
    ExpectError<EDataFileReadOnly>([&] { file.WriteRecord(0); }, "File is opened read-only");
}

TEST(EDFFile, CreateNewChecksNameAndExistingFile) {
    ScratchDir dir;
    const std::string path = dir.File("there.edf");
    WriteBytes(path, "precious");
    TEDFFile file;
    ExpectError<EDataFile>([&] { file.CreateNew(1, true); }, "No filename");
    file.SetFileName("   ");
    ExpectError<EDataFile>([&] { file.CreateNew(1, true); }, "No filename");
    file.SetFileName(path);
    ExpectError<EDataFileExists>([&] { file.CreateNew(1, false); },
                                 "Data file already contains data");
    EXPECT_EQ(ReadBytes(path), "precious");
    EXPECT_FALSE(file.Creating());
    file.CreateNew(1, true);
    EXPECT_TRUE(file.Creating());
    EXPECT_EQ(file.FileInfo().Version(), "0");
    EXPECT_EQ(file.FileInfo().HeaderBytes(), 512);
    EXPECT_EQ(file.FileInfo().NumberOfRecords(), 0);
    EXPECT_EQ(ReadBytes(path), "");
}

TEST(EDFFile, AFileThatCannotBeOpenedRaisesTheStreamError) {
    ScratchDir dir;
    const std::string path = dir.File("missing.edf");
    TEDFFile file;
    ExpectError<EFOpenError>([&] { OpenForReading(file, path, false); },
                             "Cannot open file \"" + path + "\". No such file or directory");
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(IsValidEDFFile(path, false));
    TEDFFile creating;
    creating.SetFileName(dir.File("no/such/dir.edf"));
    EXPECT_THROW(creating.CreateNew(1, true), EFCreateError);
    EXPECT_FALSE(creating.Creating());  // still usable
    creating.SetFileName(dir.File("fine.edf"));
}

TEST(EDFFile, BuffersOfTheWrongLengthAreRefused) {
    ScratchDir dir;
    const std::string path = dir.File("new.edf");
    CreatePatternFile(path, {4}, 1);
    const std::string before = ReadBytes(path);
    TEDFFile file;
    OpenForWriting(file, path, true);
    for (size_t length : {0, 3, 5}) {
        TDynSmallIntArray buffer(length, 7);
        EXPECT_FALSE(file.ReadRecordInto(0, buffer));
        EXPECT_EQ(buffer, TDynSmallIntArray(length, 7));
        EXPECT_FALSE(file.WriteRecordFrom(0, buffer));
        EXPECT_FALSE(file.WriteRecordFrom(1, buffer));
    }
    EXPECT_EQ(file.NumberOfRecords(), 1);
    file.Close();
    EXPECT_EQ(ReadBytes(path), before);
}

TEST(EDFFile, IsValidOfAClosedFileAsksTheOpenFileWithoutChangingIt) {
    ScratchDir dir;
    const std::string path = dir.File("minus1.edf");
    HeaderTexts h;
    h.records = "-1";
    const std::string image = FileImage(h, 3, 4);
    WriteBytes(path, image);
    TEDFFile file;  // read-write, but a question must not write the count found
    file.SetFileName(path);
    EXPECT_TRUE(file.IsValid());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.ReadOnly());
    EXPECT_EQ(ReadBytes(path), image);

    // The strict layout checks count for a closed file too.
    const std::string shortPath = dir.File("short.edf");
    h.records = "4";
    WriteBytes(shortPath, FileImage(h, 3, 4));
    EXPECT_FALSE(IsValidEDFFile(shortPath, true));
    EXPECT_TRUE(IsValidEDFFile(shortPath, false));

    TEDFFile missing;
    missing.SetFileName(dir.File("missing.edf"));
    EXPECT_THROW(missing.IsValid(), EFOpenError);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.edf")));
}

// ---- Opening files written elsewhere ----------------------------------------------------------

TEST(EDFFile, CountsTheWholeRecordsPresent) {
    ScratchDir dir;
    const std::string path = dir.File("minus1.edf");
    HeaderTexts h;
    h.records = "-1";
    const std::string image = FileImage(h, 10, 4) + SampleBytes({1, 2});
    WriteBytes(path, image);
    {
        TEDFFile file;
        OpenForReading(file, path, false);
        EXPECT_TRUE(file.IsValid());
        EXPECT_EQ(file.NumberOfRecords(), 10);
    }
    EXPECT_EQ(ReadBytes(path), image);  // read-only: nothing written
    {
        TEDFFile file;
        OpenForWriting(file, path, false);
        EXPECT_EQ(file.NumberOfRecords(), 10);
    }
    std::string expected = image;
    expected.replace(236, 8, "10      ");
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST(EDFFile, ASizeThatDisagreesWithTheCountIsInvalidOnlyWhenStrict) {
    ScratchDir dir;
    const std::string path = dir.File("short.edf");
    HeaderTexts h;
    h.records = "5";
    WriteBytes(path, FileImage(h, 4, 4));
    TEDFFile strict;
    OpenForReading(strict, path, true);
    EXPECT_FALSE(strict.IsValid());
    EXPECT_EQ(strict.NumberOfRecords(), 0);
    TEDFFile lenient;
    OpenForReading(lenient, path, false);
    EXPECT_TRUE(lenient.IsValid());
    EXPECT_EQ(lenient.NumberOfRecords(), 4);
}

TEST(EDFFile, StrictLayoutLimits) {
    struct Case {
        const char* name;
        std::string samples;
        std::string duration;
        bool strictValid;
    };
    const Case cases[] = {
        {"record of exactly 61440 bytes", "30720", "1", true},
        {"record of 61442 bytes", "30721", "1", false},
        {"record of 0.1 s", "25", "0.1", false},
        {"record of 0.5 s that would not fit 1 s", "30000", "0.5", true},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.File("layout.edf");
        HeaderTexts h;
        h.records = "2";
        h.duration = c.duration;
        h.signals[0].samplesPerRecord = c.samples;
        WriteBytes(path, FileImage(h, 2, std::stoul(c.samples)));
        TEDFFile strict;
        OpenForReading(strict, path, true);
        EXPECT_EQ(strict.IsValid(), c.strictValid) << c.name;
        TEDFFile lenient;
        OpenForReading(lenient, path, false);
        EXPECT_TRUE(lenient.IsValid()) << c.name;
        EXPECT_EQ(lenient.NumberOfRecords(), 2) << c.name;
    }
}

// ---- Mends: sizes beyond 2 GiB, absurd layouts, untouched invalid headers, separators --------

TEST(EDFFile, ReadsAndWritesBeyondTwoGiB) {
    ScratchDir dir;
    const std::string path = dir.File("long.edf");
    // 1 signal of 1024 samples: 2048-byte records; 1.1 million of them pass 2 GiB.
    const int32_t records = 1100000;
    HeaderTexts h;
    h.records = std::to_string(records);
    h.signals[0].samplesPerRecord = "1024";
    const std::string header = HeaderImage(h);
    const int64_t recordBytes = 2048;
    const int64_t size = 512 + records * recordBytes;
    ASSERT_GT(size, int64_t{1} << 31);
    WriteBytes(path, header);
    {
        const int fd = ::open(path.c_str(), O_RDWR);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, size), 0);  // sparse: takes no disk space
        const std::string last = SampleBytes(PatternRecord(records - 1, 1024));
        ASSERT_EQ(::pwrite(fd, last.data(), last.size(), size - recordBytes),
                  static_cast<ssize_t>(last.size()));
        ::close(fd);
    }
    {
        TEDFFile file;
        OpenForWriting(file, path, true);
        ASSERT_TRUE(file.IsValid());
        EXPECT_EQ(file.FileSize(), size);
        EXPECT_EQ(file.NumberOfRecords(), records);
        TDynSmallIntArray& buffer = file.GetRecordBuffer();
        file.ReadRecord(records - 1);
        EXPECT_EQ(buffer, PatternRecord(records - 1, 1024));
        file.ReadRecord(records / 2);
        EXPECT_EQ(buffer, TDynSmallIntArray(1024, 0));
        buffer = PatternRecord(records, 1024);
        file.WriteRecord(records);
        EXPECT_EQ(file.NumberOfRecords(), records + 1);
    }
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    std::string tail(recordBytes, '\0');
    EXPECT_EQ(::pread(fd, tail.data(), tail.size(), size), recordBytes);
    char count[9] = {};
    EXPECT_EQ(::pread(fd, count, 8, 236), 8);
    ::close(fd);
    EXPECT_EQ(tail, SampleBytes(PatternRecord(records, 1024)));
    EXPECT_EQ(std::string(count), std::to_string(records + 1) + " ");
}

TEST(EDFFile, AbsurdRecordLayoutsAreInvalidWithoutAllocating) {
    struct Case {
        const char* name;
        std::function<void(HeaderTexts&)> change;
    };
    const Case cases[] = {
        {"zero samples", [](HeaderTexts& h) { h.signals[0].samplesPerRecord = "0"; }},
        {"negative samples", [](HeaderTexts& h) { h.signals[0].samplesPerRecord = "-5"; }},
        {"record of 80 MB", [](HeaderTexts& h) { h.signals[0].samplesPerRecord = "40000000"; }},
        {"two signals over 64 MiB",
         [](HeaderTexts& h) {
             h.signals.assign(2, SignalTexts{});
             h.signals[0].samplesPerRecord = "20000000";
             h.signals[1].samplesPerRecord = "20000000";
         }},
        {"signal sum beyond 32 bits",
         [](HeaderTexts& h) {
             h.signals.assign(3, SignalTexts{});
             for (auto& s : h.signals)
                 s.samplesPerRecord = "2147483647";
         }},
        {"more signals than the file holds",
         [](HeaderTexts& h) {
             h.signalCount = "9999";
             h.headerBytes = "2560000";
         }},
        {"no signals", [](HeaderTexts& h) { h.signals.clear(); }},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.File("absurd.edf");
        HeaderTexts h;
        h.records = "1";
        c.change(h);
        WriteBytes(path, HeaderImage(h) + SampleBytes(PatternRecord(0, 64)));
        for (bool strict : {true, false}) {
            TEDFFile file;
            OpenForReading(file, path, strict);
            EXPECT_FALSE(file.IsValid()) << c.name << " strict " << strict;
            EXPECT_EQ(file.RecordSamples(), 0) << c.name;
            EXPECT_EQ(file.NumberOfRecords(), 0) << c.name;
            EXPECT_TRUE(file.GetRecordBuffer().empty()) << c.name;
            EXPECT_THROW(file.ReadRecord(0), EDataFileReadData) << c.name;
        }
    }
}

TEST(EDFFile, AHeaderOnlyFileIsValidWithNoRecords) {
    ScratchDir dir;
    for (const char* count : {"0", "-1"}) {
        const std::string path = dir.File("empty.edf");
        HeaderTexts h;
        h.records = count;
        WriteBytes(path, HeaderImage(h));
        for (bool strict : {true, false}) {
            TEDFFile file;
            OpenForReading(file, path, strict);
            EXPECT_TRUE(file.IsValid()) << count << " strict " << strict;
            EXPECT_EQ(file.NumberOfRecords(), 0);
            EXPECT_EQ(file.GetRecordBuffer().size(), 4u);
        }
    }
}

TEST(EDFFile, ClosingAnInvalidHeaderReadWriteLeavesTheFileAlone) {
    struct Case {
        const char* name;
        std::function<void(HeaderTexts&)> change;
    };
    const Case cases[] = {
        {"version 1", [](HeaderTexts& h) { h.version = "1"; }},
        {"physical minimum unreadable",
         [](HeaderTexts& h) { h.signals[0].physicalMinimum = "abc"; }},
        {"count not recorded, label unreadable",
         [](HeaderTexts& h) {
             h.records = "-1";
             h.signals[0].label = " EEG";
             h.signals[0].digitalMinimum = "x";
         }},
        {"date unreadable", [](HeaderTexts& h) { h.startDate = "yesterday"; }},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        for (bool strict : {true, false}) {
            const std::string path = dir.File("invalid.edf");
            HeaderTexts h;
            c.change(h);
            const std::string image = FileImage(h, 3, 4);
            WriteBytes(path, image);
            {
                TEDFFile file;
                OpenForWriting(file, path, strict);
                EXPECT_FALSE(file.IsValid()) << c.name;
                EXPECT_THROW(file.WriteRecord(0), EDataFileWriteData) << c.name;
                file.SetStrictChecking(!strict);
                file.Close();
            }
            EXPECT_EQ(ReadBytes(path), image) << c.name << " strict " << strict;
        }
    }
}

TEST(EDFFile, RecoversACommaDecimalSeparatorWhenLenient) {
    ScratchDir dir;
    const std::string path = dir.File("comma.edf");
    HeaderTexts h;
    h.duration = "0,5";
    h.records = "2";
    h.signals[0].physicalMinimum = "-0,5";
    h.signals[0].physicalMaximum = "1.234,5";
    const std::string image = FileImage(h, 2, 4);
    WriteBytes(path, image);
    {
        TEDFFile strict;
        OpenForReading(strict, path, true);
        EXPECT_FALSE(strict.IsValid());
    }
    {
        TEDFFile file;
        OpenForWriting(file, path, false);
        ASSERT_TRUE(file.IsValid());
        EXPECT_EQ(file.DecimalSeparator(), ',');
        EXPECT_EQ(file.ThousandSeparator(), '.');
        EXPECT_EQ(file.FileInfo().RecordDuration(), 0.5L);
        EXPECT_EQ(file.Signal(0).PhysicalMinimum(), -0.5);
        EXPECT_EQ(file.Signal(0).PhysicalMaximum(), 1234.5);
        EXPECT_EQ(file.NumberOfRecords(), 2);
        file.GetRecordBuffer() = PatternRecord(2, 4);
        file.WriteRecord(2);
        file.Signal(0).SetPhysicalMinimum(-0.25);
        file.Signal(0).SetPhysicalMaximum(0.75);
    }
    // The header is written back with the separators it was read with.
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes.substr(236, 16), "3       0,5     ");
    EXPECT_EQ(bytes.substr(256 + 16 + 80 + 8, 16), "-0,25   0,75    ");
}

TEST(EDFFile, AnUnrecoverableSeparatorKeepsTheFileInvalid) {
    ScratchDir dir;
    const std::string path = dir.File("mixed.edf");
    HeaderTexts h;
    h.duration = "0,5";
    h.signals[0].physicalMinimum = "-0;5";  // disagrees with the duration
    WriteBytes(path, FileImage(h, 3, 4));
    TEDFFile file;
    OpenForReading(file, path, false);
    EXPECT_FALSE(file.IsValid());
    EXPECT_EQ(file.DecimalSeparator(), '.');
    EXPECT_EQ(file.ThousandSeparator(), '\0');
}

// ---- Read-ahead stream and concurrent readers -------------------------------------------------

TEST(EDFFile, SmallRecordsReadThroughTheReadAheadBuffer) {
    ScratchDir dir;
    const std::string path = dir.File("small.edf");
    HeaderTexts h;
    h.records = "1000";
    h.signals[0].samplesPerRecord = "3";  // 6-byte records, 682 per 4092-byte refill
    WriteBytes(path, FileImage(h, 1000, 3));
    TEDFFile file;
    OpenForWriting(file, path, true);
    TDynSmallIntArray& buffer = file.GetRecordBuffer();
    for (int r = 0; r < 1000; ++r) {
        file.ReadRecord(r);
        ASSERT_EQ(buffer, PatternRecord(r, 3)) << r;
    }
    std::mt19937 random(7);
    for (int i = 0; i < 500; ++i) {
        const int r = static_cast<int>(random() % 1000);
        file.ReadRecord(r);
        ASSERT_EQ(buffer, PatternRecord(r, 3)) << r;
    }
    // A write in the middle of what was read ahead is seen by the next read.
    file.ReadRecord(10);
    buffer = {1, 2, 3};
    file.WriteRecord(11);
    file.ReadRecord(11);
    EXPECT_EQ(buffer, (TDynSmallIntArray{1, 2, 3}));
}

TEST(EDFFile, ConcurrentReadersWithTheirOwnBuffers) {
    ScratchDir dir;
    const std::string path = dir.File("shared.edf");
    CreatePatternFile(path, {100, 7}, 200);
    TEDFFile file;
    OpenForReading(file, path, true);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 random(t);
            TDynSmallIntArray buffer(107);
            for (int i = 0; i < 2000; ++i) {
                const int r = static_cast<int>(random() % 200);
                if (!file.ReadRecordInto(r, buffer) || buffer != PatternRecord(r, 107)) ++failures;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
}

TEST(ReadAheadStream, ServesReadsFromTheBufferAndNeverStaleBytes) {
    ScratchDir dir;
    const std::string path = dir.File("bytes.bin");
    std::string content(100, '\0');
    for (int i = 0; i < 100; ++i)
        content[i] = static_cast<char>(i);
    WriteBytes(path, content);
    TMinimalReadBufferSizeFileStream stream(path, TFileOpenMode::ReadWrite);
    stream.SetMinimalReadBufferSize(16);
    char chunk[8];
    stream.Seek(90);
    EXPECT_EQ(stream.Read(chunk, 8), 8);
    EXPECT_EQ(chunk[0], 90);
    EXPECT_EQ(stream.Read(chunk, 8), 2);  // end of the file
    EXPECT_EQ(chunk[1], 99);
    EXPECT_EQ(stream.Position(), 100);
    stream.Seek(20);
    EXPECT_EQ(stream.Read(chunk, 4), 4);
    stream.Seek(22);
    const char patch[2] = {'x', 'y'};
    stream.Write(patch, 2);
    stream.Seek(20);
    EXPECT_EQ(stream.Read(chunk, 4), 4);
    EXPECT_EQ(std::string(chunk, 4), std::string("\x14\x15xy"));
    char large[40];
    stream.Seek(0);
    EXPECT_EQ(stream.Read(large, 40), 40);  // larger than the buffer: straight to the file
    EXPECT_EQ(large[39], 39);
    EXPECT_EQ(stream.Size(), 100);
}

// ---- Reading one signal -------------------------------------------------------------------

// One signal's samples of several records, read alone, equal the same samples of whole records.
TEST(EDFFile, ReadsOneSignalOfSeveralRecordsAsWholeRecordsGiveIt) {
    ScratchDir dir;
    struct Case {
        std::vector<int32_t> Layout;  // samples per record of each signal
        int32_t Signal, First, Count;
    };
    const Case cases[] = {
        {{100, 7, 3}, 0, 0, 20}, {{100, 7, 3}, 1, 5, 7}, {{100, 7, 3}, 2, 19, 1},
        {{50}, 0, 0, 20},        {{50}, 0, 3, 4},
    };
    for (const Case& c : cases) {
        const std::string path = dir.File("signals.edf");
        CreatePatternFile(path, c.Layout, 20);
        TEDFFile file;
        OpenForReading(file, path, true);
        const int32_t n = c.Layout[c.Signal];
        TDynSmallIntArray samples(static_cast<size_t>(c.Count) * n);
        file.ReadSignal(c.Signal, c.First, c.Count, samples);
        for (int32_t r = 0; r < c.Count; ++r) {
            file.ReadRecord(c.First + r);
            const int16_t* whole =
                file.GetRecordBuffer().data() + file.Signal(c.Signal).SampleOffset();
            ASSERT_EQ(TDynSmallIntArray(whole, whole + n),
                      TDynSmallIntArray(samples.begin() + r * n, samples.begin() + (r + 1) * n))
                << "signal " << c.Signal << ", record " << c.First + r;
        }
    }
}

TEST(EDFFile, ASignalReadBeyondTheFileIsAnError) {
    ScratchDir dir;
    const std::string path = dir.File("short.edf");
    CreatePatternFile(path, {100, 7}, 10);
    TEDFFile file;
    TDynSmallIntArray samples(700);
    ExpectError<EDataFileHeaderInvalid>([&] { file.ReadSignal(1, 0, 1, samples); },
                                        "Invalid or incomplete file header");
    OpenForReading(file, path, true);
    ExpectError<EDataFileReadData>([&] { file.ReadSignal(1, 5, 6, samples); },
                                   "Error reading file data");
    ExpectError<EDataFileReadData>([&] { file.ReadSignal(2, 0, 1, samples); },
                                   "Error reading file data");
    ExpectError<EDataFileReadData>([&] { file.ReadSignal(0, 0, 8, samples); },
                                   "Error reading file data");  // buffer too short
    // The file loses its last record after opening: the count still says 10.
    ASSERT_EQ(::truncate(path.c_str(), 3 * 256 + 9 * 214 + 100), 0);
    EXPECT_TRUE(file.ReadSignalInto(1, 8, 1, samples.data()));
    EXPECT_FALSE(file.ReadSignalInto(1, 8, 2, samples.data()));
    ExpectError<EDataFileReadData>([&] { file.ReadSignal(1, 9, 1, samples); },
                                   "Error reading file data");
}

// ---- Reading one signal from the page cache or from the disk ----------------------------------

// Records of 2000 + 37 + 3000 samples (10074 bytes), enough for 3 spans of direct reads, the
// last one short.
const std::vector<int32_t> kSpanLayout{2000, 37, 3000};
constexpr int32_t kPerSpan = static_cast<int32_t>(TEDFSignalReader::kSpanBytes / 10074);
constexpr int32_t kSpanRecords = 2 * kPerSpan + 100;

// Signal `signal` of pattern record r, as written.
std::vector<int16_t> PatternPart(int32_t r, int32_t signal) {
    const std::vector<int16_t> record = PatternRecord(r, 5037);
    const int32_t offset = signal == 0 ? 0 : signal == 1 ? 2000 : 2037;
    return {record.begin() + offset, record.begin() + offset + kSpanLayout[signal]};
}

// In batches of any size, across the spans, from the page cache and from the disk, the reader
// gives what was written; from the disk it reads spans past the page cache where the file
// system allows that, and never records one by one.
TEST(EDFSignalReader, ReadsEveryRecordFromThePageCacheAndFromTheDisk) {
    ScratchDir dir;
    const std::string path = dir.File("spans.edf");
    CreatePatternFile(path, kSpanLayout, kSpanRecords);
    const bool direct = DirectReadsPossible(path);
    for (const bool fromDisk : {false, true})
        for (const int32_t signal : {0, 1, 2})
            for (const int32_t batch : {1, 64, kPerSpan + 1}) {
                SCOPED_TRACE(::testing::Message() << "from disk " << fromDisk << ", signal "
                                                  << signal << ", batch " << batch);
                if (fromDisk) DropFromPageCache(path);
                TEDFFile file;
                OpenForReading(file, path, true);
                TEDFSignalReader reader(file, signal);
                const int32_t n = kSpanLayout[signal];
                std::vector<int16_t> samples(static_cast<size_t>(batch) * n);
                for (int32_t first = 0; first < kSpanRecords; first += batch) {
                    const int32_t count = std::min(batch, kSpanRecords - first);
                    ASSERT_TRUE(reader.Read(first, count, samples.data())) << first;
                    for (int32_t r = 0; r < count; ++r)
                        ASSERT_EQ(std::vector<int16_t>(samples.begin() + r * n,
                                                       samples.begin() + (r + 1) * n),
                                  PatternPart(first + r, signal))
                            << "record " << first + r;
                }
                const auto& read = reader.Statistics();
                EXPECT_EQ(read.DirectReads, fromDisk && direct ? 3 : 0);
                EXPECT_EQ(read.CachedRecords, fromDisk && direct ? 0 : kSpanRecords);
            }
}

// A recording that lost records after it was opened, read from the disk: the records it still
// holds are read, and the first one it lost fails, also within a batch.
TEST(EDFSignalReader, AFileCutShortFailsAtTheFirstRecordItLost) {
    ScratchDir dir;
    const std::string path = dir.File("cut.edf");
    CreatePatternFile(path, kSpanLayout, kSpanRecords);
    TEDFFile file;
    OpenForReading(file, path, true);
    const int32_t lost = kPerSpan + 50;  // in the second span
    ASSERT_EQ(::truncate(path.c_str(), 4 * 256 + lost * 10074 + 5000), 0);
    DropFromPageCache(path);
    TEDFSignalReader reader(file, 2);
    const int32_t batch = lost - 40;  // records batch .. lost - 1 are read one by one
    std::vector<int16_t> samples(static_cast<size_t>(batch) * 3000);
    EXPECT_TRUE(reader.Read(0, batch, samples.data()));
    EXPECT_FALSE(reader.Read(batch, 64, samples.data()));
    for (int32_t r = batch; r < lost; ++r) {
        ASSERT_TRUE(reader.Read(r, 1, samples.data())) << r;
        ASSERT_EQ(std::vector<int16_t>(samples.begin(), samples.begin() + 3000), PatternPart(r, 2));
    }
    EXPECT_FALSE(reader.Read(lost, 1, samples.data()));
}

// Pieces read together (more than one batch of the kernel's ring) equal the file's bytes; the
// count stops at the first piece the file cannot hold.
TEST(ReadPieces, ReadsEveryPieceUpToTheEndOfTheFile) {
    ScratchDir dir;
    const std::string path = dir.File("bytes.bin");
    std::string content(1000, '\0');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7);
    WriteBytes(path, content);
    TFileStream stream(path, TFileOpenMode::ReadOnly);
    std::vector<char> out(150 * 5, 'x');
    std::vector<TReadPiece> pieces;
    for (int i = 0; i < 150; ++i)  // 5 bytes every 6; piece 149 ends beyond the file
        pieces.push_back({i * 6 + (i == 149 ? 106 : 0), out.data() + i * 5, 5});
    EXPECT_EQ(stream.ReadPieces(pieces.data(), 149), 149);
    for (int i = 0; i < 149; ++i)
        ASSERT_EQ(std::string(out.data() + i * 5, 5), content.substr(i * 6, 5)) << i;
    EXPECT_EQ(stream.ReadPieces(pieces.data(), 150), 149);
}

}  // namespace
}  // namespace vantrel
