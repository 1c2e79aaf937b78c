#include "edf/uEDFSignalReader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "edf/uEDFFile.h"
#include "edf/udBatchRead.h"
#include "edf/udSampleOrder.h"

namespace vantrel {

namespace {

constexpr int64_t kSpanBytes = TEDFSignalReader::kSpanBytes;
constexpr int32_t kSpansHeld = 4;  // the span read from and the ones read ahead of it
constexpr int64_t kAlign = 4096;   // direct reads: offsets, lengths and buffers on this boundary
// The span buffers lie in huge pages where the system has them: a direct read into 4 KiB pages
// takes one segment per page, and virtual disks take few segments a request (254 here), so a
// span became several small requests and reading was slower than through the page cache. In
// 2 MiB pages a 24-hour recording read in 0.14 s instead of 0.35 s.
// Spans of 4 MiB keep two readers of one disk (a cohort on two cores) from taking turns in
// small pieces.
constexpr size_t kHugePage = size_t{2} << 20;

int64_t AlignDown(int64_t x) {
    return x / kAlign * kAlign;
}
int64_t AlignUp(int64_t x) {
    return AlignDown(x + kAlign - 1);
}

// A descriptor, closed with its owner.
class TDescriptor {
  public:
    TDescriptor() = default;
    explicit TDescriptor(int fd) : FFd(fd) {}
    ~TDescriptor() {
        if (FFd >= 0) ::close(FFd);
    }
    TDescriptor(TDescriptor&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
    TDescriptor& operator=(TDescriptor&& other) noexcept {
        std::swap(FFd, other.FFd);
        return *this;
    }
    int Get() const { return FFd; }

  private:
    int FFd = -1;
};

// A mapping, unmapped with its owner: the span buffers (page-aligned, as direct reads need, and
// given back to the system at once) and the view of the file that mincore asks about.
class TMapping {
  public:
    TMapping() = default;
    TMapping(size_t length, int protection, int flags, int fd) {
        if (length == 0) return;
        void* p = ::mmap(nullptr, length, protection, flags, fd, 0);
        if (p == MAP_FAILED) return;
        FData = static_cast<uint8_t*>(p);
        FLength = length;
    }
    ~TMapping() {
        if (FData) ::munmap(FData, FLength);
    }
    TMapping(TMapping&& other) noexcept
        : FData(std::exchange(other.FData, nullptr)), FLength(std::exchange(other.FLength, 0)) {}
    TMapping& operator=(TMapping&& other) noexcept {
        std::swap(FData, other.FData);
        std::swap(FLength, other.FLength);
        return *this;
    }
    uint8_t* Data() const { return FData; }
    size_t Length() const { return FLength; }

  private:
    uint8_t* FData = nullptr;
    size_t FLength = 0;
};

TDescriptor Open(const std::string& name, int flags) {
    int fd = -1;
    do {
        fd = ::open(name.c_str(), flags | O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    return TDescriptor(fd);
}

}  // namespace

struct TEDFSignalReader::TState {
    enum class TSlotState : uint8_t { Free, Cached, Reading, Read };
    struct TSlot {
        int32_t Span = -1;
        TSlotState State = TSlotState::Free;
        int64_t Offset = 0;  // file offset of Buffer[0]
        int64_t Got = 0;     // bytes read into Buffer
        uint8_t* Buffer = nullptr;
    };

    TState(TCustomBaseEDFFile& file, int32_t signal);

    void OpenDirect();
    // The records of span s are First(s) .. End(s) - 1.
    int32_t First(int32_t s) const { return s * RecordsPerSpan; }
    int32_t End(int32_t s) const { return std::min(Records, (s + 1) * RecordsPerSpan); }
    int64_t RecordStart(int32_t j) const { return HeaderBytes + j * RecordBytes; }
    TSlot& SlotOf(int32_t s) { return Slots[static_cast<size_t>(s % kSpansHeld)]; }
    bool InPageCache(int64_t begin, int64_t end) const;
    void Hold(int32_t s);
    void Start(int32_t s, TSlot& slot);
    void WaitForRead();
    bool ReadSpan(int32_t s, int32_t first, int32_t count, int16_t* samples);

    TCustomBaseEDFFile& File;
    const int32_t Signal;
    int64_t HeaderBytes = 0, RecordBytes = 0, PartOffset = 0, PartBytes = 0;
    int32_t Records = 0, RecordsPerSpan = 1, Spans = 0;
    TStatistics Statistics;

    bool Direct = false;      // spans not in the page cache are read past it
    bool CacheKnown = false;  // mincore answers for this file
    TDescriptor DirectFile;
    TMapping FileView;  // the file, never touched: only where its pages are is asked
    TMapping Buffers;
    std::vector<TSlot> Slots;
    int32_t FirstHeld = 0, NextSpan = 0;  // spans FirstHeld .. NextSpan - 1 have their slots
    TReadRing Ring{kSpansHeld};           // after the buffers: destroyed first, waits for reads
};

TEDFSignalReader::TState::TState(TCustomBaseEDFFile& file, int32_t signal)
    : File(file), Signal(signal), Slots(kSpansHeld) {
    if (!file.IsOpen() || file.RecordSamples() <= 0 || signal < 0 || signal >= file.SignalCount())
        return;
    const TCustomEDFSignalInfo& info = file.Signal(signal);
    HeaderBytes = file.FileInfo().HeaderBytes();
    RecordBytes = int64_t{file.RecordSamples()} * 2;
    PartOffset = int64_t{info.SampleOffset()} * 2;
    PartBytes = int64_t{info.SamplesPerRecord()} * 2;
    Records = std::max(file.NumberOfRecords(), 0);
    if (PartBytes <= 0 || PartOffset < 0 || PartOffset + PartBytes > RecordBytes || Records == 0)
        return;
    RecordsPerSpan =
        static_cast<int32_t>(std::clamp<int64_t>(kSpanBytes / RecordBytes, 1, Records));
    Spans = (Records - 1) / RecordsPerSpan + 1;
    OpenDirect();
    Hold(0);
}

void TEDFSignalReader::TState::OpenDirect() {
    if (!Ring.Ready()) return;
    const std::string& name = File.FileName();
    const TDescriptor plain = Open(name, 0);
    struct stat status {};
    if (plain.Get() < 0 || ::fstat(plain.Get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size < RecordStart(Records))
        return;
    DirectFile = Open(name, O_DIRECT);
    if (DirectFile.Get() < 0) return;  // a file system without direct reads
    // The kernel tells which pages of a file are cached only to its owner and its writers;
    // to others it says all are. Unknown, the pages count as on the disk: a cohort's nights are
    // read once.
    CacheKnown =
        status.st_uid == ::geteuid() || ::faccessat(AT_FDCWD, name.c_str(), W_OK, AT_EACCESS) == 0;
    if (CacheKnown) {
        FileView =
            TMapping(static_cast<size_t>(status.st_size), PROT_READ, MAP_SHARED, plain.Get());
        if (!FileView.Data()) CacheKnown = false;
    }
    const auto slotBytes = static_cast<size_t>(AlignUp(RecordsPerSpan * RecordBytes) + kAlign);
    const size_t bytes = slotBytes * kSpansHeld;
    Buffers = TMapping(bytes + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1);
    if (!Buffers.Data()) return;
    uint8_t* first =
        Buffers.Data() +
        (kHugePage - reinterpret_cast<uintptr_t>(Buffers.Data()) % kHugePage) % kHugePage;
    ::madvise(first, bytes, MADV_HUGEPAGE);  // a wish: without huge pages the reads still work
    for (size_t k = 0; k < Slots.size(); ++k)
        Slots[k].Buffer = first + k * slotBytes;
    Direct = true;
}

bool TEDFSignalReader::TState::InPageCache(int64_t begin, int64_t end) const {
    if (!CacheKnown) return false;
    // A few pages spread over the span stand for it: the kernel looks every page up, and a
    // span of 1024 pages asked for whole cost a 24-hour recording 20 ms. Files are cached whole
    // or in long stretches (read by someone, or written), not in scattered pages.
    constexpr int64_t kProbes = 8;
    const int64_t first = AlignDown(begin);
    const int64_t pages =
        (std::min<int64_t>(AlignUp(end), static_cast<int64_t>(FileView.Length())) - first) / kAlign;
    for (int64_t k = 0; k < std::min(kProbes, pages); ++k) {
        const int64_t page = first + (pages - 1) * k / std::max<int64_t>(kProbes - 1, 1) * kAlign;
        unsigned char resident = 0;
        if (::mincore(FileView.Data() + page, static_cast<size_t>(kAlign), &resident) != 0 ||
            (resident & 1) == 0)
            return false;
    }
    return true;
}

// Makes span s the first one held: the slots of the spans before it are free, and the spans
// after it are started up to the number held.
void TEDFSignalReader::TState::Hold(int32_t s) {
    FirstHeld = std::max(FirstHeld, s);
    NextSpan = std::max(NextSpan, FirstHeld);
    bool started = false;
    while (NextSpan < Spans && NextSpan < FirstHeld + kSpansHeld) {
        TSlot& slot = SlotOf(NextSpan);
        while (slot.State == TSlotState::Reading && Direct)
            WaitForRead();  // a span skipped over: its read must end before the buffer is reused
        Start(NextSpan++, slot);
        started = started || slot.State == TSlotState::Reading;
    }
    if (started && !Ring.Enter(false)) Direct = false;
}

void TEDFSignalReader::TState::Start(int32_t s, TSlot& slot) {
    slot.Span = s;
    slot.State = TSlotState::Cached;
    const int64_t begin = RecordStart(First(s)), end = RecordStart(End(s));
    if (!Direct || InPageCache(begin, end)) return;
    slot.Offset = AlignDown(begin);
    slot.Got = 0;
    const TReadPiece piece{slot.Offset, slot.Buffer, AlignUp(end) - slot.Offset};
    if (Ring.Queue(DirectFile.Get(), piece, static_cast<uint64_t>(s)))
        slot.State = TSlotState::Reading;
}

void TEDFSignalReader::TState::WaitForRead() {
    if (!Ring.Enter(true)) {
        // The reads may still be running: their buffers are never used again.
        Direct = false;
        for (TSlot& slot : Slots)
            if (slot.State == TSlotState::Reading) slot.State = TSlotState::Cached;
        return;
    }
    uint64_t tag = 0;
    int32_t result = 0;
    while (Ring.Reap(tag, result)) {
        TSlot& slot = SlotOf(static_cast<int32_t>(tag));
        if (slot.Span != static_cast<int32_t>(tag) || slot.State != TSlotState::Reading) continue;
        if (result < 0) {
            // A file system that takes direct reads only in other sizes, a failing disk: the
            // span is read through the page cache, which fails where it must.
            if (result == -EINVAL || result == -EOPNOTSUPP) Direct = false;
            slot.State = TSlotState::Cached;
            continue;
        }
        slot.Got = result;
        slot.State = TSlotState::Read;
        ++Statistics.DirectReads;
        Statistics.DirectBytes += result;
    }
}

// Records first .. first + count - 1, all of span s.
bool TEDFSignalReader::TState::ReadSpan(int32_t s, int32_t first, int32_t count, int16_t* samples) {
    TSlot& slot = SlotOf(s);
    while (slot.State == TSlotState::Reading)
        WaitForRead();
    const int64_t partSamples = PartBytes / 2;
    if (slot.State == TSlotState::Read) {
        const int64_t last = RecordStart(first + count - 1) + PartOffset + PartBytes;
        if (last <= slot.Offset + slot.Got) {  // else: the file is shorter than it was
            for (int32_t i = 0; i < count; ++i) {
                const int64_t at = RecordStart(first + i) + PartOffset - slot.Offset;
                std::memcpy(samples + i * partSamples, slot.Buffer + at,
                            static_cast<size_t>(PartBytes));
            }
            SwapSampleOrder(samples, static_cast<size_t>(count * partSamples));
            return true;
        }
    }
    Statistics.CachedRecords += count;
    return File.ReadSignalInto(Signal, first, count, samples);
}

TEDFSignalReader::TEDFSignalReader(TCustomBaseEDFFile& file, int32_t signal)
    : FState(std::make_unique<TState>(file, signal)) {}

TEDFSignalReader::~TEDFSignalReader() = default;

bool TEDFSignalReader::Read(int32_t first, int32_t count, int16_t* samples) {
    TState& s = *FState;
    if (s.Spans == 0 || count < 1 || first < 0 || first > s.Records - count)
        return s.File.ReadSignalInto(s.Signal, first, count, samples);
    const int64_t partSamples = s.PartBytes / 2;
    for (int32_t j = first; j < first + count;) {
        const int32_t span = j / s.RecordsPerSpan;
        s.Hold(span);
        const int32_t n = std::min(first + count, s.End(span)) - j;
        if (!s.ReadSpan(span, j, n, samples + (j - first) * partSamples)) return false;
        j += n;
    }
    return true;
}

const TEDFSignalReader::TStatistics& TEDFSignalReader::Statistics() const {
    return FState->Statistics;
}

bool TEDFSignalReader::ReadingPastTheCache() const {
    const TState& s = *FState;
    return s.Spans > 0 && s.Slots[0].Span == 0 && s.Slots[0].State != TState::TSlotState::Cached;
}

}  // namespace vantrel
