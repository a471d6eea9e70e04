// A minimal VST 2.4 host: loads a plug-in library, calls its VSTPluginMain with a host
// callback, and runs stereo audio through the effect record in blocks. Used by the tools and
// by the tests that load the real plug-in binaries.
#pragma once

#include "shell/vst_abi.h"

#include <string>
#include <vector>

struct PluginLibrary {
    void* handle = nullptr;
    AEffect* (*entry)(audioMasterCallback) = nullptr;
};

// Loads the library at path and finds VSTPluginMain; on failure fills error and returns false.
bool loadPluginLibrary(const std::string& path, PluginLibrary& library, std::string& error);
void unloadPluginLibrary(PluginLibrary& library);

// A host callback that answers 0 to everything.
intptr_t VST_CALL quietHostCallback(AEffect*, int32_t, int32_t, intptr_t, void*, float);

// Runs frames of stereo audio through processReplacing in blocks of blockSize frames.
void processStereo(AEffect* effect, const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                   int frames, int blockSize);

// A few seconds of a deterministic test signal: drum-like bursts over a slow sine sweep.
void generateTestSignal(std::vector<float>& left, std::vector<float>& right, int frames, double sampleRate);

struct LevelStats {
    double peak = 0;
    double rms = 0;
};
LevelStats measureLevel(const float* samples, int frames);
double toDb(double amplitude);
