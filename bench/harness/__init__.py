"""The benchmarks' harness: test networks, a private X display, launches under xlaunch and the
figures read from /proc. Everything it starts or makes is undone when the run ends."""
