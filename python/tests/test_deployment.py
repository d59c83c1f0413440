# SPDX-License-Identifier: MIT
"""dezov.Deployment: the resolver's answers on the shipped example, and the
watch that follows its file."""

import gc
import subprocess
import sys
import threading
import time

import pytest

import dezov
from conftest import EXAMPLES


@pytest.mark.parametrize("source", ["path", "store"])
def test_answers_the_example_questions(source):
    path = EXAMPLES / "deploy.xml"
    deployment = dezov.Deployment(path if source == "path" else dezov.XmlFile(path))
    assert deployment.scheme == 3
    assert deployment.trades("0101", "1") == ["TA_SH1", "TA_SH2"]
    assert deployment.trade("0101", "1") == "TA_SH1"
    assert deployment.trade("0101", "2") == "TA_SZ1"
    assert deployment.next_query("0101", "1", "TA_SH1") == "TA_SH2"
    assert deployment.next_query("0101", "1", "TA_SH2") is None
    assert deployment.history("0101", "20060315", "20060315") == "HA_2006"
    assert deployment.history("0201", "20050301", "20071231", "2005") == "HB_2007"
    assert deployment.domain("RQ", "20051201", "20060131") == "2005"
    assert deployment.domain("YYB", "0201") == "TB_SH1:TB_SZ1:HB_2007"
    assert deployment.domain("YYB", b"0201", first=True) == "TB_SH1"
    assert deployment.next_domain("RQ", "20050101", "2005", "20071231") == "2006"
    assert deployment.domain("YYB", "9999") is None


def test_a_missing_file_is_an_error_and_is_not_created(tmp_path):
    missing = tmp_path / "missing.xml"
    with pytest.raises(FileNotFoundError):
        dezov.Deployment(missing)
    assert not missing.exists()


def reached(condition, seconds=5):
    """Whether condition() came true within seconds (a reload usually takes tens of ms)."""
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.01)
    return True


def test_a_watch_follows_the_file_and_keeps_the_last_good_description(tmp_path):
    path = tmp_path / "deploy.xml"
    text = (EXAMPLES / "deploy.xml").read_bytes()
    with dezov.Deployment.watch(path) as watch:  # nothing there yet: waits for the file
        assert watch.generation == 0 and "no such file" in str(watch.last_error)
        with pytest.raises(dezov.Error, match="no deployment loaded from .*no such file"):
            watch.current()
        assert not path.exists()
        path.write_bytes(text)
        assert reached(lambda: watch.generation == 1)
        first = watch.current()
        assert first.trade("0101", "1") == "TA_SH1" and watch.last_error is None

        path.write_bytes(text.replace(b"TA_SH1:TA_SH2", b"TC_SH1:TA_SH2"))
        assert reached(lambda: watch.generation == 2)
        assert watch.current().trade("0101", "1") == "TC_SH1"

        path.write_bytes(b"<vornini><DEPLOY>")  # broken: the last good one stays
        assert reached(lambda: watch.last_error is not None)
        assert "cannot load" in str(watch.last_error) and watch.generation == 2
        latest = watch.current()
        assert latest.trade("0101", "1") == "TC_SH1" and latest.source == str(path)
    assert watch.closed
    with pytest.raises(ValueError, match="closed"):
        watch.current()
    watch.close()  # again: nothing to do
    # Snapshots never change and outlive their watch.
    assert first.trade("0101", "1") == "TA_SH1" and latest.trade("0101", "1") == "TC_SH1"


def test_watches_end_cleanly_in_any_order(tmp_path, example):
    path = example("deploy.xml")
    # Dropped open while its snapshot lives; closed by one thread while others read.
    snapshot = dezov.DeploymentWatch(path).current()
    gc.collect()
    assert snapshot.trade("0101", "2") == "TA_SZ1"
    watch = dezov.Deployment.watch(path)
    answers, errors = [], []

    def read():
        for _ in range(200):
            try:
                answers.append(watch.current().trade("0101", "1"))
            except ValueError:
                errors.append("closed")
                return

    readers = [threading.Thread(target=read) for _ in range(3)]
    for reader in readers:
        reader.start()
    watch.close()
    for reader in readers:
        reader.join(timeout=10)
    assert not any(r.is_alive() for r in readers) and set(answers) <= {"TA_SH1"}

    # Left open at the interpreter's exit, one inside a reference cycle.
    script = (
        "import sys, dezov\n"
        "w = dezov.Deployment.watch(sys.argv[1])\n"
        "cycle = [dezov.Deployment.watch(sys.argv[1])]; cycle.append(cycle)\n"
        "print(w.current().trade('0101', '1'))\n"
    )
    run = subprocess.run([sys.executable, "-c", script, path], capture_output=True, text=True,
                         timeout=30)
    assert (run.returncode, run.stdout, run.stderr) == (0, "TA_SH1\n", "")
