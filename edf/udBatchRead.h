// Many positioned reads of one file in few system calls. Reading one signal of a recording takes
// one small piece of every data record; on Linux the pieces of up to 64 records go to the
// kernel together (io_uring), instead of one pread each, which costs as much as copying 20 KiB
// on a virtual machine. Where the kernel does not offer that (old kernels, sandboxes that
// forbid it) every piece is read with pread.
//
// TReadRing is the ring itself, for readers that keep reads in flight while they compute.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// One piece: Length bytes at file offset Offset into Buffer.
struct TReadPiece {
    int64_t Offset = 0;
    void* Buffer = nullptr;
    int64_t Length = 0;
};

// Reads the pieces from the open descriptor `handle`. Returns the number of leading pieces read
// whole: less than count when a piece lies (partly) beyond the end of the file or a read fails.
// Pieces after the first short one may or may not have been read. Never raises.
int32_t ReadPieces(int handle, const TReadPiece* pieces, int32_t count);

// An io_uring submission and completion ring for reads: reads are queued, handed to the kernel
// together, and come back with the tag they were queued with, in any order. Not Ready where the
// kernel refuses io_uring, and not Ready from then on when its system call fails. The destructor
// waits for the reads still running, so a reader declares its buffers before its ring. One
// thread at a time.
class TReadRing {
  public:
    // Room for `depth` reads queued or running (rounded up to a power of two by the kernel).
    explicit TReadRing(unsigned depth);
    ~TReadRing();
    TReadRing(const TReadRing&) = delete;
    TReadRing& operator=(const TReadRing&) = delete;

    bool Ready() const { return FReady; }
    // Reads queued or running, whose completion was not taken yet.
    unsigned Pending() const { return FQueued + FRunning; }
    unsigned Depth() const { return FDepth; }

    // Queues a read of the piece from `handle`; false when Depth reads are pending already or
    // the ring is not Ready. The read starts at the next Enter.
    bool Queue(int handle, const TReadPiece& piece, uint64_t tag);
    // Starts the queued reads; with `wait`, also waits until at least one completion is there
    // (when any read is running). False when the system call failed: the ring is not Ready any
    // more.
    bool Enter(bool wait);
    // Takes one completion: its tag and result (the bytes read, or -errno). False when none is
    // there.
    bool Reap(uint64_t& tag, int32_t& result);

  private:
    void* Map(size_t size, long long what) const;
    bool CompletionThere() const;

    int FFd = -1;
    bool FReady = false;
    unsigned FDepth = 0, FQueued = 0, FRunning = 0;
    size_t FSqSize = 0, FCqSize = 0, FSqeSize = 0;
    void *FSq = nullptr, *FCq = nullptr, *FSqes = nullptr;
    unsigned *FSqTail = nullptr, *FSqArray = nullptr, *FCqHead = nullptr, *FCqTail = nullptr;
    unsigned FSqMask = 0, FCqMask = 0;
    void* FCqes = nullptr;
};

}  // namespace vantrel
