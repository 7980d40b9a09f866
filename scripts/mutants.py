#!/usr/bin/env python3
"""Mutation score of the test suite: a seeded sample of small faults put into src/, one at a time,
each built in the mutants tree (build/mutants) and judged by the tests of its layer.

    scripts/mutants.py [--mutants N] [--seed S] [--folder src/boot] [--compare OLD.json]
    scripts/mutants.py --again OLD.json     # only what OLD killed: did cutting tests lose any?

A mutant is killed when a test fails or runs out of time, survives when all pass, and is
uncompilable when it does not build (not counted in the score). The work tree is put back after
every mutant, on an interruption too, and at the start of a run after one that was killed.
"""

import argparse
import fcntl
import json
import random
import shlex
import signal
import subprocess
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True

from mutation import report  # noqa: E402
from mutation.operators import find_mutants  # noqa: E402
from mutation.suites import SUITES, Runner, suites_for, targets_of  # noqa: E402
from mutation.worktree import FileGuard  # noqa: E402

ROOT = Path(__file__).resolve().parent.parent


class Interrupted(Exception):
    pass


def _interrupt(signum, _frame):
    raise Interrupted(signal.Signals(signum).name)


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument("--mutants", type=int, default=60, help="how many mutants to sample (default 60)")
    parser.add_argument("--seed", type=int, default=1, help="the sample's seed (default 1)")
    parser.add_argument("--folder", default="src", help="only files under this path (default src)")
    parser.add_argument("--jobs", type=int, default=2, help="build jobs and test executables at a time")
    parser.add_argument("--build-dir", type=Path, default=ROOT / "build" / "mutants")
    parser.add_argument(
        "--timeout-factor", type=float, default=3.0, help="a suite's limit over its unmutated time"
    )
    parser.add_argument(
        "--min-timeout", type=float, default=20.0, help="the least limit of a suite, in seconds"
    )
    parser.add_argument("--build-timeout", type=float, default=900.0, help="seconds for one mutant's build")
    parser.add_argument("--output", type=Path, help="results (default BUILD_DIR/results.json)")
    parser.add_argument("--compare", type=Path, help="an earlier results file to compare verdicts with")
    parser.add_argument(
        "--again",
        type=Path,
        help="judge only the mutants an earlier results file counts as killed (after tests were cut)",
    )
    parser.add_argument("--list", action="store_true", help="print the sample and stop")
    return parser.parse_args(argv)


def candidates(folder):
    """Every candidate mutant of the .cpp files under `folder` (headers are left alone: a mutant
    there would rebuild every file that includes it)."""
    folder = folder.rstrip("/")
    found = []
    for path in sorted((ROOT / "src").rglob("*.cpp")):
        relative = path.relative_to(ROOT).as_posix()
        if relative == folder or relative.startswith(folder + "/"):
            found += find_mutants(relative, path.read_text(encoding="utf-8"))
    return found


def sample(found, count, seed):
    """The same seed on the same tree gives the same mutants, in file and line order."""
    chosen = random.Random(seed).sample(found, min(count, len(found)))
    return sorted(chosen, key=lambda m: m.key())


def objects_in(build_dir):
    """relative source path -> the mutants tree's objects compiled from it (none before the tree
    is configured)."""

    def objects_of(relative):
        database = build_dir / "compile_commands.json"
        if not database.exists():
            return []
        found = []
        for entry in json.loads(database.read_text()):
            words = shlex.split(entry["command"])
            if Path(entry["file"]) == ROOT / relative and "-o" in words:
                found.append(Path(entry["directory"]) / words[words.index("-o") + 1])
        return found

    return objects_of


def configure(build_dir):
    if not (build_dir / "build.ninja").exists():
        subprocess.run(["cmake", "--preset", "mutants"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)


def baseline(runner, suites, args):
    """Builds everything the sample needs and runs each suite unmutated: a suite that fails already
    could judge nothing. Returns each suite's time limit."""
    targets = targets_of(suites)
    print(f"building {len(targets)} targets in {args.build_dir.relative_to(ROOT)} ...", flush=True)
    built, complaint = runner.build(targets, timeout=None)
    if not built:
        sys.exit(f"mutants: the unmutated tree does not build: {complaint}")
    limits = {}
    for suite in suites:
        verdict = runner.run([suite], {suite.name: 3600})
        if not verdict.passed:
            sys.exit(f"mutants: {suite.name} fails without a mutant: {verdict.detail}")
        took = verdict.seconds[suite.name]
        limits[suite.name] = max(args.min_timeout, args.timeout_factor * took)
        print(f"  {suite.name}: {took:.1f} s unmutated, limit {limits[suite.name]:.0f} s", flush=True)
    return limits


def judge(mutant, guard, runner, limits, args):
    """Applies, builds, restores, then tests: the work tree holds the mutant only while it builds."""
    suites = suites_for(mutant.file)
    path = ROOT / mutant.file
    started = time.monotonic()
    try:
        guard.apply(mutant.file, mutant.apply(path.read_text(encoding="utf-8")).encode("utf-8"))
        built, complaint = runner.build(targets_of(suites), args.build_timeout)
    finally:
        guard.restore()
    build_seconds = time.monotonic() - started
    result = mutant.to_json()
    if not built:
        result.update(status=report.UNCOMPILABLE, detail=complaint)
    elif not suites:
        result.update(status=report.SURVIVED, detail="no tests for this folder")
    else:
        verdict = runner.run(suites, limits)
        if verdict.passed:
            result.update(status=report.SURVIVED, detail="")
        else:
            word = "time-out in " if verdict.timed_out else ""
            result.update(status=report.KILLED, detail=f"{word}{verdict.suite}: {verdict.detail}")
    result.update(build_seconds=round(build_seconds, 1), seconds=round(time.monotonic() - started, 1))
    return result


def lock_and_recover(args):
    """Holds the mutants tree for this run and puts back what a killed run left mutated, before
    any file is read for candidates. Returns the guard, the state folder and the lock."""
    state = args.build_dir / "mutants-state"
    state.mkdir(parents=True, exist_ok=True)
    lock = open(state / "lock", "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        sys.exit("mutants: another run is using this build tree")
    guard = FileGuard(ROOT, state, objects_in(args.build_dir))
    leftover = guard.recover()
    if leftover:
        print(f"mutants: put back {leftover}, left mutated by a run that was killed", flush=True)
    return guard, state, lock


def judge_all(chosen, guard, runner, args, results):
    needed = sorted({s.name for m in chosen for s in suites_for(m.file)}, key=list(SUITES).index)
    limits = baseline(runner, [SUITES[name] for name in needed], args)
    for number, mutant in enumerate(chosen, 1):
        result = judge(mutant, guard, runner, limits, args)
        results.append(result)
        print(
            f"[{number}/{len(chosen)}] {mutant.file}:{mutant.line}  {mutant.operator}  {mutant.change()}"
            f"  -> {result['status']}  ({result['seconds']:.1f} s)",
            flush=True,
        )


def main(argv):
    args = parse_arguments(argv)
    args.build_dir = args.build_dir.resolve()
    caught = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
    for signum in caught:
        signal.signal(signum, _interrupt)
    guard, state, _lock = lock_and_recover(args)

    found = candidates(args.folder)
    if args.again:
        chosen, gone = report.killed_again(found, json.loads(args.again.read_text()))
        if gone:
            print(f"mutants: {gone} killed mutants of {args.again} are no longer in the source", flush=True)
        args.compare = args.compare or args.again
    else:
        chosen = sample(found, args.mutants, args.seed)
    if args.list:
        for m in chosen:
            print(f"{m.file}:{m.line}:{m.col + 1}  {m.operator}  {m.change()}")
        return 0
    if not chosen:
        sys.exit(f"mutants: nothing to mutate under {args.folder}")
    print(
        f"{len(chosen)} mutants of {len(found)} candidates under {args.folder}, seed {args.seed}", flush=True
    )

    configure(args.build_dir)
    run = {
        "seed": args.seed,
        "requested": args.mutants,
        "folder": args.folder,
        "candidates": len(found),
        "commit": _commit(),
        "interrupted": False,
    }
    results = []
    exit_code = 0
    try:
        judge_all(chosen, guard, Runner(args.build_dir, state, args.jobs), args, results)
    except Interrupted as signal_name:
        run["interrupted"] = True
        print(f"mutants: interrupted ({signal_name}); the work tree is restored", file=sys.stderr)
        exit_code = 130
    finally:
        guard.restore()
    for signum in caught:
        signal.signal(signum, signal.SIG_DFL)

    print()
    print(report.table(results))
    if results:
        total = sum(r["seconds"] for r in results)
        print(f"\n{total:.0f} s for {len(results)} mutants, {total / len(results):.1f} s each")
    output = args.output or args.build_dir / "results.json"
    report.write_json(output, run, results)
    print(f"results: {output}")
    if args.compare:
        print("\n".join(report.differences(json.loads(args.compare.read_text()), {"mutants": results})))
    return exit_code


def _commit():
    done = subprocess.run(["git", "rev-parse", "HEAD"], cwd=ROOT, capture_output=True, text=True)
    return done.stdout.strip()


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except Interrupted as signal_name:
        # Before the first mutant or while putting one back: nothing is left changed.
        sys.exit(f"mutants: interrupted ({signal_name})")
