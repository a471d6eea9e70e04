#include "shell/program_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr uint32_t fourCc(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) << 24 | uint32_t(uint8_t(b)) << 16 | uint32_t(uint8_t(c)) << 8 | uint8_t(d);
}

constexpr uint32_t kChunkMagic = fourCc('C', 'c', 'n', 'K');
constexpr uint32_t kOpaqueProgramMagic = fourCc('F', 'P', 'C', 'h');
constexpr uint32_t kParameterProgramMagic = fourCc('F', 'x', 'C', 'k');
constexpr uint32_t kOpaqueBankMagic = fourCc('F', 'B', 'C', 'h');
constexpr uint32_t kParameterBankMagic = fourCc('F', 'x', 'B', 'k');
constexpr size_t kProgramNameSize = 28;

void appendBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

uint32_t readBigEndian(const std::vector<uint8_t>& bytes, size_t offset) {
    return uint32_t(bytes[offset]) << 24 | uint32_t(bytes[offset + 1]) << 16 |
           uint32_t(bytes[offset + 2]) << 8 | uint32_t(bytes[offset + 3]);
}

std::string quotedCode(uint32_t code) {
    return "'" + fourCharacterCode(int32_t(code)) + "'";
}

} // namespace

std::vector<uint8_t> buildProgramFile(const std::vector<uint8_t>& chunk, const ProgramFileIdentity& identity,
                                      const std::string& programName) {
    std::vector<uint8_t> file;
    file.reserve(kProgramHeaderSize + chunk.size());
    appendBigEndian(file, kChunkMagic);
    appendBigEndian(file, uint32_t(kProgramHeaderSize - 8 + chunk.size()));
    appendBigEndian(file, kOpaqueProgramMagic);
    appendBigEndian(file, 1);
    appendBigEndian(file, uint32_t(identity.pluginId));
    appendBigEndian(file, uint32_t(identity.pluginVersion));
    appendBigEndian(file, 1);
    char name[kProgramNameSize] = {};
    size_t kept = std::min(programName.size(), kProgramNameLimit);
    // Continuation bytes of a character cut at the limit go with it.
    if (kept < programName.size())
        while (kept > 0 && (uint8_t(programName[kept]) & 0xC0) == 0x80)
            --kept;
    std::memcpy(name, programName.data(), kept);
    file.insert(file.end(), name, name + kProgramNameSize);
    appendBigEndian(file, uint32_t(chunk.size()));
    file.insert(file.end(), chunk.begin(), chunk.end());
    return file;
}

bool extractStateChunk(const std::vector<uint8_t>& file, bool mustBeProgramFile, int32_t expectedPluginId,
                       std::vector<uint8_t>& chunk, std::string& error) {
    const bool hasMagic = file.size() >= 4 && readBigEndian(file, 0) == kChunkMagic;
    if (!hasMagic) {
        if (mustBeProgramFile) {
            error = file.size() < 4 ? "not a program file: only " + std::to_string(file.size()) + " bytes"
                                    : "not a program file: magic is " + quotedCode(readBigEndian(file, 0)) +
                                          ", expected 'CcnK'";
            return false;
        }
        if (file.empty()) {
            error = "the state file is empty";
            return false;
        }
        chunk = file;
        return true;
    }
    if (file.size() < kProgramHeaderSize) {
        error = "truncated program file: " + std::to_string(file.size()) + " bytes, the header alone needs " +
                std::to_string(kProgramHeaderSize);
        return false;
    }
    const uint32_t kind = readBigEndian(file, 8);
    if (kind == kParameterProgramMagic) {
        error = "the program file holds parameter values ('FxCk'), not a state chunk ('FPCh')";
        return false;
    }
    if (kind == kOpaqueBankMagic || kind == kParameterBankMagic) {
        error = "this is a bank file (" + quotedCode(kind) + "), not a program file ('FPCh')";
        return false;
    }
    if (kind != kOpaqueProgramMagic) {
        error = "unknown program kind " + quotedCode(kind) + ", expected 'FPCh'";
        return false;
    }
    const uint32_t formatVersion = readBigEndian(file, 12);
    if (formatVersion != 1) {
        error = "unsupported program file format version " + std::to_string(formatVersion) + ", expected 1";
        return false;
    }
    const uint32_t pluginId = readBigEndian(file, 16);
    if (pluginId != uint32_t(expectedPluginId)) {
        error = "the program belongs to plug-in " + quotedCode(pluginId) + ", this plug-in is " +
                quotedCode(uint32_t(expectedPluginId));
        return false;
    }
    const uint32_t programCount = readBigEndian(file, 24);
    if (programCount != 1) {
        error = "the program file claims " + std::to_string(programCount) + " programs, expected 1";
        return false;
    }
    const uint64_t byteSize = readBigEndian(file, 4);
    if (byteSize + 8 > file.size()) {
        error = "truncated program file: its header gives " + std::to_string(byteSize + 8) +
                " bytes, the file has " + std::to_string(file.size());
        return false;
    }
    const uint64_t chunkSize = readBigEndian(file, kProgramHeaderSize - 4);
    const uint64_t available = file.size() - kProgramHeaderSize;
    if (chunkSize > available) {
        error = "chunk size " + std::to_string(chunkSize) + " is larger than the " +
                std::to_string(available) + " bytes after the header";
        return false;
    }
    chunk.assign(file.begin() + long(kProgramHeaderSize),
                 file.begin() + long(kProgramHeaderSize + chunkSize));
    return true;
}

std::string programFileName(const std::vector<uint8_t>& file) {
    if (file.size() < kProgramHeaderSize)
        return {};
    const char* field = reinterpret_cast<const char*>(file.data()) + 28;
    return std::string(field, std::find(field, field + kProgramNameSize, '\0'));
}

FILE* openFileUtf8(const std::string& path, const char* mode) {
#ifdef _WIN32
    auto widen = [](const std::string& text) {
        std::wstring wide;
        const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
        if (length > 0) {
            wide.resize(size_t(length));
            MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &wide[0], length);
        }
        return wide;
    };
    return _wfopen(widen(path).c_str(), widen(mode).c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    FILE* file = openFileUtf8(path, "rb");
    if (!file) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    bytes.clear();
    uint8_t buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

bool hasProgramFileExtension(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail)
        c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".fxp";
}

std::string fourCharacterCode(int32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = char((uint32_t(code) >> shift) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}
