// The EDF+ annotation reader: TALs parsed from hand-made bytes, the gap check and the
// annotation-only rule on generated files, and the real recordings and hypnograms.
#include "edf/uEDFAnnotations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "EDFTestFiles.h"
#include "SharedData.h"
#include "edf/uDataFile.h"
#include "edf/uEDF.h"
#include "edf/uEDFTools.h"

namespace vantrel {
namespace {

// Annotation bytes as a table writes them: '|' stands for 0x14, '^' for 0x15, '~' for NUL.
std::string Bytes(std::string text) {
    std::replace(text.begin(), text.end(), '|', '\x14');
    std::replace(text.begin(), text.end(), '^', '\x15');
    std::replace(text.begin(), text.end(), '~', '\0');
    return text;
}

// Parses from a buffer of exactly the bytes, so that a sanitizer sees any read beyond them.
TEDFTalRecord Parse(const std::string& bytes) {
    const std::vector<char> exact(bytes.begin(), bytes.end());
    return ParseTalRecord(std::string_view(exact.data(), exact.size()));
}

// What the parser found, as a table writes it: the time keeping's onset or "-", then each TAL
// as onset[/duration]:text|text, then "! problem", separated by "; ".
std::string Shown(const TEDFTalRecord& record) {
    std::string shown = record.HasTimeKeeping ? record.StartText : "-";
    for (const TEDFTal& tal : record.Tals) {
        shown += "; " + tal.OnsetText + (tal.HasDuration ? "/" + tal.DurationText : "") + ":";
        for (size_t i = 0; i < tal.Texts.size(); ++i)
            shown += (i ? "|" : "") + tal.Texts[i];
    }
    return shown + (record.Problem.empty() ? "" : "; ! " + record.Problem);
}

// ---- The parser -------------------------------------------------------------------------------

TEST(ParseTalRecord, ReadsTalsAndToleratesTheKnownDefects) {
    const std::pair<std::string, std::string> cases[] = {
        {"+0||~~~", "+0"},
        {"+12.5||~+13^2.5|Apnea|Arousal|~-0.25|B|~~", "+12.5; +13/2.5:Apnea|Arousal; -0.25:B"},
        {"+0|||~~~~", "+0"},                            // a stray 0x14 before the filler
        {"+0.000000||+0.000000|Segment: REC START|~~",  // time keeping not closed by NUL
         "+0.000000; +0.000000:Segment: REC START"},
        {"+3||Lights off|~", "+3; +3:Lights off"},
        {"+3|Event|~", "-; +3:Event"},
        {"+7|~+8|X|~", "+7; +8:X"},
        {"~~~~", "-"},
        {"", "-"},
        {"+0||~~~+1|Spindle~+2|Z|~", "+0; +1:Spindle; +2:Z"},
        {"+0||~+1^.5|A|", "+0; +1/.5:A"},
        {"0||~",
         "-; ! byte 0: \"0\\x14\\x14\\x00\" is not an onset (a sign and a number in seconds)"},
        {"+1x||",
         "-; ! byte 2: \"x\\x14\\x14\" stands where 0x14 must end the onset (or its duration)"},
        {"+1^|A|", "-; ! byte 3: \"\\x14A\\x14\" is not a duration (a number in seconds)"},
        {"+1^-2|A|", "-; ! byte 3: \"-2\\x14A\\x14\" is not a duration (a number in seconds)"},
        {"+0||~+12", "+0; ! byte 5: \"+12\" is cut off by the end of the annotation bytes"},
        {"+0||~+5|Cut",
         "+0; ! byte 8: \"Cut\" is a text cut off by the end of the annotation bytes"},
        {"+0||~+1|Kept|~junk",
         "+0; +1:Kept; ! byte 14: \"junk\" is not an onset (a sign and a number in seconds)"},
        {"+1234567890123456||~",
         "-; ! byte 0: \"+1234567890123456\\x14\\x14\\x00\" is not an onset (a sign and a number "
         "in seconds)"},
    };
    for (const auto& [bytes, shown] : cases)
        EXPECT_EQ(Shown(Parse(Bytes(bytes))), shown) << bytes;
    const TEDFTalRecord values = Parse(Bytes("-0.25||~+17.448^0.001|X|"));
    EXPECT_EQ(values.Start, -0.25L);
    EXPECT_EQ(values.Tals.at(0).Onset, 17.448L);
    EXPECT_EQ(values.Tals.at(0).Duration, 0.001L);
}

// Every cut and every single-byte change of a well-formed record parses without reading
// beyond its bytes (the sanitizer build checks that) and leaves the time keeping before it.
TEST(ParseTalRecord, SurvivesEveryCutAndByteChange) {
    const std::string good = Bytes("+0.000000||+0.000000|Seg|~+13^2.5|Apnea|Arousal|~~");
    for (size_t n = 0; n <= good.size(); ++n)
        Parse(good.substr(0, n));
    for (size_t i = 0; i < good.size(); ++i)
        for (char ch : {'\0', '\x14', '\x15', '+', '-', '.', '7', 'x', '\xff'}) {
            std::string bytes = good;
            bytes[i] = ch;
            const TEDFTalRecord record = Parse(bytes);
            if (i >= 11) {  // after the time keeping
                EXPECT_TRUE(record.HasTimeKeeping && record.Start == 0) << i;
            }
        }
}

// ---- Generated files --------------------------------------------------------------------------

constexpr int kAnnotationSamples = 16;  // 32 bytes of TALs per record

// A recording of an EEG signal of 4 samples and an annotation signal holding tals[r] (table
// notation, NUL-filled) in record r.
std::string Recording(const std::string& reserved, const std::string& duration,
                      const std::vector<std::string>& tals, bool withEEG = true) {
    vantrel_test::HeaderTexts h;
    h.reserved = reserved;
    h.duration = duration;
    h.records = std::to_string(tals.size());
    vantrel_test::SignalTexts annotations;
    annotations.label = "EDF Annotations";
    annotations.samplesPerRecord = std::to_string(kAnnotationSamples);
    h.signals = {annotations};
    if (withEEG) h.signals.insert(h.signals.begin(), vantrel_test::SignalTexts{});
    std::string image = vantrel_test::HeaderImage(h);
    for (size_t r = 0; r < tals.size(); ++r) {
        if (withEEG) image += vantrel_test::SampleBytes(vantrel_test::PatternRecord(int64_t(r), 4));
        image += Bytes(tals[r]) + std::string(kAnnotationSamples * 2 - tals[r].size(), '\0');
    }
    return image;
}

void Open(TEDFFile& file, const std::string& path) {
    OpenForReading(file, path);
    ASSERT_TRUE(file.IsValid());
}

TEST(FindFirstGap, ReportsTheFirstRecordThatDoesNotFollowOn) {
    struct Case {
        std::string reserved, duration;
        std::vector<std::string> onsets;
        int32_t record;  // -1: no gap
        long double start, expected;
    };
    const Case cases[] = {
        {"EDF+D", "1", {"+0", "+1", "+2", "+3"}, -1, 0, 0},
        {"EDF+D", "1", {"+0", "+1", "+2", "+5", "+6"}, 3, 5, 3},
        {"EDF+D", "1", {"+0.5", "+1.5", "+2.5", "+4.5"}, 3, 4.5L, 3.5L},  // subsecond start
        {"EDF+D", "1", {"+0", "+1.0009", "+1.9991"}, -1, 0, 0},           // within 1 ms
        {"EDF+D", "1", {"+0", "+1", "+1.5"}, 2, 1.5L, 2},                 // overlap
        {"EDF+D", "0.5", {"+0", "+0.5", "+1.0", "+1.6"}, 3, 1.6L, 1.5L},
        {"EDF+C", "1", {"+0", "+7"}, -1, 0, 0},  // not read
        {"", "1", {"junk", ""}, -1, 0, 0},       // plain EDF: not read
    };
    vantrel_test::ScratchDir dir;
    for (const Case& c : cases) {
        std::vector<std::string> tals;
        for (const std::string& onset : c.onsets)
            tals.push_back(onset + "||~");
        const std::string path = dir.File("gap.edf");
        vantrel_test::WriteBytes(path, Recording(c.reserved, c.duration, tals));
        TEDFFile file;
        Open(file, path);
        const std::optional<TEDFGap> gap = FindFirstGap(file);
        ASSERT_EQ(gap.has_value(), c.record >= 0) << c.onsets.back();
        if (!gap) continue;
        EXPECT_EQ(gap->Record, c.record);
        EXPECT_NEAR(static_cast<double>(gap->Start), static_cast<double>(c.start), 1e-9);
        EXPECT_NEAR(static_cast<double>(gap->Expected), static_cast<double>(c.expected), 1e-9);
    }
}

// Every error names the file and the record, and says what is wrong.
TEST(EDFAnnotations, ErrorsNameTheFileAndTheRecord) {
    vantrel_test::ScratchDir dir;
    const std::string path = dir.File("bad.edf");
    vantrel_test::HeaderTexts plain;
    plain.reserved = "EDF+D";
    struct Case {
        std::string image;
        bool readAll;   // ReadAnnotations, else FindFirstGap
        int64_t cutAt;  // the file is cut to this many bytes after opening; 0: not cut
        std::string message;
    };
    const Case cases[] = {
        {Recording("EDF+D", "1", {"+0||~", "+1||~", "+2|X|~"}), false, 0,
         "Invalid EDF+ annotations: \"" + path +
             "\", data record 2, signal 2 (EDF Annotations) does not begin with the record's "
             "time keeping (its onset and an empty text), so when the record starts is unknown: "
             "its first annotation has a text"},
        {Recording("EDF+C", "1", {"+0||~", ""}), true, 0,
         "\", data record 1, signal 2 (EDF Annotations) does not begin with the record's time "
         "keeping (its onset and an empty text), so when the record starts is unknown: it holds "
         "no annotation at all"},
        {Recording("EDF+C", "1", {"+0||~", "+1||~+1.5x|"}), true, 0,
         "\", data record 1, signal 2 (EDF Annotations): byte 9: \"x\\x14"},
        {vantrel_test::FileImage(plain, 3, 4), false, 0,
         "\" is EDF+D (discontinuous) but has no \"EDF Annotations\" signal"},
        // Records of 40 bytes from byte 768; record 3 keeps 2 bytes of its EEG samples.
        {Recording("EDF+D", "1", {"+0||", "+1||", "+2||", "+3||"}), false, 768 + 3 * 40 + 2,
         "Error reading file data: \"" + path +
             "\": data record 3 cannot be read: the file ends at byte 890, before the record's "
             "end at byte 928 (the file was cut short)"},
    };
    for (const Case& c : cases) {
        vantrel_test::WriteBytes(path, c.image);
        TEDFFile file;
        Open(file, path);
        if (c.cutAt > 0) std::filesystem::resize_file(path, static_cast<uintmax_t>(c.cutAt));
        try {
            c.readAll ? (void)ReadAnnotations(file) : (void)FindFirstGap(file);
            ADD_FAILURE() << "no error: " << c.message;
        } catch (const EDataFile& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

// A record duration of 0 is accepted only for files of annotation signals alone, and only when
// asked for.
TEST(EDFAnnotations, AnnotationOnlyFilesMayHaveRecordsOfDuration0) {
    struct Case {
        std::string duration;
        bool withEEG, accept, valid;
    };
    const Case cases[] = {
        {"0", false, true, true},   {"0.000", false, true, true}, {"0", true, true, false},
        {"0", false, false, false}, {"x", false, true, false},    {"-1", false, true, false},
    };
    vantrel_test::ScratchDir dir;
    const std::string path = dir.File("annotations.edf");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.duration + (c.withEEG ? " with EEG" : "") + (c.accept ? "" : " refused"));
        vantrel_test::WriteBytes(
            path, Recording("EDF+C", c.duration, {"+0.25||~+30^30|Sleep stage W|"}, c.withEEG));
        for (bool strict : {false, true}) {
            TEDFFile file;
            file.SetAcceptAnnotationOnly(c.accept);
            file.SetFileName(path);
            file.SetReadOnly(true);
            file.SetStrictChecking(strict);
            file.SetActive(true);
            EXPECT_EQ(file.IsValid(), c.valid) << "strict " << strict;
            EXPECT_EQ(file.NumberOfRecords(), c.valid ? 1 : 0);
        }
        if (c.valid) {
            const TEDFAnnotationList list = ReadAnnotationFile(path);
            ASSERT_EQ(list.Annotations.size(), 1u);
            EXPECT_EQ(list.Annotations[0].Text, "Sleep stage W");
            EXPECT_EQ(list.Start().FormatText("dd.mm.yyyy hh:nn:ssss"), "02.03.2002 21:45:00.25");
        } else if (c.accept) {
            EXPECT_THROW(ReadAnnotationFile(path), EDataFileHeaderInvalid);
        }
    }
}

// ---- Real recordings and hypnograms -----------------------------------------------------------

std::string SharedFile(const std::string& name) {
    return (vantrel_test::SharedDataDir() / name).string();
}

// onset[/duration]:text, seconds to the millisecond.
std::string Shown(const TEDFAnnotation& a) {
    char text[64];
    std::snprintf(text, sizeof text, a.HasDuration ? "%.3Lf/%.3Lf:" : "%.3Lf:", a.Onset,
                  a.Duration);
    return text + a.Text;
}

TEST(EDFAnnotationsShared, RecordingsTellTheirKindTimeKeepingAndAnnotations) {
    VANTREL_NEED_SHARED_DATA();
    struct Case {
        std::string file;
        TEDFPlusKind kind;
        std::vector<int32_t> annotationSignals;
        std::vector<std::string> annotations;  // Shown
    };
    const Case cases[] = {
        {"nk-edfplusd-29s.edf",
         TEDFPlusKind::Discontinuous,
         {25},
         {"0.000:Segment: REC START ALLE EEG", "1.140:A1+A2 OFF"}},
        {"nox-a1-2min.edf", TEDFPlusKind::Continuous, {0}, {}},
        {"egi-0p1s-26s.edf", TEDFPlusKind::Continuous, {2}, {"17.448/0.001:Resting Eyes Open"}},
        {"sleepedf-sc4001-5min.edf", TEDFPlusKind::None, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TEDFFile file;
        Open(file, SharedFile(c.file));
        EXPECT_EQ(EDFPlusKind(file.FileInfo()), c.kind);
        EXPECT_EQ(IsEDFPlus(file), c.kind != TEDFPlusKind::None);
        EXPECT_EQ(IsDiscontinuous(file), c.kind == TEDFPlusKind::Discontinuous);
        EXPECT_EQ(AnnotationSignals(file), c.annotationSignals);
        EXPECT_FALSE(FindFirstGap(file).has_value());
        EXPECT_EQ(SubsecondStart(file), 0);
        std::vector<std::string> shown;
        for (const TEDFAnnotation& a : ReadAnnotations(file).Annotations)
            shown.push_back(Shown(a));
        EXPECT_EQ(shown, c.annotations);
    }
}

TEST(EDFAnnotationsShared, HypnogramsAreReadWithTheirStart) {
    VANTREL_NEED_SHARED_DATA();
    const std::string sleepedf = SharedFile("hypnograms/sleepedf-sc4001-hypnogram.edf");
    const std::string hmc = SharedFile("hypnograms/hmc-sn001-hypnogram.edf");
    for (const std::string& path : {sleepedf, hmc}) {  // as a recording: refused as before
        TEDFFile file;
        OpenForReading(file, path);
        EXPECT_FALSE(file.IsValid()) << path;
    }

    const TEDFAnnotationList sc = ReadAnnotationFile(sleepedf);
    EXPECT_EQ(sc.Start().FormatText("dd.mm.yyyy hh:nn:ssss"), "24.04.1989 16:13:00");
    ASSERT_EQ(sc.Annotations.size(), 154u);
    long double end = 0;
    for (const TEDFAnnotation& a : sc.Annotations) {
        EXPECT_EQ(a.Text.rfind("Sleep stage ", 0), 0u) << a.Text;
        EXPECT_EQ(a.Onset, end) << a.Text;  // the spans follow each other
        end = a.Onset + a.Duration;
    }
    EXPECT_EQ(Shown(sc.Annotations.front()), "0.000/30630.000:Sleep stage W");
    EXPECT_EQ(Shown(sc.Annotations.back()), "79500.000/6900.000:Sleep stage ?");

    const TEDFAnnotationList hm = ReadAnnotationFile(hmc);
    EXPECT_EQ(hm.Start().FormatText("dd.mm.yyyy hh:nn:ssss"), "01.01.2001 23:59:30");
    ASSERT_EQ(hm.Annotations.size(), 856u);
    EXPECT_EQ(Shown(hm.Annotations[2]), "33.430/0.000:Lights off@@EEG F4-A1");
    int stages = 0;
    for (const TEDFAnnotation& a : hm.Annotations) {
        if (a.Text.rfind("Sleep stage ", 0) != 0) continue;
        ++stages;
        EXPECT_EQ(Shown(a), Shown(TEDFAnnotation{30.0L * (stages - 1), true, 30, a.Text, 0}));
    }
    EXPECT_EQ(stages, 854);
}

}  // namespace
}  // namespace vantrel
