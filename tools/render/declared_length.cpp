#include "render/declared_length.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

uint64_t fromBytes(const unsigned char* bytes, int count, bool bigEndian) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value |= uint64_t(bytes[bigEndian ? i : count - 1 - i]) << (8 * (count - 1 - i));
    return value;
}

// The chunks of a RIFF or IFF file after its 12-byte header: four-character id, 32-bit size,
// body, padded to an even length.
template <typename OnChunk> void walkChunks(FILE* file, bool bigEndian, OnChunk onChunk) {
    long offset = 12;
    unsigned char header[8];
    while (std::fseek(file, offset, SEEK_SET) == 0 && std::fread(header, 1, 8, file) == 8) {
        const uint64_t size = fromBytes(header + 4, 4, bigEndian);
        if (!onChunk(std::string(reinterpret_cast<const char*>(header), 4), size))
            return;
        offset += long(8 + size + (size & 1));
    }
}

// Reads up to `count` bytes of the current chunk's body; false when fewer are there.
bool readBody(FILE* file, unsigned char* body, size_t count) {
    return std::fread(body, 1, count, file) == count;
}

int64_t waveFrames(FILE* file, bool bigEndian, bool rf64) {
    uint64_t blockAlign = 0, dataSize = 0, largeDataSize = 0;
    bool haveData = false;
    walkChunks(file, bigEndian, [&](const std::string& id, uint64_t size) {
        unsigned char body[16];
        if (id == "fmt " && size >= 14 && readBody(file, body, 14))
            blockAlign = fromBytes(body + 12, 2, bigEndian);
        else if (id == "ds64" && size >= 16 && readBody(file, body, 16))
            largeDataSize = fromBytes(body + 8, 8, bigEndian);
        else if (id == "data") {
            dataSize = size;
            haveData = true;
        }
        return !(haveData && blockAlign);
    });
    if (rf64 && dataSize == 0xFFFFFFFF)
        dataSize = largeDataSize;
    if (!haveData || !blockAlign || dataSize == 0 || dataSize == 0xFFFFFFFF)
        return -1;
    return int64_t(dataSize / blockAlign);
}

int64_t aiffFrames(FILE* file) {
    int64_t frames = -1;
    walkChunks(file, true, [&](const std::string& id, uint64_t size) {
        unsigned char body[6];
        if (id == "COMM" && size >= 6 && readBody(file, body, 6)) {
            frames = int64_t(fromBytes(body + 2, 4, true));
            return false;
        }
        return true;
    });
    return frames;
}

} // namespace

int64_t declaredFrameCount(const std::string& path) {
    File file(std::fopen(path.c_str(), "rb"));
    unsigned char header[12];
    if (!file || std::fread(header, 1, 12, file.get()) != 12)
        return -1;
    const std::string container(reinterpret_cast<const char*>(header), 4);
    const std::string form(reinterpret_cast<const char*>(header + 8), 4);
    if (form == "WAVE" && (container == "RIFF" || container == "RIFX" || container == "RF64"))
        return waveFrames(file.get(), container == "RIFX", container == "RF64");
    if (container == "FORM" && (form == "AIFF" || form == "AIFC"))
        return aiffFrames(file.get());
    return -1;
}
