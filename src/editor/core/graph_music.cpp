#include "editor/core/graph_music.h"

#include "editor/core/graph_geometry.h"
#include "editor/core/spectrum_analyzer.h"
#include "raster/pixo.h"
#include "shell/compressor_effect.h"
#include "shell/conversions.h"

#include <algorithm>
#include <cmath>

namespace {

// Levels drawn no further than this far below the graph (the fill then reaches its bottom).
int32_t rowOf(const GraphGeometry& g, double db) {
    return std::clamp(g.yOfDb(db), -1, g.height + 1);
}

// Blends colour over every pixel of the bitmap at or below row top[x] of its column x, at an
// opacity of weight / 256, row by row (the fill of a spectrum; far cheaper than a rectangle per
// column).
void fillBelow(PIXO_IBitmap& bitmap, const std::vector<int32_t>& top, uint32_t colour, int32_t weight) {
    const uint32_t sourceRb = (colour & 0x00FF00FFu) * uint32_t(weight);
    const uint32_t sourceAg = ((colour >> 8) & 0x00FF00FFu) * uint32_t(weight);
    const uint32_t keep = uint32_t(256 - weight);
    const int32_t columns = std::min(int32_t(top.size()), bitmap.width());
    int32_t highest = bitmap.height();
    for (int32_t x = 0; x < columns; ++x)
        highest = std::min(highest, top[size_t(x)]);
    for (int32_t y = std::max(highest, 0); y < bitmap.height(); ++y) {
        uint32_t* row = bitmap.pixels() + size_t(y) * size_t(bitmap.rowSpan());
        for (int32_t x = 0; x < columns; ++x) {
            if (y < top[size_t(x)])
                continue;
            const uint32_t d = row[x];
            const uint32_t rb = ((sourceRb + (d & 0x00FF00FFu) * keep) >> 8) & 0x00FF00FFu;
            const uint32_t ag = ((sourceAg + ((d >> 8) & 0x00FF00FFu) * keep) >> 8) & 0x00FF00FFu;
            row[x] = rb | (ag << 8);
        }
    }
}

// A polyline through one point per column, skipping columns that have none.
template <class RowOf> void strokeColumns(PIXO_IBitmap& bitmap, int32_t width, uint32_t colour, float alpha, RowOf row) {
    int32_t previousX = -1, previousY = 0;
    for (int32_t x = 0; x < width; ++x) {
        int32_t y;
        if (!row(x, y)) {
            previousX = -1;
            continue;
        }
        if (previousX >= 0)
            PIXO_StrokeLine(&bitmap, previousX, previousY, x, y, colour, alpha);
        previousX = x;
        previousY = y;
    }
}

} // namespace

void gainCurveOf(const BandView* views, int32_t count, int32_t currentBand, bool solo, const ResponseContext& context,
                 const GraphGeometry& geometry, std::vector<float>& curveDb) {
    std::vector<ResponseBand> sorted;
    sorted.reserve(size_t(std::max(count, 0)));
    for (int32_t i = 0; i < count; ++i) {
        ResponseBand band = views[i].response;
        band.summed = !solo || i == currentBand;
        sorted.push_back(band);
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const ResponseBand& a, const ResponseBand& b) { return a.frequency < b.frequency; });
    curveDb.resize(size_t(std::max(geometry.width, 0)));
    for (int32_t x = 0; x < geometry.width; ++x) {
        const double gain = bankGainAt(sorted.data(), int32_t(sorted.size()), context.sampleRate, solo,
                                       geometry.frequencyOfX(x)) *
                            context.outputGain;
        curveDb[size_t(x)] = gain > 1e-10 ? float(ampToDb(gain)) : -200.0f;
    }
}

void paintSpectrum(PIXO_IBitmap& bitmap, const GraphGeometry& geometry, const SpectrumAnalyzer& analyzer) {
    const int32_t columns = std::min(analyzer.columns(), geometry.width);
    const float* input = analyzer.inputDb();
    const float* output = analyzer.outputDb();
    std::vector<int32_t> top(size_t(columns), geometry.height);
    for (int32_t x = 0; x < columns; ++x)
        if (input[x] > SpectrumAnalyzer::kSilenceDb)
            top[size_t(x)] = std::max(rowOf(geometry, input[x]), 0);
    fillBelow(bitmap, top, kSpectrumInputColour, int32_t(std::lround(kSpectrumInputAlpha * 256)));
    strokeColumns(bitmap, columns, kSpectrumOutputColour, kSpectrumOutputAlpha, [&](int32_t x, int32_t& y) {
        if (output[x] <= SpectrumAnalyzer::kSilenceDb)
            return false;
        y = rowOf(geometry, output[x]);
        return y < geometry.height;
    });
}

void paintGainCurve(PIXO_IBitmap& bitmap, const GraphGeometry& geometry, const std::vector<float>& curveDb) {
    const int32_t zero = geometry.yOfDb(0.0);
    PIXO_StrokeLine(&bitmap, 0, zero, geometry.width - 1, zero, kGainCurveZeroColour, 1.0f);
    const int32_t columns = std::min(int32_t(curveDb.size()), geometry.width);
    strokeColumns(bitmap, columns, kGainCurveColour, 1.0f, [&](int32_t x, int32_t& y) {
        y = rowOf(geometry, curveDb[size_t(x)]);
        return true;
    });
}
