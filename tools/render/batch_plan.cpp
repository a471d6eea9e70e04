#include "render/batch_plan.h"

#include "render/same_file.h"

#include <sys/stat.h>

#include <cctype>
#include <map>

namespace {

// The container word of --format ("flac" of "flac:16"), empty when it names an encoding only.
std::string requestedContainer(const std::string& formatRequest) {
    static const char* const kContainers[] = {"wav", "aiff", "aif", "flac", "ogg"};
    const std::string first = formatRequest.substr(0, formatRequest.find(':'));
    for (const char* container : kContainers)
        if (first == container)
            return first;
    return "";
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string batchOutputPath(const std::string& folder, const std::string& inputPath,
                            const std::string& formatRequest) {
    std::string name = inputPath.substr(inputPath.rfind('/') + 1);
    const std::string container = requestedContainer(formatRequest);
    const size_t dot = name.rfind('.');
    const std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot + 1);
    if (!container.empty() && lowerCase(extension) != container)
        name = (extension.empty() ? name : name.substr(0, dot)) + "." + container;
    return folder + (folder.back() == '/' ? "" : "/") + name;
}

bool planBatch(const RenderOptions& options, std::vector<BatchFile>& files, std::string& error) {
    struct stat status {};
    if (stat(options.outputFolder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        error = "--out-dir " + options.outputFolder + ": not a folder";
        return false;
    }
    files.clear();
    std::map<std::string, std::string> inputOfOutput; // by the path a write lands at
    for (const std::string& input : options.batchInputs) {
        const BatchFile file{input, batchOutputPath(options.outputFolder, input, options.format)};
        const auto [at, isNew] = inputOfOutput.emplace(resolvedPath(file.outputPath), input);
        if (!isNew) {
            error = at->second + " and " + input + " would both be written to " + file.outputPath +
                    "; rename one or render them separately";
            return false;
        }
        files.push_back(file);
    }
    // Links can make an output one of the inputs under another name; only sameFile sees that.
    for (const BatchFile& file : files) {
        for (const std::string& input : options.batchInputs)
            if (sameFile(file.outputPath, input)) {
                error = "the output of " + file.inputPath + " would replace the input " + input +
                        "; choose another --out-dir";
                return false;
            }
        if (!options.loadStatePath.empty() && sameFile(file.outputPath, options.loadStatePath)) {
            error = "the output of " + file.inputPath + " would replace the --load-state file " +
                    options.loadStatePath;
            return false;
        }
    }
    return true;
}
