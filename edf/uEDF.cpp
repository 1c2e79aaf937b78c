#include "edf/uEDF.h"

#include "edf/uDataFile.h"

namespace vantrel {

TEDFFile::TEDFFile() = default;

TEDFFile::~TEDFFile() {
    CloseQuietly();
}

TDynSmallIntArray TEDFFile::NewRecordBuffer() const {
    return HeaderUsable() ? TDynSmallIntArray(static_cast<size_t>(RecordSamples()), 0)
                          : TDynSmallIntArray();
}

void TEDFFile::UpdateSignalOffsets() {
    TCustomEDFFile::UpdateSignalOffsets();
    // Assigned in place: references handed out earlier see the new buffer.
    FRecordBuffer = NewRecordBuffer();
}

TDynSmallIntArray& TEDFFile::GetRecordBuffer() {
    // The header's validity can change without a new layout (strictness, separators).
    const size_t wanted = HeaderUsable() ? static_cast<size_t>(RecordSamples()) : 0;
    if (FRecordBuffer.size() != wanted) FRecordBuffer = NewRecordBuffer();
    return FRecordBuffer;
}

void TEDFFile::ReadRecord(int32_t index) {
    CheckRead(index);
    std::string reason;
    if (!ReadRecordInto(index, GetRecordBuffer(), reason)) throw EDataFileReadData(reason);
}

void TEDFFile::WriteRecord(int32_t index) {
    CheckWrite(index);
    std::string reason;
    if (!WriteRecordFrom(index, GetRecordBuffer(), reason)) throw EDataFileWriteData(reason);
}

}  // namespace vantrel
