// Raster throughput, reported as pixels per second (items processed).
#include <benchmark/benchmark.h>

#include <memory>

#include "raster/pixo.h"

namespace {

constexpr int32_t kWidth = 640, kHeight = 480;

struct Surfaces {
    PIXO_MemBitmap dest{3}, src{3};
    Surfaces() {
        dest.setSize(kWidth, kHeight);
        src.setSize(kWidth, kHeight);
        PIXO_PaintRect(&dest, 0, 0, kWidth, kHeight, 0xFF406080, 1.0f, PIXO_BLEND_COPY);
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x)
                src.pixels()[y * src.rowSpan() + x] = uint32_t(x * 2654435761u + y * 40503u);
    }
};

void PaintRect(benchmark::State& state) {
    Surfaces s;
    int32_t mode = int32_t(state.range(0));
    float alpha = state.range(1) / 100.0f;
    for (auto _ : state) {
        PIXO_PaintRect(&s.dest, 0, 0, kWidth, kHeight, 0xFFC08040, alpha, mode);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void ComposeBitmap(benchmark::State& state) {
    Surfaces s;
    int32_t mode = int32_t(state.range(0));
    float alpha = state.range(1) / 100.0f;
    for (auto _ : state) {
        PIXO_ComposeBitmap(&s.dest, &s.src, 0, 0, nullptr, alpha, mode);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void ModeArguments(benchmark::internal::Benchmark* b) {
    b->Args({PIXO_BLEND_COPY, 100})->Args({PIXO_BLEND_COPY, 50})->Args({PIXO_BLEND_COPY, 70});
    for (int mode = PIXO_BLEND_ADD; mode <= PIXO_BLEND_HSV_ADJUST; ++mode)
        b->Args({mode, 70});
    b->Args({PIXO_BLEND_COPY | PIXO_BLEND_SOURCE_ALPHA, 100});
}

// Disc and circle of radius 7: items are the pixels of the 15 x 15 box they cover.
void Disc(benchmark::State& state) {
    Surfaces s;
    for (auto _ : state) {
        PIXO_PaintDisc(&s.dest, 100.0f, 100.0f, 7.0f, 0xFFFF4040, 0.8f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 15 * 15);
}

void Circle(benchmark::State& state) {
    Surfaces s;
    for (auto _ : state) {
        PIXO_StrokeCircle(&s.dest, 100.0f, 100.0f, 7.0f, 0xFFFFFFFF, 0.8f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 15 * 15);
}

// 100 characters of cached text: items are characters.
void CachedText(benchmark::State& state) {
    Surfaces s;
    std::unique_ptr<PIXO_CachedFont> font(
        PIXO_CreateCachedFont("/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf", 14));
    if (!font) {
        state.SkipWithError("font file missing");
        return;
    }
    font->SetForeground(0xFFFFFFFF);
    const char* text = "The quick brown fox jumps over the lazy dog; 0 dB at 1 kHz, -12.5 dB at 4.2 kHz. Ratio 4:1 ok.....";
    PIXO_Rect rect = {0, 0, kWidth, kHeight};
    font->RenderText(&s.dest, text, 100, &rect, 0);
    for (auto _ : state) {
        PIXO_Rect r = rect;
        benchmark::DoNotOptimize(font->RenderText(&s.dest, text, 100, &r, 0));
    }
    state.SetItemsProcessed(state.iterations() * 100);
}

}  // namespace

BENCHMARK(PaintRect)->Apply(ModeArguments);
BENCHMARK(ComposeBitmap)->Apply(ModeArguments);
BENCHMARK(Disc);
BENCHMARK(Circle);
BENCHMARK(CachedText);
BENCHMARK_MAIN();
