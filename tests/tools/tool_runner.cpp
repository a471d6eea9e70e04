#include "tool_runner.h"

#include <sndfile.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string fileText(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

} // namespace

ToolResult runRender(const std::vector<std::string>& arguments) {
    ScratchDirectory capture;
    std::string command = shellQuoted(TARNWELL_RENDER_PATH);
    for (const std::string& argument : arguments)
        command += " " + shellQuoted(argument);
    command +=
        " >" + shellQuoted(capture.path("out")) + " 2>" + shellQuoted(capture.path("err")) + " </dev/null";
    ToolResult result;
    const int status = std::system(command.c_str());
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = fileText(capture.path("out"));
    result.err = fileText(capture.path("err"));
    return result;
}

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwell-render-test-XXXXXX").string();
    if (char* made = mkdtemp(pattern.data()))
        root_ = made;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    if (!root_.empty())
        std::filesystem::remove_all(root_, ignored);
}

bool fileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::vector<unsigned char> fileBytes(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(stream),
                                      std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream stream(path, std::ios::binary);
    stream.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool writeAudio(const std::string& path, int format, int channels, int sampleRate,
                const std::vector<float>& interleaved) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    const sf_count_t frames = sf_count_t(interleaved.size()) / channels;
    const bool written = sf_writef_float(file, interleaved.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

bool readAudio(const std::string& path, int& format, int& channels, int& sampleRate,
               std::vector<float>& interleaved) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return false;
    format = info.format;
    channels = info.channels;
    sampleRate = info.samplerate;
    interleaved.assign(size_t(info.frames * info.channels), 0.0f);
    const sf_count_t got = sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    return got == info.frames;
}
