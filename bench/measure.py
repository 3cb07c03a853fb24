"""Runs a program the way the benchmarks time it: wall time, CPU time and peak memory.

The figures come from the kernel's accounting of the finished child, read by GNU time, so a
program that starts helpers of its own is charged for them too: CPU time adds up over them, and
the peak resident size is that of the largest single process among them (the kernel keeps a
maximum, not a sum). GNU time stands between us and the program because Linux counts the memory a
process had before it started another program into that program's peak: a child forked straight
from this Python process, which holds the decoded reference frames, would report our size, not
its own.
"""
import dataclasses
import os
import signal
import subprocess
import sys
import tempfile
import time

GNU_TIME = "/usr/bin/time"


@dataclasses.dataclass
class Usage:
    wall: float = 0.0  # seconds, from start to the reaped exit
    cpu: float = 0.0  # seconds, user + system
    peak_rss_kb: int = 0  # largest resident set of any one process, in KiB

    def then(self, other):
        """The usage of this step followed by the other: times add, the peak is the larger."""
        return Usage(self.wall + other.wall, self.cpu + other.cpu, max(self.peak_rss_kb, other.peak_rss_kb))


class StepFailed(Exception):
    pass


def run(argv, env=None, cwd=None):
    """Runs argv to its end and returns its Usage; raises StepFailed with the tail of its error
    output when it exits with a failure or cannot start."""
    with tempfile.NamedTemporaryFile(mode="w+") as figures, tempfile.TemporaryFile() as errors:
        start = time.perf_counter()
        try:
            # A session of its own, so that a stopped run can end the program with its helpers.
            child = subprocess.Popen([GNU_TIME, "-f", "%U %S %M", "-o", figures.name, "--", *argv],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=errors,
                                     env=env, cwd=cwd, start_new_session=True)
        except OSError as error:
            raise StepFailed(f"{GNU_TIME} cannot start (scripts/setup --bench installs it): {error}") from error
        try:
            exit_code = child.wait()
        except BaseException:
            os.killpg(child.pid, signal.SIGKILL)
            child.wait()
            raise
        wall = time.perf_counter() - start
        if exit_code != 0:
            errors.seek(0)
            tail = errors.read().decode(errors="replace").strip().splitlines()[-3:]
            raise StepFailed(f"{os.path.basename(argv[0])} exited with {exit_code}: " + " / ".join(tail))
        # The last line holds the figures; a line before it may say how the program ended.
        user, system, peak_kib = figures.read().split()[-3:]
    return Usage(wall, float(user) + float(system), int(peak_kib))


def run_steps(steps, env=None, cwd=None):
    """Runs the steps one after another, as one pipeline, and returns their summed Usage. A step
    is an argv list, or a function returning one when the step before has to run first (a list
    of the files it wrote)."""
    total = Usage()
    for step in steps:
        total = total.then(run(step() if callable(step) else step, env=env, cwd=cwd))
    return total


def clean_up_when_terminated():
    """A run stopped by a timeout or kill (SIGTERM) unwinds like one stopped with Ctrl+C, so the
    scratch folders of decoded frames and GIFs are removed instead of being left in /tmp."""
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(128 + signum))
