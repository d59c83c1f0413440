# SPDX-License-Identifier: MIT
"""Shared fixtures: the shipped examples copied into a private folder, and a
file size limit that makes every write of them fail."""

import contextlib
import os
import pathlib
import resource
import shutil
import signal

import pytest

SOURCE_DIR = pathlib.Path(
    os.environ.get("DEZOV20_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2])
)
EXAMPLES = SOURCE_DIR / "examples"


@pytest.fixture
def example(tmp_path):
    """Copies examples/NAME into the test's folder and returns the copy's path."""

    def copy(name):
        return pathlib.Path(shutil.copy(EXAMPLES / name, tmp_path / name))

    return copy


@contextlib.contextmanager
def file_size_limit(size):
    """Writes beyond size bytes fail with EFBIG inside the block (as for a full disk)."""
    soft, hard = resource.getrlimit(resource.RLIMIT_FSIZE)
    previous = signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (size, hard))
    try:
        yield
    finally:
        resource.setrlimit(resource.RLIMIT_FSIZE, (soft, hard))
        signal.signal(signal.SIGXFSZ, previous)
