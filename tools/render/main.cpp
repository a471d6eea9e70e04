// tarnwell-render INPUT OUTPUT [options]: renders an audio file through a VST 2.4 plug-in.
// Exit codes: 0 success, 1 usage error, 2 input/output error, 3 plug-in error. Every output is
// written under a temporary name and renamed into place only when the whole run succeeds.
#include "host/parameter_values.h"
#include "host/plugin_session.h"
#include "render/audio_file.h"
#include "render/level_plot.h"
#include "render/program_file.h"
#include "render/render_options.h"
#include "render/renderer.h"
#include "render/run_summary.h"
#include "render/same_file.h"
#include "render/staged_file.h"

#include <unistd.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>

namespace {

enum ExitCode { kSuccess = 0, kUsageError = 1, kFileError = 2, kPluginError = 3 };

// Set by the handler on whichever thread the signal lands; a lock-free atomic is safe there.
std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the interrupt flag is set from a signal handler");

void onInterrupt(int) {
    interruptRequested.store(true);
}

int fail(ExitCode code, const std::string& message) {
    std::fprintf(stderr, "tarnwell-render: %s\n", message.c_str());
    return code;
}

std::string defaultPluginPath() {
    char executable[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", executable, sizeof(executable) - 1);
    if (length <= 0)
        return "Tarnwell.so";
    std::string path(executable, size_t(length));
    return path.substr(0, path.rfind('/') + 1) + "Tarnwell.so";
}

// No file may be both read and written in one run, or written twice: the second use would
// destroy the first.
int refuseSharedFiles(const RenderOptions& options) {
    struct FileUse {
        const char* name;
        const std::string& path;
        bool written;
    };
    const FileUse uses[] = {
        {"INPUT", options.inputPath, false},
        {"OUTPUT", options.outputPath, true},
        {"--plot", options.plotPath, true},
        {"--save-state", options.saveStatePath, true},
        {"--load-state", options.loadStatePath, false},
    };
    const size_t count = sizeof(uses) / sizeof(uses[0]);
    for (size_t i = 0; i < count; ++i)
        for (size_t j = i + 1; j < count; ++j) {
            const FileUse& first = uses[i];
            const FileUse& second = uses[j];
            if (first.path.empty() || second.path.empty() || !(first.written || second.written))
                continue;
            if (sameFile(first.path, second.path))
                return fail(kUsageError, std::string(first.name) + " and " + second.name +
                                             " are the same file (" + second.path + "); choose another " +
                                             (second.written ? second.name : first.name));
        }
    return kSuccess;
}

int loadState(PluginSession& plugin, const std::string& path) {
    std::vector<uint8_t> bytes, chunk;
    std::string error;
    if (!readWholeFile(path, bytes, error))
        return fail(kFileError, error);
    if (!extractStateChunk(bytes, hasProgramFileExtension(path), plugin.uniqueId(), chunk, error))
        return fail(kFileError, path + ": " + error);
    plugin.loadStateChunk(chunk);
    return kSuccess;
}

int stageState(PluginSession& plugin, StagedFile& file, const std::string& path) {
    const std::vector<uint8_t> chunk = plugin.stateChunk();
    if (chunk.empty())
        return fail(kPluginError, plugin.path() + ": the plug-in gave no state chunk to save to " + path);
    std::string error;
    if (!file.create(path, error) ||
        !file.writeAll(buildProgramFile(chunk, {plugin.uniqueId(), plugin.version()}, ""), error))
        return fail(kFileError, error);
    return kSuccess;
}

int applySettings(PluginSession& plugin, const std::vector<std::string>& settings, bool confirm) {
    for (const std::string& assignment : settings) {
        ParameterSetting setting;
        std::string error;
        if (!resolveParameterSetting(plugin, assignment, setting, error))
            return fail(kUsageError, error);
        plugin.setParameterValue(setting.index, setting.value);
        if (confirm)
            std::printf("set      %s\n", describeParameter(plugin, setting.index).c_str());
    }
    return kSuccess;
}

// Renames every staged file onto its destination, once nothing can fail any more.
int commitAll(StagedFile* const* files, size_t count) {
    if (interruptRequested.load())
        return fail(kFileError, "interrupted; no file was written");
    for (size_t i = 0; i < count; ++i) {
        std::string error;
        if (files[i]->descriptor() >= 0 && !files[i]->commit(error))
            return fail(kFileError, error);
    }
    return kSuccess;
}

int run(const RenderOptions& options) {
    if (int code = refuseSharedFiles(options))
        return code;
    // From here on a signal ends the run through the failure path, which removes temporaries.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    std::signal(SIGHUP, onInterrupt);

    const bool rendering = !options.inputPath.empty();
    AudioReader reader;
    AudioFormat outputFormat;
    std::string error;
    if (rendering) {
        if (!reader.open(options.inputPath, error))
            return fail(kFileError, error);
        const AudioFormat& in = reader.format();
        if (in.channels < 1 || in.channels > 2)
            return fail(kFileError, options.inputPath + ": " + std::to_string(in.channels) +
                                        " channels, only mono and stereo files can be rendered");
        outputFormat.sampleRate = in.sampleRate;
        outputFormat.channels = 2;
        if (!resolveOutputFormat(options.format, in.sndfileFormat, 2, outputFormat.sndfileFormat, error))
            return fail(kUsageError, error);
    }

    PluginSession plugin;
    const std::string pluginPath = options.pluginPath.empty() ? defaultPluginPath() : options.pluginPath;
    if (!plugin.open(pluginPath, error))
        return fail(kPluginError, error);
    if (!options.loadStatePath.empty())
        if (int code = loadState(plugin, options.loadStatePath))
            return code;
    if (int code = applySettings(plugin, options.settings, rendering))
        return code;
    if (options.listParameters) {
        std::fputs(formatParameterList(plugin).c_str(), stdout);
        std::fflush(stdout);
    }

    // Every output is staged before the long part, so a folder that cannot be written to fails
    // the run before the audio is rendered.
    StagedFile stateFile, plotFile, audioFile;
    StagedFile* const staged[] = {&stateFile, &plotFile, &audioFile};
    if (!options.saveStatePath.empty())
        if (int code = stageState(plugin, stateFile, options.saveStatePath))
            return code;
    if (!rendering)
        return commitAll(staged, 3);
    if (!audioFile.create(options.outputPath, error) ||
        (!options.plotPath.empty() && !plotFile.create(options.plotPath, error)))
        return fail(kFileError, error);
    AudioWriter writer;
    if (!writer.open(audioFile.descriptor(), options.outputPath, outputFormat, error))
        return fail(kFileError, error);

    plugin.start(reader.format().sampleRate);
    ProgressBar progress(stderr, !options.quiet && isatty(STDERR_FILENO));
    RenderRun result(reader.format().sampleRate);
    RenderPipeline pipeline;
    pipeline.blockSize = options.blockSize;
    if (!renderFile(reader, writer, plugin, pipeline, progress, &interruptRequested, result, error))
        return fail(kFileError, error + "; no file was written");

    if (!options.plotPath.empty()) {
        LevelPlotData plot;
        plot.inputRms = result.input.windowRms();
        plot.outputRms = result.output.windowRms();
        plot.windowSeconds = double(result.input.windowFrames()) / reader.format().sampleRate;
        plot.title = options.inputPath + " \u2192 " + options.outputPath + " through " +
                     pluginPath.substr(pluginPath.rfind('/') + 1);
        std::vector<uint8_t> png;
        if (!encodeLevelPlot(options.plotWidth, options.plotHeight, plot, png, error))
            return fail(kFileError,
                        "cannot draw " + options.plotPath + ": " + error + "; no file was written");
        if (!plotFile.writeAll(png, error))
            return fail(kFileError, error + "; no file was written");
    }
    if (!writer.close(error))
        return fail(kFileError, error + "; no file was written");
    plugin.stop();
    if (int code = commitAll(staged, 3))
        return code;

    SummaryFacts facts;
    facts.inputPath = options.inputPath;
    facts.outputPath = options.outputPath;
    facts.inputFormat = describeFormat(reader.format().sndfileFormat);
    facts.outputFormat = describeFormat(outputFormat.sndfileFormat);
    facts.sampleRate = reader.format().sampleRate;
    facts.inputChannels = reader.format().channels;
    facts.wallSeconds = result.wallSeconds;
    facts.processSeconds = result.processSeconds;
    facts.readSeconds = result.readSeconds;
    facts.writeSeconds = result.writeSeconds;
    std::fputs(formatSummary(facts, result.input, result.output).c_str(), stdout);
    return kSuccess;
}

} // namespace

int main(int argc, char** argv) {
    RenderOptions options;
    std::string error;
    if (!parseRenderArguments(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "tarnwell-render: %s (see --help)\n", error.c_str());
        return kUsageError;
    }
    if (options.showHelp) {
        std::fputs(renderUsage().c_str(), stdout);
        return kSuccess;
    }
    return run(options);
}
