// What the response graph shows of the music, behind everything else it draws: the spectrum
// analyzer's input (a dim filled area) and output (a brighter line), and the gain the plug-in
// applies at each frequency right now (a line about the 0 dB line, dipping where bands
// compress). Both on the graph's frequency and level axes: a full-scale sine peaks at 0 dB.
#pragma once

#include <cstdint>
#include <vector>

class PIXO_IBitmap;
class SpectrumAnalyzer;
struct BandView;
struct GraphGeometry;
struct ResponseContext;

// The colours (0xAARRGGBB) and opacities of the three.
constexpr uint32_t kSpectrumInputColour = 0xFF2E5A80;
constexpr float kSpectrumInputAlpha = 0.55f;
constexpr uint32_t kSpectrumOutputColour = 0xFF8CD2FF;
constexpr float kSpectrumOutputAlpha = 0.85f;
constexpr uint32_t kGainCurveColour = 0xFFFFF0B4;
constexpr uint32_t kGainCurveZeroColour = 0xFF5A5A5A;

// The total gain in dB at each column's frequency: each band's present gain times its split's
// response, summed as the bands sum (solo mutes all but the current band), times the output
// gain. views in list order, as CompressorEffect::viewBands copies them.
void gainCurveOf(const BandView* views, int32_t count, int32_t currentBand, bool solo, const ResponseContext& context,
                 const GraphGeometry& geometry, std::vector<float>& curveDb);

void paintSpectrum(PIXO_IBitmap& bitmap, const GraphGeometry& geometry, const SpectrumAnalyzer& analyzer);
void paintGainCurve(PIXO_IBitmap& bitmap, const GraphGeometry& geometry, const std::vector<float>& curveDb);
