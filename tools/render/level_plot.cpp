#include "render/level_plot.h"

#include "render/level_meter.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

constexpr uint32_t kBackground = 0xFF15171Cu;
constexpr uint32_t kPanel = 0xFF1F232Bu;
constexpr uint32_t kGrid = 0xFF343A46u;
constexpr uint32_t kZeroLine = 0xFF6A7384u;
constexpr uint32_t kText = 0xFFD8DDE6u;
constexpr uint32_t kDimText = 0xFF98A1B0u;
constexpr uint32_t kInputColour = 0xFF4F8FD8u;
constexpr uint32_t kOutputColour = 0xFFF29A3Au;
constexpr uint32_t kGainColour = 0xFF62C98Au;

// Input below this has no meaningful gain change.
constexpr double kSilenceDb = -80.0;

struct Panel {
    int32_t left, top, width, height;
    double topDb, bottomDb;

    int32_t yOf(double db) const {
        const double clamped = std::min(topDb, std::max(bottomDb, db));
        return top + int32_t(std::lround((topDb - clamped) / (topDb - bottomDb) * (height - 1)));
    }
    int32_t bottom() const { return top + height; }
};

void text(PIXO_IFont& font, PIXO_IBitmap& bitmap, const std::string& line, PIXO_Rect box, int32_t flags,
          uint32_t colour) {
    font.SetForeground(colour);
    font.RenderText(&bitmap, line.c_str(), -1, &box, flags | DT_SINGLELINE | DT_NOPREFIX);
}

int32_t textWidth(PIXO_IFont& font, PIXO_IBitmap& bitmap, const std::string& line) {
    PIXO_Rect box = {0, 0, 0, 0};
    font.RenderText(&bitmap, line.c_str(), -1, &box, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return box.right - box.left;
}

std::string formatNumber(const char* format, double value) {
    char buffer[48];
    std::snprintf(buffer, sizeof(buffer), format, value);
    return buffer;
}

// The RMS level of each pixel column in dB: the power of the windows the column covers.
std::vector<double> columnLevels(const std::vector<float>& windows, int32_t columns) {
    std::vector<double> levels(size_t(columns), -HUGE_VAL);
    const size_t count = windows.size();
    if (count == 0)
        return levels;
    for (int32_t x = 0; x < columns; ++x) {
        size_t first = size_t(double(x) * double(count) / columns);
        size_t last = std::max(first + 1, size_t(double(x + 1) * double(count) / columns));
        first = std::min(first, count - 1);
        last = std::min(last, count);
        double power = 0;
        for (size_t w = first; w < last; ++w)
            power += double(windows[w]) * windows[w];
        levels[size_t(x)] = amplitudeToDb(std::sqrt(power / double(last - first)));
    }
    return levels;
}

void drawDbGrid(PIXO_IBitmap& bitmap, PIXO_IFont& font, int32_t fontHeight, const Panel& panel, double step,
                bool signedLabels) {
    PIXO_PaintRect(&bitmap, panel.left, panel.top, panel.width, panel.height, kPanel, 1.0f, PIXO_BLEND_COPY);
    for (double db = panel.topDb; db >= panel.bottomDb - 1e-9; db -= step) {
        const int32_t y = panel.yOf(db);
        const bool zero = std::fabs(db) < 1e-9;
        PIXO_StrokeLine(&bitmap, panel.left, y, panel.left + panel.width - 1, y, zero ? kZeroLine : kGrid,
                        1.0f);
        const std::string label = formatNumber(signedLabels && db > 0 ? "%+g" : "%g", db);
        text(font, bitmap, label, {0, y - fontHeight, panel.left - fontHeight / 2, y + fontHeight},
             DT_RIGHT | DT_VCENTER, kDimText);
    }
}

void drawCurve(PIXO_IBitmap& bitmap, const Panel& panel, const std::vector<double>& levels, uint32_t colour,
               bool fillBelow, double fillFromDb) {
    int32_t previousY = -1;
    for (int32_t x = 0; x < panel.width; ++x) {
        const double db = levels[size_t(x)];
        if (std::isnan(db)) {
            previousY = -1;
            continue;
        }
        const int32_t y = panel.yOf(db);
        if (fillBelow) {
            const int32_t base = panel.yOf(fillFromDb);
            const int32_t top = std::min(y, base), bottom = std::max(y, base);
            PIXO_PaintRect(&bitmap, panel.left + x, top, 1, bottom - top + 1, colour, 0.30f, PIXO_BLEND_COPY);
        }
        if (previousY >= 0) {
            PIXO_StrokeLine(&bitmap, panel.left + x - 1, previousY, panel.left + x, y, colour, 1.0f);
            PIXO_StrokeLine(&bitmap, panel.left + x - 1, previousY + 1, panel.left + x, y + 1, colour, 1.0f);
        }
        previousY = y;
    }
}

} // namespace

double tickStep(double span, int maxTicks, bool time) {
    // Time steps past ten seconds follow the clock: 15 s, 30 s, minutes, quarter hours.
    static const double kClockSteps[] = {10,  15,   30,   60,   120,   300,   600,
                                         900, 1800, 3600, 7200, 14400, 28800, 86400};
    std::vector<double> steps;
    for (double decade = 1e-3; decade < 1e9; decade *= 10)
        for (double factor : {1.0, 2.0, 5.0})
            if (!time || decade * factor < 10)
                steps.push_back(decade * factor);
    if (time)
        steps.insert(steps.end(), std::begin(kClockSteps), std::end(kClockSteps));
    for (double step : steps)
        if (span / step <= std::max(1, maxTicks))
            return step;
    return steps.back();
}

void drawLevelPlot(PIXO_IBitmap& bitmap, PIXO_IFont& font, int32_t fontHeight, const LevelPlotData& data) {
    const int32_t width = bitmap.width(), height = bitmap.height();
    PIXO_PaintRect(&bitmap, 0, 0, width, height, kBackground, 1.0f, PIXO_BLEND_COPY);
    font.SetBackgroundMode(PIXO_BACKGROUND_TRANSPARENT);

    const int32_t left = fontHeight * 4, right = fontHeight * 2;
    const int32_t top = fontHeight * 3, bottom = fontHeight * 7 / 2;
    const int32_t gap = fontHeight * 2;
    const int32_t plotWidth = width - left - right;
    const int32_t available = height - top - bottom - gap;
    const int32_t levelHeight = available * 62 / 100;

    const std::vector<double> input = columnLevels(data.inputRms, plotWidth);
    const std::vector<double> output = columnLevels(data.outputRms, plotWidth);
    std::vector<double> change(size_t(plotWidth), NAN);
    double loudest = -HUGE_VAL, largestChange = 0;
    for (size_t x = 0; x < change.size(); ++x) {
        loudest = std::max({loudest, input[x], output[x]});
        if (input[x] > kSilenceDb && std::isfinite(output[x])) {
            change[x] = output[x] - input[x];
            largestChange = std::max(largestChange, std::fabs(change[x]));
        }
    }

    Panel levels{left, top, plotWidth, levelHeight, 0.0, -72.0};
    if (loudest > 0) {
        levels.topDb = 6 * std::ceil(loudest / 6);
        levels.bottomDb = levels.topDb - 72;
    }
    Panel gain{left, top + levelHeight + gap, plotWidth, available - levelHeight - gap, 3.0, -3.0};
    for (double span : {3.0, 6.0, 12.0, 24.0, 48.0, 96.0}) {
        gain.topDb = span;
        if (largestChange * 1.1 <= span)
            break;
    }
    gain.bottomDb = -gain.topDb;

    drawDbGrid(bitmap, font, fontHeight, levels, 12.0, false);
    drawDbGrid(bitmap, font, fontHeight, gain, gain.topDb / 2, true);

    // Time axis: vertical grid lines through both panels and labels beneath.
    const double duration = double(std::max(data.inputRms.size(), size_t(1))) * data.windowSeconds;
    const bool minutes = duration >= 120;
    const double step = tickStep(duration, std::max(2, plotWidth / (fontHeight * 6)), true);
    for (double t = 0; t <= duration + 1e-9; t += step) {
        const int32_t x = left + int32_t(std::lround(t / duration * (plotWidth - 1)));
        PIXO_StrokeLine(&bitmap, x, levels.top, x, levels.bottom() - 1, kGrid, 1.0f);
        PIXO_StrokeLine(&bitmap, x, gain.top, x, gain.bottom() - 1, kGrid, 1.0f);
        const std::string label =
            minutes ? formatNumber("%.0f:", std::floor(t / 60)) + formatNumber("%02.0f", std::fmod(t, 60.0))
                    : formatNumber("%g", std::round(t * 1000) / 1000);
        text(font, bitmap, label,
             {x - fontHeight * 4, gain.bottom() + fontHeight / 3, x + fontHeight * 4, height},
             DT_CENTER | DT_TOP, kDimText);
    }
    text(font, bitmap, minutes ? "time (min:s)" : "time (s)",
         {left, gain.bottom() + fontHeight * 2, left + plotWidth, height}, DT_CENTER | DT_TOP, kDimText);

    drawCurve(bitmap, levels, input, kInputColour, true, levels.bottomDb);
    drawCurve(bitmap, levels, output, kOutputColour, false, 0);
    drawCurve(bitmap, gain, change, kGainColour, true, 0.0);

    // Title, panel captions and the legend.
    text(font, bitmap, data.title, {left, fontHeight / 2, width - right, top}, DT_LEFT | DT_TOP, kText);
    text(font, bitmap, "level, dBFS (RMS, " + formatNumber("%g", data.windowSeconds * 1000) + " ms)",
         {left, top - fontHeight * 3 / 2, width - right, top}, DT_LEFT | DT_TOP, kDimText);
    text(font, bitmap, "gain change, dB (output - input)",
         {left, gain.top - fontHeight * 3 / 2, width - right, gain.top}, DT_LEFT | DT_TOP, kDimText);
    int32_t legendRight = width - right;
    const std::pair<const char*, uint32_t> legend[] = {{"output", kOutputColour}, {"input", kInputColour}};
    for (const auto& [name, colour] : legend) {
        const int32_t nameWidth = textWidth(font, bitmap, name);
        text(font, bitmap, name, {legendRight - nameWidth, top - fontHeight * 3 / 2, legendRight, top},
             DT_LEFT | DT_TOP, kText);
        const int32_t swatchRight = legendRight - nameWidth - fontHeight / 2;
        PIXO_PaintRect(&bitmap, swatchRight - fontHeight, top - fontHeight, fontHeight, fontHeight / 3 + 1,
                       colour, 1.0f, PIXO_BLEND_COPY);
        legendRight = swatchRight - fontHeight * 2;
    }
}

std::string findPlotFont() {
    static const char* const kCandidates[] = {
        "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
        "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    };
    for (const char* path : kCandidates)
        if (access(path, R_OK) == 0)
            return path;
    return "";
}

bool encodeLevelPlot(int32_t width, int32_t height, const LevelPlotData& data, std::vector<uint8_t>& png,
                     std::string& error) {
    const std::string fontPath = findPlotFont();
    const int32_t fontHeight = std::max(11, std::min(width / 60, height / 36));
    std::unique_ptr<PIXO_CachedFont> font(
        fontPath.empty() ? nullptr : PIXO_CreateCachedFont(fontPath.c_str(), fontHeight));
    if (!font) {
        error = "no usable font (install fonts-liberation)";
        return false;
    }
    PIXO_MemBitmap bitmap;
    if (!bitmap.setSize(width, height) || !bitmap.pixels()) {
        error = "out of memory";
        return false;
    }
    drawLevelPlot(bitmap, *font, fontHeight, data);

    // The bitmap's words are 0xAARRGGBB; PNG wants R, G, B, A bytes.
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* row = bitmap.pixels() + size_t(y) * size_t(bitmap.rowSpan());
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* out = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
            out[0] = uint8_t(row[x] >> 16);
            out[1] = uint8_t(row[x] >> 8);
            out[2] = uint8_t(row[x]);
            out[3] = 0xFF;
        }
    }
    png.clear();
    const auto append = [](void* context, void* bytes, int size) {
        auto* out = static_cast<std::vector<uint8_t>*>(context);
        const auto* first = static_cast<const uint8_t*>(bytes);
        out->insert(out->end(), first, first + size);
    };
    if (!stbi_write_png_to_func(append, &png, width, height, 4, rgba.data(), width * 4)) {
        error = "out of memory";
        return false;
    }
    return true;
}
