"""Simulated Fernwick devices and test network helpers."""
