#include "render/run_summary.h"

#include <cmath>
#include <cstdio>

namespace {

std::string decibels(double db) {
    if (std::isnan(db))
        return "-";
    if (std::isinf(db))
        return db < 0 ? "-inf" : "+inf";
    char text[32];
    std::snprintf(text, sizeof(text), "%.2f", db);
    return text;
}

std::string levelRow(const char* label, double peakLeft, double peakRight, double rmsLeft, double rmsRight) {
    char text[160];
    std::snprintf(text, sizeof(text), "  %-8s %9s %9s %9s %9s\n", label, decibels(peakLeft).c_str(),
                  decibels(peakRight).c_str(), decibels(rmsLeft).c_str(), decibels(rmsRight).c_str());
    return text;
}

} // namespace

std::string formatClipping(const LevelMeter& output) {
    const int64_t clipped = output.samplesOverFullScale();
    if (clipped == 0)
        return "";
    char text[256];
    std::snprintf(text, sizeof(text),
                  "clipped  %lld sample%s above full scale (up to %+.2f dBFS), written as full scale; "
                  "--format :float or a lower --output-gain keeps them\n",
                  static_cast<long long>(clipped), clipped == 1 ? "" : "s",
                  amplitudeToDb(std::fmax(output.peak(0), output.peak(1))));
    return text;
}

std::string formatSummary(const SummaryFacts& facts, const LevelMeter& input, const LevelMeter& output) {
    const double duration = facts.sampleRate > 0 ? double(input.frames()) / facts.sampleRate : 0.0;
    char text[512];
    std::string summary;
    std::snprintf(text, sizeof(text), "input    %s: %s, %d Hz, %s, %.3f s\n", facts.inputPath.c_str(),
                  facts.inputFormat.c_str(), facts.sampleRate, facts.inputChannels == 1 ? "mono" : "stereo",
                  duration);
    summary += text;
    std::snprintf(text, sizeof(text), "output   %s: %s, %d Hz, stereo\n", facts.outputPath.c_str(),
                  facts.outputFormat.c_str(), facts.sampleRate);
    summary += text;
    summary += "  dBFS        peak L    peak R     RMS L     RMS R\n";
    double in[4], out[4];
    for (int c = 0; c < 2; ++c) {
        in[c] = amplitudeToDb(input.peak(c));
        in[2 + c] = amplitudeToDb(input.rms(c));
        out[c] = amplitudeToDb(output.peak(c));
        out[2 + c] = amplitudeToDb(output.rms(c));
    }
    summary += levelRow("input", in[0], in[1], in[2], in[3]);
    summary += levelRow("output", out[0], out[1], out[2], out[3]);
    // Against silence the change has no meaning; show it as such.
    double change[4];
    for (int i = 0; i < 4; ++i)
        change[i] = std::isinf(in[i]) || std::isinf(out[i]) ? NAN : out[i] - in[i];
    summary += levelRow("change", change[0], change[1], change[2], change[3]);
    if (facts.outputClipsAtFullScale)
        summary += formatClipping(output);
    const double speed = facts.wallSeconds > 0 ? duration / facts.wallSeconds : 0.0;
    std::snprintf(text, sizeof(text),
                  "rendered %.3f s of audio in %.3f s (plug-in %.3f s, reading %.3f s, writing %.3f s): "
                  "%.1fx real time\n",
                  duration, facts.wallSeconds, facts.processSeconds, facts.readSeconds, facts.writeSeconds,
                  speed);
    summary += text;
    return summary;
}
