// What a back end's program entry calls once its window system is ready.
#pragma once

#include <string>

// The application name the framework derives from the program file: its base name, without
// directory and without extension.
std::string AfxApplicationNameFromPath(const std::string& programPath);

// Names the application after the program file, runs InitInstance (and ExitInstance after it) of
// the one application object, and returns the process's exit code.
int AfxRunApplication(const std::string& programPath);
