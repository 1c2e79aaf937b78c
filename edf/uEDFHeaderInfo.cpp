#include "edf/uEDFHeaderInfo.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "edf/uDataFile.h"
#include "support/uExceptions.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

// Date and time patterns of the main header and of the EDF+ subfields.
constexpr const char* kStartDatePattern = "dd.mm.yy";
constexpr const char* kStartClockPattern = "hh.nn.ss";
constexpr const char* kLooseDatePattern = "dd?mm?yy";
constexpr const char* kLooseFullDatePattern = "dd?mm?yyyy";
constexpr const char* kLooseClockPattern = "hh?nn?ss";
constexpr const char* kEDFPlusDatePattern = "dd-mmm-yyyy";

// Two-digit start years below this are 20xx, the others 19xx.
constexpr int kFirstCenturyYear = 85;

// The log-float declaration inside a prefiltering text: its start, its length, the text that
// remains when the three 8-character slots are removed, and the 1-based start of each slot.
constexpr const char* kLogFloatStart = "sign*LN[sign*(";
constexpr size_t kLogFloatLength = 46;
constexpr const char* kLogFloatSkeleton = "sign*LN[sign*()/()]/()";
constexpr size_t kLogFloatUnitSlot = 15;
constexpr size_t kLogFloatY0Slot = 26;
constexpr size_t kLogFloatASlot = 38;
constexpr size_t kLogFloatSlotWidth = 8;
constexpr const char* kLogFloatDimension = "Filtered";
constexpr double kLogFloatLimit = 32767;

std::string UpperCase(std::string text) {
    for (char& ch : text)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return text;
}

bool IsDigitChar(char ch) {
    return ch >= '0' && ch <= '9';
}

// The completion shared by start date and start time texts: blanks count as '0', and a
// one-digit first or second part gets its leading zero ("1.2.03" becomes "01.02.03").
std::string CompleteDateTimeText(std::string text) {
    std::replace(text.begin(), text.end(), ' ', '0');
    if (text.size() > 1 && !IsDigitChar(text[1])) text.insert(0, "0");
    if (text.size() > 4 && !IsDigitChar(text[4])) text.insert(3, "0");
    return text;
}

std::string FormatOrEmpty(const char* pattern, double value) {
    const std::string text = FormatDateTimeFmt(pattern, value, kLocaleEnglishUS);
    return text == "NAN" ? std::string() : text;
}

// FloatToEDF, or an empty text when the value does not fit the width.
std::string FloatToEDFOrEmpty(double x, int width, char decimalSeparator, char thousandSeparator) {
    try {
        return FloatToEDF(x, width, decimalSeparator, thousandSeparator);
    } catch (const EConvertError&) {
        return {};
    }
}

bool SameWithin(long double a, long double b, long double resolution) {
    const long double epsilon =
        std::max(std::min(std::fabs(a), std::fabs(b)) * resolution, resolution);
    return a > b ? (a - b) <= epsilon : (b - a) <= epsilon;
}

// Cuts the slot of `width` characters starting at 1-based position `start`; the part that
// exists when the text ends earlier.
std::string Slot(const std::string& text, size_t start, size_t width) {
    return start - 1 < text.size() ? text.substr(start - 1, width) : std::string();
}

}  // namespace

bool SameDouble(double a, double b) {
    return SameWithin(a, b, 1e-12L);
}

bool SameExtended(long double a, long double b) {
    return SameWithin(a, b, 1e-16L);
}

// ---- Raw texts ---------------------------------------------------------------------------------

void TCustomEDFInfoRaw::Assign(const TPersistent* source) {
    const auto* other = dynamic_cast<const TCustomEDFInfoRaw*>(source);
    if (other && other->FWidths == FWidths) {
        FFields = other->FFields;
        return;
    }
    TPersistent::Assign(source);
}

void TCustomEDFInfoRaw::Store(int index, const std::string& text) {
    FFields[index] = text.substr(0, (*FWidths)[index]);
}

const std::string& TCustomEDFInfoRaw::Field(int index) const {
    static const std::string empty;
    return index >= 0 && index < kEDFFieldCount ? FFields[index] : empty;
}

void TEDFFileInfoRaw::SetField(int index, const std::string& text) {
    using TSetter = void (TEDFFileInfoRaw::*)(const std::string&);
    // By field index (TEDFFileField order); the setters are virtual, so overrides apply.
    static constexpr std::array<TSetter, kEDFFieldCount> kSetters = {
        &TEDFFileInfoRaw::SetVersion,        &TEDFFileInfoRaw::SetPatient,
        &TEDFFileInfoRaw::SetRecording,      &TEDFFileInfoRaw::SetStartDate,
        &TEDFFileInfoRaw::SetStartClock,     &TEDFFileInfoRaw::SetHeaderBytes,
        &TEDFFileInfoRaw::SetReserved,       &TEDFFileInfoRaw::SetNumberOfRecords,
        &TEDFFileInfoRaw::SetRecordDuration, &TEDFFileInfoRaw::SetNumberOfSignals};
    if (index >= 0 && index < kEDFFieldCount) (this->*kSetters[index])(text);
}

void TEDFSignalInfoRaw::SetField(int index, const std::string& text) {
    using TSetter = void (TEDFSignalInfoRaw::*)(const std::string&);
    // By field index (TEDFSignalField order); the setters are virtual, so overrides apply.
    static constexpr std::array<TSetter, kEDFFieldCount> kSetters = {
        &TEDFSignalInfoRaw::SetLabel,
        &TEDFSignalInfoRaw::SetTransducer,
        &TEDFSignalInfoRaw::SetPhysicalDimension,
        &TEDFSignalInfoRaw::SetPhysicalMinimum,
        &TEDFSignalInfoRaw::SetPhysicalMaximum,
        &TEDFSignalInfoRaw::SetDigitalMinimum,
        &TEDFSignalInfoRaw::SetDigitalMaximum,
        &TEDFSignalInfoRaw::SetPrefiltering,
        &TEDFSignalInfoRaw::SetSamplesPerRecord,
        &TEDFSignalInfoRaw::SetReserved};
    if (index >= 0 && index < kEDFFieldCount) (this->*kSetters[index])(text);
}

// ---- EDF+ subfields ---------------------------------------------------------------------------

void TCustomEDFInfoString::SetBlankSubstitute(char substitute) {
    FBlankSubstitute = substitute;
}

std::string TCustomEDFInfoString::Decode(const std::string& subfield) const {
    std::string text = subfield;
    std::replace(text.begin(), text.end(), FBlankSubstitute, ' ');
    return text;
}

std::string TCustomEDFInfoString::DecodeKnown(const std::string& subfield) const {
    const std::string text = Decode(subfield);
    return UpperCase(text) == "X" ? std::string() : text;
}

void TEDFPatientInfo::SetBlankSubstitute(char substitute) {
    TCustomEDFInfoString::SetBlankSubstitute(substitute);
    if (!FText.empty()) Parse(FText);
}

void TEDFPatientInfo::Parse(const std::string& text) {
    FText = text;
    FCode.clear();
    FName.clear();
    FAdditional.clear();
    FSex = '\0';
    FBirthdate = kNoDateTime;

    std::string rest = text;
    FCode = DecodeKnown(NextToken(rest, " ", true));
    const std::string sex = UpperCase(NextToken(rest, " ", true));
    if (sex == "F" || sex == "M") FSex = sex[0];
    double birthdate = 0;
    if (TryStrToDateTimeFmt(UpperCase(Decode(NextToken(rest, " ", true))), kEDFPlusDatePattern,
                            birthdate, kLocaleEnglishUS))
        FBirthdate = birthdate;
    FName = DecodeKnown(NextToken(rest, " ", true));
    FAdditional = rest;
}

void TEDFRecordingInfo::SetBlankSubstitute(char substitute) {
    TCustomEDFInfoString::SetBlankSubstitute(substitute);
    if (!FText.empty()) Parse(FText);
}

void TEDFRecordingInfo::Parse(const std::string& text) {
    FText = text;
    FStartDate = kNoDateTime;
    FAdminCode.clear();
    FTechnician.clear();
    FEquipment.clear();
    FAdditional.clear();

    std::string rest = text;
    if (UpperCase(NextToken(rest, " ", true)) != "STARTDATE") {
        FAdditional = text;
        return;
    }
    double startDate = 0;
    if (TryStrToDateTimeFmt(UpperCase(Decode(NextToken(rest, " ", true))), kEDFPlusDatePattern,
                            startDate, kLocaleEnglishUS))
        FStartDate = startDate;
    FAdminCode = DecodeKnown(NextToken(rest, " ", true));
    FTechnician = DecodeKnown(NextToken(rest, " ", true));
    FEquipment = DecodeKnown(NextToken(rest, " ", true));
    FAdditional = rest;
}

// ---- TCustomEDFFileHeaderInfo -----------------------------------------------------------------

TCustomEDFFileHeaderInfo::TCustomEDFFileHeaderInfo(TCustomBaseEDFFile* owner, int fieldCount)
    : FOwner(owner), FFieldValid(static_cast<size_t>(std::max(fieldCount, 0)), false) {}

bool TCustomEDFFileHeaderInfo::FieldValid(int index) const {
    return index >= 0 && index < static_cast<int>(FFieldValid.size()) && FFieldValid[index];
}

void TCustomEDFFileHeaderInfo::SetFieldValid(int index, bool valid) {
    if (index >= 0 && index < static_cast<int>(FFieldValid.size())) FFieldValid[index] = valid;
}

void TCustomEDFFileHeaderInfo::ClearFieldValid() {
    std::fill(FFieldValid.begin(), FFieldValid.end(), false);
}

bool TCustomEDFFileHeaderInfo::AllFieldsValid() const {
    for (int i = 0; i < FieldCount(); ++i)
        if (!FieldValid(i)) return false;
    return true;
}

void TCustomEDFFileHeaderInfo::SetStrictChecking(bool strict) {
    FStrictChecking = strict;
    Revalidate();
}

void TCustomEDFFileHeaderInfo::SetDecimalSeparator(char separator) {
    FDecimalSeparator = separator;
    Revalidate();
}

void TCustomEDFFileHeaderInfo::SetThousandSeparator(char separator) {
    FThousandSeparator = separator;
    Revalidate();
}

void TCustomEDFFileHeaderInfo::CopySeparators(const TCustomEDFFileHeaderInfo& other) {
    FDecimalSeparator = other.FDecimalSeparator;
    FThousandSeparator = other.FThousandSeparator;
}

bool TCustomEDFFileHeaderInfo::TextFieldValid(const std::string& text) const {
    return !FStrictChecking || (IsPrintableAscii(text) && IsLeftAligned(text));
}

bool TCustomEDFFileHeaderInfo::TryReadFloat(const std::string& text, double& value) const {
    return TryStrToFloatSep(text, FDecimalSeparator, FThousandSeparator, value);
}

// ---- TCustomEDFFileInfo -----------------------------------------------------------------------

TCustomEDFFileInfo::TCustomEDFFileInfo(TCustomBaseEDFFile* owner)
    : TCustomEDFFileHeaderInfo(owner, kEDFFieldCount) {
    SetFieldValid(ffPatient, true);
    SetFieldValid(ffRecording, true);
    SetFieldValid(ffReserved, true);
}

void TCustomEDFFileInfo::Revalidate() {
    const bool hadData = HasData();
    SetHasData(false);
    AssignRaw(FRawIn);
    SetHasData(hadData);
}

void TCustomEDFFileInfo::SetTextField(int index, std::string& field, const std::string& text) {
    const std::string stored = TrimRight(text);
    if (stored != field) SetModified(true);
    field = stored;
    SetFieldValid(index, TextFieldValid(text));
}

void TCustomEDFFileInfo::SetVersion(const std::string& text) {
    const std::string stored = TrimRight(text);
    if (stored != FVersion) SetModified(true);
    FVersion = stored;
    SetFieldValid(ffVersion, FVersion == "0");
}

void TCustomEDFFileInfo::SetPatient(const std::string& text) {
    SetTextField(ffPatient, FPatient, text);
    FPatientInfo.Parse(FPatient);
}

void TCustomEDFFileInfo::SetRecording(const std::string& text) {
    SetTextField(ffRecording, FRecording, text);
    FRecordingInfo.Parse(FRecording);
}

void TCustomEDFFileInfo::SetReserved(const std::string& text) {
    SetTextField(ffReserved, FReserved, text);
}

std::string TCustomEDFFileInfo::GetPatient() const {
    return FPatient;
}

std::string TCustomEDFFileInfo::GetRecording() const {
    return FRecording;
}

void TCustomEDFFileInfo::UpdateStartDateTime() {
    if (FieldValid(ffStartDate) && FieldValid(ffStartClock))
        FStartDateTime = FStartDate + FStartClock;
}

void TCustomEDFFileInfo::SetStartDate(double d) {
    if (!SameDouble(d, FStartDate)) SetModified(true);
    FStartDate = std::trunc(d);
    SetFieldValid(ffStartDate, d >= 0);
    UpdateStartDateTime();
}

void TCustomEDFFileInfo::SetStartClock(double t) {
    if (!SameDouble(t, FStartClock)) SetModified(true);
    FStartClock = t - std::trunc(t);
    SetFieldValid(ffStartClock, t >= 0);
    UpdateStartDateTime();
}

void TCustomEDFFileInfo::SetStartDateTime(double x) {
    if (!SameDouble(x, FStartDateTime)) SetModified(true);
    SetStartDate(std::trunc(x));
    SetStartClock(x - std::trunc(x));
    FStartDateTime = x;
}

void TCustomEDFFileInfo::SetHeaderBytes(int32_t bytes) {
    if (HasData()) throw EDataFileDataExists();
    if (bytes != FHeaderBytes) SetModified(true);
    FHeaderBytes = bytes;
    SetFieldValid(ffHeaderBytes, bytes >= 0);
}

void TCustomEDFFileInfo::SetNumberOfRecords(int32_t count) {
    // A header made field by field has no count text; keeping one lets Revalidate restore it.
    if (Trim(FRawIn.NumberOfRecords()).empty()) FRawIn.SetNumberOfRecords(std::to_string(count));
    if (count != FNumberOfRecords) SetModified(true);
    FNumberOfRecords = count;
    SetFieldValid(ffNumberOfRecords, count >= -1);
}

bool TCustomEDFFileInfo::SetRecordDuration(long double seconds) {
    if (!SameExtended(seconds, FRecordDuration)) SetModified(true);
    FRecordDuration = seconds;
    const bool valid = seconds > 0 && std::isfinite(seconds);
    SetFieldValid(ffRecordDuration, valid);
    return valid;
}

void TCustomEDFFileInfo::SetNumberOfSignals(int32_t count) {
    if (HasData()) throw EDataFileDataExists();
    if (count != FNumberOfSignals) SetModified(true);
    FNumberOfSignals = count;
    SetFieldValid(ffNumberOfSignals, count >= 0);
    // A count whose header size does not fit 32 bits gives an invalid header size.
    const int64_t bytes = count < 0 ? 0 : (static_cast<int64_t>(count) + 1) * kEDFSignalHeaderBytes;
    SetHeaderBytes(bytes <= INT32_MAX ? static_cast<int32_t>(bytes) : -1);
}

double TCustomEDFFileInfo::EndDateTime() const {
    if (!AllFieldsValid()) throw EDataFileFieldValue();
    return static_cast<double>(FStartDateTime + FNumberOfRecords * FRecordDuration / 86400.0L);
}

THPDateTime TCustomEDFFileInfo::Start() const {
    return THPDateTime(FStartDateTime);
}

THPDateTime TCustomEDFFileInfo::End() const {
    if (!AllFieldsValid()) throw EDataFileFieldValue();
    THPDateTime end = Start();
    end.AddSeconds(static_cast<double>(FNumberOfRecords * FRecordDuration));
    return end;
}

void TCustomEDFFileInfo::SetStart(const THPDateTime& start) {
    SetStartDateTime(start.DateTime());
}

void TCustomEDFFileInfo::AssignRaw(const TEDFFileInfoRaw& raw) {
    const TEDFFileInfoRaw given = raw;  // raw may be our own RawIn
    // Parsing defines the record structure, so it may change it even when data exist.
    const bool hadData = HasData();
    SetHasData(false);

    FRawIn = given;
    ClearFieldValid();
    SetVersion(given.Version());
    FPatientInfo.Parse(TrimRight(given.Patient()));
    SetPatient(given.Patient());
    FRecordingInfo.Parse(TrimRight(given.Recording()));
    SetRecording(given.Recording());
    SetStartDateText(Trim(given.StartDate()));
    SetStartClockText(Trim(given.StartClock()));
    if (IsInt32Text(given.HeaderBytes())) SetHeaderBytes(StrToInt32Or0(given.HeaderBytes()));
    SetReserved(given.Reserved());
    if (IsInt32Text(given.NumberOfRecords()))
        SetNumberOfRecords(StrToInt32Or0(given.NumberOfRecords()));
    double duration = 0;
    if (TryReadFloat(Trim(given.RecordDuration()), duration))
        SetRecordDuration(duration);
    else
        SetFieldValid(ffRecordDuration, false);

    // The signal count sets a computed header size; keep the size (and its flag) as read.
    const int32_t headerBytesRead = FHeaderBytes;
    const bool headerBytesReadValid = FieldValid(ffHeaderBytes);
    if (IsInt32Text(given.NumberOfSignals()))
        SetNumberOfSignals(StrToInt32Or0(given.NumberOfSignals()));
    FHeaderBytes = headerBytesRead;
    const int64_t expectedBytes =
        (static_cast<int64_t>(FNumberOfSignals) + 1) * kEDFSignalHeaderBytes;
    SetFieldValid(ffHeaderBytes, headerBytesReadValid && FieldValid(ffNumberOfSignals) &&
                                     expectedBytes == FHeaderBytes);

    SetModified(false);
    if (StrictChecking()) ApplyStrictPatterns();
    SetHasData(hadData);
}

void TCustomEDFFileInfo::ApplyStrictPatterns() {
    if (!IsDateTimeText(FRawIn.StartDate(), kStartDatePattern, kLocaleEnglishUS))
        SetFieldValid(ffStartDate, false);
    if (!IsDateTimeText(FRawIn.StartClock(), kStartClockPattern, kLocaleEnglishUS))
        SetFieldValid(ffStartClock, false);
    for (int index : {ffNumberOfRecords, ffRecordDuration, ffNumberOfSignals})
        if (!IsLeftAligned(FRawIn.Field(index))) SetFieldValid(index, false);
    // The standard writes reals with a point and without grouping, as for the signal ranges.
    if (DecimalSeparator() != '.' || ThousandSeparator() != '\0')
        SetFieldValid(ffRecordDuration, false);
}

const TEDFFileInfoRaw& TCustomEDFFileInfo::BuildRaw() {
    TEDFFileInfoRaw raw;
    auto textIfValid = [this](int index, const std::string& text) {
        return FieldValid(index) ? text : std::string();
    };
    raw.SetVersion(textIfValid(ffVersion, FVersion));
    raw.SetPatient(textIfValid(ffPatient, FPatient));
    raw.SetRecording(textIfValid(ffRecording, FRecording));
    raw.SetStartDate(textIfValid(ffStartDate, FormatOrEmpty(kStartDatePattern, FStartDateTime)));
    raw.SetStartClock(textIfValid(ffStartClock, FormatOrEmpty(kStartClockPattern, FStartDateTime)));
    if (FieldValid(ffNumberOfSignals))
        raw.SetHeaderBytes(
            std::to_string((static_cast<int64_t>(FNumberOfSignals) + 1) * kEDFSignalHeaderBytes));
    raw.SetReserved(textIfValid(ffReserved, FReserved));
    raw.SetNumberOfRecords(textIfValid(ffNumberOfRecords, std::to_string(FNumberOfRecords)));
    if (FieldValid(ffRecordDuration))
        raw.SetRecordDuration(FloatToEDFOrEmpty(static_cast<double>(FRecordDuration), 8,
                                                DecimalSeparator(), ThousandSeparator()));
    raw.SetNumberOfSignals(textIfValid(ffNumberOfSignals, std::to_string(FNumberOfSignals)));
    FRawOut = raw;
    return FRawOut;
}

// ---- TEDFFileInfo -----------------------------------------------------------------------------

TEDFFileInfo::TEDFFileInfo(TCustomBaseEDFFile* owner) : TCustomEDFFileInfo(owner) {}

void TEDFFileInfo::SetStartDateText(const std::string& text) {
    std::string date = CompleteDateTimeText(text);
    if (!IsDateTimeText(date, kLooseDatePattern, kLocaleEnglishUS)) return;
    const int twoDigitYear = (date[6] - '0') * 10 + (date[7] - '0');
    date.insert(6, twoDigitYear < kFirstCenturyYear ? "20" : "19");
    double value = 0;
    if (TryStrToDateTimeFmt(date, kLooseFullDatePattern, value, kLocaleEnglishUS))
        SetStartDate(value);
}

void TEDFFileInfo::SetStartClockText(const std::string& text) {
    double value = 0;
    if (TryStrToDateTimeFmt(CompleteDateTimeText(text), kLooseClockPattern, value,
                            kLocaleEnglishUS))
        SetStartClock(value);
}

// ---- TCustomEDFSignalInfo ---------------------------------------------------------------------

TCustomEDFSignalInfo::TCustomEDFSignalInfo(TCustomBaseEDFFile* owner)
    : TCustomEDFFileHeaderInfo(owner, kEDFFieldCount) {
    for (int index : {sfLabel, sfTransducer, sfPhysicalDimension, sfPrefiltering, sfReserved})
        SetFieldValid(index, true);
}

void TCustomEDFSignalInfo::Revalidate() {
    const bool hadData = HasData();
    SetHasData(false);
    AssignRaw(FRaw);
    SetHasData(hadData);
}

void TCustomEDFSignalInfo::SetTextField(int index, std::string& field, const std::string& text) {
    const std::string stored = TrimRight(text);
    if (stored != field) SetModified(true);
    field = stored;
    SetFieldValid(index, TextFieldValid(text));
}

void TCustomEDFSignalInfo::SetLabel(const std::string& text) {
    SetTextField(sfLabel, FLabel, text);
}
void TCustomEDFSignalInfo::SetTransducer(const std::string& text) {
    SetTextField(sfTransducer, FTransducer, text);
}
void TCustomEDFSignalInfo::SetPhysicalDimension(const std::string& text) {
    SetTextField(sfPhysicalDimension, FPhysicalDimension, text);
}
void TCustomEDFSignalInfo::SetPrefiltering(const std::string& text) {
    SetTextField(sfPrefiltering, FPrefiltering, text);
}
void TCustomEDFSignalInfo::SetReserved(const std::string& text) {
    SetTextField(sfReserved, FReserved, text);
}

void TCustomEDFSignalInfo::SetPhysicalMinimum(double value) {
    if (!SameDouble(value, FPhysicalMinimum)) SetModified(true);
    FPhysicalMinimum = value;
    SetFieldValid(sfPhysicalMinimum, std::isfinite(value));
    UpdateGain();
}

void TCustomEDFSignalInfo::SetPhysicalMaximum(double value) {
    if (!SameDouble(value, FPhysicalMaximum)) SetModified(true);
    FPhysicalMaximum = value;
    SetFieldValid(sfPhysicalMaximum, std::isfinite(value));
    UpdateGain();
}

void TCustomEDFSignalInfo::SetDigitalMinimum(int16_t value) {
    if (value != FDigitalMinimum) SetModified(true);
    FDigitalMinimum = value;
    SetFieldValid(sfDigitalMinimum, true);
    UpdateGain();
}

void TCustomEDFSignalInfo::SetDigitalMaximum(int16_t value) {
    if (value != FDigitalMaximum) SetModified(true);
    FDigitalMaximum = value;
    SetFieldValid(sfDigitalMaximum, true);
    UpdateGain();
}

void TCustomEDFSignalInfo::SetSamplesPerRecord(int32_t count) {
    if (count != FSamplesPerRecord) {
        if (HasData()) throw EDataFileDataExists();
        SetModified(true);
        FSamplesPerRecord = count;
    }
    SetFieldValid(sfSamplesPerRecord, FSamplesPerRecord > 0);
}

void TCustomEDFSignalInfo::UpdateGain() {
    FGainValid = FieldValid(sfPhysicalMinimum) && FieldValid(sfPhysicalMaximum) &&
                 FieldValid(sfDigitalMinimum) && FieldValid(sfDigitalMaximum) &&
                 FDigitalMinimum != FDigitalMaximum && FPhysicalMinimum != FPhysicalMaximum;
    if (FGainValid)
        FGain = (static_cast<long double>(FPhysicalMaximum) - FPhysicalMinimum) /
                (static_cast<long double>(FDigitalMaximum) - FDigitalMinimum);
}

// A digital limit: an integer text within the 16-bit range, or, with lenient checking, a real
// text without fraction within that range (some writers put "-32768.0" there).
void TCustomEDFSignalInfo::ReadDigitalLimit(int index, const std::string& text) {
    auto set = [this, index](int16_t value) {
        index == sfDigitalMinimum ? SetDigitalMinimum(value) : SetDigitalMaximum(value);
    };
    if (IsSmallIntText(text)) {
        set(static_cast<int16_t>(StrToInt32Or0(text)));
        return;
    }
    double value = 0;
    if (!StrictChecking() && TryReadFloat(Trim(text), value) && value == std::trunc(value) &&
        value >= INT16_MIN && value <= INT16_MAX)
        set(static_cast<int16_t>(value));
}

void TCustomEDFSignalInfo::AssignRaw(const TEDFSignalInfoRaw& raw) {
    const TEDFSignalInfoRaw given = raw;  // raw may be our own Raw
    const bool hadData = HasData();
    SetHasData(false);

    FRaw = given;
    ClearFieldValid();
    SetLabel(given.Label());
    SetTransducer(given.Transducer());
    SetPhysicalDimension(given.PhysicalDimension());
    double value = 0;
    if (TryReadFloat(Trim(given.PhysicalMinimum()), value)) SetPhysicalMinimum(value);
    if (TryReadFloat(Trim(given.PhysicalMaximum()), value)) SetPhysicalMaximum(value);
    ReadDigitalLimit(sfDigitalMinimum, given.DigitalMinimum());
    ReadDigitalLimit(sfDigitalMaximum, given.DigitalMaximum());
    if (FieldValid(sfDigitalMinimum) && FieldValid(sfDigitalMaximum) &&
        FDigitalMinimum >= FDigitalMaximum) {
        SetFieldValid(sfDigitalMinimum, false);
        SetFieldValid(sfDigitalMaximum, false);
    }
    SetPrefiltering(given.Prefiltering());
    if (IsInt32Text(given.SamplesPerRecord()))
        SetSamplesPerRecord(StrToInt32Or0(given.SamplesPerRecord()));
    SetReserved(given.Reserved());
    if (StrictChecking()) ApplyStrictAlignment();
    UpdateGain();

    SetModified(false);
    SetHasData(hadData);
}

void TCustomEDFSignalInfo::ApplyStrictAlignment() {
    const bool plainSeparators = DecimalSeparator() == '.' && ThousandSeparator() == '\0';
    for (int index : {sfPhysicalMinimum, sfPhysicalMaximum})
        if (!plainSeparators || !IsLeftAligned(FRaw.Field(index))) SetFieldValid(index, false);
    for (int index : {sfDigitalMinimum, sfDigitalMaximum, sfSamplesPerRecord})
        if (!IsLeftAligned(FRaw.Field(index))) SetFieldValid(index, false);
}

TEDFSignalInfoRaw TCustomEDFSignalInfo::BuildRaw() const {
    TEDFSignalInfoRaw raw;
    auto textIfValid = [this](int index, const std::string& text) {
        return FieldValid(index) ? text : std::string();
    };
    auto realIfValid = [this](int index, double value) {
        return FieldValid(index) ? FloatToEDFOrEmpty(value, kEDFSignalFieldWidths[index],
                                                     DecimalSeparator(), ThousandSeparator())
                                 : std::string();
    };
    raw.SetLabel(textIfValid(sfLabel, FLabel));
    raw.SetTransducer(textIfValid(sfTransducer, FTransducer));
    raw.SetPhysicalDimension(textIfValid(sfPhysicalDimension, FPhysicalDimension));
    raw.SetPhysicalMinimum(realIfValid(sfPhysicalMinimum, FPhysicalMinimum));
    raw.SetPhysicalMaximum(realIfValid(sfPhysicalMaximum, FPhysicalMaximum));
    raw.SetDigitalMinimum(textIfValid(sfDigitalMinimum, std::to_string(FDigitalMinimum)));
    raw.SetDigitalMaximum(textIfValid(sfDigitalMaximum, std::to_string(FDigitalMaximum)));
    raw.SetPrefiltering(textIfValid(sfPrefiltering, FPrefiltering));
    raw.SetSamplesPerRecord(textIfValid(sfSamplesPerRecord, std::to_string(FSamplesPerRecord)));
    raw.SetReserved(textIfValid(sfReserved, FReserved));
    return raw;
}

void TCustomEDFSignalInfo::Assign(const TPersistent* source) {
    const auto* other = dynamic_cast<const TCustomEDFSignalInfo*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this) return;
    SetStrictChecking(other->StrictChecking());
    // The separators are copied without the re-parse their setters would start.
    CopySeparators(*other);
    SetDigitalMaximum(other->FDigitalMaximum);
    SetDigitalMinimum(other->FDigitalMinimum);
    SetSamplesPerRecord(other->FSamplesPerRecord);
    SetPhysicalDimension(other->GetDimension());
    SetPhysicalMaximum(other->FPhysicalMaximum);
    SetPhysicalMinimum(other->FPhysicalMinimum);
    SetPrefiltering(other->GetPrefiltering());
    SetReserved(other->FReserved);
    SetLabel(other->FLabel);
    SetTransducer(other->FTransducer);
    for (int i = 0; i < FieldCount(); ++i)
        SetFieldValid(i, other->FieldValid(i));
    UpdateGain();
}

bool TCustomEDFSignalInfo::IsAnnotation() const {
    return Trim(FLabel) == kEDFAnnotationsLabel;
}

// ---- Log-float declaration --------------------------------------------------------------------

bool TCustomEDFSignalInfo::IsLogFloat() const {
    if (!AllFieldsValid()) return false;
    const size_t start = FPrefiltering.find(kLogFloatStart);
    if (start == std::string::npos) return false;
    const std::string declaration = FPrefiltering.substr(start, kLogFloatLength);

    std::string skeleton = declaration;
    for (size_t slot : {kLogFloatASlot, kLogFloatY0Slot, kLogFloatUnitSlot})
        if (slot - 1 < skeleton.size()) skeleton.erase(slot - 1, kLogFloatSlotWidth);
    if (skeleton != kLogFloatSkeleton) return false;

    if (FPhysicalDimension != kLogFloatDimension || FDigitalMinimum != -kLogFloatLimit ||
        FPhysicalMinimum != -kLogFloatLimit || FDigitalMaximum != kLogFloatLimit ||
        FPhysicalMaximum != kLogFloatLimit)
        return false;

    const std::string unit = Slot(declaration, kLogFloatUnitSlot, kLogFloatSlotWidth);
    const std::string y0Text = Slot(declaration, kLogFloatY0Slot, kLogFloatSlotWidth);
    const std::string aText = Slot(declaration, kLogFloatASlot, kLogFloatSlotWidth);
    double y0 = 0;
    double a = 0;
    if (!IsLeftAligned(unit) || !IsLeftAligned(y0Text) || !IsLeftAligned(aText) ||
        !TryReadFloat(y0Text, y0) || !TryReadFloat(aText, a))
        return false;

    FLogFloatDimension = Trim(unit);
    FLogFloatY0 = y0;
    FLogFloatA = a;
    return true;
}

const std::string& TCustomEDFSignalInfo::LogFloatDimension() const {
    IsLogFloat();
    return FLogFloatDimension;
}

double TCustomEDFSignalInfo::LogFloatY0() const {
    IsLogFloat();
    return FLogFloatY0;
}

double TCustomEDFSignalInfo::LogFloatA() const {
    IsLogFloat();
    return FLogFloatA;
}

std::string TCustomEDFSignalInfo::GetDimension() const {
    return IsLogFloat() ? FLogFloatDimension : FPhysicalDimension;
}

TEDFSignalInfo::TEDFSignalInfo(TCustomBaseEDFFile* owner) : TCustomEDFSignalInfo(owner) {}

}  // namespace vantrel
