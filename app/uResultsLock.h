// One writer per results file. Two runs that name the same results file (the same path, or the
// same file through a link) would otherwise both write it and leave a file whose traces mix the
// two runs while its header says it is complete. A run therefore holds an exclusive lock on
// "<results file>.lock" (named from the results path with symbolic links resolved) from before
// it deletes or writes anything until its log and every file beside the results are written.
//
// The lock file itself is never deleted: deleting it after unlocking would let a third run lock
// a new file of the same name while a second still holds the old one. The kernel releases the
// lock when a run ends in any way, a kill included, so no stale lock blocks a rerun.
//
// Example:
//   TResultsLock lock(resultsFile);
//   if (!lock.Held()) { refuse with lock.Problem(); }
//   ... the run ...                             // released when `lock` goes
#pragma once

#include <string>

namespace vantrel {

class TResultsLock {
  public:
    // Tries once to lock the results file, never waits. A results file whose directory does
    // not exist needs no lock (nothing can be written there; the parameter check says so):
    // then Held is false and Problem empty. With `probe` nothing is created: a lock file that
    // exists is locked as always, a missing one counts as free when its directory may be
    // written (Held false then), and Problem is what a run would meet; for a check that must
    // write nothing.
    explicit TResultsLock(const std::string& resultsFileName, bool probe = false);
    ~TResultsLock();
    TResultsLock(const TResultsLock&) = delete;
    TResultsLock& operator=(const TResultsLock&) = delete;

    bool Held() const { return FDescriptor >= 0; }
    // Why the run must not go on: "The results file is in use by another run: <name>", or
    // "Cannot lock the results file <name>: <the system's reason>" where locking is impossible.
    // Empty when held or not needed.
    const std::string& Problem() const { return FProblem; }
    // Releases the lock now (the destructor does it otherwise).
    void Release();

  private:
    int FDescriptor = -1;
    std::string FProblem;
};

}  // namespace vantrel
