#include "edf/udBatchRead.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#if __has_include(<linux/io_uring.h>)
#include <linux/io_uring.h>
#define VANTREL_HAVE_IO_URING 1
#endif

namespace vantrel {

namespace {

// One piece by pread, retried on interruption and continued after a short read.
bool PreadWhole(int handle, const TReadPiece& piece) {
    auto* bytes = static_cast<uint8_t*>(piece.Buffer);
    int64_t done = 0;
    while (done < piece.Length) {
        const ssize_t n = ::pread(handle, bytes + done, static_cast<size_t>(piece.Length - done),
                                  static_cast<off_t>(piece.Offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

}  // namespace

#ifdef VANTREL_HAVE_IO_URING

TReadRing::TReadRing(unsigned depth) {
    io_uring_params params{};
    const long fd = ::syscall(__NR_io_uring_setup, std::max(depth, 1u), &params);
    if (fd < 0) return;
    FFd = static_cast<int>(fd);
    FSqSize = params.sq_off.array + params.sq_entries * sizeof(unsigned);
    FCqSize = params.cq_off.cqes + params.cq_entries * sizeof(io_uring_cqe);
    FSqeSize = params.sq_entries * sizeof(io_uring_sqe);
    FSq = Map(FSqSize, IORING_OFF_SQ_RING);
    FCq = Map(FCqSize, IORING_OFF_CQ_RING);
    FSqes = Map(FSqeSize, IORING_OFF_SQES);
    if (!FSq || !FCq || !FSqes || params.sq_entries < depth) return;
    auto* sq = static_cast<uint8_t*>(FSq);
    auto* cq = static_cast<uint8_t*>(FCq);
    FSqTail = reinterpret_cast<unsigned*>(sq + params.sq_off.tail);
    FSqMask = *reinterpret_cast<unsigned*>(sq + params.sq_off.ring_mask);
    FSqArray = reinterpret_cast<unsigned*>(sq + params.sq_off.array);
    FCqHead = reinterpret_cast<unsigned*>(cq + params.cq_off.head);
    FCqTail = reinterpret_cast<unsigned*>(cq + params.cq_off.tail);
    FCqMask = *reinterpret_cast<unsigned*>(cq + params.cq_off.ring_mask);
    FCqes = cq + params.cq_off.cqes;
    // Never more pending than the submission ring holds; the completion ring holds twice that.
    FDepth = params.sq_entries;
    FReady = true;
}

TReadRing::~TReadRing() {
    // A read still running would land in a buffer its owner releases after this: wait for them.
    uint64_t tag = 0;
    int32_t result = 0;
    while (FReady && FRunning > 0 && Enter(true))
        while (Reap(tag, result)) {
        }
    if (FSqes) ::munmap(FSqes, FSqeSize);
    if (FCq) ::munmap(FCq, FCqSize);
    if (FSq) ::munmap(FSq, FSqSize);
    if (FFd >= 0) ::close(FFd);
}

void* TReadRing::Map(size_t size, long long what) const {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, FFd,
                     static_cast<off_t>(what));
    return p == MAP_FAILED ? nullptr : p;
}

bool TReadRing::Queue(int handle, const TReadPiece& piece, uint64_t tag) {
    if (!FReady || Pending() >= FDepth) return false;
    const unsigned tail = *FSqTail + FQueued;
    const unsigned index = tail & FSqMask;
    io_uring_sqe& sqe = static_cast<io_uring_sqe*>(FSqes)[index];
    std::memset(&sqe, 0, sizeof sqe);
    sqe.opcode = IORING_OP_READ;
    sqe.fd = handle;
    sqe.addr = reinterpret_cast<uint64_t>(piece.Buffer);
    sqe.len = static_cast<uint32_t>(piece.Length);
    sqe.off = static_cast<uint64_t>(piece.Offset);
    sqe.user_data = tag;
    FSqArray[index] = index;
    ++FQueued;
    return true;
}

bool TReadRing::Enter(bool wait) {
    if (!FReady) return false;
    unsigned submit = FQueued;
    if (submit > 0) {
        std::atomic_ref<unsigned>(*FSqTail).store(*FSqTail + submit, std::memory_order_release);
        FQueued = 0;
        FRunning += submit;
    }
    while (true) {
        const bool waiting = wait && FRunning > 0 && !CompletionThere();
        if (submit == 0 && !waiting) return true;
        const long entered = ::syscall(__NR_io_uring_enter, FFd, submit, waiting ? 1 : 0,
                                       waiting ? IORING_ENTER_GETEVENTS : 0, nullptr, 0);
        if (entered < 0 && (errno == EINTR || errno == EAGAIN)) continue;  // a signal, a shortage
        if (entered < 0 || (submit > 0 && entered == 0)) break;
        submit -= std::min(submit, static_cast<unsigned>(entered));
    }
    FReady = false;  // the submitted reads may still be running: never reuse the ring
    return false;
}

bool TReadRing::CompletionThere() const {
    return *FCqHead != std::atomic_ref<unsigned>(*FCqTail).load(std::memory_order_acquire);
}

bool TReadRing::Reap(uint64_t& tag, int32_t& result) {
    if (!FCqHead || !CompletionThere()) return false;
    const unsigned head = *FCqHead;
    const io_uring_cqe& cqe = static_cast<const io_uring_cqe*>(FCqes)[head & FCqMask];
    tag = cqe.user_data;
    result = cqe.res;
    std::atomic_ref<unsigned>(*FCqHead).store(head + 1, std::memory_order_release);
    if (FRunning > 0) --FRunning;
    return true;
}

#else

TReadRing::TReadRing(unsigned) {}
TReadRing::~TReadRing() = default;
void* TReadRing::Map(size_t, long long) const {
    return nullptr;
}
bool TReadRing::Queue(int, const TReadPiece&, uint64_t) {
    return false;
}
bool TReadRing::Enter(bool) {
    return false;
}
bool TReadRing::Reap(uint64_t&, int32_t&) {
    return false;
}
bool TReadRing::CompletionThere() const {
    return false;
}

#endif

namespace {

constexpr unsigned kBatchDepth = 64;

// Reads up to kBatchDepth pieces through the ring; true when every one was read whole.
bool RingRead(TReadRing& ring, int handle, const TReadPiece* pieces, unsigned count) {
    for (unsigned i = 0; i < count; ++i)
        ring.Queue(handle, pieces[i], i);
    bool whole = true;
    unsigned done = 0;
    while (done < count) {
        if (!ring.Enter(true)) return false;
        uint64_t tag = 0;
        int32_t result = 0;
        while (ring.Reap(tag, result)) {
            ++done;
            if (tag >= count || result != pieces[tag].Length) whole = false;
        }
    }
    return whole;
}

}  // namespace

int32_t ReadPieces(int handle, const TReadPiece* pieces, int32_t count) {
    int32_t read = 0;
    if (count > 1) {
        thread_local TReadRing ring(kBatchDepth);
        while (ring.Ready() && ring.Depth() >= kBatchDepth && count - read > 1) {
            const auto n = static_cast<unsigned>(std::min<int32_t>(count - read, kBatchDepth));
            // A piece that failed is found again below by pread, which tells which one it was.
            if (!RingRead(ring, handle, pieces + read, n)) break;
            read += static_cast<int32_t>(n);
        }
    }
    for (; read < count; ++read)
        if (!PreadWhole(handle, pieces[read])) break;
    return read;
}

}  // namespace vantrel
