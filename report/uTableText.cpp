#include "report/uTableText.h"

#include <cmath>

#include "support/udStr.h"

namespace vantrel {

namespace {

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string TabField(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return text;
}

}  // namespace

TTableFormat TableFormatOf(const std::string& fileName) {
    if (fileName.size() < 4) return TTableFormat::Tab;
    std::string extension = fileName.substr(fileName.size() - 4);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return extension == ".csv" ? TTableFormat::Csv : TTableFormat::Tab;
}

std::string Cell(const std::optional<double>& value) {
    if (!value || !std::isfinite(*value)) return {};
    return FloatToShortestStr(*value);
}

void WriteRow(std::ostream& out, const std::vector<std::string>& cells, TTableFormat format) {
    const bool csv = format == TTableFormat::Csv;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i) out << (csv ? ',' : '\t');
        out << (csv ? CsvField(cells[i]) : TabField(cells[i]));
    }
    out << (csv ? "\r\n" : "\n");
}

}  // namespace vantrel
