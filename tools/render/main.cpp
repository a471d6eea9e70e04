// tarnwell-render INPUT OUTPUT [options]: renders an audio file through a VST 2.4 plug-in.
// Exit codes: 0 success, 1 usage error, 2 input/output error, 3 plug-in error.
#include "render/audio_file.h"
#include "render/level_plot.h"
#include "host/parameter_values.h"
#include "host/plugin_session.h"
#include "render/program_file.h"
#include "render/render_options.h"
#include "render/renderer.h"
#include "render/run_summary.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdio>

namespace {

enum ExitCode { kSuccess = 0, kUsageError = 1, kFileError = 2, kPluginError = 3 };

volatile std::sig_atomic_t interruptRequested = 0;

void onInterrupt(int) {
    interruptRequested = 1;
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

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
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

int saveState(PluginSession& plugin, const std::string& path) {
    const std::vector<uint8_t> chunk = plugin.stateChunk();
    if (chunk.empty())
        return fail(kPluginError, plugin.path() + ": the plug-in gave no state chunk to save to " + path);
    std::string error;
    if (!writeWholeFile(path, buildProgramFile(chunk, {plugin.uniqueId(), plugin.version()}, ""), error))
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

int run(const RenderOptions& options) {
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
        if (sameFile(options.inputPath, options.outputPath))
            return fail(kUsageError, options.outputPath + " is the input file; choose another output");
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
    if (!options.saveStatePath.empty())
        if (int code = saveState(plugin, options.saveStatePath))
            return code;
    if (!rendering)
        return kSuccess;

    AudioWriter writer;
    if (!writer.open(options.outputPath, outputFormat, error))
        return fail(kFileError, error);
    plugin.start(reader.format().sampleRate);
    ProgressBar progress(stderr, !options.quiet && isatty(STDERR_FILENO));
    RenderRun result(reader.format().sampleRate);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const bool rendered =
        renderFile(reader, writer, plugin, options.blockSize, progress, &interruptRequested, result, error);
    progress.finish();
    if (!rendered) {
        writer.discard();
        return fail(kFileError, options.outputPath + ": " + error + "; the output was removed");
    }

    // The picture comes before the output is finished, so a failed picture leaves no output.
    if (!options.plotPath.empty()) {
        LevelPlotData plot;
        plot.inputRms = result.input.windowRms();
        plot.outputRms = result.output.windowRms();
        plot.windowSeconds = double(result.input.windowFrames()) / reader.format().sampleRate;
        plot.title = options.inputPath + " \u2192 " + options.outputPath + " through " +
                     pluginPath.substr(pluginPath.rfind('/') + 1);
        if (!writeLevelPlot(options.plotPath, options.plotWidth, options.plotHeight, plot, error))
            return fail(kFileError, error + "; the output was removed");
    }

    if (!writer.close(error))
        return fail(kFileError, error);
    plugin.stop();

    SummaryFacts facts;
    facts.inputPath = options.inputPath;
    facts.outputPath = options.outputPath;
    facts.inputFormat = describeFormat(reader.format().sndfileFormat);
    facts.outputFormat = describeFormat(outputFormat.sndfileFormat);
    facts.sampleRate = reader.format().sampleRate;
    facts.inputChannels = reader.format().channels;
    facts.wallSeconds = result.wallSeconds;
    facts.processSeconds = result.processSeconds;
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
