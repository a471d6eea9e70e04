// The steps a single render and every file of a batch share: the exit codes, the plug-in
// loaded and given the command line's settings, the input opened with its output format
// chosen, and one input rendered into a staged output. Errors come back as a code and a
// one-line message; nothing here prints but the --set confirmations.
#pragma once

#include "host/plugin_session.h"
#include "render/audio_file.h"
#include "render/render_options.h"
#include "render/renderer.h"
#include "render/staged_file.h"

#include <atomic>
#include <string>

enum ExitCode { kSuccess = 0, kUsageError = 1, kFileError = 2, kPluginError = 3 };

// --plugin, or Tarnwell.so next to the running tool.
std::string pluginPathOf(const RenderOptions& options);

// Opens the plug-in and applies, in this order, --load-state, --preset (which replaces the
// loaded state), the --set options (printing each when `confirm`) and --output-gain.
int configurePlugin(PluginSession& plugin, const RenderOptions& options, bool confirm, std::string& error);

// Opens a mono or stereo input and picks its stereo output's format from --format.
int openInput(const std::string& path, const std::string& formatRequest, AudioReader& reader,
              AudioFormat& outputFormat, std::string& error);

// Stages `outputPath`, renders the whole input into it through the configured plug-in and
// finishes the file; the caller commits `audioFile` when everything else of its run is done.
int renderIntoStaged(AudioReader& reader, const AudioFormat& outputFormat, const std::string& outputPath,
                     PluginSession& plugin, const RenderPipeline& pipeline, ProgressBar& progress,
                     const std::atomic<bool>* interrupted, StagedFile& audioFile, RenderRun& run,
                     std::string& error);
