// The main window's rules without the widgets, shared by the window and the batch run: what an
// input file and a signal number tell, which files a run refuses to touch, the engine settings
// and windows of a run, and whether there is a display for a window.
#pragma once

#include <cstdint>
#include <string>

#include "analysis/uVantrel4.h"
#include "app/uCommandLine.h"

namespace vantrel {

// A regular file that opens as a valid EDF file (leniently); false also when it cannot be read.
bool IsUsableRecording(const std::string& fileName);

// What a signal number of a recording shows.
struct TSignalChoice {
    int32_t SignalCount = 0;          // signals in the recording
    bool InRange = false;             // the number is 1 .. SignalCount
    std::string Label, Prefiltering;  // of that signal, as the header holds them
    double SampleFrequency = 0;       // Hz, of that signal
};
// Reads the recording's header (leniently). Raises the library's error when it cannot.
TSignalChoice ChooseSignal(const std::string& fileName, int32_t number);

// What the text of a signal field names. A signal number (IsSignalNumberText) stays as it is
// typed, without reading anything; any other text is a label text (uSignalLabels.h), matched
// against the signals of the recording when it is a usable one. In a file that is no usable
// recording a label text stays as typed: the parameter check reports the file.
struct TSignalText {
    std::string Number;    // the number as text: the text itself, or the number matched
    std::string Label;     // the label of the signal matched, trimmed; empty for a number
    std::string Problem;   // why a label text matched no signal, or several
    bool ByLabel = false;  // the text named the signal by label and one was matched
};
TSignalText ResolveSignalText(const std::string& fileName, const std::string& text);

// The signal that numberText names holds EDF+ annotations. False when the text is no number or
// the recording cannot be read or has no such signal: the parameter check reports those.
bool IsAnnotationSignal(const std::string& fileName, const std::string& numberText);

// "The recording has gaps: record <n> starts at <t> s, <expected> s expected (EDF+D)" when the
// data records of an EDF+D recording do not follow on from each other: analysed as if they did,
// the smoother would run across the gap and every later second would carry a wrong clock time.
// Empty for a contiguous recording, and for a file that is no usable recording (the parameter
// check reports that). Raises the library's error when the annotations cannot be read.
std::string GapsProblem(const std::string& fileName);

// Why a run with these files must not start: the results file is the input, or a file the run
// writes beside it (RunFiles: the batch log of a batch run, the run record, the lock, the
// picture when one is drawn, the bitmap when exported) would be the input or the results file.
// An empty Message when none collide. LogWritable is false when the log itself collides.
struct TFileRefusal {
    std::string Message;
    bool LogWritable = true;
};
TFileRefusal CollidingFiles(const std::string& input, const std::string& output, bool batch,
                            bool exportBmp, bool picture = false);

// /OVERWRITE, once the run is sure to start: deletes the earlier results file and every file an
// earlier run wrote beside it, but the log (appended to) and the lock (never deleted). The
// outcome is not tested: the run reports what follows.
void RemoveEarlierResults(const std::string& output);

// Copies the command line's engine settings (thresholds, filter name, threads) to the engine.
void ApplyEngineSettings(const TCommandLineValues& values);

// Makes the engine report to these windows and this progress list, in batch mode or not, for
// the life of the object; afterwards it has the headless windows and no list again.
class TEngineBinding {
  public:
    TEngineBinding(TEngineWindows& windows, TProgressList& list, bool batch);
    ~TEngineBinding();
    TEngineBinding(const TEngineBinding&) = delete;
    TEngineBinding& operator=(const TEngineBinding&) = delete;

  private:
    TEngineWindows& FWindows;
    TProgressList& FList;
};

// A platform to show windows on: a display, or a platform chosen explicitly (QT_QPA_PLATFORM).
bool HaveDisplay();
inline constexpr const char* kNoDisplayMessage =
    "vantrel4: no display to show the window on; add /BATCH to run unattended, or see "
    "vantrel4 /?";

}  // namespace vantrel
