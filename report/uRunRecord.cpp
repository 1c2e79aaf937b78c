#include "report/uRunRecord.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace vantrel {

namespace {

// Keys keep the order written here, which is the order a person reads a record in.
using json = nlohmann::ordered_json;

json Optional(const std::optional<double>& value) {
    return value ? json(*value) : json(nullptr);
}

std::optional<double> OptionalFrom(const json& value) {
    if (value.is_null()) return std::nullopt;
    return value.get<double>();
}

json StatisticsJson(const TNightStatistics& s) {
    return {{"clean_seconds", s.CleanSeconds},
            {"hf_seconds", s.HFSeconds},
            {"lf_seconds", s.LFSeconds},
            {"missing_seconds", s.MissingSeconds},
            {"artifact_fraction", Optional(s.ArtifactFraction)},
            {"mc_mean", Optional(s.MCMean)},
            {"mc_median", Optional(s.MCMedian)},
            {"mc_p10", Optional(s.MCP10)},
            {"mc_p90", Optional(s.MCP90)},
            {"su_median", Optional(s.SUMedian)},
            {"ss_median", Optional(s.SSMedian)},
            {"mc_events", s.MCEvents},
            {"mc_events_per_hour", Optional(s.MCEventsPerHour)},
            {"mc_jump_runs", s.MCJumpRuns},
            {"mc_jump_runs_per_hour", Optional(s.MCJumpRunsPerHour)}};
}

// `seconds` is kept beside the statistics: a night's, or a stage's.
TNightStatistics StatisticsFrom(const json& j, int64_t seconds) {
    TNightStatistics s;
    s.Seconds = seconds;
    s.CleanSeconds = j.at("clean_seconds").get<int64_t>();
    s.HFSeconds = j.at("hf_seconds").get<int64_t>();
    s.LFSeconds = j.at("lf_seconds").get<int64_t>();
    s.MissingSeconds = j.at("missing_seconds").get<int64_t>();
    s.ArtifactFraction = OptionalFrom(j.at("artifact_fraction"));
    s.MCMean = OptionalFrom(j.at("mc_mean"));
    s.MCMedian = OptionalFrom(j.at("mc_median"));
    s.MCP10 = OptionalFrom(j.at("mc_p10"));
    s.MCP90 = OptionalFrom(j.at("mc_p90"));
    s.SUMedian = OptionalFrom(j.at("su_median"));
    s.SSMedian = OptionalFrom(j.at("ss_median"));
    s.MCEvents = j.at("mc_events").get<int64_t>();
    s.MCEventsPerHour = OptionalFrom(j.at("mc_events_per_hour"));
    s.MCJumpRuns = j.at("mc_jump_runs").get<int64_t>();
    s.MCJumpRunsPerHour = OptionalFrom(j.at("mc_jump_runs_per_hour"));
    return s;
}

json RecordJson(const TRunRecord& r) {
    const TRunInput& in = r.Input;
    const TRunParameters& p = r.Parameters;
    json results = {{"path", r.Results.Path},
                    {"seconds", r.Results.Seconds},
                    {"phys_scale", r.Results.PhysScale},
                    {"pib_code", r.Results.PiBCode},
                    {"pib", r.Results.PiB}};
    results.update(StatisticsJson(r.Results.Night));
    json record = {{"format", r.Format},
                   {"program", {{"name", r.ProgramName}, {"version", r.ProgramVersion}}},
                   {"command_line", r.CommandLine},
                   {"started", r.Started},
                   {"finished", r.Finished},
                   {"wall_seconds", r.WallSeconds},
                   {"input",
                    {{"path", in.Path},
                     {"bytes", in.Bytes},
                     {"modified", in.Modified},
                     {"recording_start", in.RecordingStart},
                     {"signal_number", in.SignalNumber},
                     {"label", in.Label},
                     {"sample_frequency", in.SampleFrequency},
                     {"physical_dimension", in.PhysicalDimension}}},
                   {"parameters",
                    {{"f0", p.F0},
                     {"b", p.B},
                     {"fc", p.Fc},
                     {"rate", p.Rate},
                     {"lp", p.LP},
                     {"hp", p.HP},
                     {"undersampling_factor", p.UndersamplingFactor},
                     {"computation_frequency", p.ComputationFrequency},
                     {"due_filter", p.DueFilter},
                     {"xpib_plus", p.XPiBPlus},
                     {"xpib_minus", p.XPiBMinus},
                     {"xpib_zero", p.XPiBZero},
                     {"iir_backpolate", p.IIRBackpolate},
                     {"event_threshold", p.EventThreshold}}},
                   {"results", results}};
    if (r.Hypnogram) {
        const TRunHypnogram& h = *r.Hypnogram;
        record["hypnogram"] = {{"path", h.Path},
                               {"format", h.Format},
                               {"start", h.Start},
                               {"spans", h.Spans},
                               {"seconds_scored", h.SecondsScored},
                               {"lights_off", Optional(h.LightsOff)},
                               {"lights_on", Optional(h.LightsOn)}};
        json stages = json::object();
        for (size_t g = 0; g < r.Stages.size() && g < kStageGroupCount; ++g) {
            json stage = {{"seconds", r.Stages[g].Seconds}};
            stage.update(StatisticsJson(r.Stages[g]));
            stages[kStageGroupNames[g]] = stage;
        }
        record["stages"] = stages;
    }
    return record;
}

TRunRecord RecordFrom(const json& j) {
    TRunRecord r;
    r.Format = j.at("format").get<std::string>();
    if (r.Format != kRunRecordFormat)
        throw ERunRecordError("the format is \"" + r.Format + "\", not \"" + kRunRecordFormat +
                              "\"");
    r.ProgramName = j.at("program").at("name").get<std::string>();
    r.ProgramVersion = j.at("program").at("version").get<std::string>();
    r.CommandLine = j.at("command_line").get<std::vector<std::string>>();
    r.Started = j.at("started").get<std::string>();
    r.Finished = j.at("finished").get<std::string>();
    r.WallSeconds = j.at("wall_seconds").get<double>();
    const json& in = j.at("input");
    r.Input.Path = in.at("path").get<std::string>();
    r.Input.Bytes = in.at("bytes").get<uint64_t>();
    r.Input.Modified = in.at("modified").get<std::string>();
    r.Input.RecordingStart = in.at("recording_start").get<std::string>();
    r.Input.SignalNumber = in.at("signal_number").get<int32_t>();
    r.Input.Label = in.at("label").get<std::string>();
    r.Input.SampleFrequency = in.at("sample_frequency").get<double>();
    r.Input.PhysicalDimension = in.at("physical_dimension").get<std::string>();
    const json& p = j.at("parameters");
    r.Parameters.F0 = p.at("f0").get<double>();
    r.Parameters.B = p.at("b").get<double>();
    r.Parameters.Fc = p.at("fc").get<double>();
    r.Parameters.Rate = p.at("rate").get<double>();
    r.Parameters.LP = p.at("lp").get<double>();
    r.Parameters.HP = p.at("hp").get<double>();
    r.Parameters.UndersamplingFactor = p.at("undersampling_factor").get<int32_t>();
    r.Parameters.ComputationFrequency = p.at("computation_frequency").get<double>();
    r.Parameters.DueFilter = p.at("due_filter").get<std::string>();
    r.Parameters.XPiBPlus = p.at("xpib_plus").get<int32_t>();
    r.Parameters.XPiBMinus = p.at("xpib_minus").get<int32_t>();
    r.Parameters.XPiBZero = p.at("xpib_zero").get<int32_t>();
    r.Parameters.IIRBackpolate = p.at("iir_backpolate").get<double>();
    r.Parameters.EventThreshold = p.at("event_threshold").get<int64_t>();
    const json& res = j.at("results");
    r.Results.Path = res.at("path").get<std::string>();
    r.Results.Seconds = res.at("seconds").get<int64_t>();
    r.Results.PhysScale = res.at("phys_scale").get<double>();
    r.Results.PiBCode = res.at("pib_code").get<int32_t>();
    r.Results.PiB = res.at("pib").get<double>();
    r.Results.Night = StatisticsFrom(res, r.Results.Seconds);
    if (j.contains("hypnogram")) {
        const json& h = j.at("hypnogram");
        TRunHypnogram hypnogram;
        hypnogram.Path = h.at("path").get<std::string>();
        hypnogram.Format = h.at("format").get<std::string>();
        hypnogram.Start = h.at("start").get<std::string>();
        hypnogram.Spans = h.at("spans").get<int64_t>();
        hypnogram.SecondsScored = h.at("seconds_scored").get<int64_t>();
        hypnogram.LightsOff = OptionalFrom(h.at("lights_off"));
        hypnogram.LightsOn = OptionalFrom(h.at("lights_on"));
        r.Hypnogram = hypnogram;
        const json& stages = j.at("stages");
        for (const char* name : kStageGroupNames) {
            const json& stage = stages.at(name);
            r.Stages.push_back(StatisticsFrom(stage, stage.at("seconds").get<int64_t>()));
        }
    }
    return r;
}

std::string SystemReason() {
    return std::strerror(errno);
}

}  // namespace

std::string RunRecordFileName(const std::string& resultsFileName) {
    return resultsFileName + ".json";
}

std::string RunRecordJson(const TRunRecord& record) {
    // Texts from recordings may hold bytes that are not UTF-8 (Latin-1 labels): they are
    // replaced rather than refused, a record is never lost over a label.
    return RecordJson(record).dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

void WriteRunRecord(const TRunRecord& record, const std::string& fileName) {
    const std::string text = RunRecordJson(record);
    const std::string temporary = fileName + ".tmp" + std::to_string(::getpid());
    const auto fail = [&](const std::string& reason) {
        ::unlink(temporary.c_str());
        return ERunRecordError("Cannot write the run record \"" + fileName + "\": " + reason);
    };
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw fail(SystemReason());
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const std::string reason = n < 0 ? SystemReason() : "nothing written";
            ::close(fd);
            throw fail(reason);
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0) throw fail(SystemReason());
    if (std::rename(temporary.c_str(), fileName.c_str()) != 0) throw fail(SystemReason());
}

TRunRecord ReadRunRecord(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw ERunRecordError("Cannot read the run record \"" + fileName + "\": " + SystemReason());
    try {
        return RecordFrom(json::parse(in));
    } catch (const json::exception& e) {
        throw ERunRecordError("The run record \"" + fileName + "\" cannot be read: " + e.what());
    } catch (const ERunRecordError& e) {
        throw ERunRecordError("The run record \"" + fileName + "\" cannot be read: " + e.Message());
    }
}

}  // namespace vantrel
