#include "edf/uEDFFile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>

#include "edf/uDataFile.h"
#include "edf/udSampleOrder.h"
#include "support/uDateTime.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

constexpr int32_t kReadAheadBytes = 4096;

// The field of `width` characters at `offset` (shorter or empty where the bytes end); advances
// the offset past it.
std::string Cut(const std::string& bytes, size_t& offset, int width) {
    std::string text = offset < bytes.size() ? bytes.substr(offset, width) : std::string();
    offset += static_cast<size_t>(width);
    return text;
}

// A field as written: the text padded or cut to the width, or blanks when the field is not
// valid.
std::string FieldText(bool valid, const std::string& text, int width) {
    return valid ? PadRight(text, width) : Spaces(width);
}

}  // namespace

// ---- Construction -----------------------------------------------------------------------------

TCustomBaseEDFFile::TCustomBaseEDFFile() = default;

TCustomBaseEDFFile::~TCustomBaseEDFFile() {
    CloseQuietly();
}

void TCustomBaseEDFFile::InitFileInfo() {
    FFileInfo = NewFileInfo();
    PrepareHeader(*FFileInfo);
}

void TCustomBaseEDFFile::CloseQuietly() noexcept {
    try {
        SetActive(false);
    } catch (...) {
        // A destructor cannot report; the stream is released by Close in any case.
    }
}

void TCustomBaseEDFFile::PrepareHeader(TCustomEDFFileHeaderInfo& header) const {
    header.SetStrictChecking(FStrictChecking);
    if (header.DecimalSeparator() != FDecimalSeparator)
        header.SetDecimalSeparator(FDecimalSeparator);
    if (header.ThousandSeparator() != FThousandSeparator)
        header.SetThousandSeparator(FThousandSeparator);
}

// ---- Properties -------------------------------------------------------------------------------

void TCustomBaseEDFFile::SetActive(bool active) {
    if (Active()) {
        if (!active) Close();
    } else if (active) {
        Open();
    }
}

void TCustomBaseEDFFile::SetFileName(const std::string& fileName) {
    if (Active()) throw EDataFileIsOpen();
    FFileName = fileName;
}

void TCustomBaseEDFFile::SetReadOnly(bool readOnly) {
    if (FIsOpen) throw EDataFileIsOpen();
    if (FCreating) throw EDataFileIsCreating();
    FReadOnly = readOnly;
}

void TCustomBaseEDFFile::SetAcceptAnnotationOnly(bool accept) {
    if (Active()) throw EDataFileIsOpen();
    FAcceptAnnotationOnly = accept;
}

void TCustomBaseEDFFile::SetStrictChecking(bool strict) {
    FStrictChecking = strict;
    if (!Active()) return;
    RevalidateHeaders([strict](TCustomEDFFileHeaderInfo& h) { h.SetStrictChecking(strict); });
}

void TCustomBaseEDFFile::RevalidateHeaders(
    const std::function<void(TCustomEDFFileHeaderInfo&)>& change) {
    // Re-deriving the main header from its texts would bring back the count stated there; the
    // count of an open file is the number of records it holds.
    const int32_t records = NumberOfRecords();
    change(*FFileInfo);
    for (auto& signal : FSignals)
        change(*signal);
    if (!FIsOpen) return;
    FFileInfo->SetNumberOfRecords(records);
    RecomputeHeaderValid();
}

void TCustomBaseEDFFile::SetDecimalSeparator(char separator) {
    FDecimalSeparator = separator;
}

void TCustomBaseEDFFile::SetThousandSeparator(char separator) {
    FThousandSeparator = separator;
}

TCustomEDFSignalInfo& TCustomBaseEDFFile::Signal(int32_t index) {
    return *FSignals.at(static_cast<size_t>(index));
}

const TCustomEDFSignalInfo& TCustomBaseEDFFile::Signal(int32_t index) const {
    return *FSignals.at(static_cast<size_t>(index));
}

int64_t TCustomBaseEDFFile::FileSize() const {
    std::lock_guard<TCriticalSection> guard(FLock);
    return FStream ? FStream->Size() : 0;
}

// ---- Validity ---------------------------------------------------------------------------------

bool TCustomBaseEDFFile::RecordLayoutSound() const {
    const int32_t count = FFileInfo->NumberOfSignals();
    if (count < 1 || count > kEDFMaxSignals || static_cast<int32_t>(FSignals.size()) != count)
        return false;
    int64_t samples = 0;
    for (const auto& signal : FSignals) {
        if (signal->SamplesPerRecord() <= 0) return false;
        samples += signal->SamplesPerRecord();
        if (samples * 2 > kEDFMaxRecordBytes) return false;
    }
    return true;
}

bool TCustomBaseEDFFile::AnnotationOnlyWithoutDuration() const {
    if (!FAcceptAnnotationOnly || FSignals.empty()) return false;
    for (int index = 0; index < kEDFFieldCount; ++index)
        if (index != ffRecordDuration && !FFileInfo->FieldValid(index)) return false;
    // The text itself is read again: a text that does not parse leaves the old value behind.
    const std::string& text = FFileInfo->RawIn().RecordDuration();
    double duration = -1;
    if (!TryStrToFloatSep(Trim(text), FDecimalSeparator, FThousandSeparator, duration) ||
        duration != 0 || (FStrictChecking && !IsLeftAligned(text)))
        return false;
    return std::all_of(FSignals.begin(), FSignals.end(),
                       [](const auto& signal) { return signal->IsAnnotation(); });
}

bool TCustomBaseEDFFile::AllHeadersValid() const {
    if (FSignals.empty()) return false;
    if (!FFileInfo->AllFieldsValid() && !AnnotationOnlyWithoutDuration()) return false;
    for (const auto& signal : FSignals)
        if (!signal->AllFieldsValid()) return false;
    return RecordLayoutSound();
}

void TCustomBaseEDFFile::RecomputeHeaderValid() {
    FHeaderValid = AllHeadersValid();
}

bool TCustomBaseEDFFile::HeaderUsable() const {
    if (FIsOpen) return FHeaderValid;
    if (FCreating) return AllHeadersValid();
    return false;
}

bool TCustomBaseEDFFile::IsValid() {
    if (FIsOpen) return FHeaderValid;
    if (FCreating) return AllHeadersValid();
    // Closed: open, ask the open file (the same answer as after opening it), close again. The
    // question is asked read-only, so it neither creates a missing file nor writes a header.
    const bool readOnly = FReadOnly;
    FReadOnly = true;
    bool valid = false;
    try {
        Open();
        valid = IsValid();
    } catch (...) {
        CloseQuietly();
        FReadOnly = readOnly;
        throw;
    }
    Close();
    FReadOnly = readOnly;
    return valid;
}

// ---- Record size and signal offsets -----------------------------------------------------------

void TCustomBaseEDFFile::SetRecordSize(int32_t samples) {
    FRecordSamples = samples;
    const int32_t readAhead =
        samples >= 1 && samples < kReadAheadBytes ? samples * (kReadAheadBytes / samples) : 0;
    std::lock_guard<TCriticalSection> guard(FLock);
    if (FStream) FStream->SetMinimalReadBufferSize(readAhead);
}

void TCustomBaseEDFFile::UpdateRecordSize() {
    if (!RecordLayoutSound()) {
        SetRecordSize(0);
        return;
    }
    int32_t samples = 0;
    for (const auto& signal : FSignals)
        samples += signal->SamplesPerRecord();
    SetRecordSize(samples);
}

void TCustomBaseEDFFile::UpdateSignalOffsets() {
    if (!HeaderUsable()) return;
    const int32_t count = FFileInfo->NumberOfSignals();
    int32_t offset = 0;
    for (int32_t k = 0; k < count && k < SignalCount(); ++k) {
        FSignals[k]->SetSampleOffset(offset);
        offset += FSignals[k]->SamplesPerRecord();
    }
    UpdateRecordSize();
}

// ---- Stream access under the lock -------------------------------------------------------------

void TCustomBaseEDFFile::ReadAt(int64_t position, void* buffer, int64_t count, int64_t& got) {
    std::lock_guard<TCriticalSection> guard(FLock);
    if (FStream->Position() != position) FStream->Seek(position);
    got = FStream->Read(buffer, count);
}

void TCustomBaseEDFFile::WriteAt(int64_t position, const void* buffer, int64_t count) {
    std::lock_guard<TCriticalSection> guard(FLock);
    if (FStream->Position() != position) FStream->Seek(position);
    FStream->Write(buffer, count);
}

// ---- Opening ----------------------------------------------------------------------------------

void TCustomBaseEDFFile::OpenStream() {
    FOwnsStream = true;
    TFileOpenMode mode = TFileOpenMode::ReadOnly;
    if (!FReadOnly) mode = FileExists(FFileName) ? TFileOpenMode::ReadWrite : TFileOpenMode::Create;
    auto stream = std::make_unique<TMinimalReadBufferSizeFileStream>(FFileName, mode);
    std::lock_guard<TCriticalSection> guard(FLock);
    FStream = std::move(stream);
}

void TCustomBaseEDFFile::ReadMainHeader() {
    FFileInfo = NewFileInfo();
    PrepareHeader(*FFileInfo);
    TEDFFileInfoRaw raw;
    const int64_t size = FileSize();
    if (size >= kEDFMainHeaderBytes) {
        std::string bytes(kEDFMainHeaderBytes, ' ');
        int64_t got = 0;
        ReadAt(0, bytes.data(), kEDFMainHeaderBytes, got);
        size_t offset = 0;
        for (int index = 0; index < kEDFFieldCount; ++index)
            raw.SetField(index, Cut(bytes, offset, kEDFFileFieldWidths[index]));
    }
    FFileInfo->AssignRaw(raw);
    const bool countValid = FFileInfo->FieldValid(ffNumberOfSignals);
    const int64_t headerBytes =
        (static_cast<int64_t>(FFileInfo->NumberOfSignals()) + 1) * kEDFSignalHeaderBytes;
    FFileInfo->SetHasData(countValid && headerBytes < size);
}

void TCustomBaseEDFFile::ReadSignalHeaders() {
    FSignals.clear();
    if (!FFileInfo->FieldValid(ffNumberOfSignals)) return;
    const int32_t count = FFileInfo->NumberOfSignals();
    for (int32_t k = 0; k < count; ++k) {
        FSignals.push_back(NewSignalInfo());
        PrepareHeader(*FSignals.back());
    }
    const int64_t headerBytes = (static_cast<int64_t>(count) + 1) * kEDFSignalHeaderBytes;
    if (count > 0 && FileSize() >= headerBytes) {
        std::string bytes(static_cast<size_t>(count) * kEDFSignalHeaderBytes, ' ');
        int64_t got = 0;
        ReadAt(kEDFMainHeaderBytes, bytes.data(), static_cast<int64_t>(bytes.size()), got);
        std::vector<TEDFSignalInfoRaw> raws(static_cast<size_t>(count));
        size_t offset = 0;
        for (int index = 0; index < kEDFFieldCount; ++index)
            for (auto& raw : raws)
                raw.SetField(index, Cut(bytes, offset, kEDFSignalFieldWidths[index]));
        for (int32_t k = 0; k < count; ++k) {
            FSignals[k]->AssignRaw(raws[k]);
            FSignals[k]->SetHasData(FFileInfo->HasData());
        }
    }
    UpdateRecordSize();
}

void TCustomBaseEDFFile::Open() {
    if (FIsOpen) return;
    OpenStream();
    if (FCreating) return;
    FIsOpen = true;
    FValidWhenOpened = false;
    try {
        ReadHeaders();
    } catch (...) {
        // A file system error while reading: nothing stays half open.
        std::lock_guard<TCriticalSection> guard(FLock);
        FStream.reset();
        FIsOpen = false;
        throw;
    }
}

void TCustomBaseEDFFile::ReadHeaders() {
    ReadMainHeader();
    ReadSignalHeaders();
    RecomputeHeaderValid();
    if (!IsValid() && !FStrictChecking && RecoverSeparators()) RecomputeHeaderValid();
    if (IsValid()) {
        FValidWhenOpened = true;
        UpdateRecordSize();
        // The count is what the file holds, whatever the header says; a difference marks the
        // header modified, so a read-write file gets the true count when it is closed.
        const int64_t dataBytes = FileSize() - FFileInfo->HeaderBytes();
        const int64_t records = FRecordSamples > 0 ? dataBytes / FRecordSamples / 2 : 0;
        FFileInfo->SetNumberOfRecords(
            static_cast<int32_t>(std::clamp<int64_t>(records, 0, INT32_MAX)));
        UpdateSignalOffsets();
    } else {
        SetRecordSize(0);
        FFileInfo->SetNumberOfRecords(0);
    }
}

// ---- Separator recovery -----------------------------------------------------------------------

bool TCustomBaseEDFFile::RecoverSeparators() {
    // The real-valued fields that did not read: the record duration and the physical limits.
    auto invalidRealTexts = [this] {
        std::vector<std::string> texts;
        if (!FFileInfo->FieldValid(ffRecordDuration))
            texts.push_back(Trim(FFileInfo->RawIn().RecordDuration()));
        for (const auto& signal : FSignals)
            for (int index : {sfPhysicalMinimum, sfPhysicalMaximum})
                if (!signal->FieldValid(index)) texts.push_back(Trim(signal->Raw().Field(index)));
        return texts;
    };
    if (invalidRealTexts().empty()) return false;

    const char oldDecimal = FDecimalSeparator;
    const char oldThousand = FThousandSeparator;
    SetDecimalSeparator('\0');
    SetThousandSeparator('\0');
    const std::vector<std::string> texts = invalidRealTexts();

    // The decimal separator: the candidates that are surely decimal, or else the ambiguous
    // ones ("1,234" in an 8-character field is far more often 1.234 than 1234). All texts
    // must agree.
    char decimal = '\0';
    bool conflict = false;
    for (bool acceptAmbiguous : {false, true}) {
        for (const std::string& text : texts) {
            const char candidate = GuessDecimalSeparator(text, acceptAmbiguous, '\0');
            if (candidate == '\0') continue;
            if (decimal != '\0' && candidate != decimal) conflict = true;
            decimal = candidate;
        }
        if (decimal != '\0') break;
    }
    char thousand = '\0';
    if (decimal != '\0' && !conflict) {
        TFormatSettings settings = ProcessFormatSettings();
        settings.DecimalSeparator = decimal;
        for (const std::string& text : texts) {
            const char candidate = GuessThousandSeparator(text, false, decimal, settings);
            if (candidate == '\0' || candidate == decimal) continue;
            if (thousand != '\0' && candidate != thousand) conflict = true;
            thousand = candidate;
        }
    }
    if (decimal != '\0' && !conflict) {
        SetDecimalSeparator(decimal);
        SetThousandSeparator(thousand);
        if (AllHeadersValid()) return true;
    }
    SetDecimalSeparator(oldDecimal);
    SetThousandSeparator(oldThousand);
    return false;
}

// ---- Creating and writing the header ----------------------------------------------------------

void TCustomBaseEDFFile::CreateNew(int32_t signalCount, bool overwrite) {
    if (FIsOpen) throw EDataFileIsOpen();
    // Checked before anything is deleted: the file being created stays as it is.
    if (FCreating) throw EDataFileIsCreating();
    if (Trim(FFileName).empty()) throw EDataFile();
    if (FileExists(FFileName)) {
        if (!overwrite) throw EDataFileExists();
        if (!DeleteFile(FFileName))
            throw EFCreateError("Cannot create file \"" + FFileName + "\". " +
                                std::strerror(errno));
    }
    SetReadOnly(false);
    FFileInfo = NewFileInfo();
    FSignals.clear();
    FCreating = true;
    PrepareHeader(*FFileInfo);
    for (int32_t k = 0; k < signalCount; ++k) {
        FSignals.push_back(NewSignalInfo());
        PrepareHeader(*FSignals.back());
    }
    try {
        Open();
    } catch (...) {
        FCreating = false;  // nothing was created; the object stays usable
        throw;
    }
}

void TCustomBaseEDFFile::WriteMainHeader() {
    const TCustomEDFFileInfo& info = *FFileInfo;
    auto valid = [&info](int index) { return info.FieldValid(index); };
    const auto& w = kEDFFileFieldWidths;
    // Every text is made before anything is written, so a formatting error leaves the file as
    // it was.
    std::string bytes;
    bytes += FieldText(valid(ffVersion), info.Version(), w[ffVersion]);
    bytes += FieldText(valid(ffPatient), info.GetPatient(), w[ffPatient]);
    bytes += FieldText(valid(ffRecording), info.GetRecording(), w[ffRecording]);
    bytes += FieldText(valid(ffStartDate),
                       FormatDateTimeFmt("dd.mm.yy", info.StartDate(), kLocaleEnglishUS),
                       w[ffStartDate]);
    bytes += FieldText(valid(ffStartClock),
                       FormatDateTimeFmt("hh.nn.ss", info.StartClock(), kLocaleEnglishUS),
                       w[ffStartClock]);
    bytes += FieldText(valid(ffHeaderBytes), std::to_string(info.HeaderBytes()), w[ffHeaderBytes]);
    bytes += FieldText(valid(ffReserved), info.Reserved(), w[ffReserved]);
    bytes += FieldText(valid(ffNumberOfRecords), std::to_string(info.NumberOfRecords()),
                       w[ffNumberOfRecords]);
    const std::string duration =
        valid(ffRecordDuration)
            ? FloatToEDF(static_cast<double>(info.RecordDuration()), w[ffRecordDuration],
                         FDecimalSeparator, FThousandSeparator)
            : std::string();
    bytes += FieldText(valid(ffRecordDuration), duration, w[ffRecordDuration]);
    bytes += FieldText(valid(ffNumberOfSignals), std::to_string(info.NumberOfSignals()),
                       w[ffNumberOfSignals]);
    WriteAt(0, bytes.data(), static_cast<int64_t>(bytes.size()));
    FFileInfo->SetModified(false);
}

void TCustomBaseEDFFile::WriteSignalHeaders() {
    const auto& w = kEDFSignalFieldWidths;
    auto real = [this](const TCustomEDFSignalInfo& s, int index, double value) {
        return s.FieldValid(index) ? FloatToEDF(value, kEDFSignalFieldWidths[index],
                                                FDecimalSeparator, FThousandSeparator)
                                   : std::string();
    };
    std::string bytes;
    bytes.reserve(FSignals.size() * kEDFSignalHeaderBytes);
    for (int index = 0; index < kEDFFieldCount; ++index) {
        for (const auto& signal : FSignals) {
            const TCustomEDFSignalInfo& s = *signal;
            std::string text;
            switch (index) {
                case sfLabel:
                    text = s.Label();
                    break;
                case sfTransducer:
                    text = s.Transducer();
                    break;
                case sfPhysicalDimension:
                    text = s.PhysicalDimension();
                    break;
                case sfPhysicalMinimum:
                    text = real(s, index, s.PhysicalMinimum());
                    break;
                case sfPhysicalMaximum:
                    text = real(s, index, s.PhysicalMaximum());
                    break;
                case sfDigitalMinimum:
                    text = std::to_string(s.DigitalMinimum());
                    break;
                case sfDigitalMaximum:
                    text = std::to_string(s.DigitalMaximum());
                    break;
                case sfPrefiltering:
                    text = s.GetPrefiltering();
                    break;
                case sfSamplesPerRecord:
                    text = std::to_string(s.SamplesPerRecord());
                    break;
                default:
                    text = s.Reserved();
                    break;
            }
            bytes += FieldText(s.FieldValid(index), text, w[index]);
        }
    }
    WriteAt(kEDFMainHeaderBytes, bytes.data(), static_cast<int64_t>(bytes.size()));
    for (auto& signal : FSignals)
        signal->SetModified(false);
}

void TCustomBaseEDFFile::WriteHeader() {
    if (!FStream) return;  // closed: there is nothing to write to
    if (FFileInfo->Modified()) WriteMainHeader();
    const bool signalsModified =
        std::any_of(FSignals.begin(), FSignals.end(), [](const auto& s) { return s->Modified(); });
    if (signalsModified) {
        WriteSignalHeaders();
        UpdateSignalOffsets();
    }
    if (FCreating && IsValid()) {
        FCreating = false;
        FIsOpen = true;
        FHeaderValid = true;
        FValidWhenOpened = true;
        UpdateRecordSize();
        UpdateSignalOffsets();
    }
}

void TCustomBaseEDFFile::Close() {
    if (!Active()) return;
    const bool modified =
        FFileInfo->Modified() ||
        std::any_of(FSignals.begin(), FSignals.end(), [](const auto& s) { return s->Modified(); });
    // A header that was not valid when opened, or is not valid now, is left exactly as it is
    // on disk: writing it back would blank its unreadable fields and zero its record count.
    const bool writeBack =
        modified && !FReadOnly && (FCreating || (FValidWhenOpened && FHeaderValid));
    // The header goes first, then the descriptor is closed with its result checked: a file
    // the disk could not hold never looks complete. On failure the stream is released all the
    // same and the error passes on.
    std::unique_ptr<TMinimalReadBufferSizeFileStream> stream;
    try {
        if (writeBack) WriteHeader();
    } catch (...) {
        std::lock_guard<TCriticalSection> guard(FLock);
        FStream.reset();
        FIsOpen = false;
        throw;
    }
    {
        std::lock_guard<TCriticalSection> guard(FLock);
        stream = std::move(FStream);
        FIsOpen = false;
    }
    if (stream) stream->Close();
}

// ---- Records ----------------------------------------------------------------------------------

namespace {

// The reason of a failed stream operation: the system's text when there is one.
std::string StreamFailureReason(const std::exception& e) {
    if (const auto* stream = dynamic_cast<const EFileStreamError*>(&e);
        stream && stream->SystemError() != 0)
        return std::strerror(stream->SystemError());
    return e.what();
}

}  // namespace

std::string TCustomBaseEDFFile::RecordAccessProblem(int32_t index, size_t bufferSize,
                                                    bool writing) const {
    if (!FIsOpen || !FStream) return "file is not open";
    if (writing && FReadOnly) return "file is opened read-only";
    const int32_t records = NumberOfRecords();
    if (index < 0 || index > records || (!writing && index == records))
        return "record " + std::to_string(index) + " is outside 0 ... " +
               std::to_string(writing ? records : records - 1);
    if (FRecordSamples <= 0) return "the header describes no data record";
    if (bufferSize != static_cast<size_t>(FRecordSamples))
        return "buffer holds " + std::to_string(bufferSize) + " samples, a record " +
               std::to_string(FRecordSamples);
    return std::string();
}

bool TCustomBaseEDFFile::ReadRecordInto(int32_t index, TDynSmallIntArray& buffer) {
    std::string reason;
    return ReadRecordInto(index, buffer, reason);
}

bool TCustomBaseEDFFile::ReadRecordInto(int32_t index, TDynSmallIntArray& buffer,
                                        std::string& reason) {
    reason = RecordAccessProblem(index, buffer.size(), false);
    if (!reason.empty()) return false;
    try {
        const int64_t bytes = static_cast<int64_t>(FRecordSamples) * 2;
        const int64_t position = FFileInfo->HeaderBytes() + static_cast<int64_t>(index) * bytes;
        int64_t got = 0;
        ReadAt(position, buffer.data(), bytes, got);
        if (got != bytes) {
            reason = "file ends before record " + std::to_string(index);
            return false;
        }
        SwapSampleOrder(buffer.data(), buffer.size());
        return true;
    } catch (const std::exception& e) {
        reason = StreamFailureReason(e);
        return false;
    }
}

bool TCustomBaseEDFFile::WriteRecordFrom(int32_t index, const TDynSmallIntArray& buffer) {
    std::string reason;
    return WriteRecordFrom(index, buffer, reason);
}

bool TCustomBaseEDFFile::WriteRecordFrom(int32_t index, const TDynSmallIntArray& buffer,
                                         std::string& reason) {
    reason = RecordAccessProblem(index, buffer.size(), true);
    if (!reason.empty()) return false;
    try {
        const TDynSmallIntArray* samples = &buffer;
        TDynSmallIntArray swapped;
        if constexpr (std::endian::native == std::endian::big) {
            swapped = buffer;
            SwapSampleOrder(swapped.data(), swapped.size());
            samples = &swapped;
        }
        const int64_t bytes = static_cast<int64_t>(FRecordSamples) * 2;
        // Index check, write and count update in one piece, so that writers on several threads
        // never append the same record twice.
        std::lock_guard<TCriticalSection> guard(FLock);
        const int32_t records = NumberOfRecords();
        if (index > records) {
            reason =
                "record " + std::to_string(index) + " is outside 0 ... " + std::to_string(records);
            return false;
        }
        const int64_t position = FFileInfo->HeaderBytes() + static_cast<int64_t>(index) * bytes;
        if (FStream->Position() != position) FStream->Seek(position);
        FStream->Write(samples->data(), bytes);
        if (index == records) FFileInfo->SetNumberOfRecords(index + 1);
    } catch (const std::exception& e) {
        reason = StreamFailureReason(e);
        return false;
    }
    if (!FFileInfo->HasData()) {
        FFileInfo->SetHasData(true);
        for (auto& signal : FSignals)
            signal->SetHasData(true);
    }
    return true;
}

void TCustomBaseEDFFile::CheckRead(int32_t index) const {
    if (!FIsOpen) throw EDataFileHeaderInvalid();
    if (index < 0 || index >= NumberOfRecords()) throw EDataFileReadData();
}

void TCustomBaseEDFFile::CheckWrite(int32_t index) const {
    if (!FIsOpen) throw EDataFileHeaderInvalid();
    if (FReadOnly) throw EDataFileReadOnly();
    if (index < 0 || index > NumberOfRecords()) throw EDataFileReadData();
}

void TCustomBaseEDFFile::ReadRecord(int32_t index) {
    CheckRead(index);
}

void TCustomBaseEDFFile::WriteRecord(int32_t index) {
    CheckWrite(index);
}

bool TCustomBaseEDFFile::ReadSignalInto(int32_t signal, int32_t first, int32_t count,
                                        int16_t* samples) {
    if (!FIsOpen || !FStream || FRecordSamples <= 0 || signal < 0 || signal >= SignalCount() ||
        count < 1 || first < 0 || first > NumberOfRecords() - count)
        return false;
    const TCustomEDFSignalInfo& info = *FSignals[signal];
    const int64_t part = int64_t{info.SamplesPerRecord()} * 2;
    const int64_t offset = int64_t{info.SampleOffset()} * 2;
    const int64_t recordBytes = int64_t{FRecordSamples} * 2;
    if (part <= 0 || offset < 0 || offset + part > recordBytes) return false;
    const int64_t start = FFileInfo->HeaderBytes() + int64_t{first} * recordBytes + offset;
    auto* bytes = reinterpret_cast<uint8_t*>(samples);
    try {
        if (part == recordBytes || count == 1) {
            // A signal that fills the record: its parts lie end to end, one read takes them all.
            // A single part goes through the stream (and its read-ahead for small records).
            const int64_t length = part * count;
            int64_t got = 0;
            ReadAt(start, bytes, length, got);
            if (got != length) return false;  // the file ends within the records asked for
        } else {
            // The parts of many records, in few system calls.
            constexpr int32_t kChunk = 64;
            std::array<TReadPiece, kChunk> pieces;
            std::lock_guard<TCriticalSection> guard(FLock);
            for (int32_t r0 = 0; r0 < count; r0 += kChunk) {
                const int32_t n = std::min(kChunk, count - r0);
                for (int32_t i = 0; i < n; ++i)
                    pieces[i] = {start + (r0 + i) * recordBytes, bytes + (r0 + i) * part, part};
                if (FStream->ReadPieces(pieces.data(), n) != n) return false;
            }
        }
        SwapSampleOrder(samples, static_cast<size_t>(count) * info.SamplesPerRecord());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// ---- TCustomEDFFile ---------------------------------------------------------------------------

TCustomEDFFile::TCustomEDFFile() {
    InitFileInfo();
}

TCustomEDFFile::~TCustomEDFFile() {
    CloseQuietly();
}

std::unique_ptr<TCustomEDFFileInfo> TCustomEDFFile::NewFileInfo() {
    return std::make_unique<TEDFFileInfo>(this);
}

std::unique_ptr<TCustomEDFSignalInfo> TCustomEDFFile::NewSignalInfo() {
    return std::make_unique<TEDFSignalInfo>(this);
}

void TCustomEDFFile::CreateNew(int32_t signalCount, bool overwrite) {
    TCustomBaseEDFFile::CreateNew(signalCount, overwrite);
    TCustomEDFFileInfo& info = MutableFileInfo();
    info.SetVersion("0");
    info.SetNumberOfSignals(signalCount);
    info.SetNumberOfRecords(0);
}

bool TCustomEDFFile::StrictLayoutValid() const {
    const int64_t recordBytes = static_cast<int64_t>(RecordSamples()) * 2;
    if (recordBytes > kEDFStrictMaxRecordBytes) return false;
    // An accepted annotation-only file has a duration of 0 and no rate to keep small.
    const long double duration = FileInfo().RecordDuration();
    if (duration > 0 && duration < 1 && recordBytes / duration < kEDFStrictMaxRecordBytes)
        return false;
    const int32_t records = FileInfo().NumberOfRecords();
    if (records >= 0 &&
        FileSize() != FileInfo().HeaderBytes() + static_cast<int64_t>(records) * recordBytes)
        return false;
    return true;
}

bool TCustomEDFFile::IsValid() {
    const bool valid = TCustomBaseEDFFile::IsValid();
    if (!valid || !IsOpen() || !StrictChecking()) return valid;
    return StrictLayoutValid();
}

void TCustomEDFFile::SetDecimalSeparator(char separator) {
    TCustomBaseEDFFile::SetDecimalSeparator(separator);
    RevalidateHeaders(
        [separator](TCustomEDFFileHeaderInfo& h) { h.SetDecimalSeparator(separator); });
}

void TCustomEDFFile::SetThousandSeparator(char separator) {
    TCustomBaseEDFFile::SetThousandSeparator(separator);
    RevalidateHeaders(
        [separator](TCustomEDFFileHeaderInfo& h) { h.SetThousandSeparator(separator); });
}

}  // namespace vantrel
