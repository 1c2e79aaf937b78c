// Small helpers around the EDF file object.
#pragma once

#include <string>
#include <vector>

#include "edf/uEDFHeaderInfo.h"

namespace vantrel {

class TEDFFile;

// The names of the ten header fields of the file and of a signal, in header order, as messages
// and listings show them ("Version", ..., "NumberOfSignals"; "Label", ..., "Reserved").
extern const char* const kFileFieldNames[kEDFFieldCount];
extern const char* const kSignalFieldNames[kEDFFieldCount];

// Whether the file is an EDF file the library can read: false when no file of that name
// exists; otherwise the answer of TEDFFile::IsValid for the file opened read-only with the given
// strictness. Errors while opening (such as a file that cannot be read) pass on.
bool IsValidEDFFile(const std::string& fileName, bool strict);

// Opens a recording as the program reads its input: read-only and leniently, so that a header
// text a strict check refuses (a patient field, a unit) does not keep the samples from being
// read. Raises the library's error when the file cannot be opened; IsValid tells the rest.
void OpenForReading(TEDFFile& file, const std::string& fileName);

// A header text in double quotes for messages and listings: shown as UTF-8 (HeaderTextToUtf8),
// control characters as \xXX.
std::string QuotedHeaderText(const std::string& text);

// Why the open file's header is not valid under its checking, one text a problem, naming the
// field, the signal and the text found ("main header field Version is invalid: text "1"").
// With strict checking also the strict rules (record size, short records, file size). Empty
// for a valid file.
std::vector<std::string> HeaderProblems(TEDFFile& file);

// Why a file cannot be read as a recording, in one line a person can act on: it does not exist
// or cannot be opened (the system's reason), it is a BDF file (24-bit samples) or has another
// version than EDF's "0", or the first of its HeaderProblems, read leniently. Empty when it is
// a valid EDF file.
std::string RecordingProblem(const std::string& fileName);

// "The file holds <n> complete data records; its header says <m>" for an open file that holds
// fewer whole records than its header states (a recording cut short, read leniently: the
// analysis sees only what is there). Empty otherwise, also for the -1 of an unfinished file.
std::string MissingRecordsWarning(const TEDFFile& file);

// "Read leniently; a strict reader refuses it: <the first strict HeaderProblems>" with
// " (and <n> more)" when there are more, for a file that is valid EDF only when read leniently
// (non-ASCII labels, a patient field out of form, a file size that does not fit the header).
// Empty for a file that passes strict checking and for one that is no valid EDF file at all.
// Reads the header only.
std::string LenientReadingWarning(const std::string& fileName);

}  // namespace vantrel
