"""The outcome of a run: a table per folder, the survivors one by one, JSON for a later comparison."""

import json

KILLED = "killed"
SURVIVED = "survived"
UNCOMPILABLE = "uncompilable"


def folder_of(relative):
    return relative.rsplit("/", 1)[0]


def tally(results):
    """{folder: {"mutants", "killed", "survived", "uncompilable", "score"}}, folders sorted."""
    folders = {}
    for result in results:
        row = folders.setdefault(
            folder_of(result["file"]), dict.fromkeys(("mutants", KILLED, SURVIVED, UNCOMPILABLE), 0)
        )
        row["mutants"] += 1
        row[result["status"]] += 1
    total = dict.fromkeys(("mutants", KILLED, SURVIVED, UNCOMPILABLE), 0)
    for row in folders.values():
        for name in total:
            total[name] += row[name]
    rows = {name: folders[name] for name in sorted(folders)}
    rows["total"] = total
    for row in rows.values():
        row["score"] = score(row)
    return rows


def score(row):
    """Killed over the mutants that compiled; None when none did."""
    judged = row[KILLED] + row[SURVIVED]
    return round(100.0 * row[KILLED] / judged, 1) if judged else None


def table(results):
    rows = tally(results)
    width = max(len(name) for name in rows)
    lines = [f"{'folder':<{width}}  mutants  killed  survived  uncompilable  score"]
    for name, row in rows.items():
        shown = "-" if row["score"] is None else f"{row['score']:.0f}%"
        counts = f"{row['mutants']:>7}  {row[KILLED]:>6}  {row[SURVIVED]:>8}  {row[UNCOMPILABLE]:>12}"
        lines.append(f"{name:<{width}}  {counts}  {shown:>5}")
    survivors = [r for r in results if r["status"] == SURVIVED]
    if survivors:
        lines.append("")
        lines.append("survivors:")
        for r in survivors:
            lines.append(f"  {r['file']}:{r['line']}  {r['operator']}  {r['original']} -> {r['replacement']}")
    return "\n".join(lines)


def key(r):
    """A mutant's identity in a results file: its place and its change."""
    return (r["file"], r["line"], r["col"], r["operator"], r["original"], r["replacement"])


def killed_again(found, old):
    """The candidates an earlier run killed, found again by place and change, and how many of that
    run's killed mutants are no longer candidates (their line changed). Cutting tests cannot kill a
    mutant that survived, so judging these again is enough to find every regression."""
    wanted = {key(r) for r in old["mutants"] if r["status"] == KILLED}
    chosen = [m for m in found if m.key() in wanted]
    return chosen, len(wanted) - len(chosen)


def differences(old, new):
    """Mutants judged in both runs whose verdict changed, as lines; keyed by place and change, so
    a run on the same source and seed compares mutant by mutant."""
    before = {key(r): r["status"] for r in old["mutants"]}
    lines = []
    for r in new["mutants"]:
        was = before.get(key(r))
        if was is None or was == r["status"] or UNCOMPILABLE in (was, r["status"]):
            continue
        word = "regression" if was == KILLED else "now killed"
        lines.append(
            f"  {word}: {r['file']}:{r['line']}  {r['operator']}  {r['original']} -> {r['replacement']}"
        )
    common = len(before.keys() & {key(r) for r in new["mutants"]})
    return [
        f"compared with the earlier run: {common} mutants in common, {len(lines)} changed verdict"
    ] + lines


def write_json(path, run, results):
    data = dict(run, summary=tally(results), mutants=results)
    path.write_text(json.dumps(data, indent=1) + "\n")
