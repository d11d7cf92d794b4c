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


def pep604_annotations(tree):
    """Annotations written as X | Y, which Python evaluates at import before 3.10."""
    if any(isinstance(n, ast.ImportFrom) and n.module == "__future__" and
           any(a.name == "annotations" for a in n.names) for n in tree.body):
        return []
    found = []
    for node in ast.walk(tree):
        annotation = getattr(node, "annotation", None) or getattr(node, "returns", None)
        if annotation is not None and any(isinstance(n, ast.BinOp) and isinstance(n.op, ast.BitOr)
                                          for n in ast.walk(annotation)):
            found.append(node.lineno)
    return found


class PythonFloor(unittest.TestCase):
    def test_every_module_parses_on_the_declared_floor(self):
        floor = declared_floor()
        scripts = [ROOT / "tools/devsim/fernwick-devsim", ROOT / "tools/devsim/lossy-relay"]
        for path in sorted((ROOT / "tools/devsim/fernwick_devsim").glob("*.py")) + scripts:
            with self.subTest(path=path.name):
                tree = ast.parse(path.read_text(), feature_version=floor)
                if floor < (3, 10):
                    self.assertEqual(pep604_annotations(tree), [], "needs Python 3.10")


if __name__ == "__main__":
    unittest.main()
