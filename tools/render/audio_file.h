// Audio files through libsndfile: a reader that hands out interleaved 32-bit float frames and
// knows how many its file promised, a writer that takes them (clipping, not wrapping, when the
// encoding is integer) into a file it is given open, and the --format choice of container and
// encoding. Written files hold no time stamp: the same samples give the same bytes. The writer neither creates nor removes files: a StagedFile does.
// Regular files are read and written through a BufferedStream, a megabyte per system call;
// pipes and devices go to libsndfile as they are. 24-bit WAV samples are converted here (see
// pcm24.h), with the same results as libsndfile's conversion at a fraction of its cost.
#pragma once

#include "render/buffered_stream.h"

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AudioFormat {
    int sndfileFormat = 0; // SF_FORMAT_* container | encoding
    int sampleRate = 0;
    int channels = 0;
};

// "WAV (Microsoft), Signed 24 bit PCM" and the like.
std::string describeFormat(int sndfileFormat);

// Whether the encoding stores integers (PCM of any width, A-law, mu-law), which cannot hold a
// sample beyond full scale: the writer clips it. Float, double and Vorbis keep such samples.
bool clipsAtFullScale(int sndfileFormat);

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
    const std::string& path() const { return path_; }
    const AudioFormat& format() const { return format_; }
    // The length libsndfile reports (for a WAV or AIFF cut short: what is left of it).
    int64_t frames() const { return frames_; }
    // The length the file's header promises, which a whole file delivers: the larger of the
    // WAV or AIFF header's own count and libsndfile's. 0 when the header does not say (a FLAC
    // stream of unknown length, MPEG, whose length libsndfile estimates).
    int64_t promisedFrames() const { return promisedFrames_; }
    // Reads up to `frames` interleaved frames; returns how many were read, 0 at the end, -1 on error.
    int64_t read(float* interleaved, int64_t frames);
    std::string lastError() const;

  private:
    SNDFILE* file_ = nullptr;
    int descriptor_ = -1;
    std::unique_ptr<BufferedStream> stream_; // for a regular file
    bool rawPcm24_ = false;                  // read raw and converted here
    std::vector<unsigned char> raw_;
    std::string path_;
    AudioFormat format_;
    int64_t frames_ = 0;
    int64_t promisedFrames_ = 0;
};

class AudioWriter {
  public:
    AudioWriter() = default;
    ~AudioWriter() { discard(); }
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    // Writes into the open file `descriptor`, which stays open; `name` is for messages. A
    // regular file is written from its start.
    bool open(int descriptor, const std::string& name, const AudioFormat& format, std::string& error);
    bool write(const float* interleaved, int64_t frames, std::string& error);
    // Finishes the file: headers and lengths written. A regular file opened for reading too is
    // then read back: libsndfile writes some files it cannot open (a FLAC file without frames
    // is empty), and one that does not open with every frame written is an error.
    bool close(std::string& error);
    // Stops writing; what is in the file is of no further use.
    void discard();

  private:
    std::string systemError() const;

    SNDFILE* file_ = nullptr;
    int descriptor_ = -1;
    std::unique_ptr<BufferedStream> stream_; // for a regular file
    bool rawPcm24_ = false;                  // converted here and written raw
    int channels_ = 0;
    std::vector<unsigned char> raw_;
    int64_t framesWritten_ = 0;
    std::string name_;
};
