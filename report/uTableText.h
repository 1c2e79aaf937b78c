// Rows of tabular text for other programs: tab-separated (LF line ends) or CSV (RFC 4180: a
// field with a comma, a double quote or a line break is quoted, quotes doubled; CR LF line
// ends). Numbers are written by FloatToShortestStr: locale-independent, read back exactly.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vantrel {

enum class TTableFormat { Tab, Csv };

// CSV when the file name ends in ".csv" (any letter case), tab-separated otherwise.
TTableFormat TableFormatOf(const std::string& fileName);

// A number for a table cell; an empty cell when there is none or it is not finite.
std::string Cell(const std::optional<double>& value);

// Writes one row. Tab-separated cells must not hold tabs or line breaks: they are replaced by
// blanks there.
void WriteRow(std::ostream& out, const std::vector<std::string>& cells, TTableFormat format);

}  // namespace vantrel
