// Another program that keeps one core busy, as a desktop often has: a child process spinning
// in a plain loop from construction to destruction.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

class BusyCore {
 public:
  BusyCore() {
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the benchmark
      for (;;) asm volatile("");  // a loop the compiler may not remove
    }
  }
  ~BusyCore() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  BusyCore(const BusyCore&) = delete;
  BusyCore& operator=(const BusyCore&) = delete;
  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};
