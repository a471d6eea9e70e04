#include "editor_thread_load.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool readThread(int tid, ThreadTime& time) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/task/%d/stat", tid);
    FILE* file = std::fopen(path, "r");
    if (!file)
        return false;
    char line[1024] = {};
    const bool read = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    // "tid (name) state ppid ..." : the name may hold spaces and parentheses, so the fields
    // are counted from the last ')'. utime and stime are fields 14 and 15.
    char* open = std::strchr(line, '(');
    char* close = std::strrchr(line, ')');
    if (!read || !open || !close)
        return false;
    time.tid = tid;
    time.name.assign(open + 1, close);
    char* field = close + 2;
    unsigned long long ticks[2] = {0, 0};
    for (int index = 3; index <= 15 && field; ++index) {
        if (index >= 14)
            ticks[index - 14] = std::strtoull(field, nullptr, 10);
        field = std::strchr(field, ' ');
        if (field)
            ++field;
    }
    time.seconds = double(ticks[0] + ticks[1]) / double(sysconf(_SC_CLK_TCK));
    return true;
}

} // namespace

std::vector<ThreadTime> processThreadTimes() {
    std::vector<ThreadTime> times;
    DIR* dir = opendir("/proc/self/task");
    if (!dir)
        return times;
    while (dirent* entry = readdir(dir)) {
        ThreadTime time;
        if (entry->d_name[0] != '.' && readThread(std::atoi(entry->d_name), time))
            times.push_back(time);
    }
    closedir(dir);
    return times;
}

std::vector<int> newThreads(const std::vector<ThreadTime>& before, const std::vector<ThreadTime>& after) {
    std::vector<int> found;
    for (const ThreadTime& thread : after) {
        bool old = false;
        for (const ThreadTime& earlier : before)
            old = old || earlier.tid == thread.tid;
        if (!old)
            found.push_back(thread.tid);
    }
    return found;
}

double threadSeconds(const std::vector<int>& tids) {
    double total = 0;
    for (int tid : tids) {
        ThreadTime time;
        if (readThread(tid, time))
            total += time.seconds;
    }
    return total;
}
