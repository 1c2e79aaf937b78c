#include "edf/udDisk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vantrel {

static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit to reach beyond 2 GiB");

namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

std::string StreamMessage(const char* what, const std::string& fileName, int error) {
    return std::string(what) + " \"" + fileName + "\". " + Reason(error);
}

// O_NONBLOCK: opening never waits. A named pipe without a writer would otherwise hang an
// unattended run for ever; regular files ignore the flag, and a pipe opened this way fails at
// its first positioned read.
int OpenFlags(TFileOpenMode mode) {
    switch (mode) {
        case TFileOpenMode::ReadOnly:
            return O_RDONLY | O_CLOEXEC | O_NONBLOCK;
        case TFileOpenMode::ReadWrite:
            return O_RDWR | O_CLOEXEC | O_NONBLOCK;
        case TFileOpenMode::Create:
            break;
    }
    return O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK;
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, TFileOpenMode mode) : FFileName(fileName) {
    const bool creating = mode == TFileOpenMode::Create;
    const char* what = creating ? "Cannot create file" : "Cannot open file";
    do {
        FHandle = ::open(fileName.c_str(), OpenFlags(mode), 0666);
    } while (FHandle < 0 && errno == EINTR);
    if (FHandle < 0) {
        const int error = errno;
        if (creating) throw EFCreateError(StreamMessage(what, fileName, error), error);
        throw EFOpenError(StreamMessage(what, fileName, error), error);
    }
    struct stat info {};
    if (::fstat(FHandle, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(FHandle);
        FHandle = -1;
        throw EFOpenError(StreamMessage(what, fileName, EISDIR), EISDIR);
    }
}

TFileStream::~TFileStream() {
    if (FHandle >= 0) ::close(FHandle);
}

void TFileStream::Close() {
    if (FHandle < 0) return;
    const int handle = FHandle;
    FHandle = -1;
    // No retry on EINTR: the descriptor is released whatever close() answers.
    if (::close(handle) != 0 && errno != EINTR) {
        const int error = errno;
        throw EWriteError(StreamMessage("Cannot close file", FFileName, error), error);
    }
}

int64_t TFileStream::ReadAt(int64_t offset, void* buffer, int64_t count) const {
    auto* bytes = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(FHandle, bytes + done, static_cast<size_t>(count - done),
                                  static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            throw EReadError(StreamMessage("Cannot read file", FFileName, error), error);
        }
        if (n == 0) break;  // end of the file
        done += n;
    }
    return done;
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const int64_t done = ReadAt(FPosition, buffer, count);
    FPosition += done;
    return done;
}

void TFileStream::Write(const void* buffer, int64_t count) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(FHandle, bytes + done, static_cast<size_t>(count - done),
                                   static_cast<off_t>(FPosition + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            throw EWriteError(StreamMessage("Cannot write file", FFileName, error), error);
        }
        if (n == 0)
            throw EWriteError(StreamMessage("Cannot write file", FFileName, ENOSPC), ENOSPC);
        done += n;
    }
    FPosition += done;
}

int64_t TFileStream::Seek(int64_t position) {
    FPosition = std::max<int64_t>(position, 0);
    return FPosition;
}

int64_t TFileStream::Size() const {
    struct stat info {};
    if (::fstat(FHandle, &info) != 0) {
        const int error = errno;
        throw EReadError(StreamMessage("Cannot read file", FFileName, error), error);
    }
    return static_cast<int64_t>(info.st_size);
}

// ---- TMinimalReadBufferSizeFileStream ---------------------------------------------------------

void TMinimalReadBufferSizeFileStream::SetMinimalReadBufferSize(int32_t size) {
    std::lock_guard<std::mutex> guard(FLock);
    FMinimalReadBufferSize = std::max<int32_t>(size, 0);
    FBuffer.clear();
}

int64_t TMinimalReadBufferSizeFileStream::Read(void* buffer, int64_t count) {
    std::lock_guard<std::mutex> guard(FLock);
    if (count <= 0) return 0;
    if (count > FMinimalReadBufferSize) return TFileStream::Read(buffer, count);

    const int64_t position = Position();
    const bool covered = !FBuffer.empty() && position >= FBufferPosition &&
                         position + count <= FBufferPosition + static_cast<int64_t>(FBuffer.size());
    if (!covered) {
        // Refill from the position; at the end of the file the buffer holds what was there.
        FBuffer.resize(static_cast<size_t>(FMinimalReadBufferSize));
        const int64_t got = ReadAt(position, FBuffer.data(), FMinimalReadBufferSize);
        FBuffer.resize(static_cast<size_t>(got));
        FBufferPosition = position;
    }
    const int64_t available = FBufferPosition + static_cast<int64_t>(FBuffer.size()) - position;
    const int64_t n = std::clamp<int64_t>(available, 0, count);
    if (n > 0) std::memcpy(buffer, FBuffer.data() + (position - FBufferPosition), n);
    Seek(position + n);
    return n;
}

void TMinimalReadBufferSizeFileStream::Write(const void* buffer, int64_t count) {
    std::lock_guard<std::mutex> guard(FLock);
    FBuffer.clear();
    TFileStream::Write(buffer, count);
}

// ---- File helpers -----------------------------------------------------------------------------

bool FileExists(const std::string& fileName) {
    struct stat info {};
    return ::stat(fileName.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool DeleteFile(const std::string& fileName) {
    return ::unlink(fileName.c_str()) == 0;
}

}  // namespace vantrel
