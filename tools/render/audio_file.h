// Audio files through libsndfile: a reader that hands out interleaved 32-bit float frames, a
// writer that takes them (clipping, not wrapping, when the encoding is integer), and the
// --format choice of container and encoding. A writer that is not closed successfully
// removes its file, so a failed run leaves no partial output behind.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>

struct AudioFormat {
    int sndfileFormat = 0; // SF_FORMAT_* container | encoding
    int sampleRate = 0;
    int channels = 0;
};

// "WAV (Microsoft), Signed 24 bit PCM" and the like.
std::string describeFormat(int sndfileFormat);

// Resolves --format: "CONTAINER", "CONTAINER:ENCODING" or "ENCODING" alone. Containers: wav,
// aiff, flac, ogg; encodings: 8, 16, 24, 32 (integer PCM), float, double, vorbis. What is not
// named is kept from the input when the combination is valid, else 24-bit PCM (Vorbis for ogg).
bool resolveOutputFormat(const std::string& request, int inputFormat, int channels, int& outputFormat,
                         std::string& error);

class AudioReader {
  public:
    AudioReader() = default;
    ~AudioReader() { close(); }
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    bool open(const std::string& path, std::string& error);
    void close();
    const AudioFormat& format() const { return format_; }
    int64_t frames() const { return frames_; }
    // Reads up to `frames` interleaved frames; returns how many were read, 0 at the end, -1 on error.
    int64_t read(float* interleaved, int64_t frames);
    std::string lastError() const;

  private:
    SNDFILE* file_ = nullptr;
    AudioFormat format_;
    int64_t frames_ = 0;
};

class AudioWriter {
  public:
    AudioWriter() = default;
    ~AudioWriter() { discard(); }
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    bool open(const std::string& path, const AudioFormat& format, std::string& error);
    bool write(const float* interleaved, int64_t frames, std::string& error);
    // Finishes the file; on failure the file is removed.
    bool close(std::string& error);
    // Closes and removes the file when it is still open.
    void discard();

  private:
    SNDFILE* file_ = nullptr;
    std::string path_;
};
