"""A test case with a scratch folder of its own, shared by the command-line tools' end-to-end checks."""
import os
import tempfile
import unittest


class ScratchTest(unittest.TestCase):
    scratch_prefix = "nrbx-"

    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory(prefix=self.scratch_prefix)
        self.dir = self._tmp.name

    def tearDown(self):
        self._tmp.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()
