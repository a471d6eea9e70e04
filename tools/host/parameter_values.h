// Turning "--set NAME=VALUE" into a normalised parameter value, and the --list table.
// A name is matched case-insensitively against the host names (a name the plug-in cut to eight
// characters also matches the longer word it stands for); its value is in the parameter's
// display unit and is found by searching the normalised range for the value whose display text
// matches, so the result is as exact as the plug-in's display. A plain index takes a
// normalised value as it is.
#pragma once

#include "host/parameter_access.h"

#include <cstdint>
#include <string>

struct ParameterSetting {
    int32_t index = -1;
    float value = 0.0f;
};

bool resolveParameterSetting(ParameterAccess& parameters, const std::string& assignment,
                             ParameterSetting& setting, std::string& error);

// One line per parameter: index, name, current display text with its unit, normalised value.
std::string formatParameterList(const ParameterAccess& parameters);

// "2-Thresh = -24.0 dB (0.2524)": a parameter's current state for confirmations.
std::string describeParameter(const ParameterAccess& parameters, int32_t index);
