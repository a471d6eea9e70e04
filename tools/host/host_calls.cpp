#include "host/host_calls.h"

#include <cstring>

HostCallLog& HostCallLog::shared() {
    static HostCallLog log;
    return log;
}

void HostCallLog::record(const HostCall& call) {
    std::lock_guard<std::mutex> hold(mutex_);
    calls_.push_back(call);
}

std::vector<HostCall> HostCallLog::calls() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return calls_;
}

size_t HostCallLog::size() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return calls_.size();
}

void HostCallLog::clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    calls_.clear();
}

intptr_t VST_CALL recordingHostCallback(AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                        float opt) {
    HostCall call;
    call.opcode = opcode;
    call.index = index;
    call.value = value;
    call.opt = opt;
    if (opcode == audioMasterVendorSpecific && index == kParameterListChangedIndex && ptr)
        std::memcpy(call.payload, ptr, sizeof(call.payload));
    HostCallLog::shared().record(call);
    return 0;
}

std::vector<HostCall> callsOf(const std::vector<HostCall>& calls, int32_t opcode, int32_t index) {
    std::vector<HostCall> found;
    for (const HostCall& call : calls)
        if (call.opcode == opcode && (index == kAnyIndex || call.index == index))
            found.push_back(call);
    return found;
}
