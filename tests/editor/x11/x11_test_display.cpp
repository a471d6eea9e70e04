#include "x11_test_display.h"

#include "host/process_holdings.h"

#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

extern char** environ;

namespace x11test {

namespace {

pid_t spawn(const std::string& display, const std::vector<std::string>& arguments) {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable; ++variable)
        if (std::strncmp(*variable, "DISPLAY=", 8) != 0)
            environment.emplace_back(*variable);
    environment.push_back("DISPLAY=" + display);
    std::vector<char*> argv, envp;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    return pid;
}

} // namespace

bool XvfbServer::start(bool sharedMemory) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    std::vector<std::string> arguments = {"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0",
                                          "800x600x24", "-nolisten", "tcp", "-noreset"};
    if (!sharedMemory) {
        arguments.push_back("-extension");
        arguments.push_back("MIT-SHM");
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // A test program that dies (a sanitizer halting it) takes its server along.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        close(pipeFds[0]);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    if (pid_ < 0) {
        close(pipeFds[0]);
        return false;
    }
    // The server writes its display number once it accepts connections.
    char number[16] = {};
    ssize_t got = 0, total = 0;
    while (total < ssize_t(sizeof number - 1) && (got = read(pipeFds[0], number + total, 1)) == 1 &&
           number[total] != '\n')
        ++total;
    close(pipeFds[0]);
    if (total == 0) {
        stop();
        return false;
    }
    number[total] = 0;
    name_ = std::string(":") + number;
    return true;
}

void XvfbServer::stop() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

bool xdotool(const std::string& display, const std::vector<std::string>& arguments) {
    return waitForProcess(xdotoolInBackground(display, arguments));
}

pid_t xdotoolInBackground(const std::string& display, const std::vector<std::string>& arguments) {
    std::vector<std::string> command = {"xdotool"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return spawn(display, command);
}

bool waitForProcess(pid_t pid) {
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

namespace {

// A read-back of a window that is not visible yet (its owner's map request still on its way)
// is refused; the caller sees no image and asks again.
int ignoreError(Display*, XErrorEvent*) { return 0; }

} // namespace

HostWindow::HostWindow(const std::string& display, int x, int y, int width, int height) : x_(x), y_(y) {
    XSetErrorHandler(ignoreError);
    display_ = XOpenDisplay(display.c_str());
    if (!display_)
        return;
    XSetWindowAttributes attributes = {};
    attributes.background_pixel = 0x404040;
    attributes.event_mask = StructureNotifyMask;
    window_ = XCreateWindow(display_, DefaultRootWindow(display_), x, y, unsigned(width), unsigned(height), 0,
                            CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    XMapWindow(display_, window_);
    // No window manager: the window is viewable once the server has mapped it.
    XEvent event;
    do
        XNextEvent(display_, &event);
    while (event.type != MapNotify);
}

HostWindow::~HostWindow() {
    if (!display_)
        return;
    if (window_)
        XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
}

int64_t HostWindow::pixel(Window window, int x, int y) {
    XImage* image = XGetImage(display_, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return -1;
    int64_t value = int64_t(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return value;
}

int HostWindow::childCount() {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, window_, &root, &parent, &children, &count))
        return -1;
    if (children)
        XFree(children);
    return int(count);
}

int openDescriptorCount() { return ::openDescriptorCount(); }

int threadCount() { return ::threadCount(); }

int sharedSegmentCount() {
    FILE* file = std::fopen("/proc/sysvipc/shm", "r");
    if (!file)
        return -1;
    // Other processes' segments are listed too: only those this process created count.
    int count = 0;
    char line[512];
    while (std::fgets(line, sizeof line, file)) {
        long key = 0, id = 0, permissions = 0, creator = 0;
        unsigned long size = 0;
        if (std::sscanf(line, "%ld %ld %lo %lu %ld", &key, &id, &permissions, &size, &creator) == 5 &&
            creator == long(getpid()))
            ++count;
    }
    std::fclose(file);
    return count;
}

} // namespace x11test
