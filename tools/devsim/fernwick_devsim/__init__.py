# SPDX-License-Identifier: GPL-3.0-or-later
"""Simulated Fernwick devices and test network helpers."""
