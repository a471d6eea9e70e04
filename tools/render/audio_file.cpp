#include "render/audio_file.h"

#include "render/declared_length.h"
#include "render/pcm24.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

struct NamedFormat {
    const char* name;
    int format;
};

constexpr NamedFormat kContainers[] = {
    {"wav", SF_FORMAT_WAV},   {"aiff", SF_FORMAT_AIFF}, {"aif", SF_FORMAT_AIFF},
    {"flac", SF_FORMAT_FLAC}, {"ogg", SF_FORMAT_OGG},
};

constexpr NamedFormat kEncodings[] = {
    {"8", SF_FORMAT_PCM_S8},      {"16", SF_FORMAT_PCM_16},   {"24", SF_FORMAT_PCM_24},
    {"32", SF_FORMAT_PCM_32},     {"float", SF_FORMAT_FLOAT}, {"double", SF_FORMAT_DOUBLE},
    {"vorbis", SF_FORMAT_VORBIS},
};

int lookUp(const std::string& name, const NamedFormat* table, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (name == table[i].name)
            return table[i].format;
    return 0;
}

// Encodings where a WAV header's data size over its block size is the number of frames.
bool isPlainSampleEncoding(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return true;
    default:
        return false;
    }
}

bool isRegularFile(int descriptor) {
    struct stat status {};
    return descriptor >= 0 && fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
}

// Opens `descriptor` through `stream` when it is a regular file; null otherwise, or when
// libsndfile does not take it (the caller then opens it as before, for the same messages).
SNDFILE* openBuffered(int descriptor, int mode, SF_INFO& info, std::unique_ptr<BufferedStream>& stream) {
    if (!isRegularFile(descriptor))
        return nullptr;
    stream = std::make_unique<BufferedStream>(descriptor);
    SF_VIRTUAL_IO io = BufferedStream::callbacks();
    SNDFILE* file = sf_open_virtual(&io, mode, &info, stream.get());
    if (!file)
        stream.reset();
    return file;
}

// 24-bit PCM in a little-endian WAV: the samples this tool converts itself.
bool isLittleEndianPcm24Wav(SNDFILE* file, int format) {
    return (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV && (format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_24 &&
           sf_command(file, SFC_RAW_DATA_NEEDS_ENDSWAP, nullptr, 0) == SF_FALSE;
}

bool isValid(int format, int channels) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = 44100;
    return sf_format_check(&info) != 0;
}

std::string formatName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof(info)) != 0 || !info.name)
        return "unknown";
    return info.name;
}

} // namespace

std::string describeFormat(int sndfileFormat) {
    return formatName(sndfileFormat & SF_FORMAT_TYPEMASK) + ", " +
           formatName(sndfileFormat & SF_FORMAT_SUBMASK);
}

bool clipsAtFullScale(int sndfileFormat) {
    switch (sndfileFormat & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return true;
    default:
        return false;
    }
}

bool resolveOutputFormat(const std::string& request, int inputFormat, int channels, int& outputFormat,
                         std::string& error) {
    int container = inputFormat & SF_FORMAT_TYPEMASK;
    int encoding = 0;
    if (!request.empty()) {
        const size_t colon = request.find(':');
        const std::string first = request.substr(0, colon);
        const std::string second = colon == std::string::npos ? "" : request.substr(colon + 1);
        const size_t containerCount = sizeof(kContainers) / sizeof(kContainers[0]);
        const size_t encodingCount = sizeof(kEncodings) / sizeof(kEncodings[0]);
        if (int named = lookUp(first, kContainers, containerCount)) {
            container = named;
            if (colon != std::string::npos) {
                encoding = lookUp(second, kEncodings, encodingCount);
                if (!encoding) {
                    error = "unknown encoding '" + second + "' in --format " + request +
                            " (8, 16, 24, 32, float, double, vorbis)";
                    return false;
                }
            }
        } else if (colon == std::string::npos && (encoding = lookUp(first, kEncodings, encodingCount)) != 0) {
            // An encoding alone keeps the input's container.
        } else {
            error = "unknown --format " + request + " (wav, aiff, flac, ogg, optionally :ENCODING)";
            return false;
        }
    }
    if (encoding) {
        outputFormat = container | encoding;
        if (!isValid(outputFormat, channels)) {
            error = "--format " + request + ": " + describeFormat(outputFormat) +
                    " is not a combination libsndfile can write";
            return false;
        }
        return true;
    }
    const int kept = container | (inputFormat & SF_FORMAT_SUBMASK);
    const int fallback = container | (container == SF_FORMAT_OGG ? SF_FORMAT_VORBIS : SF_FORMAT_PCM_24);
    outputFormat = isValid(kept, channels) ? kept : fallback;
    if (!isValid(outputFormat, channels)) {
        error = "cannot write " + describeFormat(outputFormat) + " files";
        return false;
    }
    return true;
}

bool AudioReader::open(const std::string& path, std::string& error) {
    close();
    SF_INFO info{};
    descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    file_ = openBuffered(descriptor_, SFM_READ, info, stream_);
    if (!file_) {
        // A pipe, or a headerless file libsndfile knows only by its name's extension.
        if (descriptor_ >= 0)
            ::close(descriptor_);
        descriptor_ = -1;
        info = SF_INFO{};
        file_ = sf_open(path.c_str(), SFM_READ, &info);
    }
    if (!file_) {
        error = "cannot read " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    path_ = path;
    rawPcm24_ = isLittleEndianPcm24Wav(file_, info.format);
    format_.sndfileFormat = info.format;
    format_.sampleRate = info.samplerate;
    format_.channels = info.channels;
    frames_ = info.frames;
    // libsndfile says SF_COUNT_MAX for a length it does not know, and only estimates MPEG's.
    const bool lengthKnown =
        info.frames != SF_COUNT_MAX && (info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_MPEG;
    promisedFrames_ = lengthKnown ? info.frames : 0;
    if (isPlainSampleEncoding(info.format))
        promisedFrames_ = std::max(promisedFrames_, declaredFrameCount(path));
    return true;
}

void AudioReader::close() {
    if (file_)
        sf_close(file_);
    file_ = nullptr;
    stream_.reset();
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
}

int64_t AudioReader::read(float* interleaved, int64_t frames) {
    if (rawPcm24_) {
        const int64_t frameBytes = 3 * int64_t(format_.channels);
        if (raw_.size() < size_t(frames * frameBytes))
            raw_.resize(size_t(frames * frameBytes));
        const sf_count_t bytes = sf_read_raw(file_, raw_.data(), frames * frameBytes);
        if (bytes < frames * frameBytes &&
            (sf_error(file_) != SF_ERR_NO_ERROR || (stream_ && stream_->error() != 0)))
            return -1;
        const int64_t got = bytes / frameBytes;
        pcm24ToFloat(raw_.data(), got * format_.channels, interleaved);
        return got;
    }
    const sf_count_t got = sf_readf_float(file_, interleaved, frames);
    if (got < frames && (sf_error(file_) != SF_ERR_NO_ERROR || (stream_ && stream_->error() != 0)))
        return -1;
    return got;
}

std::string AudioReader::lastError() const {
    if (stream_ && stream_->error() != 0)
        return std::strerror(stream_->error());
    return sf_strerror(file_);
}

bool AudioWriter::open(int descriptor, const std::string& name, const AudioFormat& format,
                       std::string& error) {
    discard();
    SF_INFO info{};
    info.format = format.sndfileFormat;
    info.samplerate = format.sampleRate;
    info.channels = format.channels;
    file_ = openBuffered(descriptor, SFM_WRITE, info, stream_);
    if (!file_)
        file_ = sf_open_fd(descriptor, SFM_WRITE, &info, SF_FALSE);
    if (!file_) {
        error = "cannot write " + name + ": " + sf_strerror(nullptr);
        return false;
    }
    name_ = name;
    descriptor_ = descriptor;
    framesWritten_ = 0;
    channels_ = format.channels;
    rawPcm24_ = isLittleEndianPcm24Wav(file_, format.sndfileFormat);
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // No PEAK chunk in float files: it stamps the time of writing, and the same render should
    // give the same bytes whenever it runs.
    sf_command(file_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    return true;
}

bool AudioWriter::write(const float* interleaved, int64_t frames, std::string& error) {
    if (rawPcm24_) {
        const int64_t samples = frames * channels_;
        if (raw_.size() < size_t(3 * samples))
            raw_.resize(size_t(3 * samples));
        floatToPcm24(interleaved, samples, raw_.data());
        if (sf_write_raw(file_, raw_.data(), 3 * samples) != 3 * samples) {
            error = "cannot write " + name_ + ": " + systemError();
            return false;
        }
        framesWritten_ += frames;
        return true;
    }
    if (sf_writef_float(file_, interleaved, frames) != frames) {
        error = "cannot write " + name_ + ": " + systemError();
        return false;
    }
    framesWritten_ += frames;
    return true;
}

bool AudioWriter::close(std::string& error) {
    if (!file_)
        return true;
    const int result = sf_close(file_);
    file_ = nullptr;
    if (result != 0) {
        error = "cannot finish " + name_ + ": " + sf_error_number(result);
        stream_.reset();
        return false;
    }
    // libsndfile's last header bytes may still be in the buffer.
    const bool flushed = !stream_ || stream_->flush();
    const std::string unflushed = flushed ? "" : std::strerror(stream_->error());
    stream_.reset();
    if (!flushed) {
        error = "cannot finish " + name_ + ": " + unflushed;
        return false;
    }
    struct stat status {};
    const int accessMode = fcntl(descriptor_, F_GETFL) & O_ACCMODE;
    if (fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode) || accessMode != O_RDWR)
        return true;
    // From the start: libsndfile takes a descriptor's offset for where an embedded file begins.
    SF_INFO info{};
    SNDFILE* check =
        lseek(descriptor_, 0, SEEK_SET) == 0 ? sf_open_fd(descriptor_, SFM_READ, &info, SF_FALSE) : nullptr;
    if (!check) {
        error = "cannot finish " + name_ + ": libsndfile cannot read back the file it wrote (" +
                sf_strerror(nullptr) + ")";
        return false;
    }
    sf_close(check);
    if (info.frames != framesWritten_) {
        error = "cannot finish " + name_ + ": the file reads back with " + std::to_string(info.frames) +
                " frames of the " + std::to_string(framesWritten_) + " written";
        return false;
    }
    return true;
}

void AudioWriter::discard() {
    if (file_)
        sf_close(file_);
    file_ = nullptr;
    stream_.reset();
}

std::string AudioWriter::systemError() const {
    if (stream_ && stream_->error() != 0)
        return std::strerror(stream_->error());
    return sf_strerror(file_);
}
