// The program under test as our child: started with a descriptor that becomes readable when it
// ends, so that its end is seen the moment it happens, and reaped with its resource usage.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <string>

class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // Starts argv[0] with our environment; its standard output goes where our standard error goes,
    // so that ours carries only events. False when it could not be started.
    bool Start(char* const argv[]);
    pid_t Pid() const { return m_pid; }
    // Readable once the child has ended.
    int ExitDescriptor() const { return m_pidfd; }
    // Collects the ended child; the exit as one line of details ("code=0 utime_ms=...").
    std::string Reap();
    void Terminate();

  private:
    pid_t m_pid = -1;
    int m_pidfd = -1;
};
