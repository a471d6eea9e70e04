#include "host/plugin_host.h"

#include <cmath>
#include <cstdint>

#ifdef _WIN32
#include "support/windows_prelude.h"
#else
#include <dlfcn.h>
#endif

bool loadPluginLibrary(const std::string& path, PluginLibrary& library, std::string& error) {
#ifdef _WIN32
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(
        reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
    if (!entry) {
        FreeLibrary(module);
        error = path + " exports no VSTPluginMain";
        return false;
    }
    library.handle = module;
#else
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* reason = dlerror();
        error = "cannot load " + path + ": " + (reason ? reason : "unknown error");
        return false;
    }
    auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(module, "VSTPluginMain"));
    if (!entry) {
        dlclose(module);
        error = path + " exports no VSTPluginMain";
        return false;
    }
    library.handle = module;
#endif
    library.entry = entry;
    return true;
}

void unloadPluginLibrary(PluginLibrary& library) {
    if (!library.handle)
        return;
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(library.handle));
#else
    dlclose(library.handle);
#endif
    library = PluginLibrary();
}

intptr_t VST_CALL quietHostCallback(AEffect*, int32_t, int32_t, intptr_t, void*, float) { return 0; }

void processStereo(AEffect* effect, const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                   int frames, int blockSize) {
    for (int start = 0; start < frames; start += blockSize) {
        int n = frames - start < blockSize ? frames - start : blockSize;
        float* inputs[2] = {const_cast<float*>(inLeft + start), const_cast<float*>(inRight + start)};
        float* outputs[2] = {outLeft + start, outRight + start};
        effect->processReplacing(effect, inputs, outputs, n);
    }
}

void generateTestSignal(std::vector<float>& left, std::vector<float>& right, int frames, double sampleRate) {
    const double pi = 3.141592653589793;
    left.assign(size_t(frames), 0.0f);
    right.assign(size_t(frames), 0.0f);
    uint32_t noise = 12345;
    double sweepPhase = 0;
    for (int i = 0; i < frames; ++i) {
        double t = i / sampleRate;
        // Sweep from 40 Hz to 12 kHz over eight seconds, exponentially, at -18 dB.
        double sweepFrequency = 40.0 * std::pow(300.0, std::fmod(t, 8.0) / 8.0);
        sweepPhase += 2 * pi * sweepFrequency / sampleRate;
        double sweep = 0.125 * std::sin(sweepPhase);
        // A kick every half second (falling sine) and a noise hat on the off-beats.
        double beat = std::fmod(t, 0.5);
        double kick = beat < 0.25 ? 0.9 * std::exp(-beat * 18) * std::sin(2 * pi * (50 + 80 * std::exp(-beat * 30)) * beat)
                                  : 0.0;
        noise = noise * 1664525u + 1013904223u;
        double white = (double(noise >> 8) / double(1u << 24)) * 2 - 1;
        double hatTime = std::fmod(t + 0.25, 0.5);
        double hat = 0.3 * std::exp(-hatTime * 60) * white;
        left[size_t(i)] = float(sweep + kick + hat);
        right[size_t(i)] = float(0.8 * sweep + kick - 0.5 * hat);
    }
}

LevelStats measureLevel(const float* samples, int frames) {
    LevelStats stats;
    double sum = 0;
    for (int i = 0; i < frames; ++i) {
        double a = std::fabs(samples[i]);
        if (a > stats.peak)
            stats.peak = a;
        sum += a * a;
    }
    stats.rms = frames > 0 ? std::sqrt(sum / frames) : 0;
    return stats;
}

double toDb(double amplitude) { return amplitude > 1e-10 ? 20 * std::log10(amplitude) : -200.0; }
