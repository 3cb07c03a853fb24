"""Runs a program the way the benchmarks time it: wall time, CPU time and peak memory.

The figures come from the kernel's accounting of the finished child (wait4), so a program that
starts helpers of its own is charged for them too: CPU time adds up over them, and the peak
resident size is that of the largest single process among them (the kernel keeps a maximum, not
a sum).
"""
import dataclasses
import os
import subprocess
import tempfile
import time


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
    with tempfile.TemporaryFile() as errors:
        start = time.perf_counter()
        try:
            child = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=errors, env=env, cwd=cwd)
        except OSError as error:
            raise StepFailed(f"{argv[0]} cannot start: {error}") from error
        _, status, rusage = os.wait4(child.pid, 0)
        wall = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(status)  # reaped here, not by Popen
        if child.returncode != 0:
            errors.seek(0)
            tail = errors.read().decode(errors="replace").strip().splitlines()[-3:]
            raise StepFailed(f"{os.path.basename(argv[0])} exited with {child.returncode}: " + " / ".join(tail))
    return Usage(wall, rusage.ru_utime + rusage.ru_stime, rusage.ru_maxrss)


def run_steps(steps, env=None, cwd=None):
    """Runs the steps one after another, as one pipeline, and returns their summed Usage. A step
    is an argv list, or a function returning one when the step before has to run first (a list
    of the files it wrote)."""
    total = Usage()
    for step in steps:
        total = total.then(run(step() if callable(step) else step, env=env, cwd=cwd))
    return total
