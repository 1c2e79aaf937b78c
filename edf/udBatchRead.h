// Many small positioned reads of one file in few system calls. Reading one signal of a
// recording takes one small piece of every data record; on Linux the pieces of up to 64 records
// go to the kernel together (io_uring), instead of one pread each, which costs as much as
// copying 20 KiB on a virtual machine. Where the kernel does not offer that (old kernels,
// sandboxes that forbid it) every piece is read with pread.
#pragma once

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

}  // namespace vantrel
