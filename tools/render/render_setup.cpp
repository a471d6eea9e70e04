#include "render/render_setup.h"

#include "host/parameter_values.h"
#include "render/output_gain.h"
#include "shell/compressor_effect.h"
#include "shell/preset_library.h"
#include "shell/program_file.h"

#include <unistd.h>

#include <climits>
#include <cstdio>

namespace {

int loadState(PluginSession& plugin, const std::string& path, std::string& error) {
    std::vector<uint8_t> bytes, chunk;
    if (!readWholeFile(path, bytes, error))
        return kFileError;
    if (!extractStateChunk(bytes, hasProgramFileExtension(path), plugin.uniqueId(), chunk, error)) {
        error = path + ": " + error;
        return kFileError;
    }
    plugin.loadStateChunk(chunk);
    return kSuccess;
}

// Presets hold Tarnwell's state block: another plug-in is refused rather than handed one.
int loadPresetChunk(PluginSession& plugin, const std::string& name, std::string& error) {
    if (plugin.uniqueId() != kUniqueId) {
        error = "--preset " + name + ": presets are Tarnwell's, and " + plugin.path() + " is plug-in '" +
                fourCharacterCode(plugin.uniqueId()) + "'";
        return kUsageError;
    }
    std::vector<uint8_t> block;
    if (!PresetLibrary(userPresetFolder()).load(name, block, error)) {
        error = "--preset: " + error + " (see --list-presets)";
        return kUsageError;
    }
    plugin.loadStateChunk(block);
    return kSuccess;
}

int applySettings(PluginSession& plugin, const std::vector<std::string>& settings, bool confirm,
                  std::string& error) {
    for (const std::string& assignment : settings) {
        ParameterSetting setting;
        if (!resolveParameterSetting(plugin, assignment, setting, error))
            return kUsageError;
        plugin.setParameterValue(setting.index, setting.value);
        if (confirm)
            std::printf("set      %s\n", describeParameter(plugin, setting.index).c_str());
    }
    return kSuccess;
}

} // namespace

std::string pluginPathOf(const RenderOptions& options) {
    if (!options.pluginPath.empty())
        return options.pluginPath;
    char executable[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", executable, sizeof(executable) - 1);
    if (length <= 0)
        return "Tarnwell.so";
    std::string path(executable, size_t(length));
    return path.substr(0, path.rfind('/') + 1) + "Tarnwell.so";
}

int configurePlugin(PluginSession& plugin, const RenderOptions& options, bool confirm, std::string& error) {
    if (!plugin.open(pluginPathOf(options), error))
        return kPluginError;
    if (!options.loadStatePath.empty())
        if (int code = loadState(plugin, options.loadStatePath, error))
            return code;
    if (!options.presetName.empty())
        if (int code = loadPresetChunk(plugin, options.presetName, error))
            return code;
    if (int code = applySettings(plugin, options.settings, confirm, error))
        return code;
    if (options.hasOutputGain) {
        if (!setOutputGain(plugin, options.outputGainDb, error))
            return kPluginError;
        if (confirm)
            std::printf("set      output gain = %+.2f dB\n", options.outputGainDb);
    }
    return kSuccess;
}

int openInput(const std::string& path, const std::string& formatRequest, AudioReader& reader,
              AudioFormat& outputFormat, std::string& error) {
    if (!reader.open(path, error))
        return kFileError;
    const AudioFormat& in = reader.format();
    if (in.channels < 1 || in.channels > 2) {
        error = path + ": " + std::to_string(in.channels) +
                " channels, only mono and stereo files can be rendered";
        return kFileError;
    }
    outputFormat.sampleRate = in.sampleRate;
    outputFormat.channels = 2;
    if (!resolveOutputFormat(formatRequest, in.sndfileFormat, 2, outputFormat.sndfileFormat, error))
        return kUsageError;
    return kSuccess;
}

int renderIntoStaged(AudioReader& reader, const AudioFormat& outputFormat, const std::string& outputPath,
                     PluginSession& plugin, const RenderPipeline& pipeline, ProgressBar& progress,
                     const std::atomic<bool>* interrupted, StagedFile& audioFile, RenderRun& run,
                     std::string& error) {
    AudioWriter writer;
    if (!audioFile.create(outputPath, error) ||
        !writer.open(audioFile.descriptor(), outputPath, outputFormat, error))
        return kFileError;
    plugin.start(reader.format().sampleRate);
    const bool rendered = renderFile(reader, writer, plugin, pipeline, progress, interrupted, run, error) &&
                          writer.close(error);
    plugin.stop();
    if (!rendered) {
        error += "; no file was written";
        return kFileError;
    }
    return kSuccess;
}
