#include "edf/uEDFHeaderInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "EDFTestFiles.h"
#include "edf/uDataFile.h"
#include "support/uDateTime.h"
#include "support/uExceptions.h"

namespace vantrel {
namespace {

using vantrel_test::HeaderTexts;
using vantrel_test::Padded;
using vantrel_test::SignalTexts;

TEDFFileInfoRaw MainRaw(const HeaderTexts& h) {
    TEDFFileInfoRaw raw;
    raw.SetVersion(Padded(h.version, 8));
    raw.SetPatient(Padded(h.patient, 80));
    raw.SetRecording(Padded(h.recording, 80));
    raw.SetStartDate(Padded(h.startDate, 8));
    raw.SetStartClock(Padded(h.startClock, 8));
    raw.SetHeaderBytes(Padded(h.headerBytes.empty() ? "512" : h.headerBytes, 8));
    raw.SetReserved(Padded(h.reserved, 44));
    raw.SetNumberOfRecords(Padded(h.records, 8));
    raw.SetRecordDuration(Padded(h.duration, 8));
    raw.SetNumberOfSignals(Padded(h.signalCount.empty() ? "1" : h.signalCount, 4));
    return raw;
}

TEDFSignalInfoRaw SignalRaw(const SignalTexts& s) {
    TEDFSignalInfoRaw raw;
    raw.SetLabel(Padded(s.label, 16));
    raw.SetTransducer(Padded(s.transducer, 80));
    raw.SetPhysicalDimension(Padded(s.dimension, 8));
    raw.SetPhysicalMinimum(Padded(s.physicalMinimum, 8));
    raw.SetPhysicalMaximum(Padded(s.physicalMaximum, 8));
    raw.SetDigitalMinimum(Padded(s.digitalMinimum, 8));
    raw.SetDigitalMaximum(Padded(s.digitalMaximum, 8));
    raw.SetPrefiltering(Padded(s.prefiltering, 80));
    raw.SetSamplesPerRecord(Padded(s.samplesPerRecord, 8));
    raw.SetReserved(Padded(s.reserved, 32));
    return raw;
}

double Date(int y, int m, int d) {
    double value = 0;
    EXPECT_TRUE(TryEncodeDate(y, m, d, value));
    return value;
}

// ---- Raw texts --------------------------------------------------------------------------------

TEST(EDFRaw, SettersKeepOnlyTheFieldWidth) {
    TEDFFileInfoRaw main;
    main.SetNumberOfSignals("123456");
    main.SetVersion(std::string(20, 'v'));
    EXPECT_EQ(main.NumberOfSignals(), "1234");
    EXPECT_EQ(main.Version(), std::string(8, 'v'));
    TEDFSignalInfoRaw signal;
    signal.SetLabel("A label of twenty ch");
    EXPECT_EQ(signal.Label(), "A label of twent");
    EXPECT_EQ(signal.Label().size(), 16u);
}

TEST(EDFRaw, AssignCopiesSameClassAndRefusesOthers) {
    TEDFSignalInfoRaw a;
    a.SetLabel("EEG");
    a.SetReserved("r");
    TEDFSignalInfoRaw b;
    b.Assign(&a);
    EXPECT_EQ(b.Label(), "EEG");
    EXPECT_EQ(b.Reserved(), "r");
    TEDFFileInfoRaw main;
    try {
        main.Assign(&a);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TEDFSignalInfoRaw to a TEDFFileInfoRaw");
    }
}

// ---- Main header parsing ----------------------------------------------------------------------

// One main header field changed from a valid header: the expected flag in strict and lenient
// checking.
struct MainCase {
    const char* name;
    void (*change)(HeaderTexts&);
    int field;
    bool strictValid;
    bool lenientValid;
};

const MainCase kMainCases[] = {
    {"version 0 with blanks", [](HeaderTexts& h) { h.version = "0       "; }, ffVersion, true,
     true},
    {"version 1", [](HeaderTexts& h) { h.version = "1"; }, ffVersion, false, false},
    {"version empty", [](HeaderTexts& h) { h.version = ""; }, ffVersion, false, false},
    {"header bytes disagree with signals", [](HeaderTexts& h) { h.headerBytes = "768"; },
     ffHeaderBytes, false, false},
    {"header bytes not a number", [](HeaderTexts& h) { h.headerBytes = "5l2"; }, ffHeaderBytes,
     false, false},
    {"records -1", [](HeaderTexts& h) { h.records = "-1"; }, ffNumberOfRecords, true, true},
    {"records -2", [](HeaderTexts& h) { h.records = "-2"; }, ffNumberOfRecords, false, false},
    {"records right-aligned", [](HeaderTexts& h) { h.records = "       3"; }, ffNumberOfRecords,
     false, true},
    {"duration 0", [](HeaderTexts& h) { h.duration = "0"; }, ffRecordDuration, false, false},
    {"duration negative", [](HeaderTexts& h) { h.duration = "-1"; }, ffRecordDuration, false,
     false},
    {"duration 0.5", [](HeaderTexts& h) { h.duration = "0.5"; }, ffRecordDuration, true, true},
    {"duration with comma", [](HeaderTexts& h) { h.duration = "0,5"; }, ffRecordDuration, false,
     false},
    {"signals negative", [](HeaderTexts& h) { h.signalCount = "-1"; }, ffNumberOfSignals, false,
     false},
    {"date d.m.yy", [](HeaderTexts& h) { h.startDate = "1.2.03"; }, ffStartDate, false, true},
    {"date impossible", [](HeaderTexts& h) { h.startDate = "31.02.03"; }, ffStartDate, false,
     false},
    {"date with slashes", [](HeaderTexts& h) { h.startDate = "02/03/02"; }, ffStartDate, false,
     true},
    {"clock with colons", [](HeaderTexts& h) { h.startClock = "21:45:00"; }, ffStartClock, false,
     true},
    {"clock hour 24", [](HeaderTexts& h) { h.startClock = "24.00.00"; }, ffStartClock, false,
     false},
    {"patient non-ASCII", [](HeaderTexts& h) { h.patient = "Andr\xE9"; }, ffPatient, false, true},
    {"patient leading blank", [](HeaderTexts& h) { h.patient = " X X X X"; }, ffPatient, false,
     true},
};

TEST(EDFFileInfo, ParsesEachFieldStrictlyAndLeniently) {
    for (const MainCase& c : kMainCases) {
        for (bool strict : {true, false}) {
            HeaderTexts h;
            c.change(h);
            TEDFFileInfo info;
            info.SetStrictChecking(strict);
            info.AssignRaw(MainRaw(h));
            EXPECT_EQ(info.FieldValid(c.field), strict ? c.strictValid : c.lenientValid)
                << c.name << (strict ? " (strict)" : " (lenient)");
            for (int i = 0; i < kEDFFieldCount; ++i)
                if (i != c.field && !(c.field == ffNumberOfSignals && i == ffHeaderBytes)) {
                    EXPECT_TRUE(info.FieldValid(i)) << c.name << ": field " << i;
                }
            EXPECT_FALSE(info.Modified()) << c.name;
        }
    }
}

TEST(EDFFileInfo, ReadsTheValuesOfAValidHeader) {
    TEDFFileInfo info;
    info.AssignRaw(MainRaw(HeaderTexts{}));
    EXPECT_TRUE(info.AllFieldsValid());
    EXPECT_EQ(info.Version(), "0");
    EXPECT_EQ(info.Patient(), "MCH-0234567 F 02-MAY-1951 Haagse_Harry");
    EXPECT_EQ(info.HeaderBytes(), 512);
    EXPECT_EQ(info.NumberOfRecords(), 3);
    EXPECT_EQ(info.NumberOfSignals(), 1);
    EXPECT_EQ(info.RecordDuration(), 1.0L);
    EXPECT_EQ(info.StartDate(), Date(2002, 3, 2));
    EXPECT_NEAR(info.StartClock(), (21 * 3600 + 45 * 60) / 86400.0, 1e-9);
    EXPECT_NEAR(info.StartDateTime(), Date(2002, 3, 2) + (21 * 3600 + 45 * 60) / 86400.0, 1e-9);
    EXPECT_NEAR(info.EndDateTime(), info.StartDateTime() + 3 / 86400.0, 1e-9);
    EXPECT_EQ(info.End().DifferenceInSeconds(info.Start()), 3);
}

TEST(EDFFileInfo, CompletesStartDatesAndPicksTheCentury) {
    struct Case {
        const char* text;
        int year, month, day;
    };
    const Case cases[] = {{"1.2.03", 2003, 2, 1},
                          {"31.12.85", 1985, 12, 31},
                          {"31.12.84", 2084, 12, 31},
                          {"01 02 99", 1999, 2, 1},
                          {" 1.02.00", 2000, 2, 1}};
    for (const Case& c : cases) {
        TEDFFileInfo info;
        info.SetStrictChecking(false);
        info.SetStartDateText(c.text);
        EXPECT_TRUE(info.FieldValid(ffStartDate)) << c.text;
        EXPECT_EQ(info.StartDate(), Date(c.year, c.month, c.day)) << c.text;
    }
}

TEST(EDFFileInfo, AnUnreadableDateLeavesValueAndFlagAlone) {
    TEDFFileInfo info;
    info.SetStartDate(Date(2010, 5, 6));
    info.SetStartDateText("yesterday");
    EXPECT_TRUE(info.FieldValid(ffStartDate));
    EXPECT_EQ(info.StartDate(), Date(2010, 5, 6));
}

TEST(EDFFileInfo, CommaDurationNeedsTheSeparatorAndLenientChecking) {
    HeaderTexts h;
    h.duration = "0,5";
    for (bool strict : {true, false}) {
        TEDFFileInfo info;
        info.SetStrictChecking(strict);
        info.SetDecimalSeparator(',');
        info.AssignRaw(MainRaw(h));
        EXPECT_EQ(info.FieldValid(ffRecordDuration), !strict);
        EXPECT_EQ(info.RecordDuration(), 0.5L);
    }
}

TEST(EDFFileInfo, ChangingStrictnessReDerivesFromTheTextsRead) {
    HeaderTexts h;
    h.startDate = "1.2.03";
    TEDFFileInfo info;
    info.AssignRaw(MainRaw(h));
    EXPECT_FALSE(info.FieldValid(ffStartDate));
    info.SetStrictChecking(false);
    EXPECT_TRUE(info.FieldValid(ffStartDate));
    EXPECT_EQ(info.StartDate(), Date(2003, 2, 1));
}

TEST(EDFFileInfo, SettersMarkModifiedOnlyOnChange) {
    TEDFFileInfo info;
    info.AssignRaw(MainRaw(HeaderTexts{}));
    info.SetNumberOfRecords(3);
    info.SetRecordDuration(1.0L);
    info.SetPatient("MCH-0234567 F 02-MAY-1951 Haagse_Harry   ");
    EXPECT_FALSE(info.Modified());
    info.SetRecordDuration(1.0L + 1e-18L);  // within the comparison tolerance
    EXPECT_FALSE(info.Modified());
    info.SetNumberOfRecords(4);
    EXPECT_TRUE(info.Modified());
}

TEST(EDFFileInfo, DataFreezeTheStructure) {
    TEDFFileInfo info;
    info.SetNumberOfSignals(2);
    info.SetHasData(true);
    for (auto change : {+[](TEDFFileInfo& i) { i.SetNumberOfSignals(3); },
                        +[](TEDFFileInfo& i) { i.SetHeaderBytes(1024); }}) {
        try {
            change(info);
            FAIL() << "no exception";
        } catch (const EDataFileDataExists& e) {
            EXPECT_STREQ(e.what(), "Data file already contains data");
        }
    }
    EXPECT_EQ(info.NumberOfSignals(), 2);
    EXPECT_EQ(info.HeaderBytes(), 768);
}

TEST(EDFFileInfo, EndNeedsAValidHeader) {
    TEDFFileInfo info;
    try {
        info.EndDateTime();
        FAIL() << "no exception";
    } catch (const EDataFileFieldValue& e) {
        EXPECT_STREQ(e.what(), "Invalid field value(s)");
    }
    EXPECT_THROW(info.End(), EDataFileFieldValue);
}

TEST(EDFFileInfo, BuildRawGivesTextsOfValidFieldsOnly) {
    HeaderTexts h;
    h.duration = "x";
    TEDFFileInfo info;
    info.AssignRaw(MainRaw(h));
    const TEDFFileInfoRaw& raw = info.BuildRaw();
    EXPECT_EQ(raw.Version(), "0");
    EXPECT_EQ(raw.StartDate(), "02.03.02");
    EXPECT_EQ(raw.StartClock(), "21.45.00");
    EXPECT_EQ(raw.HeaderBytes(), "512");
    EXPECT_EQ(raw.RecordDuration(), "");
    EXPECT_EQ(raw.NumberOfSignals(), "1");
}

// ---- EDF+ subfields ---------------------------------------------------------------------------

TEST(EDFPatientInfo, ReadsTheSubfields) {
    TEDFPatientInfo p;
    p.Parse("X F 02-AUG-1951 X");
    EXPECT_EQ(p.Code(), "");
    EXPECT_EQ(p.Sex(), 'F');
    EXPECT_EQ(p.Birthdate(), Date(1951, 8, 2));
    EXPECT_EQ(p.Name(), "");
    EXPECT_EQ(p.Additional(), "");

    p.Parse("MCH-0234567 m 02-may-1951 Test_Subject the rest  of it");
    EXPECT_EQ(p.Code(), "MCH-0234567");
    EXPECT_EQ(p.Sex(), 'M');
    EXPECT_EQ(p.Birthdate(), Date(1951, 5, 2));
    EXPECT_EQ(p.Name(), "Test Subject");
    EXPECT_EQ(p.Additional(), "the rest  of it");

    p.Parse("brux2");
    EXPECT_EQ(p.Code(), "brux2");
    EXPECT_EQ(p.Sex(), '\0');
    EXPECT_TRUE(std::isnan(p.Birthdate()));
}

TEST(EDFPatientInfo, ANewBlankSubstituteParsesAgain) {
    TEDFPatientInfo p;
    p.Parse("X X X Test*Subject");
    EXPECT_EQ(p.Name(), "Test*Subject");
    p.SetBlankSubstitute('*');
    EXPECT_EQ(p.Name(), "Test Subject");
}

TEST(EDFRecordingInfo, ReadsTheSubfields) {
    TEDFRecordingInfo r;
    r.Parse("Startdate 02-MAR-2002 PSG-1234/2002 NN Telemetry03 more");
    EXPECT_EQ(r.StartDate(), Date(2002, 3, 2));
    EXPECT_EQ(r.AdminCode(), "PSG-1234/2002");
    EXPECT_EQ(r.Technician(), "NN");
    EXPECT_EQ(r.Equipment(), "Telemetry03");
    EXPECT_EQ(r.Additional(), "more");

    r.Parse("Recorded 02-MAR-2002 PSG-1234/2002");
    EXPECT_TRUE(std::isnan(r.StartDate()));
    EXPECT_EQ(r.AdminCode(), "");
    EXPECT_EQ(r.Additional(), "Recorded 02-MAR-2002 PSG-1234/2002");
}

TEST(EDFFileInfo, PatientAndRecordingSettersParseTheirSubfields) {
    TEDFFileInfo info;
    info.SetPatient("X M 01-JAN-1960 Jan_Jansen");
    EXPECT_EQ(info.PatientInfo().Name(), "Jan Jansen");
    info.SetRecording("STARTDATE 03-APR-2019 X X EEG-1100");
    EXPECT_EQ(info.RecordingInfo().Equipment(), "EEG-1100");
}

// ---- Signal header parsing --------------------------------------------------------------------

struct SignalCase {
    const char* name;
    void (*change)(SignalTexts&);
    int field;
    bool strictValid;
    bool lenientValid;
};

const SignalCase kSignalCases[] = {
    {"label leading blank", [](SignalTexts& s) { s.label = " EEG"; }, sfLabel, false, true},
    {"label above 126",
     [](SignalTexts& s) {
         s.label =
             "Imp\xC3\xA9"
             "dance";
     },
     sfLabel, false, true},
    {"digital minimum real", [](SignalTexts& s) { s.digitalMinimum = "-32768.0"; },
     sfDigitalMinimum, false, true},
    {"digital minimum fraction", [](SignalTexts& s) { s.digitalMinimum = "-100.5"; },
     sfDigitalMinimum, false, false},
    {"digital minimum too small", [](SignalTexts& s) { s.digitalMinimum = "-32769"; },
     sfDigitalMinimum, false, false},
    {"physical minimum right-aligned", [](SignalTexts& s) { s.physicalMinimum = "    -500"; },
     sfPhysicalMinimum, false, true},
    {"physical maximum text", [](SignalTexts& s) { s.physicalMaximum = "max"; }, sfPhysicalMaximum,
     false, false},
    {"physical maximum trailing point", [](SignalTexts& s) { s.physicalMaximum = "500."; },
     sfPhysicalMaximum, true, true},
    {"samples zero", [](SignalTexts& s) { s.samplesPerRecord = "0"; }, sfSamplesPerRecord, false,
     false},
    {"samples right-aligned", [](SignalTexts& s) { s.samplesPerRecord = "       4"; },
     sfSamplesPerRecord, false, true},
};

TEST(EDFSignalInfo, ParsesEachFieldStrictlyAndLeniently) {
    for (const SignalCase& c : kSignalCases) {
        for (bool strict : {true, false}) {
            SignalTexts s;
            c.change(s);
            TEDFSignalInfo info;
            info.SetStrictChecking(strict);
            info.AssignRaw(SignalRaw(s));
            EXPECT_EQ(info.FieldValid(c.field), strict ? c.strictValid : c.lenientValid)
                << c.name << (strict ? " (strict)" : " (lenient)");
            for (int i = 0; i < kEDFFieldCount; ++i)
                if (i != c.field) {
                    EXPECT_TRUE(info.FieldValid(i)) << c.name << ": field " << i;
                }
        }
    }
}

TEST(EDFSignalInfo, ReadsValuesAndGain) {
    SignalTexts s;
    s.physicalMinimum = "-192";
    s.physicalMaximum = "192";
    s.digitalMinimum = "-2048";
    s.digitalMaximum = "2047";
    TEDFSignalInfo info;
    info.AssignRaw(SignalRaw(s));
    EXPECT_TRUE(info.AllFieldsValid());
    EXPECT_EQ(info.Label(), "EEG C3-A2");
    EXPECT_EQ(info.PhysicalMinimum(), -192);
    EXPECT_EQ(info.DigitalMaximum(), 2047);
    EXPECT_EQ(info.SamplesPerRecord(), 4);
    EXPECT_TRUE(info.GainValid());
    EXPECT_EQ(info.Gain(), 384.0L / 4095.0L);
    EXPECT_EQ(info.GetDimension(), "uV");
}

TEST(EDFSignalInfo, EqualDigitalLimitsAreBothInvalid) {
    SignalTexts s;
    s.digitalMinimum = "100";
    s.digitalMaximum = "100";
    TEDFSignalInfo info;
    info.AssignRaw(SignalRaw(s));
    EXPECT_FALSE(info.FieldValid(sfDigitalMinimum));
    EXPECT_FALSE(info.FieldValid(sfDigitalMaximum));
    EXPECT_FALSE(info.GainValid());
}

TEST(EDFSignalInfo, CommaPhysicalLimitsNeedLenientCheckingAndTheSeparator) {
    SignalTexts s;
    s.physicalMinimum = "-0,5";
    for (bool strict : {true, false}) {
        TEDFSignalInfo info;
        info.SetStrictChecking(strict);
        info.SetDecimalSeparator(',');
        info.AssignRaw(SignalRaw(s));
        EXPECT_EQ(info.FieldValid(sfPhysicalMinimum), !strict);
        if (!strict) {
            EXPECT_EQ(info.PhysicalMinimum(), -0.5);
        }
    }
}

TEST(EDFSignalInfo, SamplesPerRecordFreezeWithData) {
    TEDFSignalInfo info;
    info.SetSamplesPerRecord(200);
    info.SetHasData(true);
    info.SetSamplesPerRecord(200);  // no change: allowed
    try {
        info.SetSamplesPerRecord(256);
        FAIL() << "no exception";
    } catch (const EDataFileDataExists& e) {
        EXPECT_STREQ(e.what(), "Data file already contains data");
    }
    EXPECT_EQ(info.SamplesPerRecord(), 200);
}

TEST(EDFSignalInfo, AssignCopiesEverythingButOffsetAndRaw) {
    SignalTexts s;
    s.label = "SU uV**2/x";
    TEDFSignalInfo source;
    source.AssignRaw(SignalRaw(s));
    source.SetSampleOffset(1800);
    TEDFSignalInfo copy;
    copy.Assign(&source);
    EXPECT_EQ(copy.Label(), "SU uV**2/x");
    EXPECT_EQ(copy.Transducer(), source.Transducer());
    EXPECT_EQ(copy.PhysicalMaximum(), 500);
    EXPECT_EQ(copy.DigitalMinimum(), -32768);
    EXPECT_EQ(copy.SamplesPerRecord(), 4);
    EXPECT_EQ(copy.Prefiltering(), source.Prefiltering());
    EXPECT_TRUE(copy.AllFieldsValid());
    EXPECT_TRUE(copy.GainValid());
    EXPECT_EQ(copy.SampleOffset(), 0);
    EXPECT_EQ(copy.Raw().Label(), "");

    TEDFFileInfo info;
    EXPECT_THROW(copy.Assign(&info), EConvertError);
}

}  // namespace
}  // namespace vantrel
