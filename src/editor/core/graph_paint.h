// Painting the response graph: the grid, every band's lines, gauge, handle and meters, and the
// info box of the hovered or dragged band, drawn with the raster library into a bitmap. The
// bands are copied first (the shell takes the lock for it and decays their meters there);
// nothing is drawn while it is held. The window layer owns the bitmap and shows it.
#pragma once

#include <cstdint>

class CompressorEffect;
class PIXO_CachedFont;
class PIXO_IBitmap;
class PIXO_MemBitmap;
struct GraphBandCopies;

// The info box's colours where the system names none (0x00RRGGBB): the pale yellow and black of
// a tool tip.
constexpr uint32_t kGraphInfoBackground = 0x00FFFFE1;
constexpr uint32_t kGraphInfoText = 0x00000000;

// The fonts and the ratio gauge's sprite a paint draws with, made on first use at the scale's
// sizes (again when a paint needs other sizes). One may serve several editors on one thread.
class GraphPaintCache {
public:
    GraphPaintCache() = default;
    GraphPaintCache(const GraphPaintCache&) = delete;
    GraphPaintCache& operator=(const GraphPaintCache&) = delete;
    ~GraphPaintCache();

    // Deletes the fonts (the sprite stays); the next paint makes them again.
    void releaseFonts();

    // null when no font or sprite can be made.
    PIXO_CachedFont* handleFont(int32_t pixelHeight);
    PIXO_CachedFont* labelFont(int32_t pixelHeight);
    PIXO_MemBitmap* gaugeSprite(int32_t size);

private:
    struct Font {
        PIXO_CachedFont* font = nullptr;
        int32_t height = 0;
    };
    static PIXO_CachedFont* fontOfHeight(Font& font, int32_t height);

    Font handle_;
    Font label_;
    PIXO_MemBitmap* gauge_ = nullptr;
};

// What one frame shows besides the instance.
struct GraphFrame {
    uint32_t now = 0;                            // millisecond tick count, for the meter holds
    int32_t pointerX = 0, pointerY = 0;          // client coordinates, where the info box goes
    double scale = 1.0;                          // device pixels per 96-dpi pixel
    int32_t infoBand = -1;                       // the band whose info box shows, -1 for none
    uint32_t infoBackground = kGraphInfoBackground; // 0x00RRGGBB
    uint32_t infoText = kGraphInfoText;             // 0x00RRGGBB
};

// Draws one frame into bitmap (its whole width x height), taking the bands' meters into copies
// as of frame.now.
void renderGraph(CompressorEffect& fx, GraphBandCopies& copies, GraphPaintCache& cache, PIXO_IBitmap& bitmap,
                 const GraphFrame& frame);
