// Giving up the raw-socket privilege once it has served its one purpose.
#pragma once

namespace linuxsvc {

// True when the process holds CAP_NET_RAW without being root: the privilege came from a file
// capability on the program, granted only so that it can open its echo socket.
bool HoldsNetRawAsNonRoot();

// Removes CAP_NET_RAW from the effective and permitted sets of every thread of the process.
void DropNetRawFromProcess();

}  // namespace linuxsvc
