#include "report/uCohortPage.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

#include "analysis/uVantrel4.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

namespace fs = std::filesystem;

// The stage columns: the groups of the run record's "stages" whose MC mean is shown.
constexpr struct {
    const char* Group;
    const char* Heading;
} kStageColumns[] = {{"NREM", "MC NREM"}, {"N2", "MC N2"}, {"N3", "MC N3"}, {"REM", "MC REM"}};

const char* const kStyle = R"(
body { font: 14px/1.4 "DejaVu Sans", Arial, sans-serif; margin: 1.5em; color: #222; }
h1 { font-size: 1.4em; margin: 0 0 0.3em; }
p { margin: 0 0 1em; color: #555; }
table { border-collapse: collapse; }
th, td { border-bottom: 1px solid #ddd; padding: 6px 10px; text-align: right; vertical-align: top;
         white-space: nowrap; }
th { position: sticky; top: 0; background: #f4f4f4; white-space: nowrap; }
th[data-key] { cursor: pointer; }
th[data-key]:hover { background: #e6eefa; }
th[aria-sort=ascending]::after { content: " \25B2"; }
th[aria-sort=descending]::after { content: " \25BC"; }
td.text, th.text { text-align: left; white-space: normal; }
tr.failed td { background: #fdecea; }
.status-failed { color: #b00020; font-weight: bold; }
.status-ok { color: #1b7f3b; font-weight: bold; }
.reason { max-width: 18em; color: #555; font-size: 0.9em; white-space: normal; }
td:first-child { min-width: 10em; }
.input { color: #666; font-size: 0.85em; max-width: 16em; overflow-wrap: break-word; }
img { display: block; border: 1px solid #ccc; }
td.files a { display: block; }
)";

// Sorts the rows by a column; ties keep the page's order, empty cells go last.
const char* const kScript = R"(
const table = document.getElementById('nights');
const headings = Array.from(table.tHead.rows[0].cells);
function sortBy(key, descending) {
  const column = headings.findIndex(h => h.dataset.key === key);
  if (column < 0) return;
  const value = row => row.cells[column].dataset.value;
  const rows = Array.from(table.tBodies[0].rows).sort((a, b) => {
    const x = value(a), y = value(b);
    if (x === '' || y === '') return (x === '') - (y === '');
    const order = isNaN(x) || isNaN(y) ? x.localeCompare(y) : x - y;
    return descending ? -order : order;
  });
  table.tBodies[0].append(...rows);
  headings.forEach(h => h.removeAttribute('aria-sort'));
  headings[column].setAttribute('aria-sort', descending ? 'descending' : 'ascending');
}
headings.filter(h => h.dataset.key).forEach(h => h.addEventListener('click', () => {
  const descending = h.getAttribute('aria-sort') === 'ascending';
  sortBy(h.dataset.key, descending);
  try { history.replaceState(null, '', '?sort=' + (descending ? '-' : '') + h.dataset.key); } catch (e) {}
}));
const asked = new URLSearchParams(location.search).get('sort');
if (asked) sortBy(asked.replace(/^-/, ''), asked.startsWith('-'));
)";

// A path as a relative URL from the page's folder: each byte outside the unreserved ones
// percent-encoded, "/" kept.
std::string RelativeUrl(const std::string& file, const fs::path& pageDirectory) {
    std::error_code ec;
    fs::path absolute = fs::absolute(file, ec).lexically_normal();
    fs::path relative = absolute.lexically_relative(pageDirectory);
    const std::string path = (relative.empty() ? absolute : relative).generic_string();
    std::string url;
    for (const unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || std::strchr("-._~/", c) != nullptr;
        if (plain) {
            url += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            url += escaped;
        }
    }
    return url;
}

bool IsFile(const std::string& name) {
    std::error_code ec;
    return !name.empty() && fs::is_regular_file(name, ec);
}

std::string Fixed(const std::optional<double>& value, const char* format) {
    return value ? CFormat(format, *value) : std::string();
}

// A sortable cell: the text shown and the value sorted by (a number at full precision, or
// empty for none).
std::string NumberCell(const std::optional<double>& value, const std::string& shown) {
    return "<td data-value=\"" + (value ? FloatToShortestStr(*value) : std::string()) + "\">" +
           shown + "</td>";
}

bool Failed(const TCohortPageNight& night) {
    return !night.Row.Record || night.Row.ExitStatus != "0";
}

std::string StatusText(const TCohortPageNight& night) {
    if (!Failed(night)) return "<span class=\"status-ok\">ok</span>";
    std::string text = "<span class=\"status-failed\">failed</span>";
    if (!night.Row.ExitStatus.empty()) text += " (exit " + HtmlText(night.Row.ExitStatus) + ")";
    if (!night.Row.Reason.empty())
        text += "<div class=\"reason\">" + HtmlText(night.Row.Reason) + "</div>";
    return text;
}

std::string Link(const std::string& file, const fs::path& pageDirectory, const char* text) {
    if (!IsFile(file)) return {};
    return "<a href=\"" + RelativeUrl(file, pageDirectory) + "\">" + text + "</a>";
}

void WriteRow(std::ostringstream& page, const TCohortPageNight& night, bool stages,
              const fs::path& pageDirectory) {
    const TSummaryRow& row = night.Row;
    const TRunRecord* record = Failed(night) ? nullptr : &*row.Record;
    page << "<tr" << (record ? "" : " class=\"failed\"") << ">";
    // The recording by its file name; the whole path shows when the pointer rests on it.
    page << "<td class=\"text\" data-value=\"" << HtmlText(night.Row.Id) << "\">"
         << HtmlText(night.Row.Id) << "<div class=\"input\" title=\"" << HtmlText(row.Input)
         << "\">" << HtmlText(fs::path(row.Input).filename().string()) << ", signal "
         << HtmlText(row.Signal);
    if (record && !record->Input.Label.empty()) page << " " << HtmlText(record->Input.Label);
    page << "</div></td>";

    const std::string picture = row.Results + ".png";
    page << "<td class=\"text\">";
    if (IsFile(picture)) {
        const std::string url = RelativeUrl(picture, pageDirectory);
        page << "<a href=\"" << url << "\"><img src=\"" << url
             << "\" width=\"320\" height=\"200\" alt=\"the night of " << HtmlText(night.Row.Id)
             << "\" loading=\"lazy\"></a>";
    } else {
        page << "no picture";
    }
    page << "</td>";
    page << "<td class=\"text\" data-value=\"" << (record ? 1 : 0) << "\">" << StatusText(night)
         << "</td>";

    std::optional<double> pib, clean, mcMean, events;
    std::string unit;
    if (record) {
        const TNightStatistics& n = record->Results.Night;
        pib = record->Results.PiB;
        if (record->Results.Seconds > 0)
            clean = static_cast<double>(n.CleanSeconds) / record->Results.Seconds;
        mcMean = n.MCMean;
        events = n.MCEventsPerHour;
        if (!record->Input.PhysicalDimension.empty())
            unit = " " + HtmlText(record->Input.PhysicalDimension) + "\u00b2";
    }
    page << NumberCell(pib, pib ? CFormat("%.3g", *pib) + unit : std::string());
    page << NumberCell(clean, clean ? CFormat("%.1f %%", *clean * 100) : std::string());
    page << NumberCell(mcMean, Fixed(mcMean, "%.1f"));
    page << NumberCell(events, Fixed(events, "%.1f"));
    if (stages) {
        for (const auto& column : kStageColumns) {
            std::optional<double> mean;
            if (record && record->Hypnogram) {
                for (int g = 0; g < kStageGroupCount && g < int(record->Stages.size()); ++g)
                    if (std::strcmp(kStageGroupNames[g], column.Group) == 0)
                        mean = record->Stages[static_cast<size_t>(g)].MCMean;
            }
            page << NumberCell(mean, Fixed(mean, "%.1f"));
        }
    }
    page << "<td class=\"text files\">" << Link(row.Results, pageDirectory, "results")
         << Link(night.Log, pageDirectory, "log")
         << Link(RunRecordFileName(row.Results), pageDirectory, "record") << "</td>";
    page << "</tr>\n";
}

}  // namespace

std::string HtmlText(std::string_view text) {
    const std::string utf8 = HeaderTextToUtf8(text);
    std::string escaped;
    escaped.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::vector<std::string> CohortPageSortKeys(bool stages) {
    std::vector<std::string> keys = {
        "id", "status", "pib", "clean_fraction", "mc_mean", "mc_events_per_hour"};
    if (stages)
        for (const auto& column : kStageColumns)
            keys.push_back(std::string("mc_mean_") + column.Group);
    return keys;
}

std::string CohortPageHtml(const std::vector<TCohortPageNight>& nights,
                           const std::string& pageDirectory) {
    std::error_code ec;
    const fs::path directory = fs::absolute(pageDirectory, ec).lexically_normal();
    const bool stages = std::any_of(nights.begin(), nights.end(), [](const TCohortPageNight& n) {
        return !Failed(n) && n.Row.Record->Hypnogram.has_value();
    });
    const auto failed = std::count_if(nights.begin(), nights.end(), Failed);
    const std::string title = "Cohort: " + std::to_string(nights.size()) + " night" +
                              (nights.size() == 1 ? "" : "s") + ", " + std::to_string(failed) +
                              " failed";

    std::ostringstream page;
    page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         << "<title>" << title << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n"
         << "<h1>" << title << "</h1>\n"
         << "<p>Failed nights come first. Click a column heading to sort by it; "
         << "<code>index.html?sort=mc_mean</code> opens the page sorted by that column, "
         << "<code>?sort=-mc_mean</code> the other way round. A picture opens at full size "
         << "when clicked.</p>\n";

    const std::vector<std::string> keys = CohortPageSortKeys(stages);
    std::vector<std::string> headings = {"id", "status", "piB", "clean", "MC mean (%)", "events/h"};
    for (const auto& column : kStageColumns)
        if (stages) headings.push_back(column.Heading);
    page << "<table id=\"nights\">\n<thead><tr>";
    for (size_t k = 0; k < keys.size(); ++k) {
        if (k == 1) page << "<th class=\"text\">picture</th>";
        page << "<th" << (k < 2 ? " class=\"text\"" : "") << " data-key=\"" << keys[k] << "\">"
             << headings[k] << "</th>";
    }
    page << "<th class=\"text\">files</th></tr></thead>\n<tbody>\n";
    for (const bool failedPass : {true, false})
        for (const TCohortPageNight& night : nights)
            if (Failed(night) == failedPass) WriteRow(page, night, stages, directory);
    page << "</tbody>\n</table>\n<script>" << kScript << "</script>\n</body>\n</html>\n";
    return page.str();
}

void WriteCohortPage(const std::vector<TCohortPageNight>& nights, const std::string& fileName) {
    std::error_code ec;
    const fs::path directory = fs::absolute(fileName, ec).parent_path();
    const std::string text = CohortPageHtml(nights, directory.string());
    const std::string temporary = fileName + ".tmp" + std::to_string(::getpid());
    const auto fail = [&](const std::string& reason) {
        std::remove(temporary.c_str());
        return ECohortPageError("Cannot write the cohort page \"" + fileName + "\": " + reason);
    };
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) throw fail(std::strerror(errno));
        out << text;
        out.close();
        if (!out) throw fail(std::strerror(errno));
    }
    if (std::rename(temporary.c_str(), fileName.c_str()) != 0) throw fail(std::strerror(errno));
}

}  // namespace vantrel
