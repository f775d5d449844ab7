// Memory figures of this process for the benchmarks: the heap in use (glibc's count of bytes
// handed out, so a layer's share can be told apart) and the resident set from /proc.
#pragma once

#include <functional>

namespace vorn::bench {

double heapInUseBytes();
double residentBytes();     // VmRSS
double peakResidentBytes(); // VmHWM

// The heap grown since the last take() (or construction).
class HeapMeter {
public:
    HeapMeter() : last_(heapInUseBytes()) {}
    double take() {
        const double now = heapInUseBytes();
        const double grown = now - last_;
        last_ = now;
        return grown;
    }

private:
    double last_;
};

// Runs `work` in a child process and waits for it, so that each measurement starts clean.
void inChild(const std::function<void()>& work);

} // namespace vorn::bench
