// HostCallLog: every call a plug-in makes back to the host, recorded in order from whichever
// thread makes it (the editor's own thread, the audio thread, the host's). The host program
// prints it, the tests read it: automation with its index and value, begin and end of an edit,
// and the vendor notification that the parameter list changed (its first index and count).
#pragma once

#include "shell/vst_abi.h"

#include <cstdint>
#include <mutex>
#include <vector>

struct HostCall {
    int32_t opcode = 0;
    int32_t index = 0;
    intptr_t value = 0;
    float opt = 0;
    // The two integers a vendor notification points to (zero for other calls).
    int32_t payload[2] = {0, 0};
};

// The vendor notification's index: the parameter list changed (bands added or deleted); the
// plug-in's protocol with the hosts that know it.
constexpr int32_t kParameterListChangedIndex = int32_t(0xDEADBEEF);

class HostCallLog {
  public:
    // The log the recording callback writes to (one per process, as a callback has no context).
    static HostCallLog& shared();

    void record(const HostCall& call);
    std::vector<HostCall> calls() const;
    size_t size() const;
    void clear();

  private:
    mutable std::mutex mutex_;
    std::vector<HostCall> calls_;
};

// Records the call into HostCallLog::shared() and answers 0, as a host that supports nothing
// optional would.
intptr_t VST_CALL recordingHostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                        void* ptr, float opt);

// The calls with this opcode (and this index, unless kAnyIndex).
constexpr int32_t kAnyIndex = INT32_MIN;
std::vector<HostCall> callsOf(const std::vector<HostCall>& calls, int32_t opcode, int32_t index = kAnyIndex);
