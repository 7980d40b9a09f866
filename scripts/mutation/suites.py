"""Which tests judge a mutant of each layer, how they are built, and running them to a verdict.

A layer's tests are its own executable and those of the layers above it that are cheap to run;
the window (e2e) tests never are. Every test executable is a GoogleTest one run directly with
--gtest_fail_fast (one process instead of one per case, stopping at the first failure); the tests
that are not GoogleTest cases go through ctest with --stop-on-failure.
"""

import os
import signal
import subprocess
import time
from dataclasses import dataclass


@dataclass(frozen=True)
class Suite:
    name: str
    targets: tuple  # what to build for it
    gtest: str = ""  # a GoogleTest executable under tests/, or
    ctest: str = ""  # a ctest regular expression

    def command(self, build_dir):
        if self.gtest:
            return [str(build_dir / "tests" / self.gtest), "--gtest_fail_fast", "--gtest_brief=1"]
        return [
            "ctest",
            "--test-dir",
            str(build_dir),
            "-R",
            self.ctest,
            "--stop-on-failure",
            "--output-on-failure",
        ]


def _gtest(name, *extra_targets):
    return Suite(name, (name,) + extra_targets, gtest=name)


SUITES = {
    s.name: s
    for s in (
        _gtest("platform_tests"),
        _gtest("device_tests"),
        _gtest("boot_tests"),
        _gtest("net_tests"),
        _gtest("update_tests"),
        _gtest("integration_tests", "flashwell-lab"),
        Suite("recordings", ("flashwell-lab",), ctest="^recording_"),
        _gtest("ui_tests"),
        _gtest("screen_tests"),
        _gtest("guide_tests"),
        _gtest("update_view_tests"),
        _gtest("cli_tests"),
        _gtest("desktop_tests", "flashwell"),
        Suite(
            "hidraw", ("hidraw_tests", "cli_hidraw_tests", "flashwell-cli", "flashwell-lab"), ctest="hidraw"
        ),
    )
}

# src/<layer>/ -> the suites that judge its mutants: the layer's own first (the likeliest to fail
# fast), then the slow ones (the hidraw pair ~20 s, integration ~11 s, screens ~8 s at -O1), so
# that two at a time a survivor's tests end together. Every suite here runs in seconds; only the
# window tests are left out.
LAYERS = {
    "platform": "platform_tests hidraw integration_tests screen_tests desktop_tests device_tests boot_tests "
    "net_tests update_tests recordings ui_tests guide_tests update_view_tests cli_tests",
    "device": "device_tests hidraw integration_tests screen_tests boot_tests net_tests update_tests "
    "recordings ui_tests guide_tests update_view_tests cli_tests",
    "boot": "boot_tests hidraw integration_tests update_tests recordings update_view_tests cli_tests",
    "mapping": "net_tests integration_tests update_tests",
    "net": "net_tests integration_tests screen_tests update_tests recordings guide_tests update_view_tests "
    "cli_tests",
    "update": "update_tests hidraw integration_tests screen_tests guide_tests update_view_tests cli_tests "
    "recordings",
    "ui": "ui_tests screen_tests guide_tests update_view_tests cli_tests",
    "app": "screen_tests desktop_tests",
    "cli": "cli_tests hidraw",
}


def layer_of(relative):
    """src/boot/Crc.cpp -> boot"""
    parts = relative.split("/")
    return parts[1] if len(parts) > 2 and parts[0] == "src" else ""


def suites_for(relative):
    return [SUITES[name] for name in LAYERS.get(layer_of(relative), "").split()]


def targets_of(suites):
    return sorted({target for suite in suites for target in suite.targets})


@dataclass
class Verdict:
    passed: bool
    timed_out: bool = False
    suite: str = ""
    detail: str = ""
    seconds: dict = None


class Runner:
    """Builds and runs in the mutants tree; every process it starts leads a process group of its
    own, so a time-out or an interruption stops it and its children, and nothing else."""

    def __init__(self, build_dir, log_dir, jobs):
        self._build_dir = build_dir
        self._log_dir = log_dir
        self._jobs = jobs
        self._env = dict(os.environ, QT_QPA_PLATFORM="offscreen", GTEST_COLOR="no")

    def build(self, targets, timeout):
        """(succeeded, the compiler's complaint)"""
        log = self._log_dir / "build.log"
        command = ["cmake", "--build", str(self._build_dir), "-j", str(self._jobs), "--target", *targets]
        with open(log, "wb") as out:
            code = _wait_group(
                subprocess.Popen(command, stdout=out, stderr=subprocess.STDOUT, start_new_session=True),
                timeout,
            )
        text = log.read_text(errors="replace")
        if code == 0:
            return True, ""
        errors = [line for line in text.splitlines() if "error" in line]
        return False, (errors[0] if errors else text[-300:]).strip()

    def run(self, suites, timeouts):
        """Runs the suites, `jobs` at a time, until one fails or times out (the mutant is then
        killed) or all pass. `timeouts` maps a suite's name to its limit in seconds."""
        pending = list(suites)
        running = {}
        seconds = {}
        try:
            while pending or running:
                while pending and len(running) < self._jobs:
                    suite = pending.pop(0)
                    running[suite.name] = (suite, self._start(suite), time.monotonic())
                for name, (suite, proc, started) in list(running.items()):
                    elapsed = time.monotonic() - started
                    code = proc.poll()
                    if code is None and elapsed <= timeouts[name]:
                        continue
                    del running[name]
                    seconds[name] = round(elapsed, 2)
                    if code is None:
                        _stop_group(proc)
                        return Verdict(False, True, name, f"no verdict after {timeouts[name]:.0f} s", seconds)
                    if code != 0:
                        return Verdict(False, False, name, self._first_failure(suite, code), seconds)
                if running:
                    _wait_any([proc for _, proc, _ in running.values()], 0.05)
            return Verdict(True, seconds=seconds)
        finally:
            for _, proc, _ in running.values():
                _stop_group(proc)

    def _start(self, suite):
        out = open(self._log_dir / f"{suite.name}.log", "wb")
        try:
            return subprocess.Popen(
                suite.command(self._build_dir),
                cwd=self._build_dir / "tests",
                env=self._env,
                stdout=out,
                stderr=subprocess.STDOUT,
                start_new_session=True,
            )
        finally:
            out.close()

    def _first_failure(self, suite, code):
        text = (self._log_dir / f"{suite.name}.log").read_text(errors="replace")
        for line in text.splitlines():
            if line.startswith("[  FAILED  ]") or "***Failed" in line or "(Failed)" in line:
                return line.strip()
        return f"exit code {code}"


def _wait_any(procs, timeout):
    """Waits until one process ends or `timeout` passes, whichever comes first."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if any(proc.poll() is not None for proc in procs):
            return
        time.sleep(0.01)


def _wait_group(proc, timeout):
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return None
    finally:
        _stop_group(proc)


def _stop_group(proc):
    """Ends the process group `proc` leads (TERM, then KILL), if it is still there."""
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGTERM)
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
        except ProcessLookupError:
            pass
    else:
        # Children that outlived the group's leader (a test's helper process).
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass
