#include "render/staged_file.h"

#include "render/same_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string systemReason() {
    return std::strerror(errno);
}

// The permissions a new file gets from open(): 0666 less the umask, which can only be read by
// setting it.
mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool StagedFile::create(const std::string& destination, std::string& error) {
    discard();
    destination_ = destination;
    target_ = resolvedPath(destination);
    struct stat existing {};
    const bool exists = stat(target_.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        error = "cannot create " + destination + ": it is a folder";
        return false;
    }
    // A rename would replace a file the user may not write; refuse it as open() would. A file
    // nobody may write is kept even from the superuser, whom access() lets write anything: its
    // owner marked it read-only to protect it.
    const bool readOnly = S_ISREG(existing.st_mode) && (existing.st_mode & 0222) == 0;
    if (readOnly)
        errno = EACCES;
    if (exists && (readOnly || access(target_.c_str(), W_OK) != 0)) {
        error = "cannot write " + destination + ": " + systemReason();
        return false;
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        descriptor_ = open(target_.c_str(), O_WRONLY | O_CLOEXEC);
        if (descriptor_ < 0) {
            error = "cannot open " + destination + ": " + systemReason();
            return false;
        }
        return true;
    }

    const size_t slash = target_.rfind('/');
    std::string pattern = target_.substr(0, slash + 1) + "." + target_.substr(slash + 1) + ".tarnwell-XXXXXX";
    descriptor_ = mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor_ < 0) {
        error = "cannot create " + destination + ": " + systemReason();
        return false;
    }
    temporary_ = pattern;
    // mkstemp makes the file private; the result should look like any file the user writes,
    // or keep the mode and owner of the file it replaces.
    if (exists) {
        fchmod(descriptor_, existing.st_mode & 0777);
        if (fchown(descriptor_, existing.st_uid, existing.st_gid) != 0) {
            // Only the superuser may give a file away; the file then belongs to the user.
        }
    } else {
        fchmod(descriptor_, newFileMode());
    }
    return true;
}

bool StagedFile::writeAll(const std::vector<uint8_t>& bytes, std::string& error) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(descriptor_, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            error = "cannot write " + destination_ + ": " + (wrote < 0 ? systemReason() : "nothing written");
            return false;
        }
        done += size_t(wrote);
    }
    return true;
}

bool StagedFile::commit(std::string& error) {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    if (close(descriptor) != 0) {
        error = "cannot write " + destination_ + ": " + systemReason();
        discard();
        return false;
    }
    if (temporary_.empty())
        return true;
    if (rename(temporary_.c_str(), target_.c_str()) != 0) {
        error = "cannot replace " + destination_ + ": " + systemReason();
        discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void StagedFile::discard() {
    if (descriptor_ >= 0)
        close(descriptor_);
    descriptor_ = -1;
    if (!temporary_.empty())
        unlink(temporary_.c_str());
    temporary_.clear();
}
