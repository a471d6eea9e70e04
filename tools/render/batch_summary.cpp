#include "render/batch_summary.h"

#include "render/level_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string peakText(double amplitude) {
    const double db = amplitudeToDb(amplitude);
    if (db == -HUGE_VAL)
        return "-inf";
    char text[32];
    std::snprintf(text, sizeof(text), "%+.2f", db);
    return text;
}

std::string lengthText(int64_t frames, int sampleRate) {
    const double seconds = sampleRate > 0 ? double(frames) / sampleRate : 0.0;
    const int minutes = int(seconds / 60);
    char text[32];
    std::snprintf(text, sizeof(text), "%d:%06.3f", minutes, seconds - 60.0 * minutes);
    return text;
}

} // namespace

std::string formatBatchSummary(const BatchRun& run) {
    size_t nameWidth = 4;
    for (const BatchFileResult& result : run.files)
        nameWidth = std::max(nameWidth, result.file.inputPath.size());
    char text[512];
    std::snprintf(text, sizeof(text), "%-*s  %11s  %8s  %8s  %8s  %s\n", int(nameWidth), "file", "length",
                  "peak in", "peak out", "clipped", "result");
    std::string summary = text;
    int rendered = 0, failed = 0, notStarted = 0;
    bool anyClipped = false;
    double audioSeconds = 0;
    for (const BatchFileResult& result : run.files) {
        const bool succeeded = result.started && result.code == 0;
        rendered += succeeded;
        failed += result.started && !succeeded;
        notStarted += !result.started;
        const std::string clipped =
            !succeeded || !result.clipsAtFullScale ? "-" : std::to_string(result.clipped);
        anyClipped = anyClipped || (succeeded && result.clipsAtFullScale && result.clipped > 0);
        if (succeeded && result.sampleRate > 0)
            audioSeconds += double(result.frames) / result.sampleRate;
        const std::string outcome = !result.started ? "not started (interrupted)"
                                    : succeeded     ? "ok"
                                                    : "failed: " + result.error;
        std::snprintf(text, sizeof(text), "%-*s  %11s  %8s  %8s  %8s  ", int(nameWidth),
                      result.file.inputPath.c_str(),
                      succeeded ? lengthText(result.frames, result.sampleRate).c_str() : "-",
                      succeeded ? peakText(result.inputPeak).c_str() : "-",
                      succeeded ? peakText(result.outputPeak).c_str() : "-", clipped.c_str());
        summary += text + outcome + "\n";
    }
    if (anyClipped)
        summary +=
            "clipped samples lie above full scale and were written as full scale; --format :float or a "
            "lower --output-gain keeps them\n";
    const std::string waiting = notStarted > 0 ? ", " + std::to_string(notStarted) + " not started" : "";
    std::snprintf(text, sizeof(text),
                  "%d of %zu files rendered, %d failed%s: %.3f s of audio in %.3f s, %.1fx real time\n",
                  rendered, run.files.size(), failed, waiting.c_str(), audioSeconds, run.wallSeconds,
                  run.wallSeconds > 0 ? audioSeconds / run.wallSeconds : 0.0);
    return summary + text;
}
