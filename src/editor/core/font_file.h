// The font file the editor's text is drawn from on Linux, found through fontconfig: Liberation
// Sans when it is installed (it measures like the Windows editor's Arial), else whatever the
// system calls sans-serif. Only scalable fonts count, as the raster library's FreeType path
// renders at any pixel height.
#pragma once

#include <string>

// The path of the regular or bold face, or an empty string when fontconfig finds no scalable
// sans font. It reads fontconfig's configuration and caches afresh (a few milliseconds): call it
// once and keep the answer (createEditorFont does).
std::string findSansFontFile(bool bold = false);
