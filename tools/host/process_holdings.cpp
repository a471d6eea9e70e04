#include "host/process_holdings.h"

#include <dirent.h>

#include <cstdio>

namespace {

int entriesOf(const char* directory) {
    DIR* dir = opendir(directory);
    if (!dir)
        return -1;
    int count = 0;
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(dir);
    return count;
}

} // namespace

long residentKilobytes() {
    FILE* file = std::fopen("/proc/self/status", "r");
    if (!file)
        return -1;
    long kilobytes = -1;
    char line[256];
    while (std::fgets(line, sizeof line, file))
        if (std::sscanf(line, "VmRSS: %ld kB", &kilobytes) == 1)
            break;
    std::fclose(file);
    return kilobytes;
}

int threadCount() { return entriesOf("/proc/self/task"); }

int openDescriptorCount() {
    const int entries = entriesOf("/proc/self/fd");
    return entries < 0 ? -1 : entries - 1;
}
