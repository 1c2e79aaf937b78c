// make-recording: writes a synthetic but realistic EDF recording of any length, for tests,
// benchmarks and sample runs. Signal 1 is a sleep-like EEG whose slow waves, alpha and spindles
// come and go with 90-minute cycles over the night, with three artifacts (a flat stretch, a
// saturated stretch, a burst of high-frequency noise); the other signals are coloured noise.
// With --content=sines the night is regular instead (slow waves under a 5-minute envelope, a
// 10 Hz rhythm, noise).
// The file is written one data record at a time, so a 24-hour recording of 20 signals costs no
// memory. The same options and seed give the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <numbers>
#include <string>
#include <vector>

#include "edf/uEDF.h"
#include "support/udStr.h"

using namespace vantrel;

namespace {

constexpr const char* kHelp =
    "usage: make-recording [OPTIONS] FILE.edf\n"
    "\n"
    "Writes a synthetic sleep recording. Signal 1 is a sleep-like EEG (slow-wave, alpha and\n"
    "spindle episodes that change over the night, a flat stretch, a saturated stretch and a\n"
    "burst of high-frequency noise); the other signals are coloured noise.\n"
    "\n"
    "  --duration=T     length; seconds, or with a unit: 90s, 30m, 8h (default 8h). The last\n"
    "                   data record is completed, so the file may be slightly longer.\n"
    "  --signals=N      number of signals, 1..200 (default 1)\n"
    "  --rate=HZ        samples per second of every signal (default 256)\n"
    "  --record=S       data record duration in seconds (default 1); rate x record must be a\n"
    "                   whole number of samples\n"
    "  --digital=LO:HI  digital range (default -32768:32767)\n"
    "  --physical=LO:HI physical range in uV (default -250:250)\n"
    "  --seed=N         seed of the random generator (default 1)\n"
    "  --content=C      what the signals hold (also --content C): sleep, the night above\n"
    "                   (default); sines, signal 1 with 1 Hz slow waves under a 5-minute\n"
    "                   envelope, a 10 Hz rhythm and white noise, the others uniform noise\n"
    "  --start=\"dd.mm.yy hh.mm.ss\"\n"
    "                   start date and time (default \"01.01.26 23.00.00\"), to line a\n"
    "                   recording up with a hypnogram\n"
    "  --help           this text\n"
    "\n"
    "Exit status: 0 written, 1 wrong arguments, 2 the file could not be written.\n";

struct TOptions {
    double Duration = 8 * 3600;
    int Signals = 1;
    double Rate = 256;
    double Record = 1;
    int DigitalMin = -32768, DigitalMax = 32767;
    double PhysicalMin = -250, PhysicalMax = 250;
    uint64_t Seed = 1;
    bool Sines = false;  // --content=sines
    std::string StartDate = "01.01.26", StartClock = "23.00.00";
    bool StartGiven = false;
    std::string FileName;
};

// ---- Arguments ---------------------------------------------------------------------------------

bool ReadNumber(const std::string& text, double& value) {
    return TryStrToFloatSep(text, '.', '\0', value) && std::isfinite(value);
}

bool ReadDuration(std::string text, double& seconds) {
    double unit = 1;
    if (!text.empty() && (text.back() == 'h' || text.back() == 'm' || text.back() == 's')) {
        unit = text.back() == 'h' ? 3600 : text.back() == 'm' ? 60 : 1;
        text.pop_back();
    }
    if (!ReadNumber(text, seconds)) return false;
    seconds *= unit;
    return seconds > 0;
}

// "dd.mm.yy" or "hh.mm.ss": three two-digit numbers separated by dots.
bool IsHeaderDateOrClock(const std::string& text) {
    if (text.size() != 8 || text[2] != '.' || text[5] != '.') return false;
    for (const size_t i : {0, 1, 3, 4, 6, 7})
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

bool ReadStart(const std::string& text, std::string& date, std::string& clock) {
    const size_t blank = text.find(' ');
    if (blank == std::string::npos) return false;
    date = text.substr(0, blank);
    clock = Trim(text.substr(blank + 1));
    return IsHeaderDateOrClock(date) && IsHeaderDateOrClock(clock);
}

bool ReadRange(const std::string& text, double& low, double& high) {
    const size_t colon = text.find(':', 1);  // a leading '-' is a sign
    return colon != std::string::npos && ReadNumber(text.substr(0, colon), low) &&
           ReadNumber(text.substr(colon + 1), high) && low < high;
}

// The options, or an error text.
std::string ParseArguments(int argc, char** argv, TOptions& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            if (!o.FileName.empty()) return "more than one file name";
            o.FileName = arg;
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : arg.substr(eq + 1);
        double x = 0, y = 0;
        if (name == "--duration") {
            if (!ReadDuration(value, o.Duration)) return "invalid duration \"" + value + "\"";
        } else if (name == "--signals") {
            if (!IsInt32Text(value) || StrToInt32Or0(value) < 1 || StrToInt32Or0(value) > 200)
                return "the number of signals must be 1..200";
            o.Signals = StrToInt32Or0(value);
        } else if (name == "--rate") {
            if (!ReadNumber(value, o.Rate) || o.Rate <= 0) return "invalid rate \"" + value + "\"";
        } else if (name == "--record") {
            if (!ReadNumber(value, o.Record) || o.Record <= 0)
                return "invalid record duration \"" + value + "\"";
        } else if (name == "--digital") {
            if (!ReadRange(value, x, y) || x < -32768 || y > 32767 || x != std::trunc(x) ||
                y != std::trunc(y))
                return "the digital range must be LO:HI within -32768:32767";
            o.DigitalMin = static_cast<int>(x);
            o.DigitalMax = static_cast<int>(y);
        } else if (name == "--physical") {
            if (!ReadRange(value, o.PhysicalMin, o.PhysicalMax))
                return "the physical range must be LO:HI with LO < HI";
        } else if (name == "--start") {
            if (!ReadStart(value, o.StartDate, o.StartClock))
                return "the start must read \"dd.mm.yy hh.mm.ss\", not \"" + value + "\"";
            o.StartGiven = true;
        } else if (name == "--seed") {
            if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos)
                return "the seed must be a whole number";
            o.Seed = std::strtoull(value.c_str(), nullptr, 10);
        } else if (name == "--content") {
            // --content=C or --content C
            const std::string content =
                eq != std::string::npos ? value : (i + 1 < argc ? argv[++i] : "");
            if (content != "sleep" && content != "sines")
                return "the content must be sleep or sines";
            o.Sines = content == "sines";
        } else {
            return "unknown option " + arg;
        }
    }
    if (o.FileName.empty()) return "no file name";
    const double samples = o.Rate * o.Record;
    if (std::fabs(samples - std::round(samples)) > 1e-6 || std::round(samples) < 1)
        return "rate x record duration must be a whole number of samples";
    return "";
}

// ---- Random numbers ----------------------------------------------------------------------------

// splitmix64: small, fast, and the same sequence on every platform.
class TRandom {
  public:
    explicit TRandom(uint64_t seed) : FState(seed) {}
    uint64_t Next() {
        uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    // Nearly normal, mean 0 and variance 1: the sum of four 16-bit uniforms (cheap enough for
    // millions of samples per signal).
    double Normal() {
        const uint64_t r = Next();
        double sum = 0;
        for (int i = 0; i < 4; ++i)
            sum += static_cast<double>((r >> (16 * i)) & 0xFFFF);
        constexpr double kMean = 4 * 65535 / 2.0;
        constexpr double kSigma = 65536 / 1.7320508075688772;  // sqrt(4 / 12) x 65536
        return (sum - kMean) / kSigma;
    }

  private:
    uint64_t FState;
};

// Noise through a two-pole resonator at `frequency` of bandwidth `bandwidth`, scaled to unit
// RMS: a rhythm with a natural, drifting amplitude and phase.
class TResonator {
  public:
    TResonator(double frequency, double bandwidth, double rate) {
        const double r = std::exp(-std::numbers::pi * bandwidth / rate);
        FA1 = 2 * r * std::cos(2 * std::numbers::pi * frequency / rate);
        FA2 = -r * r;
        const double a2 = -FA2;  // the AR(2) variance formula is written for y = a1 y1 - a2 y2
        const double variance = (1 + a2) / ((1 - a2) * ((1 + a2) * (1 + a2) - FA1 * FA1));
        FScale = 1 / std::sqrt(variance);
    }
    double Next(double noise) {
        const double y = FA1 * FY1 + FA2 * FY2 + noise;
        FY2 = FY1;
        FY1 = y;
        return y * FScale;
    }

  private:
    double FA1 = 0, FA2 = 0, FScale = 1, FY1 = 0, FY2 = 0;
};

// First-order low-pass noise (a slowly wandering background), unit RMS.
class TColouredNoise {
  public:
    TColouredNoise(double corner, double rate)
        : FA(std::exp(-2 * std::numbers::pi * corner / rate)), FScale(std::sqrt(1 - FA * FA)) {}
    double Next(double noise) {
        FY = FA * FY + FScale * noise;
        return FY;
    }

  private:
    double FA, FScale, FY = 0;
};

// ---- The sleep-like EEG ------------------------------------------------------------------------

// A stretch [Start, End) in seconds.
struct TStretch {
    double Start = 0, End = 0;
    bool Holds(double t) const { return t >= Start && t < End; }
};

class TSleepEEG {
  public:
    TSleepEEG(const TOptions& o, uint64_t seed)
        : FRandom(seed),
          FRate(o.Rate),
          FPhysicalMax(o.PhysicalMax),
          FSlow(1.0, 0.8, o.Rate),
          FAlpha(10.0, 1.5, o.Rate),
          FBackground(4.0, o.Rate),
          FBeta(20.0, 8.0, o.Rate) {
        // Artifacts at fixed fractions of the night, each a little over 1 % of it (1..30 s).
        const double length = std::clamp(o.Duration * 0.012, 1.0, 30.0);
        FFlat = {0.30 * o.Duration, 0.30 * o.Duration + length};
        FSaturated = {0.55 * o.Duration, 0.55 * o.Duration + length / 2};
        FBurst = {0.80 * o.Duration, 0.80 * o.Duration + length / 3};
        // The cycles start at a random phase so that seeds differ in more than the noise.
        FCyclePhase = FRandom.Uniform();
    }

    // The next sample in uV; t is its time in seconds.
    double Next(double t) {
        if (FFlat.Holds(t)) return 0;
        if (FSaturated.Holds(t)) return 2 * FPhysicalMax;  // beyond the range: clipped
        const double depth = SleepDepth(t);
        const double wake = std::max(0.0, 1 - 4 * depth);
        double x = 12 * FBackground.Next(FRandom.Normal()) + 3 * FRandom.Normal();
        x += 50 * depth * depth * FSlow.Next(FRandom.Normal());
        if (10 < 0.45 * FRate) x += 25 * wake * FAlpha.Next(FRandom.Normal());
        if (20 < 0.45 * FRate) x += 4 * FBeta.Next(FRandom.Normal());
        x += Spindle(t, depth);
        if (FBurst.Holds(t)) x += 120 * FRandom.Normal();
        return x;
    }

  private:
    // 0 awake .. 1 deepest: 90-minute cycles, deeper in the first half of the night, with
    // short awakenings between cycles.
    double SleepDepth(double t) const {
        constexpr double kCycle = 5400;
        const double phase = t / kCycle + FCyclePhase;
        const double cycle = std::sin(std::numbers::pi * (phase - std::floor(phase)));
        const double night = std::exp(-t / (4 * 3600.0));  // slow waves fade over the night
        return std::clamp(cycle * (0.4 + 0.6 * night), 0.0, 1.0);
    }

    // 12..14 Hz bursts of 0.5..2 s with a raised-cosine envelope, in light sleep.
    double Spindle(double t, double depth) {
        if (13.5 >= 0.45 * FRate) return 0;
        if (t >= FSpindleEnd) {
            const bool lightSleep = depth > 0.3 && depth < 0.8;
            // About one spindle per 8 s of light sleep.
            if (!lightSleep || FRandom.Uniform() >= 1 / (8 * FRate)) return 0;
            FSpindleStart = t;
            FSpindleEnd = t + 0.5 + 1.5 * FRandom.Uniform();
            FSpindleFrequency = 12 + 2 * FRandom.Uniform();
        }
        const double u = (t - FSpindleStart) / (FSpindleEnd - FSpindleStart);
        const double envelope = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * u);
        return 35 * envelope * std::sin(2 * std::numbers::pi * FSpindleFrequency * t);
    }

    TRandom FRandom;
    double FRate, FPhysicalMax;
    TResonator FSlow, FAlpha;
    TColouredNoise FBackground;
    TResonator FBeta;
    TStretch FFlat, FSaturated, FBurst;
    double FCyclePhase = 0;
    double FSpindleStart = 0, FSpindleEnd = -1, FSpindleFrequency = 13;
};

// ---- Sines ------------------------------------------------------------------------------------

// --content=sines: a second kind of night for the benchmarks, regular where the sleep-like one
// comes and goes. Signal 1: 1 Hz slow waves whose amplitude swells and fades every 5 minutes,
// a steady 10 Hz rhythm and white noise; the others: uniform noise.
class TSinesEEG {
  public:
    explicit TSinesEEG(uint64_t seed) : FRandom(seed) {}
    double Next(double t) {
        constexpr double kTwoPi = 2 * std::numbers::pi;
        const double envelope = 0.5 - 0.5 * std::cos(kTwoPi * t / 300);
        return 80 * envelope * std::sin(kTwoPi * 1.0 * t) + 15 * std::sin(kTwoPi * 10.0 * t) +
               6 * FRandom.Normal();
    }

  private:
    TRandom FRandom;
};

// ---- Other signals -----------------------------------------------------------------------------

class TNoiseSignal {
  public:
    TNoiseSignal(const TOptions& o, uint64_t seed, int index)
        : FRandom(seed),
          FNoise(0.5 + index % 7, o.Rate),
          FLevel(8 + 4 * (index % 5)),
          FUniform(o.Sines) {}
    double Next() {
        if (FUniform) return FLevel * (2 * FRandom.Uniform() - 1);
        return FLevel * FNoise.Next(FRandom.Normal()) + FRandom.Normal();
    }

  private:
    TRandom FRandom;
    TColouredNoise FNoise;
    double FLevel;
    bool FUniform;
};

std::string SignalLabel(int k) {
    static const char* const kNames[] = {"EEG C3-A2", "EEG C4-A1", "EOG left", "EMG chin"};
    return k < 4 ? kNames[k] : "Noise " + std::to_string(k + 1);
}

// ---- Writing -----------------------------------------------------------------------------------

void WriteRecording(const TOptions& o) {
    const int32_t samples = static_cast<int32_t>(std::lround(o.Rate * o.Record));
    const int64_t records =
        std::max<int64_t>(1, static_cast<int64_t>(std::ceil(o.Duration / o.Record - 1e-9)));
    if (records > 99999999) throw Exception("too many data records; use longer records");

    TEDFFile file;
    file.SetFileName(o.FileName);
    file.CreateNew(o.Signals, true);
    TCustomEDFFileInfo& info = file.FileInfo();
    info.SetPatient("X X X Synthetic_sleeper");
    info.SetRecording(std::string(o.StartGiven ? "Startdate X" : "Startdate 01-JAN-2026") +
                      " X X make-recording seed " + std::to_string(o.Seed));
    info.SetStartDateText(o.StartDate);
    info.SetStartClockText(o.StartClock);
    info.SetRecordDuration(o.Record);
    for (int k = 0; k < o.Signals; ++k) {
        TCustomEDFSignalInfo& s = file.Signal(k);
        s.SetLabel(SignalLabel(k));
        s.SetTransducer("AgAgCl electrode");
        s.SetPhysicalDimension("uV");
        s.SetPhysicalMinimum(o.PhysicalMin);
        s.SetPhysicalMaximum(o.PhysicalMax);
        s.SetDigitalMinimum(static_cast<int16_t>(o.DigitalMin));
        s.SetDigitalMaximum(static_cast<int16_t>(o.DigitalMax));
        s.SetPrefiltering("HP:0.5Hz LP:35Hz");
        s.SetSamplesPerRecord(samples);
    }
    file.WriteHeader();
    if (!file.IsOpen()) throw Exception("the header could not be completed");

    // Each signal has its own generator seeded from the seed and its index, so adding signals
    // leaves the earlier ones unchanged.
    TSleepEEG eeg(o, o.Seed * 1000003u + 1);
    TSinesEEG sines(o.Seed * 1000003u + 1);
    std::vector<TNoiseSignal> others;
    for (int k = 1; k < o.Signals; ++k)
        others.emplace_back(o, o.Seed * 1000003u + 1 + static_cast<uint64_t>(k), k);

    const double scale = (o.DigitalMax - o.DigitalMin) / (o.PhysicalMax - o.PhysicalMin);
    auto digital = [&](double x) {
        const double d = std::round((x - o.PhysicalMin) * scale + o.DigitalMin);
        return static_cast<int16_t>(std::clamp<double>(d, o.DigitalMin, o.DigitalMax));
    };
    TDynSmallIntArray& buffer = file.GetRecordBuffer();
    for (int64_t r = 0; r < records; ++r) {
        for (int32_t s = 0; s < samples; ++s) {
            const double t = (static_cast<double>(r) * samples + s) / o.Rate;
            buffer[s] = digital(o.Sines ? sines.Next(t) : eeg.Next(t));
        }
        for (int k = 1; k < o.Signals; ++k)
            for (int32_t s = 0; s < samples; ++s)
                buffer[size_t(k) * samples + s] = digital(others[k - 1].Next());
        file.WriteRecord(file.NumberOfRecords());
    }
    file.Close();
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
    TOptions options;
    if (const std::string error = ParseArguments(argc, argv, options); !error.empty()) {
        std::fprintf(stderr, "make-recording: %s\n\n%s", error.c_str(), kHelp);
        return 1;
    }
    try {
        WriteRecording(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-recording: %s: %s\n", options.FileName.c_str(), e.what());
        return 2;
    }
    return 0;
}
