#include "render/progress_bar.h"

#include <cmath>

std::string formatProgressLine(double fraction, double elapsedSeconds, double realTimeFactor, int barWidth) {
    fraction = fraction < 0 ? 0 : fraction > 1 ? 1 : fraction;
    const int filled = int(fraction * barWidth);
    std::string line =
        "[" + std::string(size_t(filled), '#') + std::string(size_t(barWidth - filled), '-') + "]";
    const int minutes = int(elapsedSeconds / 60);
    char text[96];
    std::snprintf(text, sizeof(text), " %3d%%  %d:%04.1f  %.1fx real time", int(fraction * 100), minutes,
                  elapsedSeconds - 60.0 * minutes, realTimeFactor);
    return line + text;
}

void ProgressBar::update(int64_t framesDone, int64_t framesTotal, double sampleRate, double elapsedSeconds) {
    if (!enabled_ || elapsedSeconds - lastDrawn_ < 0.1)
        return;
    lastDrawn_ = elapsedSeconds;
    const double fraction = framesTotal > 0 ? double(framesDone) / double(framesTotal) : 0.0;
    const double speed = elapsedSeconds > 0 ? double(framesDone) / sampleRate / elapsedSeconds : 0.0;
    std::fprintf(stream_, "\r%s", formatProgressLine(fraction, elapsedSeconds, speed, 30).c_str());
    std::fflush(stream_);
    drawn_ = true;
}

void ProgressBar::finish() {
    if (!drawn_)
        return;
    std::fprintf(stream_, "\r%70s\r", "");
    std::fflush(stream_);
    drawn_ = false;
}
