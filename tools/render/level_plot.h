// The --plot picture: input and output level over time (RMS of 10 ms windows, dBFS) above the
// gain change (output minus input, dB), each with a dB grid, over a shared time axis, drawn
// with the raster library and labelled through a FreeType font from the system's font folder.
// Windows where the input is near silence have no gain change and leave a gap in that curve.
#pragma once

#include "raster/pixo.h"

#include <string>
#include <vector>

struct LevelPlotData {
    std::vector<float> inputRms;  // amplitude per window
    std::vector<float> outputRms; // amplitude per window, same windows
    double windowSeconds = 0.010;
    std::string title;
};

// A step for axis ticks from 1, 2, 5 times a power of ten (and 15, 30 seconds, minutes) that
// puts at most maxTicks ticks on span.
double tickStep(double span, int maxTicks, bool time);

// Draws into a bitmap of any size of at least 320 x 240.
void drawLevelPlot(PIXO_IBitmap& bitmap, PIXO_IFont& font, int32_t fontHeight, const LevelPlotData& data);

// Draws into a new width x height bitmap and encodes it as PNG; false with the reason (no
// font found, out of memory) when there is no picture.
bool encodeLevelPlot(int32_t width, int32_t height, const LevelPlotData& data, std::vector<uint8_t>& png,
                     std::string& error);

// The first of the usual Debian sans-serif fonts that exists, or empty.
std::string findPlotFont();
