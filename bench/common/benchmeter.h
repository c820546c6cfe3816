#pragma once

// What the benchmarks read off the process: CPU time and resident memory (Linux).

#include <cstdio>

#include <sys/resource.h>

// CPU milliseconds (user and system) of RUSAGE_SELF or RUSAGE_THREAD so far.
inline double CpuMs(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The process's peak resident memory so far, in KB.
inline long PeakRssKb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The process's resident memory now, in KB (4 KB pages), 0 when it cannot be read.
inline long CurrentRssKb()
{
    long pages = 0;
    long resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return resident * 4;
}
