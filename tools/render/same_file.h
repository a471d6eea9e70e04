// Whether two command-line paths name one file: by device and inode when both exist (so hard
// and symbolic links count), else by where a write would land, with symbolic links followed
// (dangling ones too) and the folder resolved. A path whose folder does not exist is compared
// as written, since nothing can be written there anyway.
#pragma once

#include <string>

// The absolute path a file written at `path` ends up at; `path` itself when its folder cannot
// be resolved.
std::string resolvedPath(const std::string& path);

bool sameFile(const std::string& a, const std::string& b);
