// The errors of the EDF library. Every one carries a fixed English message; the application
// decides what a person sees. EDataFile is the base of the family, so a caller that only wants
// to know "the data file failed" catches EDataFile.
#pragma once

#include <string>

#include "support/uExceptions.h"

namespace vantrel {

// The fixed messages of the family.
inline constexpr const char* kMsgNoFilename = "No filename";
inline constexpr const char* kMsgBusyCreating = "Busy creating new file";
inline constexpr const char* kMsgAlreadyOpen = "Data file is already open";
inline constexpr const char* kMsgReadOnly = "File is opened read-only";
inline constexpr const char* kMsgReadData = "Error reading file data";
inline constexpr const char* kMsgWriteData = "Error writing file data";
inline constexpr const char* kMsgContainsData = "Data file already contains data";
inline constexpr const char* kMsgInvalidFieldValues = "Invalid field value(s)";
inline constexpr const char* kMsgHeaderInvalid = "Invalid or incomplete file header";
inline constexpr const char* kMsgAnnotations = "Invalid EDF+ annotations";

// Base of the family; raised itself when a file is to be created without a file name.
class EDataFile : public Exception {
  public:
    EDataFile() : Exception(kMsgNoFilename) {}
    const char* ClassName() const override { return "EDataFile"; }

  protected:
    explicit EDataFile(const std::string& message) : Exception(message) {}
};

// The macro keeps the members of the family alike: a default constructor with the fixed
// message, one that appends ": " and the reason to it ("Error reading file data: file ends
// before record 7"), and the class name. Callers that compare messages compare the fixed part.
#define VANTREL_DATAFILE_ERROR(Name, message)                    \
    class Name : public EDataFile {                              \
      public:                                                    \
        Name() : EDataFile(message) {}                           \
        explicit Name(const std::string& reason)                 \
            : EDataFile(std::string(message) + ": " + reason) {} \
        const char* ClassName() const override { return #Name; } \
    }

// A read-only change (or a second create) while a new file is being created.
VANTREL_DATAFILE_ERROR(EDataFileIsCreating, kMsgBusyCreating);
// File name change while open or creating; read-only change or create while open.
VANTREL_DATAFILE_ERROR(EDataFileIsOpen, kMsgAlreadyOpen);
// A record write on a file opened read-only.
VANTREL_DATAFILE_ERROR(EDataFileReadOnly, kMsgReadOnly);
// Record index out of range (reading or writing), or a record read that failed.
VANTREL_DATAFILE_ERROR(EDataFileReadData, kMsgReadData);
// A record write that failed.
VANTREL_DATAFILE_ERROR(EDataFileWriteData, kMsgWriteData);
// Create without permission to overwrite an existing file.
VANTREL_DATAFILE_ERROR(EDataFileExists, kMsgContainsData);
// A change of the record structure (signal count, header size, samples per record) after the
// file holds data records.
VANTREL_DATAFILE_ERROR(EDataFileDataExists, kMsgContainsData);
// A derived value (such as the end time) asked of a header with invalid fields.
VANTREL_DATAFILE_ERROR(EDataFileFieldValue, kMsgInvalidFieldValues);
// Record access on a file that is not open (or whose new header is not complete yet).
VANTREL_DATAFILE_ERROR(EDataFileHeaderInvalid, kMsgHeaderInvalid);
// EDF+ annotation lists that cannot be read: malformed bytes, a data record without its time
// keeping, an EDF+D file without an annotation signal (uEDFAnnotations.h).
VANTREL_DATAFILE_ERROR(EDataFileAnnotations, kMsgAnnotations);

#undef VANTREL_DATAFILE_ERROR

}  // namespace vantrel
