"""Helpers of the end-to-end and reliability tests: a private X display with a tray host, network
namespaces and router paths, packet captures, caption records, the settings file, screenshot
pixel checks and the program under test."""
