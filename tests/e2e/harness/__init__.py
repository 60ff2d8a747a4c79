"""Helpers of the end-to-end tests: a private X display with a tray host, network namespaces,
screenshot pixel checks and the program under test."""
