// Where the monitor's four settings live in the store, and how they are spelled.
#pragma once

// Reads, and the write of the address, name the section in lower case; the other writes in
// mixed case. The store matches names without regard to case, so both reach one section, and a
// fresh store creates it as "dovrel" because a read comes first.
inline constexpr const char* kSection = "dovrel";
inline constexpr const char* kSectionForIntegerWrites = "Dovrel";

inline constexpr const char* kValueAddress = "IPAddress";
inline constexpr const char* kValueAlertRead = "alert";
inline constexpr const char* kValueAlertWrite = "Alert";
inline constexpr const char* kValueStartTray = "StartTray";
inline constexpr const char* kValuePackets = "Packets";

// The target probed until the user names another: this machine itself, which always answers.
inline constexpr const char* kDefaultTarget = "127.0.0.1";
inline constexpr int kDefaultAlertMode = 1011;  // IDC_NONE: no alert
inline constexpr int kDefaultStartTray = 0;
inline constexpr int kDefaultRetries = 3;
