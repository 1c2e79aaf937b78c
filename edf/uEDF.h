// TEDFFile: the EDF file object to use. It adds the data record buffer to TCustomEDFFile
// (uEDFFile.h) and the record operations that raise.
#pragma once

#include <cstdint>

#include "edf/uEDFFile.h"
#include "support/uDynamicArray.h"

namespace vantrel {

class TEDFFile : public TCustomEDFFile {
  public:
    TEDFFile();
    ~TEDFFile() override;

    // The file's data record buffer: RecordSamples samples, signal k at
    // Signal(k).SampleOffset() .. + SamplesPerRecord - 1. ReadRecord fills it, WriteRecord
    // writes it. The reference stays valid as long as the file object lives; the buffer is
    // resized and zero-filled whenever the header layout changes (opening, WriteHeader after a
    // signal header changed), so read its size again after such a change. Empty while the
    // header is not valid.
    TDynSmallIntArray& GetRecordBuffer() override;

    // Reads record `index` into the buffer. Raises EDataFileHeaderInvalid when the file is not
    // open, EDataFileReadData for an index out of range or a failed read.
    void ReadRecord(int32_t index) override;
    // Writes the buffer as record `index`; index == NumberOfRecords appends. Raises
    // EDataFileHeaderInvalid when not open, EDataFileReadOnly on a read-only file,
    // EDataFileReadData for an index out of 0..NumberOfRecords, EDataFileWriteData when the
    // write fails.
    void WriteRecord(int32_t index) override;
    // ReadSignalInto into the start of `samples`, which must hold at least count x the signal's
    // SamplesPerRecord samples. Raises EDataFileHeaderInvalid when the file is not open,
    // EDataFileReadData for a signal or record out of range, a buffer too short or a failed
    // read.
    void ReadSignal(int32_t signal, int32_t first, int32_t count, TDynSmallIntArray& samples);

  protected:
    // Sets the signal offsets and gives the buffer the new record size.
    void UpdateSignalOffsets() override;
    // A zero-filled buffer of RecordSamples samples; empty while the header is not usable.
    TDynSmallIntArray NewRecordBuffer() const;

  private:
    TDynSmallIntArray FRecordBuffer;
};

}  // namespace vantrel
