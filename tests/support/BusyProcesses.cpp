#include "tests/support/BusyProcesses.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zonda::test {

TBusyProcesses::TBusyProcesses(int count, unsigned seconds) {
  for (int i = 0; i < count; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::alarm(seconds);
      for (;;) asm volatile("" ::: "memory");  // spins; the alarm ends it
    }
    if (pid > 0) pids_.push_back(pid);
  }
}

TBusyProcesses::~TBusyProcesses() {
  for (pid_t pid : pids_) ::kill(pid, SIGKILL);
  for (pid_t pid : pids_) ::waitpid(pid, nullptr, 0);
}

}  // namespace zonda::test
