# SPDX-License-Identifier: MIT
"""The interpreter's lock while the stores wait: a save that waits for the
save lock, held here by another process, lets the other threads run; a
thread using the same file meanwhile waits for the save, without the lock."""

import subprocess
import sys
import threading
import time

import pytest

import dezov

HOLD_LOCKS = """
import fcntl, sys, time
files = [open(name, "a") for name in sys.argv[2:]]
for file in files:
    fcntl.flock(file, fcntl.LOCK_EX)
print("held", flush=True)
time.sleep(float(sys.argv[1]))
"""


def hold_save_lock(path, seconds):
    """A child process that holds the save lock of path for seconds; returns
    once it holds it. A save flocks .NAME.lock beside the file, or (as the
    save protocol is reworked) the file itself too: both are locked."""
    locks = [path.with_name(f".{path.name}.lock"), path]
    child = subprocess.Popen(
        [sys.executable, "-c", HOLD_LOCKS, str(seconds), *map(str, locks)],
        stdout=subprocess.PIPE, text=True,
    )
    assert child.stdout is not None and child.stdout.readline() == "held\n"
    return child


class Ticker(threading.Thread):
    """Counts while it gets the interpreter's lock, until stopped."""

    def __init__(self):
        super().__init__()
        self.ticks = 0
        self.stopping = threading.Event()

    def run(self):
        while not self.stopping.wait(0.001):
            self.ticks += 1


@pytest.mark.parametrize("kind", ["ini", "xml"])
def test_a_save_waiting_for_the_lock_lets_other_threads_run(tmp_path, kind):
    path = tmp_path / f"store.{kind}"
    store: dezov.IniFile | dezov.XmlFile = dezov.IniFile(path) if kind == "ini" else dezov.XmlFile(path)
    store["S"] = {"k": "1"}
    child = hold_save_lock(path, 1.0)
    ticker = Ticker()
    ticker.start()
    reader_saw = []
    # Started while the save waits: it must wait for the save to end.
    reader = threading.Timer(0.3, lambda: reader_saw.append((store["S"]["k"], store.modified)))
    try:
        reader.start()
        store.save()  # waits until the child lets go of the lock
        during = ticker.ticks
        reader.join(timeout=30)
    finally:
        ticker.stopping.set()
        ticker.join(timeout=30)
        child.kill()
        child.wait(timeout=30)
    assert during > 50  # ~1000 while the lock is held, none if the save kept the interpreter's lock
    assert reader_saw == [("1", False)]  # read after the save, not during it
    store.close()
    reopened: dezov.IniFile | dezov.XmlFile = (
        dezov.IniFile(path) if kind == "ini" else dezov.XmlFile(path)
    )
    assert dict(reopened["S"]) == {"k": "1"}


def test_one_file_used_by_many_threads_stays_whole(tmp_path):
    path = tmp_path / "shared.ini"
    ini = dezov.IniFile(path)
    errors = []

    def work(number):
        try:
            for round in range(20):
                ini[f"T{number}"] = {"round": round}
                ini.save()
                assert ini.getint(f"T{number}", "round") == round
        except Exception as error:  # reported below
            errors.append(error)

    workers = [threading.Thread(target=work, args=(n,)) for n in range(4)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join(timeout=60)
    assert errors == [] and not any(worker.is_alive() for worker in workers)
    assert {name: dict(s) for name, s in dezov.IniFile(path).items()} == {
        f"T{n}": {"round": "19"} for n in range(4)
    }
