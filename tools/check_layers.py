#!/usr/bin/env python3
"""Checks the house rules of the source tree; prints each breach and exits 1 when there is one.

usage: check_layers.py [SRC_DIR]   (default: the src folder beside this script's folder)

1. Includes point only down the floors: platform <- core <- journal <- product <- plan <- steps <- ui, check
   <- run <- main.cpp. core knows no product (no product name, folder, component or step). Within steps, the
   information server's configuration (iis) sits below the changes with their undo (actions), which sit below
   the shared toolkit (toolkit, download), which sits below the components (client, server, sql), the layout
   and the undo engine (undo); no step includes a sibling of its own floor. resources/ (the control IDs) is for
   ui, run and the adapters only.
2. Only run/ and main.cpp end the process.
3. Options, log tags, control groups, run modes and package bits are distinct types, never plain integers.
4. <windows.h> stays inside platform/win32/ and main.cpp.
5. No logic file closes a port handle by hand: the owned handles of core/port_guards.h do.
6. No program or DLL is found by a search: CreateProcess always names its program, nothing starts a
   program through the shell or the C runtime, LoadLibrary keeps to the system folder, and SearchPath is
   given its folders.
7. Every change the install record names is made through its action: only steps/actions/ (and the record
   itself) writes a change's line or keeps a copy.
8. Every wait answers the windows of its thread: no adapter (nor main.cpp) sleeps or waits on a handle but
   through WaitAnswering (platform/win32/answering_wait.cpp), since the logic waits on the dialog's thread.
"""
import pathlib
import re
import sys

# Floor of each folder; a file may include its own folder and any folder of a lower floor.
FLOORS = {
    "platform": 0,
    "platform/win32": 0,
    "core": 1,
    "journal": 2,
    "product": 3,
    "plan": 4,
    "steps/iis": 5,
    "steps/actions": 6,
    "steps/toolkit": 7,
    "steps/download": 7,
    "steps/client": 8,
    "steps/server": 8,
    "steps/sql": 8,
    "steps/undo": 8,
    "steps/layout": 8,
    "check": 9,
    "ui": 9,
    "run": 10,
    "": 11,  # main.cpp
}
# The adapters implement the ports: they may include the port headers, the ports never the adapters.
RESOURCE_USERS = {"ui", "run", "platform/win32", ""}
DISTINCT_TYPES = ["SetupOptions", "LogTag", "LogFlags", "ControlGroup", "RunMode", "PackageBits"]
# The record's calls that name a change or keep a copy of what it replaces.
RECORDS_CHANGE = re.compile(r"\b(?:record_?|record\(\))\s*(?:\.|->)\s*(Add|AddFile|AddFolder|AddNewFile|BackUp|BeforeWriting)\s*\(")
CHANGE_RECORDERS = {"journal", "steps/actions"}
# The FDI file callbacks close what FDI asks them to close: that is the callback's contract, not a handle
# of the logic's own.
CLOSE_EXEMPT = {"core/port_guards.h", "steps/toolkit/cabinet_callbacks.cpp"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
EXIT = re.compile(r"\bExitProcess\s*\(")
# What names the product: core/ is below it and names none of it.
PRODUCT_WORDS = re.compile(r"Halvorn|Nembric|\bSql\w*|\bSQL\w*|Client\w*|Server\w*|\bclient\b|\bserver\b")
CLOSE_BY_HAND = re.compile(r"\b(registry|files_?|http|processes|cabinet|machine\.\w+)\s*\.\s*(Close|CloseKey|ClosePipeEnd|Destroy)\s*\(")


# The setup runs as administrator: a program or DLL found by a search may be one planted in the exe's
# folder (Downloads) or the current folder.
SEARCHES = [
    (re.compile(r"\bCreateProcess\w*\s*\(\s*(nullptr|NULL|0)\s*,"), "starts a program without an application name"),
    (re.compile(r"(?<![\w.>:])(WinExec|ShellExecute\w*|system|_wsystem|_popen|_wpopen|_spawn\w*p\w*)\s*\("),
     "starts a program by a search"),
    (re.compile(r"\bLoadLibrary(?:Ex)?[AW]?\s*\((?![^;]*LOAD_LIBRARY_SEARCH_SYSTEM32)[^;]*;"),
     "loads a DLL from outside the system folder"),
    (re.compile(r"\bSearchPath[AW]?\s*\(\s*(nullptr|NULL)\s*,"), "searches the exe's folder and the current folder"),
]


# A thread that owns windows and waits without retrieving its messages holds up every program that
# broadcasts to it and is shown "Not responding".
BLOCKING_WAIT = re.compile(r"(?<![\w.>:])(Sleep|SleepEx|WaitForSingleObject\w*|WaitForMultipleObjects\w*|SignalObjectAndWait)\s*\(")
WAIT_EXEMPT = {"platform/win32/answering_wait.cpp"}


def folder_of(relative: pathlib.PurePosixPath) -> str:
    parts = relative.parts[:-1]
    if len(parts) >= 2 and parts[0] in ("steps", "platform"):
        if parts[0] == "platform" and parts[1] != "win32":
            return "platform"
        return "/".join(parts[:2])
    return parts[0] if parts else ""


def check(src: pathlib.Path) -> list[str]:
    breaches = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        relative = pathlib.PurePosixPath(path.relative_to(src).as_posix())
        folder = folder_of(relative)
        if folder not in FLOORS:
            breaches.append(f"{relative}: folder '{folder}' has no floor")
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        code = re.sub(r"//[^\n]*", "", text)
        for bracket, target in INCLUDE.findall(text):
            if bracket == "<":
                if target.lower() == "windows.h" and folder not in ("platform/win32", ""):
                    breaches.append(f"{relative}: includes <windows.h> outside platform/win32/ and main.cpp")
                continue
            if target.startswith("resources/"):
                if folder not in RESOURCE_USERS:
                    breaches.append(f"{relative}: includes {target}; control IDs are for ui, run and the adapters")
                continue
            target_folder = folder_of(pathlib.PurePosixPath(target))
            if target_folder not in FLOORS:
                continue  # a header of the tests or a third party
            if target_folder == folder or (folder == "platform/win32" and target_folder == "platform"):
                continue
            if folder == "platform" and target_folder == "platform/win32":
                breaches.append(f"{relative}: the port includes its adapter {target}")
            elif FLOORS[target_folder] >= FLOORS[folder]:
                what = "a sibling" if FLOORS[target_folder] == FLOORS[folder] else "a floor above"
                breaches.append(f"{relative}: includes {target}, {what}")
        if folder == "core":
            match = PRODUCT_WORDS.search(code)
            if match:
                breaches.append(f"{relative}: names the product ({match.group(0)}); core/ knows no product")
        if EXIT.search(code) and folder not in ("run", "", "platform", "platform/win32"):
            breaches.append(f"{relative}: ends the process; only run/ and main.cpp do")
        if folder not in ("platform", "platform/win32") and str(relative) not in CLOSE_EXEMPT:
            for match in CLOSE_BY_HAND.finditer(code):
                breaches.append(f"{relative}: closes a port handle by hand ({match.group(0).strip()})")
        for pattern, what in SEARCHES:
            for match in pattern.finditer(code):
                breaches.append(f"{relative}: {what} ({match.group(0).strip()[:60]})")
        if folder in ("platform/win32", "") and str(relative) not in WAIT_EXEMPT:
            for match in BLOCKING_WAIT.finditer(code):
                breaches.append(f"{relative}: waits without answering its windows ({match.group(1)}); WaitAnswering does")
        if folder not in CHANGE_RECORDERS:
            for match in RECORDS_CHANGE.finditer(code):
                breaches.append(f"{relative}: records a change itself ({match.group(0).strip()}); its action does")
        for name in DISTINCT_TYPES:
            if re.search(rf"\busing\s+{name}\s*=", code) or re.search(rf"\btypedef\b[^;]*\b{name}\s*;", code):
                breaches.append(f"{relative}: {name} is an alias of another type; it must be a type of its own")
    for name in DISTINCT_TYPES:
        declared = any(
            re.search(rf"\benum\s+class\s+{name}\b", p.read_text(encoding="utf-8", errors="replace"))
            for p in src.rglob("*.h"))
        if not declared and name not in ("SetupOptions", "LogFlags"):
            breaches.append(f"{name} is not declared as an enum class")
    return breaches


def main() -> int:
    src = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent / "src"
    breaches = check(src)
    for breach in breaches:
        print(breach)
    if breaches:
        print(f"layers: {len(breaches)} breach(es) of the house rules")
        return 1
    print("layers: every include points down; the process ends only in run/")
    return 0


if __name__ == "__main__":
    sys.exit(main())
