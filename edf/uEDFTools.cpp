#include "edf/uEDFTools.h"

#include "edf/uEDF.h"
#include "edf/udDisk.h"

namespace vantrel {

bool IsValidEDFFile(const std::string& fileName, bool strict) {
    if (!FileExists(fileName)) return false;
    TEDFFile file;
    file.SetFileName(fileName);
    file.SetStrictChecking(strict);
    file.SetReadOnly(true);
    return file.IsValid();
}

void OpenForReading(TEDFFile& file, const std::string& fileName) {
    file.SetFileName(fileName);
    file.SetReadOnly(true);
    file.SetStrictChecking(false);
    file.SetActive(true);
}

}  // namespace vantrel
