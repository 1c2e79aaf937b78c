#include "edf/uEDFAnnotations.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "edf/uDataFile.h"
#include "edf/uEDF.h"
#include "edf/uEDFTools.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

constexpr char kTalEnd = '\x00';
constexpr char kTextEnd = '\x14';
constexpr char kDurationMark = '\x15';

// An onset of more digits than this (10^15 s, 30 million years) is refused; fraction digits
// beyond kMaxFractionDigits are read but no longer change a long double.
constexpr int kMaxWholeDigits = 15;
constexpr int kMaxFractionDigits = 18;
// How many bytes of annotation signals one batch of records reads: large enough that the
// system calls disappear behind the parsing, small enough to stay in the cache.
constexpr int64_t kBatchBytes = int64_t{1} << 20;
// Bytes of the input shown in a problem message.
constexpr size_t kExcerptBytes = 24;

bool IsDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

// The bytes from `at` as a quoted text for a message: printable ASCII as it is, anything else
// as \xNN, cut after kExcerptBytes.
std::string Excerpt(std::string_view bytes, size_t at) {
    std::string text = "\"";
    const size_t end = std::min(bytes.size(), at + kExcerptBytes);
    for (size_t i = at; i < end; ++i) {
        const auto ch = static_cast<unsigned char>(bytes[i]);
        if (ch >= 32 && ch < 127 && ch != '"' && ch != '\\') {
            text += static_cast<char>(ch);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", ch);
            text += escaped;
        }
    }
    return text + (end < bytes.size() ? "...\"" : "\"");
}

// Reads a decimal number at `pos`: with `withSign` a required "+" or "-" first, then digits
// with an optional "." and fraction digits, at least one digit in all. Moves `pos` past it and
// gives its value; false (pos unchanged) when there is none. Reading is done here, not with
// the C library, so that no locale's decimal separator can change the result.
bool ScanNumber(std::string_view bytes, size_t& pos, bool withSign, long double& value) {
    size_t at = pos;
    bool negative = false;
    if (withSign) {
        if (at >= bytes.size() || (bytes[at] != '+' && bytes[at] != '-')) return false;
        negative = bytes[at] == '-';
        ++at;
    }
    uint64_t whole = 0;
    int wholeDigits = 0;
    for (; at < bytes.size() && IsDigit(bytes[at]); ++at) {
        if (++wholeDigits > kMaxWholeDigits) return false;
        whole = whole * 10 + static_cast<uint64_t>(bytes[at] - '0');
    }
    uint64_t fraction = 0;
    uint64_t scale = 1;
    int fractionDigits = 0;
    if (at < bytes.size() && bytes[at] == '.') {
        for (++at; at < bytes.size() && IsDigit(bytes[at]); ++at) {
            if (++fractionDigits > kMaxFractionDigits) continue;
            fraction = fraction * 10 + static_cast<uint64_t>(bytes[at] - '0');
            scale *= 10;
        }
    }
    if (wholeDigits + fractionDigits == 0) return false;
    // Every uint64 is exact in a long double: as one fraction (whole x scale + fraction) / scale
    // the value is rounded once, so "+17.448" gives the long double nearest to 17.448.
    const auto divisor = static_cast<long double>(scale);
    if (whole <= (UINT64_MAX - fraction) / scale)
        value = static_cast<long double>(whole * scale + fraction) / divisor;
    else
        value = static_cast<long double>(whole) + static_cast<long double>(fraction) / divisor;
    if (negative) value = -value;
    pos = at;
    return true;
}

// A TAL begins at `at`: an onset, then 0x14 or 0x15.
bool StartsTal(std::string_view bytes, size_t at) {
    long double ignored = 0;
    return ScanNumber(bytes, at, true, ignored) && at < bytes.size() &&
           (bytes[at] == kTextEnd || bytes[at] == kDurationMark);
}

// One TAL as parsed, and whether it has the form of a time keeping.
struct TParsedTal {
    TEDFTal Tal;
    // No text, or an empty first text.
    bool TimeKeepingForm = false;
};

// Reads the TALs of one annotation signal's bytes one by one; see the rules in the header.
class TTalParser {
  public:
    enum class TStep { Tal, End, Problem };

    explicit TTalParser(std::string_view bytes) : FBytes(bytes) {}

    TStep Next(TParsedTal& out) {
        const std::string_view b = FBytes;
        while (FPos < b.size() && b[FPos] == kTalEnd)
            ++FPos;
        if (FPos >= b.size()) return TStep::End;
        out = TParsedTal{};
        const size_t start = FPos;
        size_t at = FPos;
        if (!ScanNumber(b, at, true, out.Tal.Onset))
            return Fail(start, "is not an onset (a sign and a number in seconds)");
        out.Tal.OnsetText = std::string(b.substr(start, at - start));
        if (at < b.size() && b[at] == kDurationMark) {
            const size_t durationStart = ++at;
            if (!ScanNumber(b, at, false, out.Tal.Duration))
                return Fail(durationStart, "is not a duration (a number in seconds)");
            out.Tal.HasDuration = true;
            out.Tal.DurationText = std::string(b.substr(durationStart, at - durationStart));
        }
        if (at >= b.size()) return Fail(start, "is cut off by the end of the annotation bytes");
        if (b[at] != kTextEnd)
            return Fail(at, "stands where 0x14 must end the onset (or its duration)");
        ++at;
        out.TimeKeepingForm = true;
        bool firstText = true;
        bool lastTextEmpty = false;
        while (at < b.size()) {
            if (b[at] == kTalEnd) {
                ++at;
                break;
            }
            // A writer that does not close the time keeping: its empty text runs straight into
            // the next TAL.
            if (FFirst && lastTextEmpty && StartsTal(b, at)) break;
            const size_t textStart = at;
            while (at < b.size() && b[at] != kTextEnd && b[at] != kTalEnd)
                ++at;
            if (at >= b.size())
                return Fail(textStart, "is a text cut off by the end of the annotation bytes");
            const std::string_view text = b.substr(textStart, at - textStart);
            if (firstText && !text.empty()) out.TimeKeepingForm = false;
            firstText = false;
            lastTextEmpty = text.empty();
            if (!text.empty()) out.Tal.Texts.emplace_back(text);
            if (b[at++] == kTalEnd) break;
        }
        FFirst = false;
        FPos = at;
        return TStep::Tal;
    }

    const std::string& Problem() const { return FProblem; }

  private:
    TStep Fail(size_t at, const std::string& what) {
        FProblem = "byte " + std::to_string(at) + ": " + Excerpt(FBytes, at) + " " + what;
        FPos = FBytes.size();
        return TStep::Problem;
    }

    std::string_view FBytes;
    size_t FPos = 0;
    bool FFirst = true;
    std::string FProblem;
};

// ---- Files ------------------------------------------------------------------------------------

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The start of a message about one record of one annotation signal. Records count from 0,
// signals from 1, as the program shows them.
std::string Where(const TEDFFile& file, int32_t record, int32_t signal) {
    return Quoted(file.FileName()) + ", data record " + std::to_string(record) + ", signal " +
           std::to_string(signal + 1) + " (" + kEDFAnnotationsLabel + ")";
}

// Records are read only from an open file with a valid header.
void RequireReadable(const TEDFFile& file) {
    if (!file.IsOpen()) throw EDataFileHeaderInvalid(Quoted(file.FileName()) + " is not open");
    if (file.HeaderValid()) return;
    std::string reason = Quoted(file.FileName()) + " has no valid EDF header";
    const TCustomEDFFileInfo& info = file.FileInfo();
    if (info.FieldValid(ffNumberOfSignals) && !info.FieldValid(ffRecordDuration))
        reason += " (its record duration \"" + Trim(info.RawIn().RecordDuration()) +
                  "\" is not a number above 0, as a file with ordinary signals needs)";
    throw EDataFileHeaderInvalid(reason);
}

[[noreturn]] void ThrowNoTimeKeeping(const TEDFFile& file, int32_t record, int32_t signal,
                                     const std::string& why) {
    throw EDataFileAnnotations(Where(file, record, signal) +
                               " does not begin with the record's time keeping (its onset and "
                               "an empty text), so when the record starts is unknown: " +
                               why);
}

// The record's start from its first annotation signal's bytes; raises without time keeping.
long double TimeKeeping(const TEDFFile& file, int32_t record, int32_t signal,
                        std::string_view bytes) {
    TTalParser parser(bytes);
    TParsedTal first;
    switch (parser.Next(first)) {
        case TTalParser::TStep::Tal:
            if (first.TimeKeepingForm) return first.Tal.Onset;
            ThrowNoTimeKeeping(file, record, signal,
                               "its first annotation has a text: " + Excerpt(bytes, 0));
        case TTalParser::TStep::End:
            ThrowNoTimeKeeping(file, record, signal, "it holds no annotation at all");
        case TTalParser::TStep::Problem:
            break;
    }
    ThrowNoTimeKeeping(file, record, signal, parser.Problem());
}

// The bytes of some annotation signals, a batch of records at a time, read with the file's
// batch reading of one signal.
class TAnnotationBytes {
  public:
    TAnnotationBytes(TEDFFile& file, std::vector<int32_t> signals)
        : FFile(file), FSignals(std::move(signals)), FBytes(FSignals.size()) {
        int64_t recordBytes = 0;
        for (int32_t signal : FSignals)
            recordBytes += int64_t{file.Signal(signal).SamplesPerRecord()} * 2;
        FBatch = static_cast<int32_t>(
            std::clamp<int64_t>(kBatchBytes / std::max<int64_t>(recordBytes, 1), 1,
                                std::max(file.NumberOfRecords(), 1)));
    }

    // Records per batch.
    int32_t Batch() const { return FBatch; }

    // Reads records first .. first + count - 1 (count <= Batch) of every signal.
    void Read(int32_t first, int32_t count) {
        for (size_t k = 0; k < FSignals.size(); ++k) {
            const size_t samples =
                static_cast<size_t>(FFile.Signal(FSignals[k]).SamplesPerRecord()) * count;
            FSamples.resize(samples);
            if (!FFile.ReadSignalInto(FSignals[k], first, count, FSamples.data()))
                ThrowUnreadable(FSignals[k], first, count);
            // The little-endian bytes of the samples are the text, on any machine.
            std::string& bytes = FBytes[k];
            bytes.resize(samples * 2);
            for (size_t i = 0; i < samples; ++i) {
                const auto u = static_cast<uint16_t>(FSamples[i]);
                bytes[2 * i] = static_cast<char>(u & 0xff);
                bytes[2 * i + 1] = static_cast<char>(u >> 8);
            }
        }
    }

    // The bytes of the k-th signal given, in the i-th record of the batch last read.
    std::string_view Bytes(size_t k, int32_t i) const {
        const auto part = static_cast<size_t>(FFile.Signal(FSignals[k]).SamplesPerRecord()) * 2;
        return std::string_view(FBytes[k]).substr(part * static_cast<size_t>(i), part);
    }

  private:
    // Finds the first record of the batch that cannot be read and names it.
    [[noreturn]] void ThrowUnreadable(int32_t signal, int32_t first, int32_t count) {
        int32_t record = first;
        TDynSmallIntArray one(static_cast<size_t>(FFile.Signal(signal).SamplesPerRecord()));
        while (record < first + count - 1 && FFile.ReadSignalInto(signal, record, 1, one.data()))
            ++record;
        const int64_t recordBytes = int64_t{FFile.RecordSamples()} * 2;
        const int64_t end = FFile.FileInfo().HeaderBytes() + (int64_t{record} + 1) * recordBytes;
        const int64_t size = FFile.FileSize();
        std::string reason = Quoted(FFile.FileName()) + ": data record " + std::to_string(record) +
                             " cannot be read";
        if (size < end)
            reason += ": the file ends at byte " + std::to_string(size) +
                      ", before the record's end at byte " + std::to_string(end) +
                      " (the file was cut short)";
        throw EDataFileReadData(reason);
    }

    TEDFFile& FFile;
    std::vector<int32_t> FSignals;
    std::vector<std::string> FBytes;  // per signal: the parts of the batch, record after record
    TDynSmallIntArray FSamples;
    int32_t FBatch = 1;
};

}  // namespace

// ---- Parsing ----------------------------------------------------------------------------------

TEDFTalRecord ParseTalRecord(std::string_view bytes) {
    TEDFTalRecord record;
    TTalParser parser(bytes);
    TParsedTal parsed;
    for (bool first = true;; first = false) {
        const TTalParser::TStep step = parser.Next(parsed);
        if (step == TTalParser::TStep::End) break;
        if (step == TTalParser::TStep::Problem) {
            record.Problem = parser.Problem();
            break;
        }
        if (first && parsed.TimeKeepingForm) {
            record.HasTimeKeeping = true;
            record.Start = parsed.Tal.Onset;
            record.StartText = parsed.Tal.OnsetText;
        }
        if (!parsed.Tal.Texts.empty()) record.Tals.push_back(std::move(parsed.Tal));
    }
    return record;
}

// ---- Header -----------------------------------------------------------------------------------

TEDFPlusKind EDFPlusKind(const TCustomEDFFileInfo& info) {
    const std::string mark = info.Reserved().substr(0, 5);
    if (mark == "EDF+C") return TEDFPlusKind::Continuous;
    if (mark == "EDF+D") return TEDFPlusKind::Discontinuous;
    return TEDFPlusKind::None;
}

bool IsEDFPlus(const TCustomBaseEDFFile& file) {
    return EDFPlusKind(file.FileInfo()) != TEDFPlusKind::None;
}

bool IsDiscontinuous(const TCustomBaseEDFFile& file) {
    return EDFPlusKind(file.FileInfo()) == TEDFPlusKind::Discontinuous;
}

std::vector<int32_t> AnnotationSignals(const TCustomBaseEDFFile& file) {
    std::vector<int32_t> signals;
    for (int32_t k = 0; k < file.SignalCount(); ++k)
        if (file.Signal(k).IsAnnotation()) signals.push_back(k);
    return signals;
}

// ---- Time keeping -----------------------------------------------------------------------------

long double SubsecondStart(TEDFFile& file) {
    RequireReadable(file);
    const std::vector<int32_t> signals = AnnotationSignals(file);
    if (!IsEDFPlus(file) || signals.empty() || file.NumberOfRecords() < 1) return 0;
    TAnnotationBytes bytes(file, {signals[0]});
    bytes.Read(0, 1);
    const long double start = TimeKeeping(file, 0, signals[0], bytes.Bytes(0, 0));
    return start - std::trunc(start);
}

std::optional<TEDFGap> FindFirstGap(TEDFFile& file) {
    RequireReadable(file);
    if (!IsDiscontinuous(file)) return std::nullopt;
    const std::vector<int32_t> signals = AnnotationSignals(file);
    if (signals.empty())
        throw EDataFileAnnotations(
            Quoted(file.FileName()) + " is EDF+D (discontinuous) but has no \"" +
            kEDFAnnotationsLabel + "\" signal, so when its data records start is unknown");
    const int32_t records = file.NumberOfRecords();
    const long double duration = file.FileInfo().RecordDuration();
    TAnnotationBytes bytes(file, {signals[0]});
    long double first = 0;
    for (int32_t r0 = 0; r0 < records; r0 += bytes.Batch()) {
        const int32_t count = std::min(bytes.Batch(), records - r0);
        bytes.Read(r0, count);
        for (int32_t i = 0; i < count; ++i) {
            const int32_t record = r0 + i;
            const long double start = TimeKeeping(file, record, signals[0], bytes.Bytes(0, i));
            if (record == 0) first = start;
            const long double expected = first + record * duration;
            if (std::fabs(start - expected) > kEDFGapTolerance)
                return TEDFGap{record, start, expected};
        }
    }
    return std::nullopt;
}

// ---- Every annotation -------------------------------------------------------------------------

THPDateTime TEDFAnnotationList::Start() const {
    THPDateTime start = HeaderStart;
    start.AddSeconds(static_cast<double>(SubsecondStart));
    return start;
}

TEDFAnnotationList ReadAnnotations(TEDFFile& file) {
    RequireReadable(file);
    TEDFAnnotationList list;
    list.FileName = file.FileName();
    list.Kind = EDFPlusKind(file.FileInfo());
    list.HeaderStart = file.FileInfo().Start();
    const std::vector<int32_t> signals = AnnotationSignals(file);
    if (signals.empty()) return list;
    const int32_t records = file.NumberOfRecords();
    TAnnotationBytes bytes(file, signals);
    for (int32_t r0 = 0; r0 < records; r0 += bytes.Batch()) {
        const int32_t count = std::min(bytes.Batch(), records - r0);
        bytes.Read(r0, count);
        for (int32_t i = 0; i < count; ++i) {
            const int32_t record = r0 + i;
            for (size_t k = 0; k < signals.size(); ++k) {
                const std::string_view part = bytes.Bytes(k, i);
                TEDFTalRecord parsed = ParseTalRecord(part);
                if (!parsed.Problem.empty())
                    throw EDataFileAnnotations(Where(file, record, signals[k]) + ": " +
                                               parsed.Problem);
                if (k == 0 && !parsed.HasTimeKeeping)
                    TimeKeeping(file, record, signals[k], part);  // raises with the reason
                if (k == 0 && record == 0)
                    list.SubsecondStart = parsed.Start - std::trunc(parsed.Start);
                for (TEDFTal& tal : parsed.Tals)
                    for (std::string& text : tal.Texts)
                        list.Annotations.push_back(
                            {tal.Onset, tal.HasDuration, tal.Duration, std::move(text), record});
            }
        }
    }
    return list;
}

TEDFAnnotationList ReadAnnotationFile(const std::string& fileName) {
    TEDFFile file;
    file.SetAcceptAnnotationOnly(true);
    OpenForReading(file, fileName);
    return ReadAnnotations(file);
}

}  // namespace vantrel
