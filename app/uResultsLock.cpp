#include "app/uResultsLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/uShellTools.h"

namespace vantrel {

namespace fs = std::filesystem;

TResultsLock::TResultsLock(const std::string& resultsFileName, bool probe) {
    const std::string lockName = ResultsLockFileName(resultsFileName);
    const fs::path directory = fs::path(lockName).parent_path();
    std::error_code ec;
    if (!fs::is_directory(directory, ec)) return;
    // Read-only is enough for flock, and lets every user who may write the results lock a lock
    // file that another user created.
    const int create = probe ? 0 : O_CREAT;
    FDescriptor = ::open(lockName.c_str(), O_RDONLY | create | O_CLOEXEC | O_NOCTTY, 0666);
    if (FDescriptor < 0 && probe && errno == ENOENT &&
        ::access(directory.c_str(), W_OK | X_OK) == 0)
        return;  // the run would create it, and nobody can hold a file that does not exist
    if (FDescriptor < 0) {
        FProblem = "Cannot lock the results file " + resultsFileName + ": " + std::strerror(errno) +
                   " (" + lockName + ")";
        return;
    }
    int result = 0;
    do {
        result = ::flock(FDescriptor, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) return;
    const int error = errno;
    ::close(FDescriptor);
    FDescriptor = -1;
    if (error == EWOULDBLOCK)
        FProblem = "The results file is in use by another run: " + resultsFileName;
    else
        FProblem = "Cannot lock the results file " + resultsFileName + ": " + std::strerror(error) +
                   " (" + lockName + ")";
}

TResultsLock::~TResultsLock() {
    Release();
}

void TResultsLock::Release() {
    if (FDescriptor < 0) return;
    ::close(FDescriptor);  // closing the last descriptor releases the lock
    FDescriptor = -1;
}

}  // namespace vantrel
