// Hypnograms: reading the three formats and placing stages on a night's clock.
#include "report/uHypnogram.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numeric>
#include <sstream>

#include "edf/uEDFAnnotations.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

namespace chr = std::chrono;

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return Lower(text.substr(0, prefix.size())) == Lower(prefix);
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> cells;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, '\t');)
        cells.push_back(Trim(cell));
    if (!line.empty() && line.back() == '\t') cells.emplace_back();
    return cells;
}

// The lines of a text file, CR and a UTF-8 byte order mark removed.
std::vector<std::string> TextLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::istringstream in(bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? bytes.substr(3) : bytes);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

EHypnogramError LineError(const std::string& file, size_t line, const std::string& reason) {
    return EHypnogramError("The hypnogram " + file + ", line " + std::to_string(line) + ": " +
                           reason);
}

// A number of seconds >= 0, or the error of the line.
long double Seconds(const std::string& text, const char* what, const std::string& file,
                    size_t line) {
    double value = 0;
    if (!TryStrToFloatSep(Trim(text), '.', '\0', value) || !std::isfinite(value) || value < 0)
        throw LineError(file, line,
                        std::string(what) + " \"" + text + "\" is not a number of seconds >= 0");
    return value;
}

bool IsEDFPlusFile(const std::string& bytes) {
    return bytes.size() >= 256 && Trim(bytes.substr(0, 8)) == "0" &&
           bytes.compare(192, 4, "EDF+") == 0;
}

THypnogram ReadEDFPlus(const std::string& fileName) {
    TEDFAnnotationList list;
    try {
        list = ReadAnnotationFile(fileName);
    } catch (const std::exception& e) {
        throw EHypnogramError("The hypnogram " + fileName + " cannot be read: " + e.what());
    }
    THypnogram hypnogram;
    hypnogram.Path = fileName;
    hypnogram.Format = THypnogramFormat::EDFPlus;
    hypnogram.Start = ClockTimeOfSerialDay(static_cast<int64_t>(list.HeaderStart.Day()),
                                           list.HeaderStart.Picoseconds());
    for (const TEDFAnnotation& a : list.Annotations) {
        if (StartsWithNoCase(Trim(a.Text), "lights off")) {
            hypnogram.LightsOff = static_cast<double>(a.Onset);
            continue;
        }
        if (StartsWithNoCase(Trim(a.Text), "lights on")) {
            hypnogram.LightsOn = static_cast<double>(a.Onset);
            continue;
        }
        const std::optional<TSleepStage> stage = ParseStageName(a.Text);
        if (!stage || !a.HasDuration || !(a.Duration > 0)) continue;
        if (a.Onset < 0)
            throw EHypnogramError("The hypnogram " + fileName + ", record " +
                                  std::to_string(a.Record) + ": \"" + a.Text +
                                  "\" has a negative onset");
        hypnogram.Spans.push_back({a.Onset, a.Duration, *stage});
    }
    return hypnogram;
}

THypnogram ReadTsv(const std::string& fileName, const std::vector<std::string>& lines) {
    const std::vector<std::string> names = SplitTabs(Lower(lines[0]));
    auto column = [&names](const char* name) {
        const auto at = std::find(names.begin(), names.end(), name);
        return at == names.end() ? -1 : static_cast<int>(at - names.begin());
    };
    const int onset = column("onset"), duration = column("duration");
    int stage = column("stage");
    const bool stageRequired = stage >= 0;
    if (stage < 0) stage = column("description");
    if (stage < 0) stage = column("trial_type");
    if (stage < 0)
        throw LineError(fileName, 1,
                        "no column \"stage\", \"description\" or \"trial_type\" beside onset "
                        "and duration");
    THypnogram hypnogram;
    hypnogram.Path = fileName;
    hypnogram.Format = THypnogramFormat::Tsv;
    const size_t needed = static_cast<size_t>(std::max({onset, duration, stage})) + 1;
    for (size_t n = 1; n < lines.size(); ++n) {
        if (Trim(lines[n]).empty()) continue;
        const std::vector<std::string> cells = SplitTabs(lines[n]);
        if (cells.size() < needed)
            throw LineError(fileName, n + 1,
                            "it has " + std::to_string(cells.size()) + " columns, the header " +
                                std::to_string(names.size()));
        const std::optional<TSleepStage> name = ParseStageName(cells[stage]);
        if (!name && stageRequired)
            throw LineError(fileName, n + 1, "\"" + cells[stage] + "\" is no sleep stage name");
        const long double start = Seconds(cells[onset], "onset", fileName, n + 1);
        const long double length = Seconds(cells[duration], "duration", fileName, n + 1);
        if (name && length > 0) hypnogram.Spans.push_back({start, length, *name});
    }
    return hypnogram;
}

THypnogram ReadText(const std::string& fileName, const std::vector<std::string>& lines,
                    double epochSeconds) {
    THypnogram hypnogram;
    hypnogram.Path = fileName;
    hypnogram.Format = THypnogramFormat::Text;
    size_t last = lines.size();
    while (last > 0 && Trim(lines[last - 1]).empty())
        --last;
    long double onset = 0;
    for (size_t n = 0; n < last; ++n) {
        const std::string text = Trim(lines[n]);
        if (!text.empty() && text[0] == '#') continue;
        const std::optional<TSleepStage> stage = ParseStageName(text);
        if (!stage)
            throw LineError(fileName, n + 1,
                            text.empty() ? std::string("empty; one stage a line, one line an epoch")
                                         : "\"" + text + "\" is no sleep stage name");
        hypnogram.Spans.push_back({onset, epochSeconds, *stage});
        onset += epochSeconds;
    }
    return hypnogram;
}

// The second of the night whose instant t + 0.5 s is the first at or after `at`.
int64_t FirstSecondAt(long double at) {
    return static_cast<int64_t>(std::ceil(at - 0.5L));
}

std::string RangeText(TClockTime start, long double from, long double to) {
    auto at = [start](long double offset) {
        return IsoText(start +
                       chr::milliseconds{static_cast<int64_t>(std::llround(offset * 1000))});
    };
    return at(from) + " to " + at(to);
}

}  // namespace

const char* StageName(TSleepStage stage) {
    static const char* const names[] = {"W", "N1", "N2", "N3", "REM", "unscored"};
    return names[static_cast<int>(stage)];
}

std::optional<TSleepStage> ParseStageName(const std::string& text) {
    std::string name = Lower(Trim(text));
    if (name.rfind("sleep stage ", 0) == 0) name = Trim(name.substr(12));
    static const struct {
        const char* Name;
        TSleepStage Stage;
    } names[] = {
        {"w", TSleepStage::W},
        {"wake", TSleepStage::W},
        {"0", TSleepStage::W},
        {"1", TSleepStage::N1},
        {"n1", TSleepStage::N1},
        {"s1", TSleepStage::N1},
        {"2", TSleepStage::N2},
        {"n2", TSleepStage::N2},
        {"s2", TSleepStage::N2},
        {"3", TSleepStage::N3},
        {"4", TSleepStage::N3},
        {"n3", TSleepStage::N3},
        {"n4", TSleepStage::N3},
        {"s3", TSleepStage::N3},
        {"s4", TSleepStage::N3},
        {"r", TSleepStage::REM},
        {"rem", TSleepStage::REM},
        {"5", TSleepStage::REM},
        {"?", TSleepStage::Unscored},
        {"movement time", TSleepStage::Unscored},
        {"mt", TSleepStage::Unscored},
        {"unscored", TSleepStage::Unscored},
        {"unknown", TSleepStage::Unscored},
    };
    for (const auto& entry : names)
        if (name == entry.Name) return entry.Stage;
    return std::nullopt;
}

const char* FormatName(THypnogramFormat format) {
    switch (format) {
        case THypnogramFormat::EDFPlus:
            return "edf+";
        case THypnogramFormat::Tsv:
            return "tsv";
        case THypnogramFormat::Text:
            return "text";
    }
    return "";
}

THypnogram ReadHypnogram(const std::string& fileName, double epochSeconds) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw EHypnogramError("The hypnogram " + fileName +
                              " cannot be read: " + std::strerror(errno));
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    if (Trim(bytes).empty()) throw EHypnogramError("The hypnogram " + fileName + " is empty");
    if (IsEDFPlusFile(bytes)) return ReadEDFPlus(fileName);
    const std::vector<std::string> lines = TextLines(bytes);
    const std::vector<std::string> header = SplitTabs(Lower(lines[0]));
    const auto names = [&header](const char* name) {
        return std::find(header.begin(), header.end(), name) != header.end();
    };
    if (names("onset") && names("duration")) return ReadTsv(fileName, lines);
    return ReadText(fileName, lines, epochSeconds);
}

TStagedNight StageSeconds(const THypnogram& hypnogram, TClockTime recordingStart, int64_t seconds) {
    // Onsets relative to the night: the hypnogram's own clock, or the night's for text formats.
    const long double offset =
        hypnogram.Start ? chr::duration<long double>(*hypnogram.Start - recordingStart).count()
                        : 0.0L;
    std::vector<size_t> order(hypnogram.Spans.size());
    std::iota(order.begin(), order.end(), size_t{0});
    // Later onsets paint over earlier ones; at equal onsets the later one in the file wins.
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return hypnogram.Spans[a].Onset < hypnogram.Spans[b].Onset;
    });
    TStagedNight night;
    night.Seconds.assign(static_cast<size_t>(std::max<int64_t>(seconds, 0)), TSleepStage::Unscored);
    bool overlaps = false;
    for (const size_t i : order) {
        const TStageSpan& span = hypnogram.Spans[i];
        const long double from = offset + span.Onset, to = from + span.Duration;
        overlaps = overlaps || (from < seconds && to > 0);
        const int64_t begin = std::max<int64_t>(FirstSecondAt(from), 0);
        const int64_t end = std::min<int64_t>(FirstSecondAt(to), seconds);
        for (int64_t t = begin; t < end; ++t)
            night.Seconds[static_cast<size_t>(t)] = span.Stage;
    }
    if (!overlaps) {
        const long double from =
            hypnogram.Spans.empty() ? offset : offset + hypnogram.Spans[order.front()].Onset;
        long double to = from;
        for (const TStageSpan& span : hypnogram.Spans)
            to = std::max(to, offset + span.Onset + span.Duration);
        throw EHypnogramError(
            "The hypnogram " + hypnogram.Path + " (" + RangeText(recordingStart, from, to) +
            ") does not overlap the recording (" + RangeText(recordingStart, 0, seconds) + ")");
    }
    night.SecondsScored = std::count_if(night.Seconds.begin(), night.Seconds.end(),
                                        [](TSleepStage s) { return s != TSleepStage::Unscored; });
    if (hypnogram.LightsOff) night.LightsOff = static_cast<double>(offset + *hypnogram.LightsOff);
    if (hypnogram.LightsOn) night.LightsOn = static_cast<double>(offset + *hypnogram.LightsOn);
    return night;
}

}  // namespace vantrel
