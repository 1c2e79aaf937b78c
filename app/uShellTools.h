// Window-free helpers of the application shell: the file names of one run (results, batch log,
// bitmap), whether two names are the same file and whether a results file is incomplete, the
// batch log itself, reading the filters of a signal from its prefiltering text, showing header
// texts, and the signal list of "vantrel4 --signals FILE".
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vantrel {

// ---- File names -----------------------------------------------------------------------------

// The output field completed to a full path when it loses focus: its directory part (trimmed),
// or currentDir when there is none, made absolute, then a "/" and the field's file-name part.
// "night.cvn" in /data gives "/data/night.cvn"; "../r/x.cvn" in /data/a gives "/data/r/x.cvn".
// An empty field stays empty: there is nothing to complete.
std::string CompleteOutputFileName(const std::string& field, const std::string& currentDir);

// fileName with its extension (from the last "." of the name part) replaced by ext, or ext
// appended when it has none: ("/d/a.b.cvn", ".log") gives "/d/a.b.log".
std::string ChangeFileExt(const std::string& fileName, const std::string& ext);

// The batch log of a run: the output field, trimmed, with the extension ".log"; "Error.log" in
// currentDir when the field is empty.
std::string BatchLogFileName(const std::string& outputField, const std::string& currentDir);

// The bitmap of the piB histogram: every "." of the results file's name part replaced by "_",
// ".BMP" appended, in the results file's directory ("/r/night1.edf" gives
// "/r/night1_edf.BMP").
std::string BitmapFileName(const std::string& resultsFileName);

// "<results file>.lock", the results path's symbolic links resolved, so that every name of one
// results file gives one lock file (uResultsLock.h).
std::string ResultsLockFileName(const std::string& resultsFileName);

// The files one run owns: its results file and what it writes beside it. The collision check
// refuses a run whose input is one of them, and /OVERWRITE deletes every one of them but the
// log (appended to) and the lock (never deleted) before a run starts.
struct TRunFiles {
    std::string Results;  // the results file, as the output field names it
    std::string Log;      // the batch log: BatchLogFileName
    std::string Record;   // the run record: "<results file>.json"
    std::string Lock;     // ResultsLockFileName
    std::string Picture;  // the night's picture: "<results file>.png"
    std::string Bitmap;   // the piB histogram's bitmap: BitmapFileName
};
TRunFiles RunFiles(const std::string& resultsFileName, const std::string& currentDir);

// Why a results name cannot be a results file: it names a directory ("d/", or a directory that
// exists), or something that exists and is not a regular file (a device such as /dev/null, a
// pipe). Empty when it can be one (a regular file, or nothing yet). No log is written beside
// such a name: "d/.log" or "/dev/null.log" would be files nobody asked for.
std::string ResultsNameProblem(const std::string& resultsFileName);

// A regular file of that name exists: not a directory, and no pipe or device whose opening
// could wait for a writer.
bool RegularFileExists(const std::string& name);

// A results file that a run left before its end: a valid EDF file of 14 signals, SU first,
// without the final header fix (signal 0's physical dimension is not "Filtered"). False for a
// complete results file, a missing one and any other file.
bool IsIncompleteResultsFile(const std::string& name);

// The working directory, or "." when it cannot be had.
std::string CurrentDirectory();

// The two names denote the same file: device and inode when both exist (any path, any link),
// the normalised absolute paths otherwise.
bool SameFile(const std::string& a, const std::string& b);

// Appends the lines to the log file (created when missing), each ended by CR LF. False with a
// message naming the file and the system's reason when it cannot be written.
bool WriteBatchLog(const std::vector<std::string>& lines, const std::string& logFileName,
                   std::string& error);

// ---- Header texts -----------------------------------------------------------------------------

// A header text as UTF-8 for showing it: unchanged when its bytes are valid UTF-8, otherwise
// read as Latin-1 (every byte one character). The file's bytes themselves are never changed.
std::string HeaderTextForDisplay(const std::string& text);

// A signal of an EDF+ file that holds annotations, not samples ("EDF Annotations").
bool IsAnnotationLabel(const std::string& label);

// The lowest low-pass and highest high-pass found in a prefiltering text: after "LP:" or
// "DIGITAL FIR LP AT" (the latter wins) and after "HP:", up to "HZ" (any letter case), when
// that is a number. "HP:0.5Hz LP:70Hz" gives LP "70" and HP "0.5"; a value without "Hz" is not
// taken. Empty texts for what was not found.
struct TPrefilterValues {
    std::string LP;  // Hz, as written in the header
    std::string HP;  // Hz, as written in the header
};
TPrefilterValues FiltersFromPrefilter(const std::string& prefiltering);

// ---- Signal list --------------------------------------------------------------------------

// Writes one line per signal of the recording: number (1 = first), label, sample frequency and
// prefiltering, tab-separated. With a signal text (a number, or labels as uSignalLabels.h
// reads them) only the line of the signal it names. False with a message when the file is no
// EDF file that can be read, when the number names no signal, or with the label matching's
// refusal.
bool ListSignals(const std::string& fileName, std::ostream& out, std::string& error,
                 const std::string& signalText = {});

}  // namespace vantrel
