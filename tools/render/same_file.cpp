#include "render/same_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The kernel gives up after 40 links in a row; so does this.
constexpr int kMaximumLinks = 40;

} // namespace

std::string resolvedPath(const std::string& path) {
    // Links are followed one at a time rather than by realpath(), which fails on a link whose
    // target does not exist yet: a write through such a link creates the target.
    std::string current = path;
    for (int hop = 0; hop < kMaximumLinks; ++hop) {
        struct stat status {};
        if (lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            break;
        char target[PATH_MAX];
        const ssize_t length = readlink(current.c_str(), target, sizeof(target) - 1);
        if (length <= 0)
            break;
        const std::string link(target, size_t(length));
        current = link[0] == '/' ? link : folderOf(current) + "/" + link;
    }
    char resolved[PATH_MAX];
    const std::string name = nameOf(current);
    if (name.empty() || name == "." || name == "..")
        return realpath(current.c_str(), resolved) ? std::string(resolved) : current;
    if (!realpath(folderOf(current).c_str(), resolved))
        return current;
    const std::string folder = resolved;
    return (folder == "/" ? "" : folder) + "/" + name;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    if (stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    return resolvedPath(a) == resolvedPath(b);
}
