// x11-view-demo OUTPUT.png [--cycles N] [--run SECONDS]: opens the X11 view in a window of its
// own (standing in for a host's), draws shapes and text in the fontconfig font through the
// raster library, reads the window back from the X server and writes it as PNG. With --cycles
// it then opens and closes the view N times and prints what the process held before and
// after; with --run it repaints the view from 33 ms and 100 ms timers and prints the view
// thread's share of a core.
// Run it on any X display, for example under `xvfb-run -a`.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "editor/x11/display_scale.h"
#include "editor/core/font_file.h"
#include "editor/x11/x11_view.h"
#include "raster/pixo.h"

namespace {

constexpr int32_t kWidth = 480, kHeight = 300;

class DemoPicture : public X11WindowEvents {
public:
    explicit DemoPicture(double scale) {
        fontPath_ = findSansFontFile();
        font_.reset(PIXO_CreateCachedFont(fontPath_.c_str(), int32_t(14 * scale + 0.5)));
    }
    std::atomic<int32_t> paints{0};
    // The view the timers repaint, as the editor's graph and meters timers do.
    std::atomic<X11View*> view{nullptr};
    const std::string& fontPath() const { return fontPath_; }

    void onTimer(int32_t) override {
        if (X11View* shown = view.load())
            shown->requestRepaint();
    }

    void onPaint(PIXO_IBitmap& bitmap) override {
        PIXO_PaintRect(&bitmap, 0, 0, kWidth, kHeight, 0xFF1C2228, 1.0f, PIXO_BLEND_COPY);
        // A grid and a response-like curve, as the editor's graph has.
        for (int32_t x = 40; x < kWidth; x += 40)
            PIXO_StrokeLine(&bitmap, x, 20, x, 180, 0xFF34404A, 1.0f);
        for (int32_t y = 20; y <= 180; y += 40)
            PIXO_StrokeLine(&bitmap, 0, y, kWidth - 1, y, 0xFF34404A, 1.0f);
        int32_t previousY = 60;
        for (int32_t x = 1; x < kWidth; ++x) {
            int32_t y = x < 200 ? 60 : (x < 320 ? 60 + (x - 200) / 2 : 120);
            PIXO_StrokeLine(&bitmap, x - 1, previousY, x, y, 0xFFF0B030, 1.0f);
            previousY = y;
        }
        PIXO_PaintDisc(&bitmap, 200.0f, 60.0f, 5.0f, 0xFFF0B030, 1.0f);
        PIXO_StrokeCircle(&bitmap, 320.0f, 120.0f, 6.0f, 0xFF60C0F0, 1.0f);
        // Band-coloured tabs with their labels.
        const uint32_t tabs[] = {0xFF3070C0, 0xFF30A060, 0xFFC06030, 0xFF9050B0};
        const char* names[] = {"200 Hz", "1 kHz", "5 kHz", "24 kHz"};
        for (int32_t i = 0; i < 4; ++i) {
            PIXO_PaintRect(&bitmap, 10 + i * 115, 200, 105, 26, tabs[i], 1.0f, PIXO_BLEND_COPY);
            text(bitmap, names[i], 10 + i * 115, 200, 105, 26, 0xFFFFFFFF, DT_CENTER);
        }
        text(bitmap, "Tarnwell \xE2\x80\x93 threshold -30 dB, ratio 4:1, \xC3\xA9t\xC3\xA9", 10, 236, 460, 24,
             0xFFE0E0E0, DT_LEFT);
        PIXO_PaintRect(&bitmap, 10, 270, 300, 12, 0xFF30A060, 1.0f, PIXO_BLEND_COPY);
        PIXO_PaintRect(&bitmap, 310, 270, 60, 12, 0xFFD0C030, 1.0f, PIXO_BLEND_COPY);
        PIXO_StrokeRect(&bitmap, 10, 270, 450, 12, 0xFF808890, 1.0f);
        paints.fetch_add(1);
    }

private:
    void text(PIXO_IBitmap& bitmap, const char* line, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour,
              int32_t align) {
        if (!font_)
            return;
        font_->SetForeground(colour);
        PIXO_Rect rect = {x, y, x + w, y + h};
        font_->RenderText(&bitmap, line, -1, &rect, DT_SINGLELINE | DT_VCENTER | align);
    }

    std::string fontPath_;
    std::unique_ptr<PIXO_CachedFont> font_;
};

bool waitFor(const std::atomic<int32_t>& counter, int32_t above) {
    for (int i = 0; i < 2500 && counter <= above; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return counter > above;
}

bool writeWindow(Display* display, Window window, const char* path) {
    // The view's upload travels on another connection: give the server a moment to take it.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    XImage* image = XGetImage(display, window, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
    if (!image)
        return false;
    std::vector<uint8_t> rgba(size_t(kWidth) * kHeight * 4);
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            unsigned long p = XGetPixel(image, x, y);
            uint8_t* o = &rgba[(size_t(y) * kWidth + size_t(x)) * 4];
            o[0] = uint8_t(p >> 16), o[1] = uint8_t(p >> 8), o[2] = uint8_t(p), o[3] = 255;
        }
    XDestroyImage(image);
    return stbi_write_png(path, kWidth, kHeight, 4, rgba.data(), kWidth * 4) != 0;
}

int countEntries(const char* directory) {
    DIR* dir = opendir(directory);
    int count = 0;
    while (dirent* entry = dir ? readdir(dir) : nullptr)
        count += entry->d_name[0] != '.';
    if (dir)
        closedir(dir);
    return count;
}

long residentKilobytes() {
    FILE* file = std::fopen("/proc/self/status", "r");
    char line[256];
    long kilobytes = -1;
    while (file && std::fgets(line, sizeof line, file))
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            kilobytes = std::strtol(line + 6, nullptr, 10);
    if (file)
        std::fclose(file);
    return kilobytes;
}

void printHoldings(const char* when) {
    std::printf("%-7s descriptors %d, threads %d, resident %ld KiB\n", when, countEntries("/proc/self/fd") - 1,
                countEntries("/proc/self/task"), residentKilobytes());
}

double cpuSeconds() {
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// The view repainted by a 33 ms and a 100 ms timer for a while; the main thread only sleeps,
// so the process's processor time is the view thread's.
bool runTimers(const X11ViewOptions& options, DemoPicture& picture, double seconds) {
    std::unique_ptr<X11View> view(X11View::open(options, &picture));
    if (!view)
        return false;
    picture.view = view.get();
    int32_t paints = picture.paints;
    double cpuStart = cpuSeconds();
    auto start = std::chrono::steady_clock::now();
    view->setTimer(1, 33);
    view->setTimer(2, 100);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpu = cpuSeconds() - cpuStart;
    picture.view = nullptr;
    view.reset();
    int32_t painted = picture.paints - paints;
    std::printf("%d paints in %.1f s (%.1f per second), view thread %.2f%% of one core, %.0f us a paint\n", painted,
                wall, painted / wall, 100.0 * cpu / wall, painted > 0 ? 1e6 * cpu / painted : 0.0);
    return true;
}

// Opens, waits for the first paint, and closes, n times.
bool cycle(Window host, DemoPicture& picture, int32_t n) {
    X11ViewOptions options;
    options.parentWindow = host;
    options.width = kWidth;
    options.height = kHeight;
    for (int32_t i = 0; i < n; ++i) {
        int32_t painted = picture.paints;
        std::unique_ptr<X11View> view(X11View::open(options, &picture));
        if (!view || !waitFor(picture.paints, painted))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: x11-view-demo OUTPUT.png [--cycles N] [--run SECONDS]\n");
        return 1;
    }
    int32_t cycles = 0;
    double runSeconds = 0.0;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--cycles") == 0)
            cycles = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--run") == 0)
            runSeconds = std::atof(argv[i + 1]);
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "x11-view-demo: no X display\n");
        return 2;
    }
    Window host = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kWidth, kHeight, 0, 0, 0x404040);
    XSelectInput(display, host, StructureNotifyMask);
    XMapWindow(display, host);
    for (XEvent event; XNextEvent(display, &event), event.type != MapNotify;) {
    }

    X11ViewOptions options;
    options.parentWindow = host;
    options.width = kWidth;
    options.height = kHeight;
    std::unique_ptr<DemoPicture> picture(new DemoPicture(x11DisplayScale(display)));
    std::unique_ptr<X11View> view(X11View::open(options, picture.get()));
    if (!view) {
        std::fprintf(stderr, "x11-view-demo: the view does not open\n");
        return 2;
    }
    std::printf("scale %.2f, shared memory %s, font %s\n", view->scale(), view->usesSharedMemory() ? "yes" : "no",
                picture->fontPath().c_str());
    bool written = waitFor(picture->paints, 0) && writeWindow(display, view->window(), argv[1]);
    view.reset();
    if (!written) {
        std::fprintf(stderr, "x11-view-demo: cannot write %s\n", argv[1]);
        return 2;
    }
    std::printf("wrote %s\n", argv[1]);

    if (cycles > 0) {
        cycle(host, *picture, 1);
        printHoldings("before");
        auto start = std::chrono::steady_clock::now();
        bool ok = cycle(host, *picture, cycles);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        printHoldings("after");
        std::printf("%d opens and closes (each shown once) in %.2f s%s\n", cycles, seconds, ok ? "" : ", FAILED");
        if (!ok)
            return 2;
    }
    if (runSeconds > 0.0 && !runTimers(options, *picture, runSeconds))
        return 2;
    XDestroyWindow(display, host);
    XCloseDisplay(display);
    return 0;
}
