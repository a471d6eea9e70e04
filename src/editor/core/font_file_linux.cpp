#include "editor/core/font_file.h"

#include <fontconfig/fontconfig.h>

#include <cstring>

namespace {

// The file of the best match for a family; with exactFamily only a font of that very family.
std::string matchFamily(FcConfig* config, const char* family, bool exactFamily, bool bold) {
    std::string path;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return path;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return path;
    FcChar8* file = nullptr;
    FcChar8* matchedFamily = nullptr;
    FcBool scalable = FcFalse;
    bool familyFits = !exactFamily || (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
                                       std::strcmp(reinterpret_cast<const char*>(matchedFamily), family) == 0);
    if (familyFits && FcPatternGetBool(match, FC_SCALABLE, 0, &scalable) == FcResultMatch && scalable &&
        FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
        path = reinterpret_cast<const char*>(file);
    FcPatternDestroy(match);
    return path;
}

} // namespace

std::string findSansFontFile(bool bold) {
    // A configuration of our own, gone when we are done: fontconfig's process-wide one belongs
    // to the host, and a plug-in that made it could never free it.
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config)
        return std::string();
    std::string path = matchFamily(config, "Liberation Sans", true, bold);
    if (path.empty())
        path = matchFamily(config, "sans-serif", false, bold);
    FcConfigDestroy(config);
    return path;
}
