#include "host/parameter_values.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The whole text as a finite number, or false.
bool parseNumber(const std::string& text, double& number) {
    const std::string clean = trimmed(text);
    if (clean.empty())
        return false;
    char* end = nullptr;
    number = std::strtod(clean.c_str(), &end);
    return end == clean.c_str() + clean.size() && std::isfinite(number);
}

bool isIndex(const std::string& name) {
    if (name.empty() || name.size() > 9)
        return false;
    for (char c : name)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The host cuts names to eight characters, so "10-Release" arrives as "10-Relea".
constexpr size_t kHostNameLength = 8;

bool findParameter(const ParameterAccess& parameters, const std::string& wanted, int32_t& index,
                   std::string& error) {
    const std::string key = lowerCase(wanted);
    int32_t exact = -1, abbreviated = -1, abbreviatedCount = 0;
    for (int32_t i = 0; i < parameters.parameterCount(); ++i) {
        const std::string name = lowerCase(parameters.parameterName(i));
        if (name.empty())
            continue;
        if (name == key) {
            exact = i;
            break;
        }
        if (name.size() == kHostNameLength && key.size() > kHostNameLength &&
            key.compare(0, name.size(), name) == 0) {
            abbreviated = i;
            ++abbreviatedCount;
        }
    }
    if (exact >= 0) {
        index = exact;
        return true;
    }
    if (abbreviatedCount == 1) {
        index = abbreviated;
        return true;
    }
    error = abbreviatedCount > 1 ? "parameter name '" + wanted + "' is ambiguous (see --list)"
                                 : "no parameter named '" + wanted + "' (see --list)";
    return false;
}

// Removes a trailing unit ("-24dB", "-24 dB", "3:1") when it is the parameter's own.
std::string withoutUnit(const std::string& value, const std::string& unit) {
    const std::string text = trimmed(value);
    const std::string unitKey = lowerCase(trimmed(unit));
    if (unitKey.empty() || text.size() <= unitKey.size())
        return text;
    if (lowerCase(text.substr(text.size() - unitKey.size())) != unitKey)
        return text;
    return trimmed(text.substr(0, text.size() - unitKey.size()));
}

std::string formatValue(double value) {
    char text[64];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

// The number a display text shows, in the direction the search runs: displays that fall as the
// value rises are negated so the search always climbs.
struct DisplayCurve {
    ParameterAccess& parameters;
    int32_t index;
    double sign;

    bool at(double v, double& shown) const {
        double number = 0;
        if (!parseNumber(parameters.displayForValue(index, float(v)), number))
            return false;
        shown = sign * number;
        return true;
    }
};

// Bisection for the boundary of {v : shown(v) >= target} (or > target when `strictly`).
double firstValueReaching(const DisplayCurve& curve, double low, double high, double target, bool strictly) {
    for (int step = 0; step < 48; ++step) {
        const double middle = 0.5 * (low + high);
        double shown = 0;
        const bool ok = curve.at(middle, shown);
        const bool reached = ok && (strictly ? shown > target : shown >= target);
        (reached ? high : low) = middle;
        if (float(low) == float(high))
            break;
    }
    return high;
}

bool searchNumericValue(ParameterAccess& parameters, int32_t index, double low, double high, double target,
                        double& result, std::string& error) {
    DisplayCurve curve{parameters, index, 1.0};
    double atLow = 0, atHigh = 0;
    if (!curve.at(low, atLow) || !curve.at(high, atHigh)) {
        error = "parameter " + parameters.parameterName(index) + " does not display numbers";
        return false;
    }
    if (atHigh < atLow) {
        curve.sign = -1.0;
        atLow = -atLow;
        atHigh = -atHigh;
    }
    const double goal = curve.sign * target;
    if (goal < atLow || goal > atHigh) {
        const double shownLow = curve.sign * atLow, shownHigh = curve.sign * atHigh;
        error = "value " + formatValue(target) + " for " + parameters.parameterName(index) + " is outside " +
                formatValue(std::fmin(shownLow, shownHigh)) + " .. " +
                formatValue(std::fmax(shownLow, shownHigh)) +
                (parameters.parameterUnit(index).empty() ? "" : " " + parameters.parameterUnit(index));
        return false;
    }
    // The values that display the target form an interval [first, beyond); its middle is the
    // closest the display lets us get. When no value displays the target, the display jumps
    // over it at `first` and we take the nearer of the two sides.
    const double first = goal <= atLow ? low : firstValueReaching(curve, low, high, goal, false);
    const double beyond = goal >= atHigh ? high : firstValueReaching(curve, low, high, goal, true);
    double shownFirst = 0;
    curve.at(first, shownFirst);
    if (shownFirst == goal) {
        // An interval that reaches an end of the range takes the end: -150 dB is silence and
        // the top frequency is the top, not a hair below.
        result = first == low ? low : goal >= atHigh ? high : 0.5 * (first + beyond);
        return true;
    }
    const double previous = std::nextafter(float(first), float(low));
    double shownPrevious = 0;
    const bool closerBelow =
        curve.at(previous, shownPrevious) && std::fabs(shownPrevious - goal) < std::fabs(shownFirst - goal);
    result = closerBelow ? previous : first;
    return true;
}

bool searchTextValue(ParameterAccess& parameters, int32_t index, double low, double high,
                     const std::string& value, double& result, std::string& error) {
    std::string wanted = lowerCase(trimmed(value));
    std::string synonym;
    if (wanted == "on" || wanted == "true" || wanted == "yes" || wanted == "1")
        synonym = "on";
    else if (wanted == "off" || wanted == "false" || wanted == "no" || wanted == "0")
        synonym = "off";
    auto matches = [&](double v) {
        const std::string shown = lowerCase(trimmed(parameters.displayForValue(index, float(v))));
        return shown == wanted || (!synonym.empty() && shown == synonym);
    };
    // The ends of the range are the natural values of a switch.
    if (matches(low)) {
        result = low;
        return true;
    }
    if (matches(high)) {
        result = high;
        return true;
    }
    constexpr int kSteps = 256;
    int runStart = -1;
    for (int step = 1; step < kSteps; ++step) {
        const bool hit = matches(low + (high - low) * step / kSteps);
        if (hit && runStart < 0)
            runStart = step;
        if (!hit && runStart >= 0) {
            result = low + (high - low) * (runStart + step - 1) / (2.0 * kSteps);
            return true;
        }
    }
    if (runStart >= 0) {
        result = low + (high - low) * (runStart + kSteps - 1) / (2.0 * kSteps);
        return true;
    }
    error = "value '" + value + "' is not one " + parameters.parameterName(index) + " can show (it shows '" +
            parameters.displayForValue(index, float(low)) + "' to '" +
            parameters.displayForValue(index, float(high)) + "')";
    return false;
}

} // namespace

bool resolveParameterSetting(ParameterAccess& parameters, const std::string& assignment,
                             ParameterSetting& setting, std::string& error) {
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == assignment.size()) {
        error = "--set " + assignment + ": expected NAME=VALUE or INDEX=NORMALISED";
        return false;
    }
    const std::string name = trimmed(assignment.substr(0, equals));
    const std::string value = assignment.substr(equals + 1);
    int32_t index = -1;
    std::string problem;
    if (isIndex(name)) {
        index = int32_t(std::strtol(name.c_str(), nullptr, 10));
        if (index >= parameters.parameterCount()) {
            error = "--set " + assignment + ": parameter index " + name + " is out of range (0.." +
                    std::to_string(parameters.parameterCount() - 1) + ")";
            return false;
        }
    } else if (!findParameter(parameters, name, index, problem)) {
        error = "--set " + assignment + ": " + problem;
        return false;
    }

    double low = 0, high = 1;
    parameters.valueRange(index, low, high);
    double normalised = 0;
    if (isIndex(name)) {
        if (!parseNumber(value, normalised)) {
            error = "--set " + assignment + ": '" + value + "' is not a number";
            return false;
        }
        if (normalised < low || normalised > high) {
            error = "--set " + assignment + ": normalised value " + formatValue(normalised) + " is outside " +
                    formatValue(low) + " .. " + formatValue(high);
            return false;
        }
    } else {
        double target = 0, probe = 0;
        const bool numericDisplay = parseNumber(parameters.displayForValue(index, float(low)), probe);
        const bool ok =
            numericDisplay ? parseNumber(withoutUnit(value, parameters.parameterUnit(index)), target) &&
                                 searchNumericValue(parameters, index, low, high, target, normalised, problem)
                           : searchTextValue(parameters, index, low, high, value, normalised, problem);
        if (!ok) {
            error = "--set " + assignment + ": " +
                    (problem.empty() ? "'" + value + "' is not a number" : problem);
            return false;
        }
    }
    setting.index = index;
    setting.value = float(normalised);
    return true;
}

std::string describeParameter(const ParameterAccess& parameters, int32_t index) {
    const std::string unit = parameters.parameterUnit(index);
    char text[160];
    std::snprintf(text, sizeof(text), "%s = %s%s%s (%.6g)", parameters.parameterName(index).c_str(),
                  parameters.parameterDisplay(index).c_str(), unit.empty() ? "" : " ", unit.c_str(),
                  double(parameters.parameterValue(index)));
    return text;
}

std::string formatParameterList(const ParameterAccess& parameters) {
    std::string list = "index  name      value       unit  normalised\n";
    for (int32_t i = 0; i < parameters.parameterCount(); ++i) {
        char line[160];
        std::snprintf(line, sizeof(line), "%5d  %-8s  %10s  %-4s  %.6g\n", i,
                      parameters.parameterName(i).c_str(), parameters.parameterDisplay(i).c_str(),
                      parameters.parameterUnit(i).c_str(), double(parameters.parameterValue(i)));
        list += line;
    }
    return list;
}
