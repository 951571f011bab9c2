// What every platform call goes through: the one state, its count, an
// injected fault, the scheduled destructions and the shell's argument log.
#include "sim/state.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace sim {

int callDepth = 0;

State& S() {
    static State state;
    return state;
}

void Reset() {
    bool record = S().recordDrawings;
    S() = State{};
    S().recordDrawings = record;
    AddProcess(CURRENT_PROCESS_ID, {"unit_tests.exe", "ntdll.dll", "kernel32.dll"});
}

PlatformCall::PlatformCall(Op op) : fails_(false) {
    ++callDepth;
    State& s = S();
    for (PendingDestroy& d : s.destroys)
        if (d.callsLeft-- <= 0) sim::DestroyWindow(d.window);
    s.destroys.erase(std::remove_if(s.destroys.begin(), s.destroys.end(),
                                    [](const PendingDestroy& d) { return d.callsLeft < 0; }),
                     s.destroys.end());
    ++s.calls[static_cast<size_t>(op)];
    for (auto it = s.faults.begin(); it != s.faults.end(); ++it) {
        if (it->op != op || (it->remaining >= 0 && --it->remaining != 0)) continue;
        if (it->remaining == 0) s.faults.erase(it);
        fails_ = true;
        return;
    }
}

PlatformCall::PlatformCall(Op op, std::vector<std::string> args) : PlatformCall(op) {
    S().shellCalls.push_back(ShellCall{op, std::move(args)});
}

PlatformCall::~PlatformCall() { --callDepth; }

const char* OpName(Op op) {
#define SIM_NAME(name) #name,
    static const char* const names[] = {SIM_OPERATIONS(SIM_NAME)};
#undef SIM_NAME
    return names[static_cast<size_t>(op)];
}

void FailCall(Op op, int nth) { S().faults.push_back({op, nth < 1 ? 1 : nth}); }

void FailAlways(Op op) { S().faults.push_back({op, -1}); }

void DestroyAfterCalls(HWND window, int calls) { S().destroys.push_back({window, calls}); }

bool InsidePlatformCall() { return callDepth > 0; }

long CallCount(Op op) { return S().calls[static_cast<size_t>(op)]; }

long TotalCalls() { return std::accumulate(S().calls.begin(), S().calls.end(), 0L); }

void ResetCallCounts() { S().calls.fill(0); }

const std::vector<ShellCall>& ShellCalls() { return S().shellCalls; }

void ClearRecords() {
    S().shellCalls.clear();
    S().drawings.clear();
    S().clientRects.clear();
}

std::string TextArg(const char* text) {
    if (!text) return "0";
    if (IS_INTRESOURCE(text)) return "#" + std::to_string(reinterpret_cast<std::uintptr_t>(text));
    return '"' + std::string(text) + '"';
}

std::string HexArg(std::uintptr_t value) {
    if (!value) return "0";
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace sim
