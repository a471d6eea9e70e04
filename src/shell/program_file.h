// The VST 2.4 program file (.fxp) holding one opaque state chunk: a 60-byte big-endian header
// ('CcnK', size, 'FPCh', format version 1, plug-in id and version, 1 program, a 28-byte name,
// chunk size) followed by the chunk. Reading accepts a raw chunk too, told apart by the
// missing 'CcnK' magic, except from a file named .fxp, which must be a real program file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr size_t kProgramHeaderSize = 60;

struct ProgramFileIdentity {
    int32_t pluginId = 0;
    int32_t pluginVersion = 0;
};

// The longest program name the file holds, in bytes (the field's 28th byte ends it).
constexpr size_t kProgramNameLimit = 27;

// The complete file for a chunk. The name is cut to 27 bytes, never inside a UTF-8 character.
std::vector<uint8_t> buildProgramFile(const std::vector<uint8_t>& chunk, const ProgramFileIdentity& identity,
                                      const std::string& programName);

// Extracts the chunk from the bytes of a state file. A file holding a program for another
// plug-in, a parameter list instead of a chunk, or fewer bytes than its header promises is
// refused with a message naming the fault (without the file name).
bool extractStateChunk(const std::vector<uint8_t>& file, bool mustBeProgramFile, int32_t expectedPluginId,
                       std::vector<uint8_t>& chunk, std::string& error);

// The program name of a file that extractStateChunk accepted as a program file ("" for none).
std::string programFileName(const std::vector<uint8_t>& file);

// fopen for a UTF-8 path, also on Windows (where the path is widened first).
FILE* openFileUtf8(const std::string& path, const char* mode);

// The bytes of a whole file; the error names the path and the system's reason.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// A four-character code such as a plug-in id, e.g. "trwS"; unprintable bytes become '?'.
std::string fourCharacterCode(int32_t code);

// True when the path ends in ".fxp", in any case.
bool hasProgramFileExtension(const std::string& path);
