// An output file written under a temporary name in its destination's folder and renamed onto
// the destination by commit() only, so a run that fails or is interrupted leaves whatever was
// there untouched; without a commit the temporary is removed. A symbolic link at the
// destination stays and the file it points to is replaced. A destination that exists and is
// not a regular file (a device such as /dev/null, a FIFO) is written directly instead. A file
// the user may not write, or that has no write permission at all, is refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class StagedFile {
  public:
    StagedFile() = default;
    ~StagedFile() { discard(); }
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Opens the temporary for writing; errors name the destination and the system's reason.
    bool create(const std::string& destination, std::string& error);
    int descriptor() const { return descriptor_; }
    const std::string& destination() const { return destination_; }

    bool writeAll(const std::vector<uint8_t>& bytes, std::string& error);
    // Closes the temporary and renames it onto the destination; on failure the temporary is
    // removed and the destination keeps what it had.
    bool commit(std::string& error);
    // Closes and removes the temporary when there is one.
    void discard();

  private:
    std::string destination_; // as the user named it, for messages
    std::string target_;      // the resolved path the rename replaces
    std::string temporary_;   // empty when the destination is written directly
    int descriptor_ = -1;
};
