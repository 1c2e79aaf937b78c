// Small helpers around the EDF file object.
#pragma once

#include <string>

namespace vantrel {

class TEDFFile;

// Whether the file is an EDF file the library can read: false when no file of that name
// exists; otherwise the answer of TEDFFile::IsValid for the file opened read-only with the given
// strictness. Errors while opening (such as a file that cannot be read) pass on.
bool IsValidEDFFile(const std::string& fileName, bool strict);

// Opens a recording as the program reads its input: read-only and leniently, so that a header
// text a strict check refuses (a patient field, a unit) does not keep the samples from being
// read. Raises the library's error when the file cannot be opened; IsValid tells the rest.
void OpenForReading(TEDFFile& file, const std::string& fileName);

}  // namespace vantrel
