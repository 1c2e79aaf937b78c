// Small helpers around the EDF file object.
#pragma once

#include <string>

namespace vantrel {

// Whether the file is an EDF file the library can read: false when no file of that name
// exists; otherwise the answer of TEDFFile::IsValid for the file opened read-only with the given
// strictness. Errors while opening (such as a file that cannot be read) pass on.
bool IsValidEDFFile(const std::string& fileName, bool strict);

}  // namespace vantrel
