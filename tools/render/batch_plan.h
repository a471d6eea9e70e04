// Where each input of a batch is written: into the output folder under its own name, with the
// extension of the container --format names when that differs (song.wav with --format flac
// becomes song.flac). Planning refuses, before anything is read or written, a batch in which
// two inputs would write one output, an output would replace an input or the --load-state file,
// or the folder is not a folder.
#pragma once

#include "render/render_options.h"

#include <string>
#include <vector>

struct BatchFile {
    std::string inputPath;
    std::string outputPath;
};

// The output path of one input: folder/name, the extension following --format's container.
std::string batchOutputPath(const std::string& folder, const std::string& inputPath,
                            const std::string& formatRequest);

// False with a one-line error naming the clash; the files in command-line order otherwise.
bool planBatch(const RenderOptions& options, std::vector<BatchFile>& files, std::string& error);
