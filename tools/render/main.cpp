// tarnwell-render INPUT OUTPUT [options]: renders an audio file through a VST 2.4 plug-in;
// tarnwell-render [options] --out-dir DIR INPUT...: renders many, several at once.
// Exit codes: 0 success, 1 usage error, 2 input/output error (any file of a batch), 3 plug-in
// error. Every output is written under a temporary name and renamed into place only when its
// render succeeds.
#include "host/parameter_values.h"
#include "render/batch_plan.h"
#include "render/batch_render.h"
#include "render/batch_summary.h"
#include "render/level_plot.h"
#include "render/render_setup.h"
#include "render/run_summary.h"
#include "render/same_file.h"
#include "shell/compressor_effect.h"
#include "shell/preset_library.h"
#include "shell/program_file.h"
#include "shell/state_block.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

// Set by the handler on whichever thread the signal lands; a lock-free atomic is safe there.
std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the interrupt flag is set from a signal handler");

void onInterrupt(int) {
    interruptRequested.store(true);
}

// From here on a signal ends the run through the failure path, which removes temporaries.
void catchInterrupts() {
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    std::signal(SIGHUP, onInterrupt);
}

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "tarnwell-render: %s\n", message.c_str());
    return code;
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

// The plug-in with the command line's settings, and its parameter list when --list asks.
int preparePlugin(PluginSession& plugin, const RenderOptions& options, bool confirm) {
    std::string error;
    if (int code = configurePlugin(plugin, options, confirm, error))
        return fail(code, error);
    if (options.listParameters) {
        std::fputs(formatParameterList(plugin).c_str(), stdout);
        std::fflush(stdout);
    }
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

// The plug-in's setting as it stands, kept to be saved as a user preset at the end of the run.
int takePresetSetting(PluginSession& plugin, const std::string& name, std::vector<uint8_t>& block) {
    if (plugin.uniqueId() != kUniqueId)
        return fail(kUsageError, "--save-preset " + name + ": presets are Tarnwell's, and " + plugin.path() +
                                     " is plug-in '" + fourCharacterCode(plugin.uniqueId()) + "'");
    block = plugin.stateChunk();
    const StateBlockParts parts = splitStateBlock(block.data(), block.size());
    if (!parts.complete)
        return fail(kPluginError, plugin.path() + ": the plug-in gave no complete state to save as a preset");
    // A preset is one setting: the other A/B setting stays out of it.
    block.resize(parts.settingSize);
    return kSuccess;
}

int savePresetSetting(const std::string& name, const std::vector<uint8_t>& block) {
    PresetLibrary library(userPresetFolder());
    std::string error;
    if (!library.save(name, block, error))
        return fail(kFileError, "--save-preset: " + error);
    std::printf("saved    preset \"%s\" in %s\n", name.c_str(), library.folder().c_str());
    return kSuccess;
}

void listPresets() {
    for (const PresetEntry& entry : PresetLibrary(userPresetFolder()).list())
        std::printf("%-8s %s\n", entry.factory ? "factory" : "user", entry.name.c_str());
    std::fflush(stdout);
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

int drawPlot(const RenderOptions& options, const RenderRun& result, double sampleRate, StagedFile& plotFile) {
    LevelPlotData plot;
    plot.inputRms = result.input.windowRms();
    plot.outputRms = result.output.windowRms();
    plot.windowSeconds = double(result.input.windowFrames()) / sampleRate;
    const std::string pluginPath = pluginPathOf(options);
    plot.title = options.inputPath + " \u2192 " + options.outputPath + " through " +
                 pluginPath.substr(pluginPath.rfind('/') + 1);
    std::vector<uint8_t> png;
    std::string error;
    if (!encodeLevelPlot(options.plotWidth, options.plotHeight, plot, png, error))
        return fail(kFileError, "cannot draw " + options.plotPath + ": " + error + "; no file was written");
    if (!plotFile.writeAll(png, error))
        return fail(kFileError, error + "; no file was written");
    return kSuccess;
}

int renderOne(const RenderOptions& options) {
    if (int code = refuseSharedFiles(options))
        return code;
    catchInterrupts();

    const bool rendering = !options.inputPath.empty();
    AudioReader reader;
    AudioFormat outputFormat;
    std::string error;
    if (rendering)
        if (int code = openInput(options.inputPath, options.format, reader, outputFormat, error))
            return fail(code, error);

    PluginSession plugin;
    if (int code = preparePlugin(plugin, options, rendering))
        return code;

    // Every output is staged before the long part, so a folder that cannot be written to fails
    // the run before the audio is rendered.
    StagedFile stateFile, plotFile, audioFile;
    StagedFile* const staged[] = {&stateFile, &plotFile, &audioFile};
    if (!options.saveStatePath.empty())
        if (int code = stageState(plugin, stateFile, options.saveStatePath))
            return code;
    std::vector<uint8_t> presetSetting;
    if (!options.savePresetName.empty())
        if (int code = takePresetSetting(plugin, options.savePresetName, presetSetting))
            return code;
    if (!rendering) {
        if (int code = commitAll(staged, 3))
            return code;
        return options.savePresetName.empty() ? kSuccess
                                              : savePresetSetting(options.savePresetName, presetSetting);
    }
    if (!options.plotPath.empty() && !plotFile.create(options.plotPath, error))
        return fail(kFileError, error);

    ProgressBar progress(stderr, !options.quiet && isatty(STDERR_FILENO));
    RenderRun result(reader.format().sampleRate);
    RenderPipeline pipeline;
    pipeline.blockSize = options.blockSize;
    if (int code = renderIntoStaged(reader, outputFormat, options.outputPath, plugin, pipeline, progress,
                                    &interruptRequested, audioFile, result, error))
        return fail(code, error);
    if (!options.plotPath.empty())
        if (int code = drawPlot(options, result, reader.format().sampleRate, plotFile))
            return code;
    if (int code = commitAll(staged, 3))
        return code;
    if (!options.savePresetName.empty())
        if (int code = savePresetSetting(options.savePresetName, presetSetting))
            return code;

    SummaryFacts facts;
    facts.inputPath = options.inputPath;
    facts.outputPath = options.outputPath;
    facts.inputFormat = describeFormat(reader.format().sndfileFormat);
    facts.outputFormat = describeFormat(outputFormat.sndfileFormat);
    facts.sampleRate = reader.format().sampleRate;
    facts.inputChannels = reader.format().channels;
    facts.outputClipsAtFullScale = clipsAtFullScale(outputFormat.sndfileFormat);
    facts.wallSeconds = result.wallSeconds;
    facts.processSeconds = result.processSeconds;
    facts.readSeconds = result.readSeconds;
    facts.writeSeconds = result.writeSeconds;
    std::fputs(formatSummary(facts, result.input, result.output).c_str(), stdout);
    return kSuccess;
}

int renderBatch(const RenderOptions& options) {
    std::vector<BatchFile> plan;
    std::string error;
    if (!planBatch(options, plan, error))
        return fail(kUsageError, error);
    int unusedFormat = 0;
    if (!resolveOutputFormat(options.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, unusedFormat, error))
        return fail(kUsageError, error);
    // The plug-in and the settings are tried once before any file starts, so that a wrong name
    // stops the batch instead of failing every file.
    {
        PluginSession probe;
        if (int code = preparePlugin(probe, options, true))
            return code;
    }
    catchInterrupts();

    const int workers =
        options.jobs > 0 ? options.jobs : int(std::max(1u, std::thread::hardware_concurrency()));
    ProgressBar progress(stderr, !options.quiet && isatty(STDERR_FILENO));
    BatchRun run;
    renderBatchFiles(options, plan, workers, &interruptRequested, progress, run);
    std::fputs(formatBatchSummary(run).c_str(), stdout);
    std::fflush(stdout);
    if (interruptRequested.load())
        return fail(kFileError, "interrupted; the files not finished were not written");
    const size_t failed = size_t(std::count_if(run.files.begin(), run.files.end(),
                                               [](const BatchFileResult& file) { return file.code != 0; }));
    if (failed > 0)
        return fail(kFileError,
                    std::to_string(failed) + " of " + std::to_string(run.files.size()) + " files failed");
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
    if (options.listPresets) {
        listPresets();
        // Listing needs no plug-in: a run that asks for nothing else ends here.
        if (options.outputFolder.empty() && options.inputPath.empty() && !options.listParameters &&
            options.saveStatePath.empty() && options.savePresetName.empty())
            return kSuccess;
    }
    return options.outputFolder.empty() ? renderOne(options) : renderBatch(options);
}
