#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <string>

// The CPU time the process has used so far, user and system, in seconds.
inline double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The user and system CPU time that process `pid` has used so far, in milliseconds.
inline double ProcessCpuMilliseconds(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string field;
  // Fields 14 and 15 are utime and stime, in clock ticks; the name (field 2) has no spaces here.
  for (int i = 1; i < 14 && stat >> field; ++i) {
  }
  double user = 0;
  double system = 0;
  stat >> user >> system;
  return (user + system) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}
