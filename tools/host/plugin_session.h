// PluginSession: one loaded VST 2.4 plug-in library and one effect instance, seen only through
// the effect record as a host sees it. Opening checks the record (magic, two inputs and two
// outputs, processReplacing); closing suspends a running instance, sends effClose and unloads.
#pragma once

#include "host/plugin_host.h"
#include "host/parameter_access.h"
#include "support/relaxed_atomic.h"

#include <string>
#include <vector>

class PluginSession : public ParameterAccess {
  public:
    PluginSession() = default;
    ~PluginSession() override { close(); }
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    // Loads the library and creates an instance that calls back into hostCallback; on failure
    // fills error and keeps nothing open.
    bool open(const std::string& path, std::string& error, audioMasterCallback hostCallback = quietHostCallback);
    void close();

    AEffect* effect() const { return effect_; }
    const std::string& path() const { return path_; }
    int32_t uniqueId() const { return effect_->uniqueID; }
    int32_t version() const { return effect_->version; }

    // The plug-in changes its count from its own threads (its editor adds and deletes bands).
    int32_t parameterCount() const override { return loadRelaxed(effect_->numParams); }
    std::string parameterName(int32_t index) const override { return textOf(effGetParamName, index); }
    std::string parameterUnit(int32_t index) const override { return textOf(effGetParamLabel, index); }
    std::string parameterDisplay(int32_t index) const override { return textOf(effGetParamDisplay, index); }
    float parameterValue(int32_t index) const override { return effect_->getParameter(effect_, index); }
    void setParameterValue(int32_t index, float value) override {
        effect_->setParameter(effect_, index, value);
    }
    // Through the plug-in's vendor extensions when it has them; otherwise by setting the value,
    // reading the display and setting the old value back.
    std::string displayForValue(int32_t index, float value) override;
    void valueRange(int32_t index, double& low, double& high) override;

    // The state block the plug-in hands out (empty when it has none) and loading one back.
    std::vector<uint8_t> stateChunk() const;
    void loadStateChunk(const std::vector<uint8_t>& chunk);

    // Sample rate, then resume; suspend at the end of a run.
    void start(double sampleRate);
    void stop();
    void process(float** inputs, float** outputs, int32_t frames) {
        effect_->processReplacing(effect_, inputs, outputs, frames);
    }

    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) const {
        return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    }

  private:
    std::string textOf(int32_t opcode, int32_t index) const;

    PluginLibrary library_;
    AEffect* effect_ = nullptr;
    std::string path_;
    bool running_ = false;
    bool hasVendorExtensions_ = false;
};
