// The EDF file object: opens an existing EDF file and reads its header into the header model
// (uEDFHeaderInfo.h), creates a new file and completes its header field by field, reads and
// writes data records as arrays of 16-bit samples, and writes a changed header back when the
// file is closed.
//
// TCustomBaseEDFFile holds all behaviour; TCustomEDFFile chooses the concrete header classes,
// creates new files and passes separators on to the headers; TEDFFile (uEDF.h) owns the shared
// data record buffer and the raising record operations. Use TEDFFile.
//
// States:
//   closed    after construction and after Close;
//   creating  after CreateNew, until WriteHeader finds every field of every header valid;
//   open      after Open (read-only or read-write) and after the completing WriteHeader.
// While open or creating, the file name and the read-only flag cannot change.
//
// Reading a recording:
//   TEDFFile file;
//   file.SetFileName(name); file.SetReadOnly(true); file.SetStrictChecking(false);
//   file.SetActive(true);
//   if (!file.IsValid()) ...;                    // a bad header never raises, it is invalid
//   const auto& signal = file.Signal(k);         // label, ranges, SamplesPerRecord, ...
//   auto& buffer = file.GetRecordBuffer();
//   for (int32_t i = 0; i < file.NumberOfRecords(); ++i) {
//       file.ReadRecord(i);                      // fills buffer
//       ... buffer[signal.SampleOffset() + s] ...
//   }
//
// Writing a new file:
//   file.SetFileName(name); file.CreateNew(signalCount, /*overwrite=*/true);
//   file.FileInfo().SetRecordDuration(1); ...; file.Signal(k).SetLabel(...); ...
//   file.WriteHeader();                          // complete: the file is now open
//   auto& buffer = file.GetRecordBuffer();       // fill it, then append:
//   file.WriteRecord(file.NumberOfRecords());
//   file.Close();                                // writes the final record count
//
// Data record layout: signal after signal, SamplesPerRecord samples of each as 2-byte
// little-endian two's-complement integers. Record i starts at byte
// HeaderBytes + i x RecordSamples x 2, computed in 64 bits.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "edf/uEDFHeaderInfo.h"
#include "edf/udDisk.h"
#include "support/uDynamicArray.h"

namespace vantrel {

// The lock that serialises every access to a file object's stream.
using TCriticalSection = std::mutex;

// A data record larger than this makes a file invalid with strict checking.
inline constexpr int32_t kEDFStrictMaxRecordBytes = 61440;
// A data record larger than this (64 MiB) makes a file invalid whatever the checking: real
// recordings stay far below it, and a header claiming more is damaged or hostile. No record
// buffer is ever allocated beyond it.
inline constexpr int64_t kEDFMaxRecordBytes = int64_t{64} * 1024 * 1024;
// The signal count field has 4 characters.
inline constexpr int32_t kEDFMaxSignals = 9999;

class TCustomBaseEDFFile {
  public:
    virtual ~TCustomBaseEDFFile();
    TCustomBaseEDFFile(const TCustomBaseEDFFile&) = delete;
    TCustomBaseEDFFile& operator=(const TCustomBaseEDFFile&) = delete;

    // ---- State ----
    bool IsOpen() const { return FIsOpen; }
    // A new file whose header is not complete yet (see CreateNew, WriteHeader).
    bool Creating() const { return FCreating; }
    bool OwnsStream() const { return FOwnsStream; }
    // Open or creating.
    bool Active() const { return FIsOpen || FCreating; }
    // Opens (true) or closes (false); does nothing when already in that state.
    void SetActive(bool active);

    // The file's name. Raises EDataFileIsOpen while open or creating.
    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& fileName);

    // Open for reading only; initially false (read-write, creating the file when missing).
    // Raises EDataFileIsOpen while open, EDataFileIsCreating while creating.
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly);

    // Accept annotation-only files: with this set, a file whose every signal is an EDF+
    // annotation signal ("EDF Annotations", no samples) is valid although its record duration
    // field reads 0, as hypnograms and other scoring files are written; its RecordDuration is
    // then 0, and no rate may be derived from it. Every other header field must still be valid,
    // and a file with any ordinary signal is checked as always. Initially false; the annotation
    // reader (uEDFAnnotations.h) sets it. Raises EDataFileIsOpen while open or creating.
    bool AcceptAnnotationOnly() const { return FAcceptAnnotationOnly; }
    void SetAcceptAnnotationOnly(bool accept);

    // Strict conformance checking of the header; initially true. When open or creating the
    // headers re-derive every field under the new setting.
    bool StrictChecking() const { return FStrictChecking; }
    void SetStrictChecking(bool strict);

    // Separators used to read and write the real-valued header fields ('\0' = none); initially
    // '.' and none. When open or creating the headers re-derive their fields.
    char DecimalSeparator() const { return FDecimalSeparator; }
    char ThousandSeparator() const { return FThousandSeparator; }
    virtual void SetDecimalSeparator(char separator);
    virtual void SetThousandSeparator(char separator);

    // ---- Header ----
    // The file-level header (owned by the file; replaced when a file is opened or created).
    TCustomEDFFileInfo& FileInfo() { return *FFileInfo; }
    const TCustomEDFFileInfo& FileInfo() const { return *FFileInfo; }
    // The signal headers, in signal order (owned by the file).
    int32_t SignalCount() const { return static_cast<int32_t>(FSignals.size()); }
    TCustomEDFSignalInfo& Signal(int32_t index);
    const TCustomEDFSignalInfo& Signal(int32_t index) const;
    // The file-level header's NumberOfRecords: on opening, the whole records present.
    int32_t NumberOfRecords() const { return FFileInfo->NumberOfRecords(); }

    // Every field of every header was valid (and the record layout sound) when last checked:
    // on opening, and after changing the strictness or the separators of an open file.
    bool HeaderValid() const { return FHeaderValid; }
    // Open: HeaderValid, and with strict checking also a record of at most 61440 bytes, a
    // record duration of at least 1 s unless even a 1 s record would be too large, and a file
    // size that matches the record count. Creating: every header valid. Closed: opens the
    // file read-only, asks, and closes it again (an error while opening passes on); the file
    // is never changed by the question.
    virtual bool IsValid();

    // Number of 16-bit samples in one data record over all signals; 0 while the header is not
    // valid.
    int32_t RecordSamples() const { return FRecordSamples; }
    // Size of the file in bytes (0 when no stream is open).
    int64_t FileSize() const;

    // ---- Opening, creating, closing ----
    // Opens the stream and, unless creating, reads the header. A bad header does not raise: the
    // file is open with HeaderValid false, no records and record size 0. With lenient checking
    // a header whose real numbers use another decimal separator (such as "0,5") is read with
    // the separators guessed from its texts. The record count becomes the number of whole
    // records present in the file. Errors of the file system raise EFOpenError or
    // EFCreateError.
    virtual void Open();
    // Writes a changed header and closes the file, checking the system's close: a header write
    // or close that fails raises EWriteError (an EFileStreamError), with the stream released
    // all the same. Every normal path that wrote to a file must end with Close, so that such a
    // failure is seen; the destructor closes quietly. Nothing is written to a read-only file,
    // nor to a file whose header was not valid when opened or is not valid now: such a file
    // stays byte for byte as it was. A file being created stays in the creating state.
    virtual void Close();
    // Starts a new file of signalCount signals: raises EDataFileIsOpen when open,
    // EDataFileIsCreating when already creating, EDataFile "No filename" without a file name,
    // EDataFileExists when the file exists and overwrite is false (an existing file is deleted
    // when overwrite is true). The headers are empty except Version "0", NumberOfSignals,
    // HeaderBytes and NumberOfRecords 0.
    virtual void CreateNew(int32_t signalCount, bool overwrite);
    // Writes the parts of the header that changed (invalid fields as blanks) and, when
    // creating and every header is now valid, opens the file for records. Does nothing on a
    // closed file. Formatting errors of real values pass on (EConvertError).
    virtual void WriteHeader();

    // ---- Records ----
    // Reads record `index` into `buffer`, which must hold exactly RecordSamples samples. False
    // (never an exception) when not open, index out of 0..NumberOfRecords-1, the buffer has the
    // wrong length, or the read fails.
    virtual bool ReadRecordInto(int32_t index, TDynSmallIntArray& buffer);
    // Writes `buffer` (exactly RecordSamples samples) as record `index`; index ==
    // NumberOfRecords appends and increments the count. The first write freezes the record
    // structure (HasData). False when not open, read-only, index out of 0..NumberOfRecords,
    // the buffer has the wrong length, or the write fails.
    virtual bool WriteRecordFrom(int32_t index, const TDynSmallIntArray& buffer);
    // As above, and on failure `reason` says why: the system's text ("File too large"),
    // "file ends before record N" (N from 0) for a short read, or what the access lacked. Empty
    // on success. ReadRecord and WriteRecord append it to their fixed message.
    bool ReadRecordInto(int32_t index, TDynSmallIntArray& buffer, std::string& reason);
    bool WriteRecordFrom(int32_t index, const TDynSmallIntArray& buffer, std::string& reason);
    // The file's own data record buffer of RecordSamples samples; see TEDFFile.
    virtual TDynSmallIntArray& GetRecordBuffer() = 0;
    // Checks the access (EDataFileHeaderInvalid when not open, EDataFileReadData for an index
    // out of range); TEDFFile then reads the record into its buffer.
    virtual void ReadRecord(int32_t index);
    // Checks the access (EDataFileHeaderInvalid, EDataFileReadOnly, EDataFileReadData for an
    // index out of 0..NumberOfRecords); TEDFFile then writes its buffer.
    virtual void WriteRecord(int32_t index);
    // Reads only the samples of signal `signal` from the records first .. first + count - 1
    // into `samples` (count x the signal's SamplesPerRecord, record after record): the same
    // values ReadRecord gives at the signal's SampleOffset, without touching the bytes of the
    // other signals. The parts of several records are read in few system calls (up to 64 a
    // call where the kernel allows, udBatchRead.h), a signal that fills the record in one read.
    // The file's record buffer is not used. False (never an exception) when not
    // open, the signal or a record is out of range, or the file ends before the last record.
    bool ReadSignalInto(int32_t signal, int32_t first, int32_t count, int16_t* samples);

  protected:
    TCustomBaseEDFFile();
    // Creates the first file-level header; the constructor of the class that implements
    // NewFileInfo calls it.
    void InitFileInfo();
    // Closes without raising; destructors call it.
    void CloseQuietly() noexcept;

    virtual std::unique_ptr<TCustomEDFFileInfo> NewFileInfo() = 0;
    virtual std::unique_ptr<TCustomEDFSignalInfo> NewSignalInfo() = 0;
    // SetRecordSize(sum of SamplesPerRecord), or 0 when the record layout is not sound.
    virtual void UpdateRecordSize();
    // When the header is usable: gives every signal its SampleOffset, then UpdateRecordSize.
    virtual void UpdateSignalOffsets();
    virtual void OpenStream();
    virtual void ReadSignalHeaders();
    void ReadMainHeader();
    // Reads both headers, checks them and counts the records present (Open after the stream).
    void ReadHeaders();
    void WriteMainHeader();
    void WriteSignalHeaders();
    // RecordSamples = samples; the stream reads records of up to 2048 samples several at a
    // time through its read-ahead buffer.
    void SetRecordSize(int32_t samples);
    void CheckRead(int32_t index) const;
    // Why a record access cannot start (not open, read-only when writing, index, buffer
    // length); empty when it can.
    std::string RecordAccessProblem(int32_t index, size_t bufferSize, bool writing) const;
    void CheckWrite(int32_t index) const;

    // Every header has every field valid (but see AcceptAnnotationOnly), there is at least one
    // signal, and the record layout is sound.
    bool AllHeadersValid() const;
    // AcceptAnnotationOnly is set, every signal is an annotation signal, the record duration
    // text reads 0 and every other main header field is valid.
    bool AnnotationOnlyWithoutDuration() const;
    // Signal headers match the signal count (1..9999), every signal has SamplesPerRecord > 0
    // and a data record is at most kEDFMaxRecordBytes.
    bool RecordLayoutSound() const;
    // The header can be used for records: HeaderValid when open, AllHeadersValid when creating.
    bool HeaderUsable() const;
    // With lenient checking: reads the real-valued fields that are invalid again with
    // separators guessed from their raw texts. True when that made every header valid;
    // otherwise the separators are restored.
    bool RecoverSeparators();
    // Gives a new header the file's strictness and separators.
    void PrepareHeader(TCustomEDFFileHeaderInfo& header) const;
    void RecomputeHeaderValid();
    // Applies a strictness or separator change to every header (each re-derives its fields);
    // an open file keeps its record count and recomputes HeaderValid.
    void RevalidateHeaders(const std::function<void(TCustomEDFFileHeaderInfo&)>& change);

    TCustomEDFFileInfo& MutableFileInfo() { return *FFileInfo; }
    std::vector<std::unique_ptr<TCustomEDFSignalInfo>>& Signals() { return FSignals; }

  private:
    void ReadAt(int64_t position, void* buffer, int64_t count, int64_t& got);
    void WriteAt(int64_t position, const void* buffer, int64_t count);

    mutable TCriticalSection FLock;
    bool FOwnsStream = false;
    bool FIsOpen = false;
    bool FCreating = false;
    int32_t FRecordSamples = 0;
    char FDecimalSeparator = '.';
    std::unique_ptr<TCustomEDFFileInfo> FFileInfo;
    std::string FFileName;
    std::unique_ptr<TMinimalReadBufferSizeFileStream> FStream;
    bool FReadOnly = false;
    bool FAcceptAnnotationOnly = false;
    std::vector<std::unique_ptr<TCustomEDFSignalInfo>> FSignals;
    bool FStrictChecking = true;
    char FThousandSeparator = '\0';
    bool FHeaderValid = false;
    // IsValid when the file was opened; a file that was not valid then is never written back
    // on Close.
    bool FValidWhenOpened = false;
};

// Chooses TEDFFileInfo and TEDFSignalInfo as header classes, completes new files, passes the
// separators on to the headers, and adds the strict layout checks to IsValid.
class TCustomEDFFile : public TCustomBaseEDFFile {
  public:
    ~TCustomEDFFile() override;

    void CreateNew(int32_t signalCount, bool overwrite) override;
    bool IsValid() override;
    void SetDecimalSeparator(char separator) override;
    void SetThousandSeparator(char separator) override;

  protected:
    TCustomEDFFile();

    std::unique_ptr<TCustomEDFFileInfo> NewFileInfo() override;
    std::unique_ptr<TCustomEDFSignalInfo> NewSignalInfo() override;

  private:
    // The strict layout checks on an open file.
    bool StrictLayoutValid() const;
};

}  // namespace vantrel
