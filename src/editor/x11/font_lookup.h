// The font file an editor's text is drawn from on Linux, found through fontconfig: Liberation
// Sans when it is installed (it measures like the Windows editor's Arial), else whatever the
// system calls sans-serif. Only scalable fonts count, as the raster library's FreeType path
// renders at any pixel height.
#pragma once

#include <string>

// The path of the font file, or an empty string when fontconfig finds no scalable sans font.
// It reads fontconfig's configuration and caches afresh (a few milliseconds): once per editor.
std::string x11FindSansFontFile();
