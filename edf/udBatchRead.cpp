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

#ifdef VANTREL_HAVE_IO_URING

// A submission and completion ring of kDepth entries, one per thread, set up on first use and
// released when the thread ends. Unusable (Ready false) where the kernel refuses it.
class TRing {
  public:
    static constexpr unsigned kDepth = 64;

    TRing() {
        io_uring_params params{};
        const long fd = ::syscall(__NR_io_uring_setup, kDepth, &params);
        if (fd < 0) return;
        FFd = static_cast<int>(fd);
        FSqSize = params.sq_off.array + params.sq_entries * sizeof(unsigned);
        FCqSize = params.cq_off.cqes + params.cq_entries * sizeof(io_uring_cqe);
        FSqeSize = params.sq_entries * sizeof(io_uring_sqe);
        FSq = Map(FSqSize, IORING_OFF_SQ_RING);
        FCq = Map(FCqSize, IORING_OFF_CQ_RING);
        FSqes = static_cast<io_uring_sqe*>(Map(FSqeSize, IORING_OFF_SQES));
        if (!FSq || !FCq || !FSqes || params.sq_entries < kDepth) return;
        auto* sq = static_cast<uint8_t*>(FSq);
        auto* cq = static_cast<uint8_t*>(FCq);
        FSqTail = reinterpret_cast<unsigned*>(sq + params.sq_off.tail);
        FSqMask = *reinterpret_cast<unsigned*>(sq + params.sq_off.ring_mask);
        FSqArray = reinterpret_cast<unsigned*>(sq + params.sq_off.array);
        FCqHead = reinterpret_cast<unsigned*>(cq + params.cq_off.head);
        FCqTail = reinterpret_cast<unsigned*>(cq + params.cq_off.tail);
        FCqMask = *reinterpret_cast<unsigned*>(cq + params.cq_off.ring_mask);
        FCqes = reinterpret_cast<io_uring_cqe*>(cq + params.cq_off.cqes);
        FReady = true;
    }
    ~TRing() {
        if (FSqes) ::munmap(FSqes, FSqeSize);
        if (FCq) ::munmap(FCq, FCqSize);
        if (FSq) ::munmap(FSq, FSqSize);
        if (FFd >= 0) ::close(FFd);
    }
    TRing(const TRing&) = delete;
    TRing& operator=(const TRing&) = delete;

    bool Ready() const { return FReady; }

    // Reads up to kDepth pieces; true when every one was read whole. A ring that fails is
    // given up for good (the caller reads by pread from then on).
    bool Read(int handle, const TReadPiece* pieces, unsigned count) {
        const unsigned tail = *FSqTail;
        for (unsigned i = 0; i < count; ++i) {
            const unsigned index = (tail + i) & FSqMask;
            io_uring_sqe& sqe = FSqes[index];
            std::memset(&sqe, 0, sizeof sqe);
            sqe.opcode = IORING_OP_READ;
            sqe.fd = handle;
            sqe.addr = reinterpret_cast<uint64_t>(pieces[i].Buffer);
            sqe.len = static_cast<uint32_t>(pieces[i].Length);
            sqe.off = static_cast<uint64_t>(pieces[i].Offset);
            sqe.user_data = i;
            FSqArray[index] = index;
        }
        std::atomic_ref<unsigned>(*FSqTail).store(tail + count, std::memory_order_release);
        unsigned done = 0;
        bool whole = true;
        while (done < count) {
            const long entered = ::syscall(__NR_io_uring_enter, FFd, done == 0 ? count : 0,
                                           count - done, IORING_ENTER_GETEVENTS, nullptr, 0);
            if (entered < 0 && errno != EINTR) {
                FReady = false;  // the submitted reads may still be pending: never reuse it
                return false;
            }
            unsigned head = *FCqHead;
            const unsigned end =
                std::atomic_ref<unsigned>(*FCqTail).load(std::memory_order_acquire);
            for (; head != end; ++head, ++done) {
                const io_uring_cqe& cqe = FCqes[head & FCqMask];
                if (cqe.res != pieces[cqe.user_data].Length) whole = false;
            }
            std::atomic_ref<unsigned>(*FCqHead).store(head, std::memory_order_release);
        }
        return whole;
    }

  private:
    void* Map(size_t size, off_t what) const {
        void* p =
            ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, FFd, what);
        return p == MAP_FAILED ? nullptr : p;
    }

    int FFd = -1;
    bool FReady = false;
    size_t FSqSize = 0, FCqSize = 0, FSqeSize = 0;
    void *FSq = nullptr, *FCq = nullptr;
    io_uring_sqe* FSqes = nullptr;
    unsigned *FSqTail = nullptr, *FSqArray = nullptr, *FCqHead = nullptr, *FCqTail = nullptr;
    unsigned FSqMask = 0, FCqMask = 0;
    io_uring_cqe* FCqes = nullptr;
};

#endif

}  // namespace

int32_t ReadPieces(int handle, const TReadPiece* pieces, int32_t count) {
    int32_t read = 0;
#ifdef VANTREL_HAVE_IO_URING
    if (count > 1) {
        thread_local TRing ring;
        while (ring.Ready() && count - read > 1) {
            const auto n = static_cast<unsigned>(std::min<int32_t>(count - read, TRing::kDepth));
            // A piece that failed is found again below by pread, which tells which one it was.
            if (!ring.Read(handle, pieces + read, n)) break;
            read += static_cast<int32_t>(n);
        }
    }
#endif
    for (; read < count; ++read)
        if (!PreadWhole(handle, pieces[read])) break;
    return read;
}

}  // namespace vantrel
