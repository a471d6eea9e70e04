// A regular file seen through one large buffer, for libsndfile's virtual I/O: libsndfile reads
// and writes a few kilobytes at a time, and a system call for each is a good part of a
// render's cost. Reads are served from a buffer filled in one call, writes gather in it and go
// out in one call when it is full, when the position jumps, before a read, and on flush().
// A read or write of 64 KB or more (the tool's raw samples) goes straight between the caller
// and the file: a copy through the buffer would cost more than the call it saves.
// Positions are the file's own (pread/pwrite), so the descriptor's offset is neither used nor
// moved. Not for pipes or devices: they cannot be read or written at a position.
#pragma once

#include <sndfile.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class BufferedStream {
  public:
    static constexpr size_t kDefaultCapacity = size_t(1) << 20;

    explicit BufferedStream(int descriptor, size_t capacity = kDefaultCapacity);
    BufferedStream(const BufferedStream&) = delete;
    BufferedStream& operator=(const BufferedStream&) = delete;

    // As libsndfile's virtual I/O asks: byte counts done (short on an error or the end), the
    // new position, or -1 for a position that cannot be reached.
    int64_t read(void* destination, int64_t count);
    int64_t write(const void* source, int64_t count);
    int64_t seek(int64_t offset, int whence);
    int64_t tell() const { return position_; }
    int64_t length();
    // Writes out what is gathered; false on an error, which error() then names (an errno).
    bool flush();
    int error() const { return error_; }

    // The callbacks for sf_open_virtual, with this stream as their user data.
    static SF_VIRTUAL_IO callbacks();

  private:
    static constexpr int64_t kDirectBytes = int64_t(1) << 16;
    int64_t directBytes() const { return std::min(kDirectBytes, int64_t(buffer_.size())); }
    bool writeOut(const char* bytes, int64_t count, int64_t at);

    int descriptor_;
    std::vector<char> buffer_;
    int64_t position_ = 0;
    int64_t bufferStart_ = 0; // file position of buffer_[0]
    int64_t bufferLength_ = 0;
    bool dirty_ = false; // the buffer holds writes not yet in the file, else a copy of the file
    int error_ = 0;
};
