# SPDX-License-Identifier: GPL-3.0-or-later
"""The simulator runs on the oldest Python the package declares."""

import ast
import pathlib
import re
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]


def declared_floor():
    text = (ROOT / "cmake" / "Packaging.cmake").read_text()
    major, minor = re.search(r"python3 \(>= (\d+)\.(\d+)\)", text).groups()
    return int(major), int(minor)


class PythonFloor(unittest.TestCase):
    def test_every_module_parses_on_the_declared_floor(self):
        floor = declared_floor()
        self.assertGreaterEqual(floor, (3, 10), "X | Y annotations are evaluated at import before 3.10")
        scripts = [ROOT / "tools/devsim/fernwick-devsim", ROOT / "tools/devsim/lossy-relay"]
        for path in sorted((ROOT / "tools/devsim/fernwick_devsim").glob("*.py")) + scripts:
            with self.subTest(path=path.name):
                ast.parse(path.read_text(), feature_version=floor)


if __name__ == "__main__":
    unittest.main()
