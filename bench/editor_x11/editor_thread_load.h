// The processor time of a process's threads, read from /proc/self/task/TID/stat (user plus
// system time, in clock ticks), and which threads came into being between two listings.
#pragma once

#include <string>
#include <vector>

struct ThreadTime {
    int tid;
    std::string name;
    double seconds; // user + system time so far
};

std::vector<ThreadTime> processThreadTimes();
// The threads of after that are not in before.
std::vector<int> newThreads(const std::vector<ThreadTime>& before, const std::vector<ThreadTime>& after);
// The processor seconds of the listed threads (0 for those that have ended).
double threadSeconds(const std::vector<int>& tids);
