// ParameterAccess: what the tool needs to know about a plug-in's parameters, as the host
// interface tells it: names, units, current values and texts, the text a value would have, and
// the normalised range. PluginSession answers through the effect record; tests answer with
// their own model of a parameter list.
#pragma once

#include <cstdint>
#include <string>

class ParameterAccess {
  public:
    virtual ~ParameterAccess() = default;
    virtual int32_t parameterCount() const = 0;
    virtual std::string parameterName(int32_t index) const = 0;
    virtual std::string parameterUnit(int32_t index) const = 0;
    virtual std::string parameterDisplay(int32_t index) const = 0;
    virtual float parameterValue(int32_t index) const = 0;
    virtual void setParameterValue(int32_t index, float value) = 0;
    // The display text the parameter would show at `value`, without changing it for good.
    virtual std::string displayForValue(int32_t index, float value) = 0;
    // The normalised values the parameter accepts, 0..1 unless the plug-in says otherwise.
    virtual void valueRange(int32_t index, double& low, double& high) = 0;
};
