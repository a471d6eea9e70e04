#include "editor/x11/display_scale.h"

#include <X11/Xlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// How closely a resource name names Xft.dpi: 2 exactly, 1 through a wildcard, 0 not at all.
int dpiNameRank(const char* name, size_t length) {
    auto is = [&](const char* candidate) {
        return std::strlen(candidate) == length && std::strncmp(name, candidate, length) == 0;
    };
    if (is("Xft.dpi"))
        return 2;
    if (is("Xft*dpi") || is("*Xft.dpi") || is("*dpi") || is("*.dpi"))
        return 1;
    return 0;
}

} // namespace

double x11ScaleFromResources(const char* resources) {
    if (!resources)
        return 1.0;
    int bestRank = 0;
    double dpi = 0.0;
    for (const char* line = resources; *line;) {
        const char* end = std::strchr(line, '\n');
        if (!end)
            end = line + std::strlen(line);
        const char* name = line;
        while (name < end && isBlank(*name))
            ++name;
        const char* colon = static_cast<const char*>(std::memchr(name, ':', size_t(end - name)));
        if (colon && *name != '!') {
            const char* nameEnd = colon;
            while (nameEnd > name && isBlank(nameEnd[-1]))
                --nameEnd;
            int rank = dpiNameRank(name, size_t(nameEnd - name));
            if (rank > bestRank) {
                char value[32] = {};
                const char* text = colon + 1;
                while (text < end && isBlank(*text))
                    ++text;
                size_t length = size_t(end - text) < sizeof value - 1 ? size_t(end - text) : sizeof value - 1;
                std::memcpy(value, text, length);
                char* parsedEnd = nullptr;
                double parsed = std::strtod(value, &parsedEnd);
                while (parsedEnd && isBlank(*parsedEnd))
                    ++parsedEnd;
                if (parsedEnd != value && parsedEnd && *parsedEnd == 0) {
                    bestRank = rank;
                    dpi = parsed;
                }
            }
        }
        line = *end ? end + 1 : end;
    }
    if (bestRank == 0 || !(dpi >= 24.0 && dpi <= 960.0))
        return 1.0;
    return dpi / 96.0;
}

double x11DisplayScale(Display* display) {
    return display ? x11ScaleFromResources(XResourceManagerString(display)) : 1.0;
}
