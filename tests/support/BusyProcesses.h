#pragma once
// Ordinary busy processes (nice 0) for the length of a test or benchmark:
// each child spins and ends itself after `seconds` even if its parent dies;
// all are killed and reaped on destruction.
#include <sys/types.h>

#include <cstddef>
#include <vector>

namespace zonda::test {

class TBusyProcesses {
 public:
  TBusyProcesses(int count, unsigned seconds);
  ~TBusyProcesses();
  TBusyProcesses(const TBusyProcesses&) = delete;
  TBusyProcesses& operator=(const TBusyProcesses&) = delete;
  size_t Running() const { return pids_.size(); }

 private:
  std::vector<pid_t> pids_;
};

}  // namespace zonda::test
