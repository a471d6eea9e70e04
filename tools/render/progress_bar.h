// The progress line drawn on a terminal while rendering: a bar, the percentage, the elapsed
// time and the speed as a multiple of real time; for a batch, the files done and the time
// left. Redraws at most ten times a second; finish() wipes the line so the summary starts on
// a clean one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// "[############--------]  60%  0:01.2  213.5x real time" with a bar of barWidth characters.
std::string formatProgressLine(double fraction, double elapsedSeconds, double realTimeFactor, int barWidth);

// "[######--------------]  3/8 files  30%  0:04.2  0:09.8 left": the time left assumes the
// rest goes as fast as what is done so far.
std::string formatBatchProgressLine(int filesDone, int filesTotal, double fraction, double elapsedSeconds,
                                    int barWidth);

class ProgressBar {
  public:
    ProgressBar(FILE* stream, bool enabled) : stream_(stream), enabled_(enabled) {}
    void update(int64_t framesDone, int64_t framesTotal, double sampleRate, double elapsedSeconds);
    // Draws any line (a batch's) at the same pace.
    void draw(const std::string& line, double elapsedSeconds);
    void finish();

  private:
    FILE* stream_;
    bool enabled_;
    bool drawn_ = false;
    double lastDrawn_ = -1.0;
};
