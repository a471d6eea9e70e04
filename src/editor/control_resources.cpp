#include "editor/control_resources.h"

#include <cstdio>
#include <cstring>

namespace {

HBITMAP verticalSkin = nullptr;
HBITMAP horizontalSkin = nullptr;
HBITMAP largeVerticalSkin = nullptr;
HBITMAP largeHorizontalSkin = nullptr;
UINT wheelRoll = 0;

// The folder of the module's file, without the last backslash; empty when there is none.
void moduleFolder(HINSTANCE module, char (&folder)[1025]) {
    DWORD length = GetModuleFileNameA(module, folder, 1024);
    folder[length < 1024 ? length : 1024] = '\0';
    char* lastBackslash = std::strrchr(folder, '\\');
    if (lastBackslash)
        *lastBackslash = '\0';
    else
        folder[0] = '\0';
}

HBITMAP loadSkin(const char* folder, const char* fileName) {
    char path[1100];
    std::snprintf(path, sizeof(path), "%s\\%s", folder, fileName);
    return static_cast<HBITMAP>(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

void deleteSkin(HBITMAP& skin) {
    if (skin)
        DeleteObject(skin);
    skin = nullptr;
}

} // namespace

void loadControlResources(HINSTANCE module) {
    char folder[1025];
    moduleFolder(module, folder);
    if (!verticalSkin)
        verticalSkin = loadSkin(folder, "vantor_vslider.bmp");
    if (!horizontalSkin)
        horizontalSkin = loadSkin(folder, "vantor_hslider.bmp");
    if (!largeVerticalSkin)
        largeVerticalSkin = loadSkin(folder, "vantor_vslider@2x.bmp");
    if (!largeHorizontalSkin)
        largeHorizontalSkin = loadSkin(folder, "vantor_hslider@2x.bmp");
    wheelRoll = RegisterWindowMessageA("MSWHEEL_ROLLMSG");
}

void releaseControlResources() {
    deleteSkin(verticalSkin);
    deleteSkin(horizontalSkin);
    deleteSkin(largeVerticalSkin);
    deleteSkin(largeHorizontalSkin);
}

UINT wheelRollMessage() {
    return wheelRoll;
}

HBITMAP verticalFaderSkin() {
    return verticalSkin;
}

HBITMAP horizontalFaderSkin() {
    return horizontalSkin;
}

HBITMAP largeVerticalFaderSkin() {
    return largeVerticalSkin;
}

HBITMAP largeHorizontalFaderSkin() {
    return largeHorizontalSkin;
}
