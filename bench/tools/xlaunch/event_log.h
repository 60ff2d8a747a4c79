// One line on standard output for each thing that happened, stamped twice: milliseconds since the
// launch (the monotonic clock, for intervals) and the wall clock (to line up with packet captures).
#pragma once

#include <ctime>
#include <string>

class EventLog {
  public:
    // Marks now as the launch: every later stamp counts from here.
    void MarkLaunch();
    void Write(const std::string& event, const std::string& details = "");

  private:
    timespec m_launch{};
};

// A window or tray name as one token: quoted, with quotes and line ends made harmless.
std::string QuotedName(const std::string& name);
