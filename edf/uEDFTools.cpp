#include "edf/uEDFTools.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>

#include "edf/uEDF.h"
#include "edf/udDisk.h"
#include "support/udStr.h"

namespace vantrel {

const char* const kFileFieldNames[kEDFFieldCount] = {
    "Version",     "Patient",  "Recording",       "StartDate",      "StartClock",
    "HeaderBytes", "Reserved", "NumberOfRecords", "RecordDuration", "NumberOfSignals"};
const char* const kSignalFieldNames[kEDFFieldCount] = {
    "Label",          "Transducer",     "PhysicalDimension", "PhysicalMinimum",  "PhysicalMaximum",
    "DigitalMinimum", "DigitalMaximum", "Prefiltering",      "SamplesPerRecord", "Reserved"};

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

std::string QuotedHeaderText(const std::string& text) {
    std::string out = "\"";
    for (const char ch : HeaderTextToUtf8(text)) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::vector<std::string> HeaderProblems(TEDFFile& file) {
    std::vector<std::string> problems;
    const TCustomEDFFileInfo& info = file.FileInfo();
    for (int i = 0; i < kEDFFieldCount; ++i)
        if (!info.FieldValid(i))
            problems.push_back(std::string("main header field ") + kFileFieldNames[i] +
                               " is invalid: text " + QuotedHeaderText(info.RawIn().Field(i)));
    if (info.FieldValid(ffNumberOfSignals) && file.SignalCount() == 0)
        problems.push_back("the header declares no signals");
    int64_t recordSamples = 0;
    for (int32_t k = 0; k < file.SignalCount(); ++k) {
        const TCustomEDFSignalInfo& s = file.Signal(k);
        for (int i = 0; i < kEDFFieldCount; ++i)
            if (!s.FieldValid(i))
                problems.push_back("signal " + std::to_string(k + 1) + " " +
                                   QuotedHeaderText(s.Label()) + ": field " + kSignalFieldNames[i] +
                                   " is invalid: text " + QuotedHeaderText(s.Raw().Field(i)));
        recordSamples += std::max(s.SamplesPerRecord(), 0);
    }
    const int64_t recordBytes = recordSamples * 2;
    if (recordBytes > kEDFMaxRecordBytes)
        problems.push_back("a data record of " + std::to_string(recordBytes) +
                           " bytes is larger than " + std::to_string(kEDFMaxRecordBytes) +
                           " bytes: the header is damaged");
    if (!file.StrictChecking()) return problems;
    if (recordBytes > kEDFStrictMaxRecordBytes)
        problems.push_back("strict: a data record of " + std::to_string(recordBytes) +
                           " bytes is larger than " + std::to_string(kEDFStrictMaxRecordBytes) +
                           " bytes");
    // The other strict checks need a readable header; the record count is the one it states.
    if (!file.HeaderValid()) return problems;
    const long double duration = info.RecordDuration();
    if (duration < 1 && recordBytes / duration < kEDFStrictMaxRecordBytes)
        problems.push_back("strict: records of " + FloatToStr(static_cast<double>(duration)) +
                           " s are shorter than 1 s although a 1 s record would fit");
    const std::string statedText = info.RawIn().NumberOfRecords();
    const int32_t stated = StrToInt32Or0(statedText);
    const int64_t expected = info.HeaderBytes() + static_cast<int64_t>(stated) * recordBytes;
    if (IsInt32Text(statedText) && stated >= 0 && file.FileSize() != expected)
        problems.push_back("strict: the file has " + std::to_string(file.FileSize()) +
                           " bytes, the header's " + std::to_string(stated) + " records need " +
                           std::to_string(expected));
    return problems;
}

std::string RecordingProblem(const std::string& fileName) {
    const std::string quoted = "\"" + fileName + "\"";
    if (!FileExists(fileName)) return "The file " + quoted + " does not exist";
    // The version field decides the format before any other field is read: BDF writes 0xFF
    // and "BIOSEMI" there, EDF "0".
    char version[8] = {};
    std::ifstream in(fileName, std::ios::binary);
    in.read(version, sizeof version);
    if (in.gcount() == sizeof version && static_cast<unsigned char>(version[0]) == 0xFF)
        return "The file " + quoted +
               " is a BDF file (24-bit samples); this program reads EDF files (16-bit samples) "
               "only";
    const std::string versionText = Trim(std::string(version, static_cast<size_t>(in.gcount())));
    if (in.gcount() == sizeof version && versionText != "0")
        return "The file " + quoted + " has the version " + QuotedHeaderText(versionText) +
               "; an EDF file has \"0\"";
    try {
        TEDFFile file;
        OpenForReading(file, fileName);
        if (file.IsValid()) return {};
        const std::vector<std::string> problems = HeaderProblems(file);
        return "The file " + quoted + " is not a valid EDF file: " +
               (problems.empty() ? std::string("its header cannot be read") : problems.front());
    } catch (const std::exception& e) {
        return e.what();
    }
}

std::string MissingRecordsWarning(const TEDFFile& file) {
    const std::string stated = Trim(file.FileInfo().RawIn().NumberOfRecords());
    if (!file.IsOpen() || !file.HeaderValid() || !IsInt32Text(stated)) return {};
    const int32_t statedRecords = StrToInt32Or0(stated);
    if (statedRecords <= file.NumberOfRecords()) return {};
    return "The file holds " + std::to_string(file.NumberOfRecords()) +
           " complete data records; its header says " + std::to_string(statedRecords);
}

std::string LenientReadingWarning(const std::string& fileName) {
    try {
        if (!IsValidEDFFile(fileName, false)) return {};
        TEDFFile file;
        file.SetFileName(fileName);
        file.SetReadOnly(true);
        file.SetStrictChecking(true);
        file.SetActive(true);
        if (file.IsValid()) return {};
        const std::vector<std::string> problems = HeaderProblems(file);
        if (problems.empty()) return {};
        std::string warning = "Read leniently; a strict reader refuses it: " + problems.front();
        if (problems.size() > 1)
            warning += " (and " + std::to_string(problems.size() - 1) + " more)";
        return warning;
    } catch (const std::exception&) {
        return {};  // what cannot be read at all is refused by the checks that read it
    }
}

}  // namespace vantrel
