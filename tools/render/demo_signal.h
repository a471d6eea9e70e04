// A deterministic music-like test piece at 120 beats per minute: a sustained chord throughout,
// then kick on every beat, a bass line on the eighths and noise hats on the off-beats from the
// third bar, so the level has quiet and loud stretches for a compressor to act on.
#pragma once

#include <vector>

void synthesizeDemo(std::vector<float>& left, std::vector<float>& right, double seconds, double sampleRate);
