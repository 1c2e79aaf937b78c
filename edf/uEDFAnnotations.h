// EDF+ time keeping and annotations: the reader of the time-stamped annotation lists (TALs)
// that EDF+ files carry in their "EDF Annotations" signals.
//
// An EDF+ file says so in the first five characters of the header's reserved field: "EDF+C"
// (continuous: every data record starts where the one before ended) or "EDF+D"
// (discontinuous: records may be separated by gaps). Besides its ordinary signals it has one or
// more annotation signals, labelled "EDF Annotations", whose 2 x SamplesPerRecord bytes in each
// data record are not samples but text: TALs one after the other, the unused rest NUL bytes.
//
//   TAL       Onset [0x15 Duration] 0x14 [Text 0x14 ...] 0x00
//   Onset     "+" or "-", digits, optionally "." and digits: seconds from the header's start
//             date and time (what EDF+ calls the start of the file)
//   Duration  digits, optionally "." and digits: seconds
//   Text      UTF-8 bytes up to the next 0x14; a TAL holds any number of texts, all with its
//             onset and duration
//
// In the first annotation signal, the first TAL of every data record keeps the time: its onset
// is when that record starts, and its first text is empty ("+12.5" 0x14 0x14 0x00). The header's
// start clock holds whole seconds only; the fraction of the first record's onset (its subsecond
// start) says how far into that second the recording began.
//
// Real writers bend the rules. Besides the form above the parser accepts:
//   - empty texts anywhere, such as a stray 0x14 before the NUL filler ("+0" 0x14 0x14 0x14);
//     empty texts are left out;
//   - a time-keeping TAL not closed by a NUL before the next TAL begins ("+0.000000" 0x14 0x14
//     "+0.000000" 0x14 "Segment: REC START" 0x14): in the first TAL of the bytes, an empty text
//     followed by an onset and 0x14 or 0x15 ends that TAL, and the onset begins the next one;
//   - a text ended by NUL instead of 0x14 (the NUL then ends its TAL too), several NULs between
//     TALs, and a last TAL that ends with its 0x14 at the very end of the bytes.
// Anything else that is malformed ends the parse at that byte, with what was wrong; the TALs
// before it are kept. No byte outside the bytes given is ever read, whatever they hold.
//
// Records count from 0, as everywhere in the library; messages name signals from 1, as the
// program shows them. The functions that read a file read only the bytes of the annotation
// signals in each data record, the parts of many records in few system calls
// (TCustomBaseEDFFile::ReadSignalInto), never whole records. Their errors are EDataFile errors
// (uDataFile.h) whose message names the file and the record:
//   EDataFileHeaderInvalid  the file is not open, or its header is not valid;
//   EDataFileReadData       a record's bytes cannot be read (the file was cut short);
//   EDataFileAnnotations    malformed annotation bytes, a record without its time keeping, an
//                           EDF+D file without an annotation signal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/uHPDateTime.h"

namespace vantrel {

class TCustomBaseEDFFile;
class TCustomEDFFileInfo;
class TEDFFile;

// ---- Parsing the bytes of one record ----------------------------------------------------------

// One time-stamped annotation list.
struct TEDFTal {
    // Seconds after the header's start date and time (negative: before it).
    long double Onset = 0;
    // The onset exactly as written, sign included ("+17.448"), for a caller that needs it
    // decimal-exact or wants to show it.
    std::string OnsetText;
    // A duration was written (after 0x15).
    bool HasDuration = false;
    // Seconds; 0 when none was written.
    long double Duration = 0;
    // The duration exactly as written ("0.001"); empty when none was written.
    std::string DurationText;
    // The non-empty texts in the order written, bytes unchanged (UTF-8 by the rules, not checked).
    std::vector<std::string> Texts;
};

// The TALs of one annotation signal's part of one data record.
struct TEDFTalRecord {
    // The first TAL has an empty first text (or no text at all): it is the record's time
    // keeping. Always so in the first annotation signal of a well-formed file.
    bool HasTimeKeeping = false;
    // The time keeping's onset: when the record starts, in seconds after the header's start.
    // 0 without time keeping.
    long double Start = 0;
    // That onset as written; empty without time keeping.
    std::string StartText;
    // Every TAL with at least one non-empty text, in the order written. Texts that follow the
    // empty one in the time-keeping TAL form a TAL of their own, with its onset and duration.
    std::vector<TEDFTal> Tals;
    // Empty when the bytes were read through; otherwise what is malformed and at which byte
    // (from 0) with the bytes from there, for example: byte 2: "x\x14\x14" stands where 0x14
    // must end the onset (or its duration). Parsing stopped there.
    std::string Problem;
};

// Parses the bytes of one annotation signal in one data record (2 x its SamplesPerRecord
// bytes, the samples' little-endian bytes in file order). Never raises; any bytes are safe.
TEDFTalRecord ParseTalRecord(std::string_view bytes);

// ---- What the header says ---------------------------------------------------------------------

enum class TEDFPlusKind {
    None,           // plain EDF: the reserved field does not begin with "EDF+C" or "EDF+D"
    Continuous,     // "EDF+C"
    Discontinuous,  // "EDF+D"
};

// From the reserved field of a header; no data are read.
TEDFPlusKind EDFPlusKind(const TCustomEDFFileInfo& info);
// The file is EDF+ (continuous or discontinuous) / EDF+D.
bool IsEDFPlus(const TCustomBaseEDFFile& file);
bool IsDiscontinuous(const TCustomBaseEDFFile& file);
// The indexes (from 0) of the annotation signals (TCustomEDFSignalInfo::IsAnnotation), in
// signal order: the first of them keeps the time. Empty for a file without any.
std::vector<int32_t> AnnotationSignals(const TCustomBaseEDFFile& file);

// ---- Time keeping of an open file -------------------------------------------------------------

// The subsecond start of an open file: the fraction of the first record's time-keeping onset
// (the onset less its whole seconds, in -1 < value < 1, so 0 <= value < 1 for the usual
// non-negative onset). The file's first record starts at FileInfo().Start() plus this. 0,
// without reading, for plain EDF, an EDF+ file without annotation signal, and a file without
// records; otherwise reads the annotation bytes of record 0.
long double SubsecondStart(TEDFFile& file);

// Two record starts closer than this (seconds) are the same.
inline constexpr long double kEDFGapTolerance = 0.001L;

// The first data record that does not follow on from the ones before it.
struct TEDFGap {
    int32_t Record = 0;        // its number (from 0)
    long double Start = 0;     // its time-keeping onset, seconds after the header's start
    long double Expected = 0;  // record 0's onset + Record x RecordDuration
};

// The gap check: for an EDF+D file, the first record whose time-keeping onset differs from
// record 0's onset + n x RecordDuration by more than kEDFGapTolerance (either way); nothing when
// every record follows on. Plain EDF and EDF+C files are contiguous by definition: nothing,
// without reading. Reads the first annotation signal's bytes of every record, a megabyte's worth
// of records per batch, and parses only each record's time keeping; the other TALs are not
// looked at. Raises EDataFileAnnotations for an EDF+D file without annotation signal and for a
// record without time keeping.
std::optional<TEDFGap> FindFirstGap(TEDFFile& file);

// ---- Every annotation of a file ---------------------------------------------------------------

// One annotation: one text of a TAL.
struct TEDFAnnotation {
    long double Onset = 0;  // seconds after the header's start date and time
    bool HasDuration = false;
    long double Duration = 0;  // seconds; 0 when none was written
    std::string Text;          // bytes as written, never empty
    int32_t Record = 0;        // the data record it was written in
};

// The annotations of a file with what is needed to place them on the clock.
struct TEDFAnnotationList {
    std::string FileName;
    TEDFPlusKind Kind = TEDFPlusKind::None;
    // The header's start date and time, to the second (FileInfo().Start()).
    THPDateTime HeaderStart;
    // See SubsecondStart(TEDFFile&).
    long double SubsecondStart = 0;
    // Every text of every TAL except the time keeping, in file order: record after record,
    // within a record annotation signal after annotation signal, each in the order written.
    // Annotations are not sorted by onset: writers need not write them in order, and of two
    // with the same onset the later one in the file often means to win.
    std::vector<TEDFAnnotation> Annotations;

    // When the first record starts: HeaderStart + SubsecondStart. An annotation's clock time is
    // HeaderStart + Onset.
    THPDateTime Start() const;
};

// Every annotation of an open file whose header is valid. A file without annotation signal
// gives an empty list. Raises EDataFileAnnotations for malformed bytes anywhere and for a
// record whose first annotation signal does not begin with the time keeping.
TEDFAnnotationList ReadAnnotations(TEDFFile& file);

// Opens the file read-only and leniently (OpenForReading, uEDFTools.h) with annotation-only
// files accepted (TCustomBaseEDFFile::SetAcceptAnnotationOnly), so that a hypnogram whose
// record duration is 0 and whose only signal is "EDF Annotations" can be read, and returns
// ReadAnnotations. A recording, a file with an ordinary signal, gets every check as always.
// Raises as OpenForReading does when the file cannot be opened, EDataFileHeaderInvalid when its
// header is not valid, and as ReadAnnotations.
TEDFAnnotationList ReadAnnotationFile(const std::string& fileName);

}  // namespace vantrel
