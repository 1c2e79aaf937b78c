// Window-free helpers of the application shell.
#include "app/uShellTools.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "analysis/uVantrel4.h"
#include "edf/uEDF.h"
#include "edf/uEDFTools.h"
#include "edf/uSignalLabels.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

namespace fs = std::filesystem;

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return text;
}

// Position just after the last "/", 0 when there is none.
std::size_t NamePartStart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

std::string NormalisedAbsolute(const std::string& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) absolute = path;
    return absolute.lexically_normal().string();
}

// The trimmed number after the first keyword and before the next "HZ", or empty.
std::string ValueAfter(const std::string& upper, const std::string& keyword) {
    const std::size_t at = upper.find(keyword);
    if (at == std::string::npos) return {};
    const std::string rest = upper.substr(at + keyword.size());
    const std::size_t hz = rest.find("HZ");
    if (hz == std::string::npos) return {};
    const std::string value = Trim(rest.substr(0, hz));
    return IsFloatText(value) ? value : std::string();
}

}  // namespace

std::string CompleteOutputFileName(const std::string& field, const std::string& currentDir) {
    if (Trim(field).empty()) return {};
    const std::size_t nameStart = NamePartStart(field);
    std::string directory = Trim(field.substr(0, nameStart));
    if (directory.empty()) directory = currentDir;
    if (!fs::path(directory).is_absolute()) directory = currentDir + "/" + directory;
    directory = fs::path(directory).lexically_normal().string();
    if (directory.empty() || directory.back() != '/') directory += '/';
    return directory + field.substr(nameStart);
}

std::string ChangeFileExt(const std::string& fileName, const std::string& ext) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot < NamePartStart(fileName)) return fileName + ext;
    return fileName.substr(0, dot) + ext;
}

std::string BatchLogFileName(const std::string& outputField, const std::string& currentDir) {
    const std::string field = Trim(outputField);
    if (field.empty()) return (fs::path(currentDir) / "Error.log").string();
    return ChangeFileExt(field, ".log");
}

std::string BitmapFileName(const std::string& resultsFileName) {
    const std::size_t nameStart = NamePartStart(resultsFileName);
    std::string name = resultsFileName.substr(nameStart);
    for (char& c : name)
        if (c == '.') c = '_';
    return resultsFileName.substr(0, nameStart) + name + ".BMP";
}

std::string ResultsLockFileName(const std::string& resultsFileName) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(resultsFileName, ec).lexically_normal();
    fs::path resolved = fs::weakly_canonical(absolute, ec);
    if (ec) resolved = absolute;
    return resolved.string() + ".lock";
}

TRunFiles RunFiles(const std::string& resultsFileName, const std::string& currentDir) {
    TRunFiles files;
    files.Results = resultsFileName;
    files.Log = BatchLogFileName(resultsFileName, currentDir);
    files.Record = resultsFileName + ".json";
    files.Lock = ResultsLockFileName(resultsFileName);
    files.Picture = resultsFileName + ".png";
    files.Bitmap = BitmapFileName(resultsFileName);
    return files;
}

std::string ResultsNameProblem(const std::string& resultsFileName) {
    const std::string name = Trim(resultsFileName);
    if (name.empty()) return {};
    std::error_code ec;
    const fs::file_status status = fs::status(name, ec);
    if (name.back() == '/' || fs::is_directory(status))
        return "The results file \"" + name + "\" is a directory; name a file in it";
    if (fs::exists(status) && !fs::is_regular_file(status))
        return "The results file \"" + name + "\" exists and is not a regular file";
    return {};
}

bool RegularFileExists(const std::string& name) {
    std::error_code ec;
    return fs::is_regular_file(name, ec);
}

bool IsIncompleteResultsFile(const std::string& name) {
    if (!RegularFileExists(name)) return false;
    try {
        TEDFFile file;
        OpenForReading(file, name);
        if (!file.IsValid() || file.SignalCount() != results::kSignals) return false;
        const TCustomEDFSignalInfo& su = file.Signal(results::kSU);
        // The final header fix of a complete run names signals 0..7 "Filtered".
        return su.Label().compare(0, 3, "SU ") == 0 && Trim(su.PhysicalDimension()) != "Filtered";
    } catch (const std::exception&) {
        return false;
    }
}

std::string CurrentDirectory() {
    std::error_code ec;
    const fs::path dir = fs::current_path(ec);
    return ec ? std::string(".") : dir.string();
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return NormalisedAbsolute(a) == NormalisedAbsolute(b);
}

bool WriteBatchLog(const std::vector<std::string>& lines, const std::string& logFileName,
                   std::string& error) {
    std::ofstream log(logFileName, std::ios::binary | std::ios::app);
    for (const std::string& line : lines) {
        if (!log) break;
        log << line << "\r\n";
    }
    if (log) log.flush();
    if (log) return true;
    error = "Cannot write the batch log \"" + logFileName + "\": " + std::strerror(errno);
    return false;
}

std::string HeaderTextForDisplay(const std::string& text) {
    return HeaderTextToUtf8(text);
}

bool IsAnnotationLabel(const std::string& label) {
    return Trim(label) == "EDF Annotations";
}

TPrefilterValues FiltersFromPrefilter(const std::string& prefiltering) {
    const std::string upper = UpperAscii(prefiltering);
    TPrefilterValues values;
    for (const char* keyword : {"LP:", "DIGITAL FIR LP AT"}) {
        const std::string value = ValueAfter(upper, keyword);
        if (!value.empty()) values.LP = value;
    }
    values.HP = ValueAfter(upper, "HP:");
    return values;
}

bool ListSignals(const std::string& fileName, std::ostream& out, std::string& error,
                 const std::string& signalText) {
    try {
        TEDFFile file;
        OpenForReading(file, fileName);
        if (!file.IsValid()) {
            error = "\"" + fileName + "\" is not an EDF file that can be read";
            return false;
        }
        int32_t first = 0, last = file.SignalCount();
        if (!Trim(signalText).empty()) {
            const bool number = IsSignalNumberText(signalText);
            const TSignalLabelMatch match =
                number ? TSignalLabelMatch{} : MatchSignalLabel(file, signalText);
            const int32_t chosen = number ? StrToInt32Or0(signalText) : match.Number;
            if (!match.Problem.empty()) {
                error = match.Problem;
                return false;
            }
            if (chosen < 1 || chosen > file.SignalCount()) {
                error = "Signal " + Trim(signalText) + " does not exist: the recording has " +
                        std::to_string(file.SignalCount()) + " signals";
                return false;
            }
            first = chosen - 1;
            last = chosen;
        }
        const long double duration = file.FileInfo().RecordDuration();
        for (int32_t k = first; k < last; ++k) {
            const TCustomEDFSignalInfo& signal = file.Signal(k);
            const long double frequency = signal.SamplesPerRecord() / duration;
            out << (k + 1) << '\t' << HeaderTextForDisplay(Trim(signal.Label())) << '\t'
                << FloatToStr(static_cast<double>(frequency)) << " Hz\t"
                << HeaderTextForDisplay(Trim(signal.Prefiltering())) << '\n';
        }
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

}  // namespace vantrel
