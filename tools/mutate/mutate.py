#!/usr/bin/env python3
"""Mutation check of the engine's sound rules: breaks one rule at a time in a scratch copy of the
source tree, rebuilds the engine tests there and reports which breaks no test notices.

    tools/mutate/mutate.py [--list tools/mutate/mutants.txt] [--only TEXT ...] [--target engine_tests]
                           [--revision REV] [--keep] [--scratch DIR] [--check]

Each mutant in the list is a one-line (or two-line, for an order of steps) edit of an engine
source; see the head of mutants.txt for the format. The scratch tree is a copy of the working
tree (uncommitted changes included), or of commit REV, in a private temporary folder, built with ccache; only the
test binaries named by --target are rebuilt per mutant. Exit status 0 when every mutant is killed.
Not part of `./vantor.sh test`: a full run takes the better part of an hour on a busy machine.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def read_mutants(path):
    """Blocks of '== name', a file, '-' lines to find and '+' lines to put in their place."""
    mutants, current = [], None
    with open(path) as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if line.startswith("#") or not line.strip():
                continue
            if line.startswith("== "):
                current = {"name": line[3:].strip(), "file": None, "find": [], "put": [],
                           "line": number}
                mutants.append(current)
            elif current is None:
                sys.exit(f"{path}:{number}: a mutant starts with '== name'")
            elif current["file"] is None:
                current["file"] = line.strip()
            elif line.startswith("-"):
                current["find"].append(line[1:])
            elif line.startswith("+"):
                current["put"].append(line[1:])
            else:
                sys.exit(f"{path}:{number}: expected a '-' or '+' line")
    for m in mutants:
        if not m["file"] or not m["find"]:
            sys.exit(f"{path}:{m['line']}: mutant '{m['name']}' needs a file and '-' lines")
    return mutants


def copy_tree(scratch, revision=None):
    if revision:
        os.makedirs(scratch, exist_ok=True)
        archive = subprocess.run(["git", "archive", revision], cwd=ROOT, check=True,
                                 capture_output=True).stdout
        subprocess.run(["tar", "-x", "-C", scratch], input=archive, check=True)
        return
    files = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                           cwd=ROOT, check=True, capture_output=True).stdout.split(b"\0")
    for name in files:
        if not name:
            continue
        source = os.path.join(ROOT, name.decode())
        if not os.path.isfile(source):
            continue  # deleted in the working tree
        target = os.path.join(scratch, name.decode())
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(source, target)


def run(command, cwd, log, timeout=None):
    with open(log, "w") as out:
        try:
            return subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return -1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--list", default=os.path.join(ROOT, "tools", "mutate", "mutants.txt"))
    parser.add_argument("--only", action="append",
                        help="run only the mutants whose name contains this text (repeatable)")
    parser.add_argument("--target", action="append",
                        help="test binary to rebuild and run (default engine_tests; repeatable)")
    parser.add_argument("--revision", help="mutate this commit's tree, not the working tree")
    parser.add_argument("--scratch", help="reuse (or create) this scratch folder")
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder afterwards")
    parser.add_argument("--check", action="store_true",
                        help="only check that every mutant's text occurs once in its file")
    args = parser.parse_args()
    targets = args.target or ["engine_tests"]

    mutants = read_mutants(args.list)
    if args.only:
        mutants = [m for m in mutants if any(text in m["name"] for text in args.only)]
    if args.check:
        stale = 0
        for m in mutants:
            with open(os.path.join(ROOT, m["file"])) as f:
                count = f.read().count("\n".join(m["find"]) + "\n")
            if count != 1:
                stale += 1
                print(f"line {m['line']}: '{m['name']}' occurs {count} times in {m['file']}")
        print(f"{len(mutants) - stale} of {len(mutants)} mutants apply")
        return 1 if stale else 0
    scratch = args.scratch or tempfile.mkdtemp(prefix="vantor-mutate-")
    os.makedirs(scratch, exist_ok=True)
    src, build = os.path.join(scratch, "src"), os.path.join(scratch, "build")
    print(f"scratch tree {scratch}", flush=True)
    copy_tree(src, args.revision)
    log = os.path.join(scratch, "last.log")
    jobs = os.environ.get("JOBS", "2")
    if run(["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
            "-DVANTOR_BENCH=OFF"], scratch, log) != 0:
        sys.exit(f"configuring failed; see {log}")

    binaries = {}
    for target in targets:
        found = subprocess.run(["find", build, "-path", f"*/tests/*", "-name", target, "-type", "f"],
                               capture_output=True, text=True).stdout.split()
        binaries[target] = found[0] if found else None

    def build_and_test():
        if run(["cmake", "--build", build, "-j", jobs, "--target", *targets], scratch, log) != 0:
            return "build"
        for target in targets:
            binary = binaries[target] or subprocess.run(
                ["find", build, "-path", "*/tests/*", "-name", target, "-type", "f"],
                capture_output=True, text=True).stdout.split()[0]
            binaries[target] = binary
            if run([binary, "--gtest_fail_fast", "--gtest_brief=1"], scratch, log, 900) != 0:
                return "failed"
        return "passed"

    if build_and_test() != "passed":
        sys.exit(f"the unmutated tests do not pass in the scratch tree; see {log}")

    results = []
    for m in mutants:
        path = os.path.join(src, m["file"])
        with open(path) as f:
            original = f.read()
        find, put = "\n".join(m["find"]) + "\n", "\n".join(m["put"]) + ("\n" if m["put"] else "")
        if original.count(find) != 1:
            print(f"STALE     {m['name']} ({m['file']}: the text to change occurs "
                  f"{original.count(find)} times)", flush=True)
            results.append((m, "stale"))
            continue
        start = time.time()
        with open(path, "w") as f:
            f.write(original.replace(find, put))
        try:
            outcome = build_and_test()
        finally:
            with open(path, "w") as f:
                f.write(original)
        verdict = {"failed": "KILLED", "passed": "SURVIVED", "build": "NO BUILD"}[outcome]
        print(f"{verdict:9} {m['name']}  ({time.time() - start:.0f} s)", flush=True)
        results.append((m, outcome))

    valid = [r for r in results if r[1] in ("failed", "passed")]
    killed = sum(1 for r in valid if r[1] == "failed")
    print(f"\nscore: {killed}/{len(valid)} killed", end="")
    others = len(results) - len(valid)
    print(f" ({others} not built or stale)" if others else "")
    for m, outcome in results:
        if outcome == "passed":
            print(f"  survived: {m['name']}  ({m['file']}, mutants list line {m['line']})")
    if not args.keep and not args.scratch:
        shutil.rmtree(scratch, ignore_errors=True)
    return 0 if killed == len(valid) and not others else 1


if __name__ == "__main__":
    sys.exit(main())
