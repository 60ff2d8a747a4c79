// Turns the target text into the probe address, with the window's caption as its status line.
#pragma once

#include "winapi.h"

class CTrayStatus;

class CTargetResolver {
public:
    // The caption shown once at start when the socket layer is not ready.
    static void ShowNotReady();

    // The re-resolve step. True when `probeAddress` is set and the pass goes on; false when the
    // name did not resolve: then `failures` is 4, the address 0 and the step is asked for again.
    static bool Resolve(CTrayStatus& tray, win::IPAddr& probeAddress, int& failures);

private:
    static void SetCaption(const char* caption);
};
