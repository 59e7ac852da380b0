#include "report/process_status.h"

#include <dirent.h>
#include <sys/resource.h>

#include <fstream>
#include <string>

namespace lumo::host {

int countOpenFiles() {
    DIR* directory = opendir("/proc/self/fd");
    if (!directory)
        return -1;
    int count = 0;
    while (const dirent* entry = readdir(directory))
        count += entry->d_name[0] != '.';
    closedir(directory);
    return count - 1;  // The directory's own descriptor.
}

ProcessStatus readStatus(bool withOpenFiles) {
    ProcessStatus status;
    if (withOpenFiles)
        status.openFiles = countOpenFiles();
    std::ifstream file("/proc/self/status");
    std::string key;
    while (file >> key) {
        double value = 0;
        if (key == "Threads:" && file >> value)
            status.threads = static_cast<int>(value);
        else if (key == "VmRSS:" && file >> value)
            status.residentMb = value / 1024;
        else if (key == "VmHWM:" && file >> value)
            status.peakResidentMb = value / 1024;
        file.ignore(1 << 16, '\n');
    }
    return status;
}

double cpuSeconds(clockid_t clock) {
    timespec time{};
    clock_gettime(clock, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

double threadCpuSeconds() {
    return cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace lumo::host
