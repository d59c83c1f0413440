# SPDX-License-Identifier: MIT
"""The README's Python example runs as shown, and the installed package works
from its install prefix alone."""

import os
import pathlib
import re
import subprocess
import sys

import pytest

from conftest import SOURCE_DIR


def test_the_readme_example_prints_what_the_readme_shows():
    readme = (SOURCE_DIR / "README.md").read_text(encoding="utf-8")
    section = readme[readme.index("\n## Python\n") :]
    found = re.search(r"```python\n(.*?)```\n\nprints\n\n```\n(.*?)```", section, re.S)
    assert found is not None
    example, shown = found.groups()
    run = subprocess.run(
        [sys.executable, "-c", example], cwd=SOURCE_DIR, capture_output=True, text=True, timeout=60
    )
    assert run.stderr == ""
    assert run.stdout == shown


@pytest.mark.skipif(
    "DEZOV20_BUILD_DIR" not in os.environ or "DEZOV20_SANITIZE" in os.environ,
    reason="needs the build folder, of an uninstrumented build",
)
def test_the_installed_package_uses_the_installed_library(tmp_path):
    prefix = tmp_path / "prefix"
    subprocess.run(
        [os.environ["CMAKE_COMMAND"], "--install", os.environ["DEZOV20_BUILD_DIR"], "--prefix", prefix],
        check=True, capture_output=True, timeout=120,
    )
    site = prefix / os.environ["DEZOV20_PYTHON_INSTALL_DIR"]
    assert {p.name for p in (site / "dezov").iterdir()} >= {"__init__.py", "__init__.pyi", "py.typed"}
    probe = (
        "import dezov, sys\n"
        "print(dezov.Deployment(sys.argv[1]).trade('0101', '1'))\n"
        "print(dezov.__file__)\n"
        "print(*[l.split()[-1] for l in open('/proc/self/maps') if 'libDeZov20' in l][:1])\n"
    )
    environment = {"PATH": os.environ["PATH"], "PYTHONPATH": str(site), "PYTHONDONTWRITEBYTECODE": "1"}
    run = subprocess.run(
        [sys.executable, "-c", probe, SOURCE_DIR / "examples" / "deploy.xml"],
        env=environment, capture_output=True, text=True, timeout=60, cwd=tmp_path,
    )
    assert run.returncode == 0, run.stderr
    answer, module, library = run.stdout.splitlines()
    assert answer == "TA_SH1"
    assert pathlib.Path(module).is_relative_to(prefix)
    assert pathlib.Path(library).is_relative_to(prefix)
