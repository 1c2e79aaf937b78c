// The in-memory model of an EDF header: one file-level header object per file and one signal
// header object per signal.
//
// An EDF header is ASCII text: a 256-byte main header followed by 256 bytes per signal, every
// field left-justified and padded with spaces. The main header fields stand one after another;
// the signal fields are stored field by field, each field once for every signal in signal order.
//
//   index  main header field       width   signal header field     width
//   0      Version                 8       Label                   16
//   1      Patient                 80      Transducer              80
//   2      Recording               80      PhysicalDimension       8
//   3      StartDate "dd.mm.yy"    8       PhysicalMinimum         8
//   4      StartClock "hh.nn.ss"   8       PhysicalMaximum         8
//   5      HeaderBytes             8       DigitalMinimum          8
//   6      Reserved                44      DigitalMaximum          8
//   7      NumberOfRecords         8       Prefiltering            80
//   8      RecordDuration (s)      8       SamplesPerRecord        8
//   9      NumberOfSignals         4       Reserved                32
//
// Every header object keeps, per field, the parsed value, a validity flag (FieldValid(index))
// and the raw text last read. Parsing never raises: a text that does not parse leaves its field
// invalid. Checking is strict by default (printable ASCII, left-aligned texts, the exact date
// and time patterns, '.' as decimal separator); lenient checking accepts what real-world
// writers produce as long as the value can be read.
//
// Reading and writing the header bytes is done by the file object (uEDFFile.h).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "support/uDateTime.h"
#include "support/uDynamicArray.h"
#include "support/uHPDateTime.h"
#include "support/udRoot.h"

namespace vantrel {

class TCustomBaseEDFFile;  // the file a header object belongs to (uEDFFile.h)

// ---- Field layout -----------------------------------------------------------------------------

// Field indexes of the main header.
enum TEDFFileField : int {
    ffVersion = 0,
    ffPatient = 1,
    ffRecording = 2,
    ffStartDate = 3,
    ffStartClock = 4,
    ffHeaderBytes = 5,
    ffReserved = 6,
    ffNumberOfRecords = 7,
    ffRecordDuration = 8,
    ffNumberOfSignals = 9,
};

// Field indexes of a signal header.
enum TEDFSignalField : int {
    sfLabel = 0,
    sfTransducer = 1,
    sfPhysicalDimension = 2,
    sfPhysicalMinimum = 3,
    sfPhysicalMaximum = 4,
    sfDigitalMinimum = 5,
    sfDigitalMaximum = 6,
    sfPrefiltering = 7,
    sfSamplesPerRecord = 8,
    sfReserved = 9,
};

inline constexpr int kEDFFieldCount = 10;
inline constexpr int kEDFMainHeaderBytes = 256;    // the main header
inline constexpr int kEDFSignalHeaderBytes = 256;  // each signal header
// Widths of the fields, by field index.
inline constexpr std::array<int, kEDFFieldCount> kEDFFileFieldWidths = {8, 80, 80, 8, 8,
                                                                        8, 44, 8,  8, 4};
inline constexpr std::array<int, kEDFFieldCount> kEDFSignalFieldWidths = {16, 80, 8,  8, 8,
                                                                          8,  8,  80, 8, 32};
// The label of an EDF+ annotation signal, whose "samples" are annotation lists
// (uEDFAnnotations.h).
inline constexpr const char* kEDFAnnotationsLabel = "EDF Annotations";

// ---- Raw texts --------------------------------------------------------------------------------

// The ten field texts of one header exactly as read from a file (or as to be written): the
// storage the file and signal raw-text classes share. Each setter keeps only the first W
// characters of its argument, W being the field's width. Field(i) and SetField(i, text) reach
// the same texts by field index.
class TCustomEDFInfoRaw : public TPersistent {
  public:
    // From another raw-text object of the same kind (file or signal): copies the ten texts.
    // Otherwise: see TPersistent.
    void Assign(const TPersistent* source) override;

    // The text of field `index`; empty outside 0..9.
    const std::string& Field(int index) const;
    // Calls the setter of field `index`; ignored outside 0..9.
    virtual void SetField(int index, const std::string& text) = 0;

  protected:
    explicit TCustomEDFInfoRaw(const std::array<int, kEDFFieldCount>& widths) : FWidths(&widths) {}
    // Field index := the first width(index) characters of text.
    void Store(int index, const std::string& text);

    std::array<std::string, kEDFFieldCount> FFields;  // by field index

  private:
    const std::array<int, kEDFFieldCount>* FWidths;  // field widths; tells the kinds apart
};

// The ten field texts of the file-level header, by TEDFFileField.
class TEDFFileInfoRaw : public TCustomEDFInfoRaw {
  public:
    TEDFFileInfoRaw() : TCustomEDFInfoRaw(kEDFFileFieldWidths) {}
    const char* ClassName() const override { return "TEDFFileInfoRaw"; }

    virtual void SetHeaderBytes(const std::string& text) { Store(ffHeaderBytes, text); }
    virtual void SetNumberOfRecords(const std::string& text) { Store(ffNumberOfRecords, text); }
    virtual void SetNumberOfSignals(const std::string& text) { Store(ffNumberOfSignals, text); }
    virtual void SetPatient(const std::string& text) { Store(ffPatient, text); }
    virtual void SetRecording(const std::string& text) { Store(ffRecording, text); }
    virtual void SetReserved(const std::string& text) { Store(ffReserved, text); }
    virtual void SetRecordDuration(const std::string& text) { Store(ffRecordDuration, text); }
    virtual void SetStartDate(const std::string& text) { Store(ffStartDate, text); }
    virtual void SetStartClock(const std::string& text) { Store(ffStartClock, text); }
    virtual void SetVersion(const std::string& text) { Store(ffVersion, text); }

    const std::string& Version() const { return FFields[ffVersion]; }
    const std::string& Patient() const { return FFields[ffPatient]; }
    const std::string& Recording() const { return FFields[ffRecording]; }
    const std::string& StartDate() const { return FFields[ffStartDate]; }
    const std::string& StartClock() const { return FFields[ffStartClock]; }
    const std::string& HeaderBytes() const { return FFields[ffHeaderBytes]; }
    const std::string& Reserved() const { return FFields[ffReserved]; }
    const std::string& NumberOfRecords() const { return FFields[ffNumberOfRecords]; }
    const std::string& RecordDuration() const { return FFields[ffRecordDuration]; }
    const std::string& NumberOfSignals() const { return FFields[ffNumberOfSignals]; }

    void SetField(int index, const std::string& text) override;
};

// The ten field texts of one signal header, by TEDFSignalField.
class TEDFSignalInfoRaw : public TCustomEDFInfoRaw {
  public:
    TEDFSignalInfoRaw() : TCustomEDFInfoRaw(kEDFSignalFieldWidths) {}
    const char* ClassName() const override { return "TEDFSignalInfoRaw"; }

    virtual void SetDigitalMaximum(const std::string& text) { Store(sfDigitalMaximum, text); }
    virtual void SetDigitalMinimum(const std::string& text) { Store(sfDigitalMinimum, text); }
    virtual void SetSamplesPerRecord(const std::string& text) { Store(sfSamplesPerRecord, text); }
    virtual void SetPhysicalDimension(const std::string& text) { Store(sfPhysicalDimension, text); }
    virtual void SetPhysicalMaximum(const std::string& text) { Store(sfPhysicalMaximum, text); }
    virtual void SetPhysicalMinimum(const std::string& text) { Store(sfPhysicalMinimum, text); }
    virtual void SetPrefiltering(const std::string& text) { Store(sfPrefiltering, text); }
    virtual void SetReserved(const std::string& text) { Store(sfReserved, text); }
    virtual void SetLabel(const std::string& text) { Store(sfLabel, text); }
    virtual void SetTransducer(const std::string& text) { Store(sfTransducer, text); }

    const std::string& Label() const { return FFields[sfLabel]; }
    const std::string& Transducer() const { return FFields[sfTransducer]; }
    const std::string& PhysicalDimension() const { return FFields[sfPhysicalDimension]; }
    const std::string& PhysicalMinimum() const { return FFields[sfPhysicalMinimum]; }
    const std::string& PhysicalMaximum() const { return FFields[sfPhysicalMaximum]; }
    const std::string& DigitalMinimum() const { return FFields[sfDigitalMinimum]; }
    const std::string& DigitalMaximum() const { return FFields[sfDigitalMaximum]; }
    const std::string& Prefiltering() const { return FFields[sfPrefiltering]; }
    const std::string& SamplesPerRecord() const { return FFields[sfSamplesPerRecord]; }
    const std::string& Reserved() const { return FFields[sfReserved]; }

    void SetField(int index, const std::string& text) override;
};

// ---- EDF+ subfields ---------------------------------------------------------------------------

// An EDF+ identification text cut into subfields. Subfields are separated by single spaces;
// inside a subfield BlankSubstitute (initially '_') stands for a blank, so decoding a subfield
// replaces every BlankSubstitute by a space. "X" stands for "not known" and decodes to an
// empty text.
class TCustomEDFInfoString {
  public:
    virtual ~TCustomEDFInfoString() = default;

    char BlankSubstitute() const { return FBlankSubstitute; }
    // Stores the character; the subfield classes then parse Text() again.
    virtual void SetBlankSubstitute(char substitute);

    // Cuts text into the subfields.
    virtual void Parse(const std::string& text) = 0;
    // The whole text last parsed.
    const std::string& Text() const { return FText; }

  protected:
    // A subfield with every BlankSubstitute replaced by a space.
    std::string Decode(const std::string& subfield) const;
    // Decode, then empty when the subfield is "X" in any letter case.
    std::string DecodeKnown(const std::string& subfield) const;

    std::string FText;

  private:
    char FBlankSubstitute = '_';
};

// The EDF+ patient identification: "code sex birthdate name additional...", for example
// "MCH-0234567 F 02-MAY-1951 Haagse_Harry". A text in another form leaves the subfields empty
// as far as they do not match.
class TEDFPatientInfo : public TCustomEDFInfoString {
  public:
    void SetBlankSubstitute(char substitute) override;
    void Parse(const std::string& text) override;

    const std::string& Code() const { return FCode; }  // hospital code; empty when "X"
    char Sex() const { return FSex; }                  // 'F', 'M', or '\0' when not given
    double Birthdate() const { return FBirthdate; }    // date-time value; NaN when not known
    const std::string& Name() const { return FName; }  // decoded; empty when "X"
    // The text after the fourth subfield, as written.
    const std::string& Additional() const { return FAdditional; }

  private:
    std::string FCode;
    char FSex = '\0';
    double FBirthdate = kNoDateTime;
    std::string FName;
    std::string FAdditional;
};

// The EDF+ recording identification: "Startdate dd-MMM-yyyy admincode technician equipment
// additional...". When the first subfield is not "Startdate" (any letter case) the whole text
// is Additional and the other subfields stay empty.
class TEDFRecordingInfo : public TCustomEDFInfoString {
  public:
    void SetBlankSubstitute(char substitute) override;
    void Parse(const std::string& text) override;

    double StartDate() const { return FStartDate; }              // NaN when not known
    const std::string& AdminCode() const { return FAdminCode; }  // empty when "X"
    const std::string& Technician() const { return FTechnician; }
    const std::string& Equipment() const { return FEquipment; }
    // The text after the fifth subfield, as written (or the whole text, see above).
    const std::string& Additional() const { return FAdditional; }

  private:
    double FStartDate = kNoDateTime;
    std::string FAdminCode;
    std::string FTechnician;
    std::string FEquipment;
    std::string FAdditional;
};

// ---- Header objects ---------------------------------------------------------------------------

// What the file-level header and the signal headers share: validity flags, strictness, the
// number separators used to read numeric texts, and the Modified and HasData states.
class TCustomEDFFileHeaderInfo : public TPersistent {
  public:
    const char* ClassName() const override { return "TCustomEDFFileHeaderInfo"; }

    // Parses the raw texts last read again, so that every field is re-derived under the current
    // strictness and separators. A header that was never read has empty raw texts: values set
    // one by one since are then lost.
    virtual void Revalidate() = 0;
    // The validity flag of field `index`; false outside 0..FieldCount()-1.
    virtual bool FieldValid(int index) const;
    // Number of fields (10 for both header kinds).
    virtual int FieldCount() const = 0;
    // Stores the flag, then Revalidate.
    virtual void SetStrictChecking(bool strict);

    // Every field is valid.
    bool AllFieldsValid() const;

    // Strict conformance checking of the field texts; initially true. Set by the file.
    bool StrictChecking() const { return FStrictChecking; }

    // The file already holds data records; from then on the record structure (signal count,
    // header size, samples per record) is frozen and changing it raises EDataFileDataExists.
    // Set by the file.
    bool HasData() const { return FHasData; }
    void SetHasData(bool hasData) { FHasData = hasData; }

    // Separators used to read numeric field texts; '\0' = none. Initially '.' and none. The
    // setters store the separator, then Revalidate.
    char DecimalSeparator() const { return FDecimalSeparator; }
    char ThousandSeparator() const { return FThousandSeparator; }
    void SetDecimalSeparator(char separator);
    void SetThousandSeparator(char separator);

    // Some value changed since the header was last parsed or written. Every setter whose new
    // value differs raises it; parsing and the file's header write clear it.
    bool Modified() const { return FModified; }
    void SetModified(bool modified) { FModified = modified; }

    // The file this header belongs to (not owned); null for a free-standing header.
    TCustomBaseEDFFile* Owner() const { return FOwner; }

  protected:
    TCustomEDFFileHeaderInfo(TCustomBaseEDFFile* owner, int fieldCount);

    void SetFieldValid(int index, bool valid);
    void ClearFieldValid();
    // Takes the other header's separators without parsing again.
    void CopySeparators(const TCustomEDFFileHeaderInfo& other);
    // The text-field rule: always valid when checking is lenient; otherwise printable ASCII
    // (32..126) without a leading blank or control character.
    bool TextFieldValid(const std::string& text) const;
    // Reads a numeric text with this header's separators.
    bool TryReadFloat(const std::string& text, double& value) const;

  private:
    TCustomBaseEDFFile* FOwner;
    TDynBooleanArray FFieldValid;
    bool FHasData = false;
    char FDecimalSeparator = '.';
    char FThousandSeparator = '\0';
    bool FModified = false;
    bool FStrictChecking = true;
};

// The file-level (main) header. TEDFFileInfo is the concrete class.
//
// Initially all numbers are 0 and all texts empty; only Patient, Recording and Reserved are
// valid (an empty text is a valid text).
class TCustomEDFFileInfo : public TCustomEDFFileHeaderInfo {
  public:
    const char* ClassName() const override { return "TCustomEDFFileInfo"; }
    int FieldCount() const override { return kEDFFieldCount; }
    void Revalidate() override;

    // ---- Values (each with its field index) ----
    // 0: "0" for EDF; any other text is invalid.
    const std::string& Version() const { return FVersion; }
    // 1: patient identification, trailing blanks removed; PatientInfo holds its EDF+ subfields.
    const std::string& Patient() const { return FPatient; }
    const TEDFPatientInfo& PatientInfo() const { return FPatientInfo; }
    TEDFPatientInfo& PatientInfo() { return FPatientInfo; }
    // 2: recording identification; RecordingInfo holds its EDF+ subfields.
    const std::string& Recording() const { return FRecording; }
    const TEDFRecordingInfo& RecordingInfo() const { return FRecordingInfo; }
    TEDFRecordingInfo& RecordingInfo() { return FRecordingInfo; }
    // 3, 4: start of the recording as date-time values (days since 30 December 1899).
    // StartDate holds the whole days, StartClock the time of day (fraction), StartDateTime
    // their sum (kept up to date while both fields are valid).
    double StartDate() const { return FStartDate; }
    double StartClock() const { return FStartClock; }
    double StartDateTime() const { return FStartDateTime; }
    // 5: bytes in the whole header, (NumberOfSignals + 1) x 256 for a valid header.
    int32_t HeaderBytes() const { return FHeaderBytes; }
    // 6: reserved; EDF+ writes "EDF+C" or "EDF+D" here.
    const std::string& Reserved() const { return FReserved; }
    // 7: data records in the file; -1 = not recorded (valid), below -1 invalid. On opening, the
    // file sets it to the number of whole records present.
    int32_t NumberOfRecords() const { return FNumberOfRecords; }
    // 8: duration of a data record in seconds; valid when > 0.
    long double RecordDuration() const { return FRecordDuration; }
    // 9: number of signals; valid when >= 0.
    int32_t NumberOfSignals() const { return FNumberOfSignals; }

    // Texts built from the current values by BuildRaw, and the texts last given to AssignRaw.
    const TEDFFileInfoRaw& RawOut() const { return FRawOut; }
    const TEDFFileInfoRaw& RawIn() const { return FRawIn; }

    // ---- Derived values ----
    // StartDateTime + NumberOfRecords x RecordDuration. Raises EDataFileFieldValue
    // "Invalid field value(s)" unless every field is valid.
    virtual double EndDateTime() const;
    // The start and the end as high-precision date-time values; End raises like EndDateTime.
    virtual THPDateTime Start() const;
    virtual THPDateTime End() const;
    // The patient and recording texts as they are written to the file.
    virtual std::string GetPatient() const;
    virtual std::string GetRecording() const;

    // ---- Parsing and building raw texts ----
    // Parses a whole main header from its raw texts: every field is derived again, the flags
    // follow the texts, Modified is cleared. Never raises.
    virtual void AssignRaw(const TEDFFileInfoRaw& raw);
    // Fills RawOut from the current values; a field that is not valid gets an empty text.
    const TEDFFileInfoRaw& BuildRaw();

    // ---- Setters ----
    virtual void SetStart(const THPDateTime& start);     // SetStartDateTime(start.DateTime())
    virtual void SetPatient(const std::string& text);    // also parses PatientInfo
    virtual void SetRecording(const std::string& text);  // also parses RecordingInfo
    virtual void SetReserved(const std::string& text);
    // Stores the duration in seconds; returns whether it is valid (> 0).
    virtual bool SetRecordDuration(long double seconds);
    // Whole days of d; valid when d >= 0.
    virtual void SetStartDate(double d);
    // Parse a date text "dd.mm.yy" (also "d.m.yy" and other separators) or a time text
    // "hh.nn.ss"; a text that does not match leaves the value and its flag unchanged.
    virtual void SetStartDateText(const std::string& text) = 0;
    virtual void SetStartClockText(const std::string& text) = 0;

    void SetVersion(const std::string& text);
    // Raises EDataFileDataExists when HasData; valid when >= 0.
    void SetHeaderBytes(int32_t bytes);
    // Valid when >= -1.
    void SetNumberOfRecords(int32_t count);
    // Raises EDataFileDataExists when HasData; valid when >= 0. Also sets HeaderBytes to
    // (count + 1) x 256 (0 for a negative count).
    void SetNumberOfSignals(int32_t count);
    // Sets StartDate and StartClock from the whole days and the fraction of x.
    void SetStartDateTime(double x);
    // Fraction of t; valid when t >= 0.
    void SetStartClock(double t);

  protected:
    explicit TCustomEDFFileInfo(TCustomBaseEDFFile* owner);

    // Applies the text-field rule to field `index` and stores the text in `field`.
    void SetTextField(int index, std::string& field, const std::string& text);

  private:
    void UpdateStartDateTime();
    void ApplyStrictPatterns();

    TEDFFileInfoRaw FRawOut;
    TEDFFileInfoRaw FRawIn;
    int32_t FHeaderBytes = 0;
    int32_t FNumberOfRecords = 0;
    int32_t FNumberOfSignals = 0;
    std::string FPatient;
    TEDFPatientInfo FPatientInfo;
    std::string FRecording;
    TEDFRecordingInfo FRecordingInfo;
    std::string FReserved;
    long double FRecordDuration = 0;
    double FStartDate = 0;
    double FStartDateTime = 0;
    double FStartClock = 0;
    std::string FVersion;
};

class TEDFFileInfo : public TCustomEDFFileInfo {
  public:
    explicit TEDFFileInfo(TCustomBaseEDFFile* owner = nullptr);
    const char* ClassName() const override { return "TEDFFileInfo"; }

    // Blanks count as '0', a one-digit day or month is completed ("1.2.03" is 01.02.03), and
    // two-digit years 85..99 are 1985..1999, 00..84 are 2000..2084.
    void SetStartDateText(const std::string& text) override;
    // The same completion for "hh?nn?ss" (any separators).
    void SetStartClockText(const std::string& text) override;
};

// A signal header. TEDFSignalInfo is the concrete class.
//
// The physical value of a digital sample d is
//   PhysicalMinimum + (d - DigitalMinimum) x Gain.
// A log-float coded signal (IsLogFloat) stores instead a scaled signed logarithm of its value;
// see LogFloatEncode / LogFloatDecode in uMath.h.
//
// Initially numbers are 0 and texts empty; Label, Transducer, PhysicalDimension, Prefiltering
// and Reserved are valid, the numeric fields are not.
class TCustomEDFSignalInfo : public TCustomEDFFileHeaderInfo {
  public:
    const char* ClassName() const override { return "TCustomEDFSignalInfo"; }
    int FieldCount() const override { return kEDFFieldCount; }
    void Revalidate() override;
    // From another signal header: a full copy of its values and validity flags, with the
    // dimension as the source's GetDimension reports it (the log-float unit for a log-float
    // source). SampleOffset, Raw and HasData are not copied. Otherwise: see TPersistent.
    void Assign(const TPersistent* source) override;

    // ---- Values (each with its field index) ----
    const std::string& Label() const { return FLabel; }                          // 0
    const std::string& Transducer() const { return FTransducer; }                // 1
    const std::string& PhysicalDimension() const { return FPhysicalDimension; }  // 2, e.g. "uV"
    double PhysicalMinimum() const { return FPhysicalMinimum; }                  // 3
    double PhysicalMaximum() const { return FPhysicalMaximum; }                  // 4
    // 5, 6: the digital range; a parsed header with minimum >= maximum has both invalid.
    int16_t DigitalMinimum() const { return FDigitalMinimum; }
    int16_t DigitalMaximum() const { return FDigitalMaximum; }
    const std::string& Prefiltering() const { return FPrefiltering; }  // 7, e.g. "HP:0.1Hz"
    // 8: samples of this signal in one data record; valid when > 0.
    int32_t SamplesPerRecord() const { return FSamplesPerRecord; }
    const std::string& Reserved() const { return FReserved; }  // 9

    // An EDF+ annotation signal: its label, without blanks around it, is "EDF Annotations".
    // Its bytes hold annotation lists, not samples.
    bool IsAnnotation() const;

    // Physical units per digital step. GainValid: the four range fields are valid and neither
    // range is empty; Gain is meaningful only then.
    bool GainValid() const { return FGainValid; }
    long double Gain() const { return FGain; }

    // Index of this signal's first sample within the data record buffer: the sum of
    // SamplesPerRecord of the signals before it. Set by the file once its header is valid.
    int32_t SampleOffset() const { return FSampleOffset; }
    void SetSampleOffset(int32_t offset) { FSampleOffset = offset; }

    // The raw texts last given to AssignRaw.
    const TEDFSignalInfoRaw& Raw() const { return FRaw; }

    // ---- Log-float coding ----
    // The signal is log-float coded: every field valid, PhysicalDimension "Filtered", digital
    // and physical range both -32767 .. 32767, and Prefiltering holding, anywhere, the
    // declaration
    //   sign*LN[sign*(UUUUUUUU)/(YYYYYYYY)]/(AAAAAAAA)
    // with the unit U, Y0 and A each left-aligned in 8 characters. When true, the three
    // parameters below are set from the declaration; when false they keep their values.
    bool IsLogFloat() const;
    // The parameters of the last declaration found (IsLogFloat is asked first).
    const std::string& LogFloatDimension() const;  // unit of the coded quantity
    double LogFloatY0() const;                     // smallest resolved magnitude
    double LogFloatA() const;                      // logarithmic step

    // LogFloatDimension for a log-float signal, PhysicalDimension otherwise.
    std::string GetDimension() const;
    std::string GetPrefiltering() const { return FPrefiltering; }

    // ---- Parsing and building raw texts ----
    // Parses a whole signal header from its raw texts. Never raises.
    void AssignRaw(const TEDFSignalInfoRaw& raw);
    // Raw texts of the current values; a field that is not valid gets an empty text.
    TEDFSignalInfoRaw BuildRaw() const;

    // ---- Setters ----
    // Text fields: valid per the text-field rule (see TCustomEDFFileHeaderInfo); stored without
    // trailing blanks; texts longer than the field are cut when written.
    void SetLabel(const std::string& text);
    void SetTransducer(const std::string& text);
    void SetPhysicalDimension(const std::string& text);
    void SetPrefiltering(const std::string& text);
    void SetReserved(const std::string& text);
    // Valid when finite.
    void SetPhysicalMinimum(double value);
    void SetPhysicalMaximum(double value);
    void SetDigitalMinimum(int16_t value);
    void SetDigitalMaximum(int16_t value);
    // A different count raises EDataFileDataExists when HasData; valid when > 0.
    void SetSamplesPerRecord(int32_t count);

  protected:
    explicit TCustomEDFSignalInfo(TCustomBaseEDFFile* owner);

  private:
    void SetTextField(int index, std::string& field, const std::string& text);
    void UpdateGain();
    void ReadDigitalLimit(int index, const std::string& text);
    void ApplyStrictAlignment();

    int32_t FSampleOffset = 0;
    bool FGainValid = false;
    long double FGain = 0;
    int16_t FDigitalMaximum = 0;
    int16_t FDigitalMinimum = 0;
    // Parameters of the log-float declaration; IsLogFloat refreshes them.
    mutable double FLogFloatA = 0;
    mutable std::string FLogFloatDimension;
    mutable double FLogFloatY0 = 0;
    int32_t FSamplesPerRecord = 0;
    std::string FPhysicalDimension;
    double FPhysicalMaximum = 0;
    double FPhysicalMinimum = 0;
    std::string FPrefiltering;
    std::string FReserved;
    TEDFSignalInfoRaw FRaw;
    std::string FLabel;
    std::string FTransducer;
};

class TEDFSignalInfo : public TCustomEDFSignalInfo {
  public:
    explicit TEDFSignalInfo(TCustomBaseEDFFile* owner = nullptr);
    const char* ClassName() const override { return "TEDFSignalInfo"; }
};

// Two reals differ when they are not equal within a relative tolerance of 1e-12 (double) or
// 1e-16 (long double) of the smaller magnitude, and at least that much absolutely. A setter
// marks its header Modified only when the new value differs in this sense.
bool SameDouble(double a, double b);
bool SameExtended(long double a, long double b);

}  // namespace vantrel
