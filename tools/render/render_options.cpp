#include "render/render_options.h"

#include "render/output_gain.h"

#include <cerrno>
#include <cstdlib>

namespace {

bool parseInteger(const std::string& text, long low, long high, int& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size() || number < low || number > high)
        return false;
    value = int(number);
    return true;
}

bool parseDecibels(const std::string& text, double low, double high, double& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const double number = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !(number >= low && number <= high))
        return false;
    value = number;
    return true;
}

bool parsePlotSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    return x != std::string::npos && parseInteger(text.substr(0, x), 320, 8192, width) &&
           parseInteger(text.substr(x + 1), 240, 8192, height);
}

} // namespace

std::string renderUsage() {
    return "usage: tarnwell-render INPUT OUTPUT [options]\n"
           "       tarnwell-render [options] --out-dir DIR INPUT...   (a batch)\n"
           "       tarnwell-render --list | --save-state FILE [options]   (no audio)\n"
           "       tarnwell-render --list-presets | --save-preset NAME [options]   (no audio)\n"
           "Renders audio files through a VST 2.4 plug-in, as a host would.\n"
           "  --plugin PATH         the plug-in library (default: Tarnwell.so next to this tool)\n"
           "  --set NAME=VALUE      set a parameter in its display unit, e.g. 2-Thresh=-24, 1-Active=off\n"
           "  --set INDEX=VALUE     set parameter INDEX to a normalised value, e.g. 14=0.3\n"
           "  --output-gain DB      the output gain in dB, -120 to 120, set after --load-state\n"
           "  --list                print every parameter with its value and unit\n"
           "  --load-state FILE     load a program file (.fxp) or a raw state chunk before the --set "
           "options\n"
           "  --save-state FILE     write the state, after --load-state and --set, as a program file\n"
           "  --preset NAME         load a factory or user preset, after --load-state and before the\n"
           "                        --set options and --output-gain\n"
           "  --list-presets        print the factory presets, then the user's\n"
           "  --save-preset NAME    save the final setting as a user preset\n"
           "  --format FMT          output format: wav, aiff, flac or ogg, optionally :8, :16, :24, :32,\n"
           "                        :float, :double or :vorbis (default: the input's format)\n"
           "  --block N             frames per processReplacing call (default 512)\n"
           "  --plot FILE.png       draw input and output level and the gain change over time\n"
           "  --plot-size WxH       size of the picture in pixels (default 1200x600)\n"
           "  --out-dir DIR         render every INPUT into the folder DIR under its own name\n"
           "  -j N, --jobs N        files rendered at once in a batch (default: one per core)\n"
           "  --quiet               no progress display\n"
           "  --help                this text\n"
           "Exit codes: 0 success, 1 usage error, 2 input/output error (in a batch: any file failed),\n"
           "3 plug-in error.\n";
}

bool parseRenderArguments(const std::vector<std::string>& arguments, RenderOptions& options,
                          std::string& error) {
    std::vector<std::string> files;
    bool jobsGiven = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        std::string value;
        bool hasInlineValue = false;
        if (option.compare(0, 2, "-j") == 0) {
            // -j N and -jN, as make and compilers take them.
            if (option.size() > 2) {
                value = option.substr(2);
                hasInlineValue = true;
            }
            option = "--jobs";
        } else if (option.compare(0, 2, "--") == 0) {
            const size_t equals = option.find('=');
            if (equals != std::string::npos) {
                value = option.substr(equals + 1);
                option = option.substr(0, equals);
                hasInlineValue = true;
            }
        } else if (option.size() > 1 && option[0] == '-') {
            error = "unknown option " + option;
            return false;
        } else {
            files.push_back(option);
            continue;
        }

        if (option == "--help") {
            options.showHelp = true;
            return true;
        }
        if (option == "--list" || option == "--quiet" || option == "--list-presets") {
            if (hasInlineValue) {
                error = option + " takes no value";
                return false;
            }
            (option == "--list"    ? options.listParameters
             : option == "--quiet" ? options.quiet
                                   : options.listPresets) = true;
            continue;
        }
        static const char* const kValued[] = {
            "--plugin",    "--set",  "--load-state", "--save-state",  "--format", "--block",      "--plot",
            "--plot-size", "--jobs", "--out-dir",    "--output-gain", "--preset", "--save-preset"};
        bool known = false;
        for (const char* name : kValued)
            known = known || option == name;
        if (!known) {
            error = "unknown option " + option;
            return false;
        }
        if (!hasInlineValue) {
            if (i + 1 >= arguments.size()) {
                error = option + " needs a value";
                return false;
            }
            value = arguments[++i];
        }
        if (value.empty()) {
            error = option + " needs a value";
            return false;
        }
        if (option == "--plugin")
            options.pluginPath = value;
        else if (option == "--set")
            options.settings.push_back(value);
        else if (option == "--load-state")
            options.loadStatePath = value;
        else if (option == "--save-state")
            options.saveStatePath = value;
        else if (option == "--format")
            options.format = value;
        else if (option == "--plot")
            options.plotPath = value;
        else if (option == "--out-dir")
            options.outputFolder = value;
        else if (option == "--preset")
            options.presetName = value;
        else if (option == "--save-preset")
            options.savePresetName = value;
        else if (option == "--output-gain") {
            if (!parseDecibels(value, kLowestOutputGainDb, kHighestOutputGainDb, options.outputGainDb)) {
                error = "--output-gain " + value + ": expected a gain in dB from -120 to 120";
                return false;
            }
            options.hasOutputGain = true;
        } else if (option == "--jobs") {
            if (!parseInteger(value, 1, 256, options.jobs)) {
                error = "-j " + value + ": expected a whole number of workers from 1 to 256";
                return false;
            }
            jobsGiven = true;
        } else if (option == "--block") {
            if (!parseInteger(value, 1, 1 << 20, options.blockSize)) {
                error = "--block " + value + ": expected a whole number of frames from 1 to 1048576";
                return false;
            }
        } else if (!parsePlotSize(value, options.plotWidth, options.plotHeight)) {
            error =
                "--plot-size " + value + ": expected WIDTHxHEIGHT, at least 320x240 and at most 8192x8192";
            return false;
        }
    }

    if (!options.outputFolder.empty()) {
        if (files.empty()) {
            error = "--out-dir needs INPUT files";
            return false;
        }
        if (!options.plotPath.empty() || !options.saveStatePath.empty() || !options.savePresetName.empty()) {
            error = "--plot, --save-state and --save-preset belong to a single INPUT OUTPUT render, not to "
                    "--out-dir";
            return false;
        }
        options.batchInputs = files;
        return true;
    }
    if (jobsGiven) {
        error = "-j needs --out-dir";
        return false;
    }
    if (files.empty()) {
        if (!options.listParameters && options.saveStatePath.empty() && !options.listPresets &&
            options.savePresetName.empty()) {
            error = "missing INPUT and OUTPUT files";
            return false;
        }
        if (!options.plotPath.empty() || !options.format.empty()) {
            error = "--plot and --format need INPUT and OUTPUT files";
            return false;
        }
        return true;
    }
    if (files.size() != 2) {
        error = files.size() == 1 ? "missing OUTPUT file after " + files[0]
                                  : "too many file arguments (" + files[2] + ")";
        return false;
    }
    options.inputPath = files[0];
    options.outputPath = files[1];
    return true;
}
