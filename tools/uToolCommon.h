// What the inspection tools (edfinfo, filterrun, exprcalc) share: the exit statuses, the help
// options and the final check that the output really reached its destination.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace vantrel::tool {

// The exit statuses of every tool (listed in the README).
enum TExitStatus : int {
    kExitDone = 0,      // done (edfinfo: the file opened, valid or not)
    kExitBadInput = 1,  // the input data could not be used (a line, a record)
    kExitUsage = 2,     // wrong usage or a bad argument value, or a file that cannot be read
    kExitNoOutput = 3,  // the output could not be written
};

inline bool IsHelpOption(const std::string& argument) {
    return argument == "--help" || argument == "-h";
}

// An argument that looks like an option: begins with "--", or is "-" and a letter.
inline bool LooksLikeOption(const std::string& argument) {
    if (argument.rfind("--", 0) == 0) return true;
    return argument.size() >= 2 && argument[0] == '-' &&
           ((argument[1] >= 'a' && argument[1] <= 'z') ||
            (argument[1] >= 'A' && argument[1] <= 'Z'));
}

// Prints "<tool>: <message>" and the hint to the help on standard error; returns kExitUsage.
inline int UsageError(const char* tool, const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", tool, message.c_str(),
                 tool);
    return kExitUsage;
}

// Writes bytes to standard output; false (with errno kept) when they did not all go out.
inline bool WriteOut(const std::string& bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

// Reports a failed write of the output and returns kExitNoOutput.
inline int OutputError(const char* tool, int error) {
    std::fprintf(stderr, "%s: cannot write the output: %s\n", tool, std::strerror(error));
    return kExitNoOutput;
}

// The status a tool ends with: flushes standard output first, so that an output that could not
// be written (a full disk, /dev/full) is never reported as done.
inline int Finish(const char* tool, int status) {
    if (status == kExitNoOutput) return status;  // already reported
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return OutputError(tool, errno != 0 ? errno : EIO);
    return status;
}

}  // namespace vantrel::tool
