#include "event_log.h"

#include <cstdio>

namespace {

double MillisecondsBetween(const timespec& from, const timespec& to) {
    return static_cast<double>(to.tv_sec - from.tv_sec) * 1e3 +
           static_cast<double>(to.tv_nsec - from.tv_nsec) / 1e6;
}

}  // namespace

void EventLog::MarkLaunch() {
    clock_gettime(CLOCK_MONOTONIC, &m_launch);
}

void EventLog::Write(const std::string& event, const std::string& details) {
    timespec monotonic{};
    timespec wall{};
    clock_gettime(CLOCK_MONOTONIC, &monotonic);
    clock_gettime(CLOCK_REALTIME, &wall);
    std::printf("%.3f %lld.%06ld %s%s%s\n", MillisecondsBetween(m_launch, monotonic),
                static_cast<long long>(wall.tv_sec), wall.tv_nsec / 1000, event.c_str(),
                details.empty() ? "" : " ", details.c_str());
    // The reader acts on these lines as they come; none may wait in a buffer.
    std::fflush(stdout);
}

std::string QuotedName(const std::string& name) {
    std::string quoted = "\"";
    for (const char c : name) {
        if (c == '"') {
            quoted += '\'';
        } else if (c == '\n' || c == '\r') {
            quoted += ' ';
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}
