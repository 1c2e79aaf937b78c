// File streams for the EDF library: a plain file stream on a POSIX file descriptor, and the
// read-ahead stream that serves many small data records from one file read.
//
// Positions and sizes are 64-bit byte counts, so recordings beyond 2 GiB read and write like
// any other. A stream owns its descriptor and closes it when destroyed.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "support/uExceptions.h"

namespace vantrel {

// A file could not be opened, created, read or written. The message names the file and gives
// the system's reason, e.g.: Cannot open file "night.edf". No such file or directory
class EFileStreamError : public Exception {
  public:
    // systemError: the errno value behind the failure, 0 when there is none.
    explicit EFileStreamError(const std::string& message, int systemError = 0)
        : Exception(message), FSystemError(systemError) {}
    const char* ClassName() const override { return "EFileStreamError"; }
    // The errno value behind the failure; 0 when the failure has no system reason.
    int SystemError() const { return FSystemError; }

  private:
    int FSystemError;
};
class EFOpenError : public EFileStreamError {
  public:
    using EFileStreamError::EFileStreamError;
    const char* ClassName() const override { return "EFOpenError"; }
};
class EFCreateError : public EFileStreamError {
  public:
    using EFileStreamError::EFileStreamError;
    const char* ClassName() const override { return "EFCreateError"; }
};
class EReadError : public EFileStreamError {
  public:
    using EFileStreamError::EFileStreamError;
    const char* ClassName() const override { return "EReadError"; }
};
class EWriteError : public EFileStreamError {
  public:
    using EFileStreamError::EFileStreamError;
    const char* ClassName() const override { return "EWriteError"; }
};

// How a file stream opens its file.
enum class TFileOpenMode {
    ReadOnly,   // an existing file, for reading; other readers are welcome
    ReadWrite,  // an existing file, for reading and writing
    Create,     // a new, empty file for reading and writing (an existing one is emptied)
};

// A file stream with a current position. Reads and writes use positioned system calls, so the
// position is this object's own and moving it costs nothing.
class TFileStream {
  public:
    // Raises EFOpenError (ReadOnly, ReadWrite) or EFCreateError (Create) when the system refuses,
    // and EFOpenError when the name is a directory.
    TFileStream(const std::string& fileName, TFileOpenMode mode);
    virtual ~TFileStream();
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    // Reads up to count bytes at the position and advances it by the number read, which is less
    // than count only at the end of the file. A system error raises EReadError.
    virtual int64_t Read(void* buffer, int64_t count);
    // Writes count bytes at the position and advances it; anything less raises EWriteError.
    virtual void Write(const void* buffer, int64_t count);
    // Releases the descriptor and checks that the system accepted every byte written: a failed
    // close raises EWriteError (the stream is closed all the same). Reads and writes after
    // Close raise. The destructor closes quietly when Close was not called.
    void Close();
    bool IsClosed() const { return FHandle < 0; }

    // Moves the position to an absolute byte offset (>= 0; beyond the end is allowed and a write
    // there extends the file). Returns the new position.
    int64_t Seek(int64_t position);
    int64_t Position() const { return FPosition; }
    // Size of the file in bytes; a system error raises EReadError.
    int64_t Size() const;
    const std::string& FileName() const { return FFileName; }

  protected:
    // Reads up to count bytes at an absolute offset without touching the position.
    int64_t ReadAt(int64_t offset, void* buffer, int64_t count) const;

  private:
    std::string FFileName;
    int FHandle = -1;
    int64_t FPosition = 0;
};

// A file stream with a read-ahead buffer. A read of n bytes, 1 <= n <= MinimalReadBufferSize,
// is served from the buffer when the buffer covers [position, position + n); otherwise the
// buffer is refilled from the position with up to MinimalReadBufferSize bytes first. Larger
// reads, and all reads while MinimalReadBufferSize is 0, go straight to the file. A write
// discards the buffer, so no stale byte is ever served.
class TMinimalReadBufferSizeFileStream : public TFileStream {
  public:
    using TFileStream::TFileStream;

    int64_t Read(void* buffer, int64_t count) override;
    void Write(const void* buffer, int64_t count) override;

    // Bytes read ahead per refill; 0 = no buffering. Changing it discards the buffer.
    int32_t MinimalReadBufferSize() const { return FMinimalReadBufferSize; }
    void SetMinimalReadBufferSize(int32_t size);

  private:
    std::mutex FLock;              // around each read and write, so the buffer stays whole
    std::vector<uint8_t> FBuffer;  // the bytes read ahead; empty when discarded
    int64_t FBufferPosition = 0;   // file offset of FBuffer[0]
    int32_t FMinimalReadBufferSize = 0;
};

// Whether a regular file (or a link to one) of that name exists.
bool FileExists(const std::string& fileName);
// Deletes the file; false when the system refuses.
bool DeleteFile(const std::string& fileName);

}  // namespace vantrel
