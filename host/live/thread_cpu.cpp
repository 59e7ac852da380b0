#include "live/thread_cpu.h"

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace lumo::host::live {

ThreadCpu threadCpu() {
    ThreadCpu cpu;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    const std::string main = std::to_string(getpid());
    std::string processName;
    std::getline(std::ifstream("/proc/self/comm"), processName);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // The name may hold blanks and parentheses; the fields after it are counted from its end.
        const size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 2 > line.size())
            continue;
        const std::string name = line.substr(open + 1, close - open - 1);
        std::istringstream fields(line.substr(close + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14)
                utime = std::stoull(field);
            else if (i == 15)
                stime = std::stoull(field);
        }
        const double seconds = static_cast<double>(utime + stime) / tick;
        cpu.alive += seconds;
        if (name == processName && entry.path().filename() != main)
            cpu.namedAsProcess += seconds;
    }
    return cpu;
}

double callingThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace lumo::host::live
