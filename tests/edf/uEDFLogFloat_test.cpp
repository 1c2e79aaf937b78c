// The log-float declaration of a signal header, and log-float samples through a file.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "EDFTestFiles.h"
#include "edf/uEDF.h"
#include "edf/uEDFHeaderInfo.h"
#include "support/uLocale.h"
#include "support/uMath.h"
#include "support/udStr.h"

namespace vantrel {
namespace {

constexpr double kY0 = 0.0001;
constexpr double kA = 0.001;

// The declaration as a writer makes it: unit, Y0 and A each in 8 characters.
std::string Declaration(const std::string& unit, double y0, double a) {
    const TFormatSettings settings = GetLocaleFormatSettings(kLocaleEnglishUS);
    return "sign*LN[sign*(" + PadRight(unit, 8) + ")/(" + FloatToFixedWidth(y0, 8, settings) +
           ")]/(" + FloatToFixedWidth(a, 8, settings) + ")";
}

// A complete log-float signal header.
void MakeLogFloat(TCustomEDFSignalInfo& s, const std::string& prefiltering) {
    s.SetLabel("SU uV**2/x");
    s.SetTransducer("");
    s.SetPhysicalDimension("Filtered");
    s.SetPhysicalMinimum(-32767);
    s.SetPhysicalMaximum(32767);
    s.SetDigitalMinimum(-32767);
    s.SetDigitalMaximum(32767);
    s.SetPrefiltering(prefiltering);
    s.SetSamplesPerRecord(1800);
    s.SetReserved("");
}

TEST(LogFloatHeader, TheWritersDeclarationIsRecognised) {
    EXPECT_EQ(Declaration("at 2.0Hz", kY0, kA), "sign*LN[sign*(at 2.0Hz)/(0.0001  )]/(0.001   )");
    TEDFSignalInfo s;
    MakeLogFloat(s, Declaration("at 2.0Hz", kY0, kA) + " (a reference)");
    EXPECT_TRUE(s.IsLogFloat());
    EXPECT_EQ(s.LogFloatDimension(), "at 2.0Hz");
    EXPECT_EQ(s.LogFloatY0(), kY0);
    EXPECT_EQ(s.LogFloatA(), kA);
    EXPECT_EQ(s.GetDimension(), "at 2.0Hz");
    EXPECT_EQ(s.PhysicalDimension(), "Filtered");
}

TEST(LogFloatHeader, EveryConditionOfTheDeclarationCounts) {
    struct Case {
        const char* name;
        void (*change)(TEDFSignalInfo&);
        bool logFloat;
    };
    const Case cases[] = {
        {"text before the declaration",
         [](TEDFSignalInfo& s) { s.SetPrefiltering("SU: " + Declaration("uV", kY0, kA)); }, true},
        {"other dimension", [](TEDFSignalInfo& s) { s.SetPhysicalDimension("uV"); }, false},
        {"physical minimum -32768", [](TEDFSignalInfo& s) { s.SetPhysicalMinimum(-32768); }, false},
        {"physical maximum 32768", [](TEDFSignalInfo& s) { s.SetPhysicalMaximum(32768); }, false},
        {"unit slot of 7 characters",
         [](TEDFSignalInfo& s) {
             s.SetPrefiltering("sign*LN[sign*(uV     )/(0.0001  )]/(0.001   )");
         },
         false},
        {"digital maximum 32766", [](TEDFSignalInfo& s) { s.SetDigitalMaximum(32766); }, false},
        {"unit slot not left-aligned",
         [](TEDFSignalInfo& s) {
             s.SetPrefiltering("sign*LN[sign*(  uV    )/(0.0001  )]/(0.001   )");
         },
         false},
        {"Y0 not a number",
         [](TEDFSignalInfo& s) {
             s.SetPrefiltering("sign*LN[sign*(uV      )/(Y0      )]/(0.001   )");
         },
         false},
        {"A with a comma",
         [](TEDFSignalInfo& s) {
             s.SetPrefiltering("sign*LN[sign*(uV      )/(0.0001  )]/(0,001   )");
         },
         false},
        {"declaration cut short",
         [](TEDFSignalInfo& s) { s.SetPrefiltering(Declaration("uV", kY0, kA).substr(0, 45)); },
         false},
        {"skeleton changed",
         [](TEDFSignalInfo& s) {
             s.SetPrefiltering("sign*LN[sign*(uV      )/(0.0001  )]*(0.001   )");
         },
         false},
        {"some field invalid", [](TEDFSignalInfo& s) { s.SetLabel(" SU"); }, false},
    };
    for (const Case& c : cases) {
        TEDFSignalInfo s;
        MakeLogFloat(s, Declaration("uV", kY0, kA));
        c.change(s);
        EXPECT_EQ(s.IsLogFloat(), c.logFloat) << c.name;
    }
}

TEST(LogFloatHeader, TheAnswerFollowsEverySetter) {
    TEDFSignalInfo s;
    MakeLogFloat(s, Declaration("uV", kY0, kA));
    ASSERT_TRUE(s.IsLogFloat());
    s.SetPhysicalDimension("uV");
    EXPECT_FALSE(s.IsLogFloat());
    EXPECT_EQ(s.GetDimension(), "uV");
    s.SetPhysicalDimension("Filtered");
    s.SetPhysicalMaximum(32768);
    EXPECT_EQ(s.GetDimension(), "Filtered");
    s.SetPhysicalMaximum(32767);
    EXPECT_TRUE(s.IsLogFloat());
    s.SetPrefiltering(Declaration("mV", 0.5, 0.002));
    EXPECT_EQ(s.GetDimension(), "mV");
    EXPECT_EQ(s.LogFloatY0(), 0.5);
    s.SetPrefiltering("HP:0.1Hz");
    EXPECT_FALSE(s.IsLogFloat());
    EXPECT_EQ(s.LogFloatY0(), 0.5);  // kept from the last declaration
}

TEST(LogFloatHeader, TheSeparatorsOfTheHeaderReadTheParameters) {
    TEDFSignalInfo s;
    s.SetStrictChecking(false);
    MakeLogFloat(s, "sign*LN[sign*(uV      )/(0,0001  )]/(0,001   )");
    EXPECT_FALSE(s.IsLogFloat());
    // The separator setter re-derives the header from its raw texts, so read them from raw.
    TEDFSignalInfoRaw raw;
    raw.SetLabel("SU");
    raw.SetPhysicalDimension("Filtered");
    raw.SetPhysicalMinimum("-32767");
    raw.SetPhysicalMaximum("32767");
    raw.SetDigitalMinimum("-32767");
    raw.SetDigitalMaximum("32767");
    raw.SetPrefiltering("sign*LN[sign*(uV      )/(0,0001  )]/(0,001   )");
    raw.SetSamplesPerRecord("1800");
    s.AssignRaw(raw);
    s.SetDecimalSeparator(',');
    EXPECT_TRUE(s.IsLogFloat());
    EXPECT_EQ(s.LogFloatA(), kA);
}

TEST(LogFloatHeader, ACopyTakesTheUnitAsItsDimension) {
    TEDFSignalInfo source;
    MakeLogFloat(source, Declaration("uV**2", kY0, kA));
    TEDFSignalInfo copy;
    copy.Assign(&source);
    EXPECT_EQ(copy.PhysicalDimension(), "uV**2");
    EXPECT_FALSE(copy.IsLogFloat());
    EXPECT_EQ(copy.Prefiltering(), source.Prefiltering());
}

TEST(LogFloatSamples, CodesSurviveAFileUnchanged) {
    vantrel_test::ScratchDir dir;
    const std::string path = dir.File("logfloat.edf");
    const double values[] = {0, 1e-5, -1e-5, 1.5e-4, 1, -1, 123.456, -98765.4321, 1e10, -1e12};
    {
        TEDFFile file;
        file.SetFileName(path);
        file.CreateNew(1, true);
        file.FileInfo().SetRecordDuration(1800);
        file.FileInfo().SetStartDateTime(40000.5);
        MakeLogFloat(file.Signal(0), Declaration("uV", kY0, kA));
        file.WriteHeader();
        ASSERT_TRUE(file.IsOpen());
        TDynSmallIntArray& buffer = file.GetRecordBuffer();
        for (size_t i = 0; i < std::size(values); ++i)
            buffer[i] = static_cast<int16_t>(LogFloatEncode(values[i], kY0, kA));
        file.WriteRecord(0);
    }
    TEDFFile file;
    file.SetFileName(path);
    file.SetReadOnly(true);
    file.SetActive(true);
    ASSERT_TRUE(file.IsValid());
    const TCustomEDFSignalInfo& s = file.Signal(0);
    ASSERT_TRUE(s.IsLogFloat());
    file.ReadRecord(0);
    const TDynSmallIntArray& buffer = file.GetRecordBuffer();
    for (size_t i = 0; i < std::size(values); ++i) {
        const int code = LogFloatEncode(values[i], s.LogFloatY0(), s.LogFloatA());
        EXPECT_EQ(buffer[i], code) << values[i];
        const long double decoded = LogFloatDecode(buffer[i], s.LogFloatY0(), s.LogFloatA());
        EXPECT_EQ(LogFloatEncode(static_cast<double>(decoded), kY0, kA), code) << values[i];
        if (std::fabs(values[i]) > 2 * kY0 && std::fabs(values[i]) < 1e9) {
            EXPECT_NEAR(static_cast<double>(decoded / values[i]), 1.0, kA) << values[i];
        }
    }
}

}  // namespace
}  // namespace vantrel
