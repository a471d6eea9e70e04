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
    for (int32_t x = 0; x < columns; ++x) {
        if (input[x] <= SpectrumAnalyzer::kSilenceDb)
            continue;
        const int32_t y = std::max(rowOf(geometry, input[x]), 0);
        if (y < geometry.height)
            PIXO_PaintRect(&bitmap, x, y, 1, geometry.height - y, kSpectrumInputColour, kSpectrumInputAlpha,
                           PIXO_BLEND_COPY);
    }
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
