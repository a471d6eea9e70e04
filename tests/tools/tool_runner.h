// Runs tarnwell-render as a child process and captures its exit code and output, and makes the
// audio files the tests feed it.
#pragma once

#include <string>
#include <vector>

struct ToolResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ToolResult runRender(const std::vector<std::string>& arguments);

// A private directory, removed with everything in it when the object goes.
class ScratchDirectory {
  public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    std::string path(const std::string& name) const { return root_ + "/" + name; }

  private:
    std::string root_;
};

// A tarnwell-render started in the background, for tests that signal it while it runs.
class RunningRender {
  public:
    explicit RunningRender(const std::vector<std::string>& arguments);
    ~RunningRender();
    RunningRender(const RunningRender&) = delete;
    RunningRender& operator=(const RunningRender&) = delete;

    bool started() const { return pid_ > 0; }
    void signal(int number);
    // Waits for the process to end.
    ToolResult finish();

  private:
    ScratchDirectory capture_;
    int pid_ = -1;
};

bool fileExists(const std::string& path);
// The names in a folder, hidden ones included.
std::vector<std::string> folderEntries(const std::string& path);
std::vector<unsigned char> fileBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// Writes interleaved float frames with the given libsndfile format; false on failure.
bool writeAudio(const std::string& path, int format, int channels, int sampleRate,
                const std::vector<float>& interleaved);
// Reads a whole file as interleaved floats; false when it cannot be opened.
bool readAudio(const std::string& path, int& format, int& channels, int& sampleRate,
               std::vector<float>& interleaved);
