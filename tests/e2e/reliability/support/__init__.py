"""Fixtures and readers of the reliability tests of the real program."""
