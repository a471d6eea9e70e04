#include "render/buffered_stream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

BufferedStream::BufferedStream(int descriptor, size_t capacity)
    : descriptor_(descriptor), buffer_(std::max<size_t>(1, capacity)) {}

bool BufferedStream::writeOut(const char* bytes, int64_t count, int64_t at) {
    while (count > 0) {
        const ssize_t wrote = pwrite(descriptor_, bytes, size_t(count), at);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            error_ = wrote < 0 ? errno : EIO;
            return false;
        }
        bytes += wrote;
        at += wrote;
        count -= wrote;
    }
    return true;
}

bool BufferedStream::flush() {
    if (!dirty_)
        return error_ == 0;
    dirty_ = false;
    const int64_t length = bufferLength_;
    bufferLength_ = 0;
    return writeOut(buffer_.data(), length, bufferStart_);
}

int64_t BufferedStream::read(void* destination, int64_t count) {
    if (!flush())
        return 0;
    char* bytes = static_cast<char*>(destination);
    const int64_t capacity = int64_t(buffer_.size());
    int64_t done = 0;
    while (done < count) {
        const int64_t offset = position_ - bufferStart_;
        if (offset >= 0 && offset < bufferLength_) {
            const int64_t take = std::min(count - done, bufferLength_ - offset);
            std::memcpy(bytes + done, buffer_.data() + offset, size_t(take));
            done += take;
            position_ += take;
            continue;
        }
        const bool direct = count - done >= directBytes();
        char* target = direct ? bytes + done : buffer_.data();
        const ssize_t got = pread(descriptor_, target, size_t(direct ? count - done : capacity), position_);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error_ = errno;
        if (got <= 0)
            break;
        if (direct) {
            done += got;
            position_ += got;
        } else {
            bufferStart_ = position_;
            bufferLength_ = got;
        }
    }
    return done;
}

int64_t BufferedStream::write(const void* source, int64_t count) {
    if (count <= 0) // libsndfile writes nothing from a null pointer now and then
        return 0;
    const char* bytes = static_cast<const char*>(source);
    const int64_t capacity = int64_t(buffer_.size());
    // Gathered writes must follow one another; a copy of the file read earlier is dropped.
    if (!dirty_ || position_ != bufferStart_ + bufferLength_) {
        if (!flush())
            return 0;
        bufferStart_ = position_;
        bufferLength_ = 0;
    }
    if (bufferLength_ + count > capacity || count >= directBytes()) {
        if (!flush())
            return 0;
        bufferStart_ = position_;
        if (count >= directBytes()) {
            if (!writeOut(bytes, count, position_))
                return 0;
            position_ += count;
            bufferStart_ = position_;
            return count;
        }
    }
    std::memcpy(buffer_.data() + bufferLength_, bytes, size_t(count));
    bufferLength_ += count;
    dirty_ = true;
    position_ += count;
    return count;
}

int64_t BufferedStream::length() {
    struct stat status {};
    if (fstat(descriptor_, &status) != 0) {
        error_ = errno;
        return -1;
    }
    return std::max<int64_t>(status.st_size, dirty_ ? bufferStart_ + bufferLength_ : 0);
}

int64_t BufferedStream::seek(int64_t offset, int whence) {
    int64_t base = 0;
    if (whence == SEEK_CUR)
        base = position_;
    else if (whence == SEEK_END)
        base = length();
    else if (whence != SEEK_SET)
        return -1;
    if (base < 0 || base + offset < 0)
        return -1;
    position_ = base + offset;
    return position_;
}

SF_VIRTUAL_IO BufferedStream::callbacks() {
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* stream) -> sf_count_t { return static_cast<BufferedStream*>(stream)->length(); };
    io.seek = [](sf_count_t offset, int whence, void* stream) -> sf_count_t {
        return static_cast<BufferedStream*>(stream)->seek(offset, whence);
    };
    io.read = [](void* destination, sf_count_t count, void* stream) -> sf_count_t {
        return static_cast<BufferedStream*>(stream)->read(destination, count);
    };
    io.write = [](const void* source, sf_count_t count, void* stream) -> sf_count_t {
        return static_cast<BufferedStream*>(stream)->write(source, count);
    };
    io.tell = [](void* stream) -> sf_count_t { return static_cast<BufferedStream*>(stream)->tell(); };
    return io;
}
