// The number of frames a WAV (RIFF, RIFX, RF64) or AIFF header promises, read from the file
// itself. libsndfile quietly cuts its own count to the bytes present, so a WAV or AIFF cut
// short looks whole through it; this count does not. -1 when the file is neither, when the
// header does not say (a streaming writer's size of 0 or 0xFFFFFFFF) or cannot be read.
// For WAV the count is the data size over the block size: meaningful for plain sample
// encodings (PCM, float, A-law, u-law), not for block codecs such as ADPCM.
#pragma once

#include <cstdint>
#include <string>

int64_t declaredFrameCount(const std::string& path);
