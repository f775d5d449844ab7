#include "ProcessMemory.h"

#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorn::bench {
namespace {

double statusKilobytes(const char* field) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr)
        return 0;
    char line[256];
    double kilobytes = 0;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::strncmp(line, field, length) == 0 && line[length] == ':')
            kilobytes = std::atof(line + length + 1);
    std::fclose(status);
    return kilobytes;
}

} // namespace

double heapInUseBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

double residentBytes() {
    return statusKilobytes("VmRSS") * 1024;
}

double peakResidentBytes() {
    return statusKilobytes("VmHWM") * 1024;
}

void inChild(const std::function<void()>& work) {
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        work();
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

} // namespace vorn::bench
