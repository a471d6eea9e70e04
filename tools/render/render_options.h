// The command line of tarnwell-render: two file arguments (or, with --out-dir, any number of
// inputs) and the options, parsed into one record. Parsing checks only the form of each option (numbers,
// sizes, a missing value); what the files and parameter names refer to is checked when they are used.
#pragma once

#include <string>
#include <vector>

struct RenderOptions {
    std::string inputPath; // a single render
    std::string outputPath;
    std::string outputFolder;             // a batch: --out-dir
    std::vector<std::string> batchInputs; // a batch: every INPUT, in command-line order
    int jobs = 0;                         // a batch's workers; 0: one per core
    std::string pluginPath;               // empty: Tarnwell.so next to the tool
    std::string format;                   // empty: the input's format
    std::string loadStatePath;
    std::string saveStatePath;
    std::string plotPath;
    std::string presetName;     // --preset: a factory or user preset, after --load-state
    std::string savePresetName; // --save-preset: the final setting saved as a user preset
    bool listPresets = false;
    std::vector<std::string> settings; // NAME=VALUE or INDEX=NORMALISED, in command-line order
    bool hasOutputGain = false;
    double outputGainDb = 0;
    int blockSize = 512;
    int plotWidth = 1200;
    int plotHeight = 600;
    bool listParameters = false;
    bool quiet = false;
    bool showHelp = false;
};

// False with a one-line error for a malformed command line; --help sets showHelp and stops.
bool parseRenderArguments(const std::vector<std::string>& arguments, RenderOptions& options,
                          std::string& error);

std::string renderUsage();
