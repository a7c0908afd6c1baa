#!/usr/bin/env python3
"""The lint: clang-tidy over the portable code, the fakes and the host tests, with the host build's compile
commands (the Windows adapters, the entry point and the window procedures are the Windows build's).

clang-tidy looks at one translation unit at a time, so its verdict on a file is fixed by what it reads: the
file, every header the compiler read for it (the host build's dependency log, system headers included),
the compile command, the checks and the tool's version. tools/lint-clean.txt records that digest for each
file found clean; a file whose digest is on record is not linted again, every other one is. Paths under the
work tree are taken relative to it, so that a clone elsewhere has the same digests.

usage: tools/lint.py [--root TREE] [--build DIR] [--jobs N] [--update]
  --update  also write tools/lint-clean.txt anew: the files found clean, on record or now
Exit code 0 when every file is clean, 1 otherwise (each finding is printed), 2 when the build is missing.
"""
import argparse
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RECORD = os.path.join(ROOT, "tools", "lint-clean.txt")


def set_root(root):
    """Another work tree (the tool's own test lints a small one)."""
    global ROOT, RECORD  # pylint: disable=global-statement
    ROOT = os.path.abspath(root)
    RECORD = os.path.join(ROOT, "tools", "lint-clean.txt")


def lint_set():
    listed = subprocess.run(["git", "ls-files", "src/*.cpp", "tests/fakes/*.cpp", "tests/unit/*.cpp"],
                            cwd=ROOT, check=True, capture_output=True, text=True).stdout.split()
    return [f for f in listed if not f.startswith("src/platform/win32/") and f != "src/main.cpp"]


def compile_commands(build):
    """File (relative to the work tree) -> (compile command, object file relative to the build)."""
    with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as f:
        entries = json.load(f)
    commands = {}
    for entry in entries:
        words = shlex.split(entry["command"])
        output = words[words.index("-o") + 1] if "-o" in words else None
        commands[os.path.relpath(entry["file"], ROOT)] = (entry["command"], output)
    return commands


def dependencies(build, outputs):
    """Object -> the files the compiler read for it, when the build's dependency log holds it up to date."""
    text = subprocess.run(["ninja", "-C", build, "-t", "deps", *outputs], check=True, capture_output=True,
                          text=True).stdout
    found = {}
    current = None
    for line in text.splitlines():
        if line.startswith("    ") and current is not None:
            found[current].append(line.strip())
        elif line.strip():
            name, _, state = line.partition(": #deps")
            current = name if state.rstrip().endswith("(VALID)") else None
            if current is not None:
                found[current] = []
    return found


class Digests:
    def __init__(self, build):
        self.build = build
        self.contents = {}
        version = subprocess.run(["clang-tidy", "--version"], check=True, capture_output=True, text=True).stdout
        with open(os.path.join(ROOT, ".clang-tidy"), "rb") as f:
            self.tool = hashlib.sha256(version.encode() + b"\0" + f.read()).hexdigest()

    def full(self, path):
        """A path of the dependency log (absolute, or relative to the build) made absolute."""
        return os.path.normpath(os.path.join(self.build, path))

    def named(self, path):
        """A path as the record names it: relative to the work tree when inside it."""
        full = self.full(path)
        return os.path.relpath(full, ROOT) if full.startswith(ROOT + os.sep) else full

    def content(self, path):
        full = self.full(path)
        if full not in self.contents:
            try:
                with open(full, "rb") as f:
                    self.contents[full] = hashlib.sha256(f.read()).hexdigest()
            except OSError:
                self.contents[full] = "missing"
        return self.contents[full]

    def of(self, command, deps):
        digest = hashlib.sha256()
        digest.update(self.tool.encode() + b"\0")
        digest.update(command.replace(ROOT, "<root>").encode() + b"\0")
        for dep in sorted(deps, key=self.named):
            digest.update(f"{self.named(dep)}\0{self.content(dep)}\0".encode())
        return digest.hexdigest()


def read_record():
    record = {}
    if os.path.exists(RECORD):
        with open(RECORD, encoding="utf-8") as f:
            for line in f:
                digest, _, path = line.rstrip("\n").partition("  ")
                if path and not line.startswith("#"):
                    record[path] = digest
    return record


def write_record(clean):
    with open(RECORD, "w", encoding="utf-8") as f:
        f.write("# The digests of the files tools/lint.py found clean (written by tools/lint.py --update).\n")
        for path in sorted(clean):
            f.write(f"{clean[path]}  {path}\n")


def tidy(build, path):
    run = subprocess.run(["nice", "-n", "19", "clang-tidy", "-p", build, "--quiet", path], cwd=ROOT,
                         capture_output=True, text=True)
    findings = "\n".join(line for line in (run.stdout + run.stderr).splitlines()
                         if line.strip() and not re.fullmatch(r"\d+ warnings? generated\.", line.strip()))
    return run.returncode == 0, findings


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", default=ROOT)
    parser.add_argument("--build")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--update", action="store_true")
    options = parser.parse_args()
    set_root(options.root)
    build = os.path.abspath(options.build or os.path.join(ROOT, "build", "host"))
    if not os.path.exists(os.path.join(build, "compile_commands.json")):
        print(f"no compile commands in {build}: build the host preset first", file=sys.stderr)
        return 2
    files = lint_set()
    commands = compile_commands(build)
    outputs = [commands[f][1] for f in files if f in commands and commands[f][1]]
    deps = dependencies(build, outputs)
    digests = Digests(build)
    record = read_record()
    keys = {}
    for f in files:
        command, output = commands.get(f, (None, None))
        if command is not None and output in deps:
            keys[f] = digests.of(command, deps[output])
    on_record = [f for f in files if f in keys and record.get(f) == keys[f]]
    to_lint = [f for f in files if f not in on_record]
    print(f"lint: {len(to_lint)} of {len(files)} files; {len(on_record)} with a clean lint of the same inputs "
          "on record")
    clean = {f: keys[f] for f in on_record}
    failed = 0
    with ThreadPoolExecutor(max_workers=options.jobs) as pool:
        for path, (worked, findings) in zip(to_lint, pool.map(lambda p: tidy(build, p), to_lint)):
            if worked:
                if path in keys:
                    clean[path] = keys[path]
            else:
                failed += 1
                print(f"lint: {path}\n{findings}")
    if options.update:
        write_record(clean)
    print(f"lint: {failed} files with findings")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
