#include "app/uReportCommands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>

#include "app/uCommandLine.h"
#include "report/uCohortPage.h"
#include "report/uHypnogram.h"
#include "report/uIsoTime.h"
#include "report/uResultsReader.h"
#include "report/uSecondsTable.h"
#include "report/uSummary.h"
#include "report/uTableText.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

bool IsCommand(const std::vector<std::string>& args, const std::string& name) {
    if (args.empty()) return false;
    std::string upper = args.front();
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return upper == "--" + name || upper == "-" + name || upper == "/" + name;
}

int Refused(const std::string& reason) {
    std::fprintf(stderr, "vantrel4: %s\n", reason.c_str());
    return kExitFailed;
}

// The stream was written completely, or the reason it was not.
int Written(std::ostream& out, const std::string& name) {
    out.flush();
    if (out) return kExitOk;
    std::fprintf(stderr, "vantrel4: cannot write %s: %s\n", name.c_str(), std::strerror(errno));
    return kExitOutput;
}

// The last line of a batch log, its line end removed: why the night failed.
std::string LastLogLine(const std::string& logFileName) {
    std::ifstream log(logFileName, std::ios::binary);
    std::string line, last;
    while (std::getline(log, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) last = line;
    }
    return last;
}

TSummaryRow CohortRow(const std::vector<std::string>& fields) {
    TSummaryRow row;
    row.Id = fields[0];
    row.Input = fields[1];
    row.Signal = fields[2];
    row.Results = fields[3];
    row.ExitStatus = fields[4];
    row.WallSeconds = fields[5];
    if (row.ExitStatus != "0") {
        row.Reason = LastLogLine(fields[6]);
        return row;
    }
    try {
        row.Record = ReadableResultsRecord(row.Results);
    } catch (const std::exception& e) {
        row.Reason = e.what();
    }
    return row;
}

// The lines of a cohort table with their fields; lines of fewer than six fields are skipped.
std::vector<std::vector<std::string>> CohortTable(std::istream& table) {
    std::vector<std::vector<std::string>> lines;
    for (std::string line; std::getline(table, line);) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');)
            fields.push_back(cell);
        if (fields.size() >= 7) lines.push_back(fields);
    }
    return lines;
}

int CohortSummary(const std::string& tableName) {
    std::ifstream table(tableName, std::ios::binary);
    if (!table) return Refused("cannot read the cohort table " + tableName);
    WriteRow(std::cout, SummaryHeader(), TTableFormat::Csv);
    for (const std::vector<std::string>& fields : CohortTable(table))
        WriteRow(std::cout, SummaryCells(CohortRow(fields)), TTableFormat::Csv);
    return Written(std::cout, "standard output");
}

}  // namespace

bool IsExportRequest(const std::vector<std::string>& args) {
    return IsCommand(args, "EXPORT");
}

bool IsSummaryRequest(const std::vector<std::string>& args) {
    return IsCommand(args, "SUMMARY");
}

bool IsCohortPageRequest(const std::vector<std::string>& args) {
    return IsCommand(args, "COHORT-PAGE");
}

bool IsPlotRequest(const std::vector<std::string>& args) {
    return IsCommand(args, "PLOT");
}

namespace {

// The arguments of --export: the results file, the table file, the hypnogram options.
struct TExportArguments {
    std::vector<std::string> Files;  // RESULTS [OUT]
    std::string Hypnogram;           // /HYPNOGRAM:FILE or --hypnogram=FILE, as typed
    double EpochSeconds = 30;        // /EPOCH=s
};

TExportArguments ReadExportArguments(const std::vector<std::string>& args) {
    TExportArguments a;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::optional<std::string> option = OptionForm(args[i]);
        if (!option) {
            a.Files.push_back(args[i]);
        } else if (option->rfind("/HYPNOGRAM", 0) == 0) {
            a.Hypnogram = args[i].substr(args[i].find_first_of(":=") + 1);
        } else if (option->rfind("/EPOCH=", 0) == 0) {
            double seconds = 0;
            if (TryStrToFloatGuess(option->substr(7), true, seconds) && seconds > 0)
                a.EpochSeconds = seconds;
        }
    }
    return a;
}

// The stage of each second: from the hypnogram named, else from the one the run used.
std::function<std::string(int64_t)> StageColumn(const TRunRecord& record, const TExportArguments& a,
                                                std::vector<TSleepStage>& stages) {
    std::string file = a.Hypnogram;
    if (file.empty() && record.Hypnogram) file = record.Hypnogram->Path;
    if (file.empty()) return {};
    const std::optional<TClockTime> start = ParseIsoText(record.Input.RecordingStart);
    if (!start)
        throw EHypnogramError("The run record has no recording start to place the hypnogram on");
    stages =
        StageSeconds(ReadHypnogram(file, a.EpochSeconds), *start, record.Results.Seconds).Seconds;
    return [&stages](int64_t t) { return StageName(stages[static_cast<size_t>(t)]); };
}

}  // namespace

int ExportCommand(const std::vector<std::string>& args) {
    const TExportArguments a = ReadExportArguments(args);
    if (a.Files.empty() || a.Files.size() > 2)
        return Refused("usage: vantrel4 --export RESULTS [OUT] [/HYPNOGRAM:FILE] [/EPOCH=s]");
    const std::string& results = a.Files[0];
    try {
        const TRunRecord record = ReadableResultsRecord(results);
        std::vector<TSleepStage> stages;
        const auto stageOf = StageColumn(record, a, stages);
        TResultsReader reader(results);
        if (a.Files.size() == 1) {
            WriteSecondsTable(record, reader, std::cout, TTableFormat::Tab, stageOf);
            return Written(std::cout, "standard output");
        }
        const std::string& outName = a.Files[1];
        std::ofstream out(outName, std::ios::binary | std::ios::trunc);
        if (!out) return Refused("cannot create " + outName + ": " + std::strerror(errno));
        WriteSecondsTable(record, reader, out, TableFormatOf(outName), stageOf);
        return Written(out, outName);
    } catch (const std::exception& e) {
        return Refused(e.what());
    }
}

int SummaryCommand(const std::vector<std::string>& args) {
    if (args.size() == 3 && args[1] == "--cohort") return CohortSummary(args[2]);
    if (args.size() < 2) return Refused("usage: vantrel4 --summary RESULTS...");
    int status = kExitOk;
    WriteRow(std::cout, SummaryHeader(), TTableFormat::Csv);
    for (std::size_t i = 1; i < args.size(); ++i) {
        TSummaryRow row;
        row.Results = args[i];
        row.ExitStatus = "0";
        try {
            row.Record = ReadableResultsRecord(args[i]);
            row.Input = row.Record->Input.Path;
            row.Id = BaseNameId(row.Input);
            row.Signal = std::to_string(row.Record->Input.SignalNumber);
        } catch (const std::exception& e) {
            row.Reason = e.what();
            status = Refused(e.what());
        }
        WriteRow(std::cout, SummaryCells(row), TTableFormat::Csv);
    }
    const int written = Written(std::cout, "standard output");
    return written != kExitOk ? written : status;
}

int CohortPageCommand(const std::vector<std::string>& args) {
    if (args.size() != 3) return Refused("usage: vantrel4 --cohort-page TABLE OUT.html");
    std::ifstream table(args[1], std::ios::binary);
    if (!table) return Refused("cannot read the cohort table " + args[1]);
    std::vector<TCohortPageNight> nights;
    for (const std::vector<std::string>& fields : CohortTable(table)) {
        TCohortPageNight night;
        night.Row = CohortRow(fields);
        night.Log = fields[6];
        nights.push_back(std::move(night));
    }
    try {
        WriteCohortPage(nights, args[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vantrel4: %s\n", e.what());
        return kExitOutput;
    }
    return kExitOk;
}

}  // namespace vantrel
