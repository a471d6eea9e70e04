// The progress line drawn on a terminal while rendering: a bar, the percentage, the elapsed
// time and the speed as a multiple of real time. Redraws at most ten times a second; finish()
// wipes the line so the summary starts on a clean one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// "[############--------]  60%  0:01.2  213.5x real time" with a bar of barWidth characters.
std::string formatProgressLine(double fraction, double elapsedSeconds, double realTimeFactor, int barWidth);

class ProgressBar {
  public:
    ProgressBar(FILE* stream, bool enabled) : stream_(stream), enabled_(enabled) {}
    void update(int64_t framesDone, int64_t framesTotal, double sampleRate, double elapsedSeconds);
    void finish();

  private:
    FILE* stream_;
    bool enabled_;
    bool drawn_ = false;
    double lastDrawn_ = -1.0;
};
