#include "render/progress_bar.h"

#include <cmath>
#include <cstdio>

namespace {

double clampedFraction(double fraction) {
    return fraction < 0 ? 0 : fraction > 1 ? 1 : fraction;
}

std::string bar(double fraction, int barWidth) {
    const int filled = int(fraction * barWidth);
    return "[" + std::string(size_t(filled), '#') + std::string(size_t(barWidth - filled), '-') + "]";
}

std::string minutesAndSeconds(double seconds) {
    const int minutes = int(seconds / 60);
    char text[32];
    std::snprintf(text, sizeof(text), "%d:%04.1f", minutes, seconds - 60.0 * minutes);
    return text;
}

} // namespace

std::string formatProgressLine(double fraction, double elapsedSeconds, double realTimeFactor, int barWidth) {
    fraction = clampedFraction(fraction);
    char text[96];
    std::snprintf(text, sizeof(text), " %3d%%  %s  %.1fx real time", int(fraction * 100),
                  minutesAndSeconds(elapsedSeconds).c_str(), realTimeFactor);
    return bar(fraction, barWidth) + text;
}

std::string formatBatchProgressLine(int filesDone, int filesTotal, double fraction, double elapsedSeconds,
                                    int barWidth) {
    fraction = clampedFraction(fraction);
    const std::string left =
        fraction > 0 ? minutesAndSeconds(elapsedSeconds * (1 - fraction) / fraction) + " left" : "";
    char text[128];
    std::snprintf(text, sizeof(text), "  %d/%d files %3d%%  %s  %s", filesDone, filesTotal,
                  int(fraction * 100), minutesAndSeconds(elapsedSeconds).c_str(), left.c_str());
    return bar(fraction, barWidth) + text;
}

void ProgressBar::update(int64_t framesDone, int64_t framesTotal, double sampleRate, double elapsedSeconds) {
    if (!enabled_ || elapsedSeconds - lastDrawn_ < 0.1)
        return;
    const double fraction = framesTotal > 0 ? double(framesDone) / double(framesTotal) : 0.0;
    const double speed = elapsedSeconds > 0 ? double(framesDone) / sampleRate / elapsedSeconds : 0.0;
    draw(formatProgressLine(fraction, elapsedSeconds, speed, 30), elapsedSeconds);
}

void ProgressBar::draw(const std::string& line, double elapsedSeconds) {
    if (!enabled_ || elapsedSeconds - lastDrawn_ < 0.1)
        return;
    lastDrawn_ = elapsedSeconds;
    std::fprintf(stream_, "\r%s", line.c_str());
    std::fflush(stream_);
    drawn_ = true;
}

void ProgressBar::finish() {
    if (!drawn_)
        return;
    std::fprintf(stream_, "\r%79s\r", "");
    std::fflush(stream_);
    drawn_ = false;
}
