#!/usr/bin/env bash
# /plan before a quiet install of the AI client, as an administrator asks what a run will change:
#   plan     /plan=FILE with the install's switches ends with 0, writes FILE as JSON (every change with
#            its component, kind and target) and changes nothing else: the files under C:\ and the
#            product's registry keys are as before, no package is fetched whole
#   text     /plan without FILE prints the same changes as text, grouped by component
#   proof    the quiet install that follows makes no file, folder or registry value the plan does not name
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/world.sh"
world_init "$1"
artefacts="$WORLD_BUILD/artefacts"
mkdir -p "$artefacts"
world_need_display "$0" "$@"
world_trust_ca
drive_c="$WINEPREFIX/drive_c"
work="$drive_c/NembricE2E"
entry='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\NembricClient'
trap 'world_stop_server' EXIT

# Every file and folder under C:\ with its size and time, but the test's own folder, Wine's, and the caches
# Wine's WinHTTP and crypto keep in the user's profile on their first use.
listing() {
  (cd "$drive_c" && find . -path ./NembricE2E -prune -o -path ./windows -prune -o -path './users/*/AppData' -prune \
    -o -printf '%y %s %T@ %p\n') | sort
}
# The product's keys with their values; the 32-bit view's keys are marked, since reg.exe names them
# without WOW6432Node.
product_keys() {
  for key in "$entry /reg:32" 'HKCU\Software\Halvorn' 'HKLM\SOFTWARE\Halvorn /reg:64' \
    'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\NembricSetup'; do
    [[ "$key" == *"/reg:32" ]] && echo "VIEW32" || echo "VIEW64"
    # shellcheck disable=SC2086
    world_reg_query $key /s
  done
}

rm -rf "$work" "$drive_c/NembricAIApp" "$drive_c/Program Files/Halvorn"
mkdir -p "$work"
world_forget_ai_client
printf '[Setup]\r\nSetupType = Client\r\nBitSize = AI Client\r\n' >"$work/ai.ini"
world_start_server
listing >"$work/before.txt"
product_keys >"$work/keys-before.txt"
requests_before=$(wc -l <"$WORLD_REQUESTS")

status=$(cd "$work" && world_exit_code "$WORLD_EXE" '/plan=C:\NembricE2E\plan.json' '/answers=C:\NembricE2E\ai.ini' \
  /source=localhost)
[ "$status" = 0 ] || fail "plan: exit code $status, not 0"
cp "$work/plan.json" "$artefacts/plan.json" 2>/dev/null || fail "plan: no plan written"
listing >"$work/after-plan.txt"
diff -u "$work/before.txt" "$work/after-plan.txt" >"$work/plan-changed.txt" ||
  fail "plan: files under C:\\ changed: $(head -c 600 "$work/plan-changed.txt")"
product_keys >"$work/keys-after-plan.txt"
diff -q "$work/keys-before.txt" "$work/keys-after-plan.txt" >/dev/null || fail "plan: the product's keys changed"
# The cabinet's directory is all the plan fetches of it: a range request, never the whole package.
tail -n +"$((requests_before + 1))" "$WORLD_REQUESTS" >"$work/plan-requests.txt"
grep -qF 'GET /downloads/NembricAIAppSetup.cab Accept=*/* Range=bytes=0-262143' "$work/plan-requests.txt" ||
  fail "plan: the cabinet's directory was not asked for: $(cat "$work/plan-requests.txt")"

WORLD_OUTPUT="$work/plan.txt"
status=$(cd "$work" && world_exit_code "$WORLD_EXE" /plan '/answers=C:\NembricE2E\ai.ini' /source=localhost)
unset WORLD_OUTPUT
cp "$work/plan.txt" "$artefacts/plan.txt"
[ "$status" = 0 ] || fail "text: exit code $status, not 0"
grep -qx 'client' "$work/plan.txt" && grep -qx '  folder c:\\NembricAIApp' "$work/plan.txt" ||
  fail "text: no client group with its folder: $(head -5 "$work/plan.txt")"

status=$(cd "$work" && world_exit_code "$WORLD_EXE" /quiet '/answers=C:\NembricE2E\ai.ini' /source=localhost)
[ "$status" = 0 ] || fail "install: exit code $status, not 0"
listing >"$work/after-run.txt"
product_keys >"$work/keys-after-run.txt"
python3 - "$work/plan.json" "$work/before.txt" "$work/after-run.txt" "$work/keys-before.txt" "$work/keys-after-run.txt" \
  >"$artefacts/plan-proof.txt" <<'PY' || fail "proof: $(tail -5 "$artefacts/plan-proof.txt")"
import json, sys
plan = json.load(open(sys.argv[1], encoding="utf-8"))
components = {"client", "server", "sql", "shared"}
planned = set()
for change in plan["changes"]:
    assert change["component"] in components, change
    assert isinstance(change["replaces"], bool), change
    if change["kind"] == "value":
        planned.add((change["key"] + "|" + change["name"]).lower())
    elif change["kind"] == "key":
        planned.add(change["key"].lower())
    else:
        planned.add(change.get("path", "").lower())
def paths(listing):
    found = {}
    for line in open(listing, encoding="utf-8"):
        kind, size, time, path = line.rstrip("\n").split(" ", 3)
        if path != ".":
            found["c:\\" + path[2:].replace("/", "\\").lower()] = (kind, size, time)
    return found
# Each key and value as a line of its own: "key" or "key|name type data".
def registry(listing):
    lines, key, view32 = set(), None, False
    for line in open(listing, encoding="utf-8", errors="replace"):
        line = line.rstrip("\n")
        if line in ("VIEW32", "VIEW64"):
            view32 = line == "VIEW32"
        elif line.startswith("HKEY_"):
            key = line.replace("HKEY_LOCAL_MACHINE", "HKLM").replace("HKEY_CURRENT_USER", "HKCU")
            if view32 and key.lower().startswith("hklm\\software\\"):
                key = key[:14] + "WOW6432Node\\" + key[14:]
            lines.add(key.lower())
        elif line.strip() and key:
            parts = line.strip().split("    ")
            name = "" if parts[0] == "(Default)" else parts[0]
            lines.add((key + "|" + name).lower() + " " + " ".join(parts[1:]))
    return lines
before, after = paths(sys.argv[2]), paths(sys.argv[3])
# New files and folders, and files rewritten (a folder's time moves with what is made in it); what the
# stand-in installers write of their own (their logs in C:\NembricTest) is theirs, under the installer's
# entry.
made = [p for p in after if (p not in before or (after[p][0] == "f" and before[p] != after[p]))
        and not p.startswith("c:\\nembrictest")]
unplanned = sorted(p for p in made if p not in planned)
values = [line for line in registry(sys.argv[5]) - registry(sys.argv[4])]
unplanned += sorted("registry " + line for line in values if line.split(" ")[0] not in planned)
print(f"{len(plan['changes'])} changes planned; {len(made)} files and folders and {len(values)} keys and values made or changed; {len(unplanned)} unplanned")
for item in unplanned:
    print("unplanned:", item)
sys.exit(1 if unplanned else 0)
PY

[ "$WORLD_FAILURES" -eq 0 ] && echo "plan: nothing changed by the plan; the install made nothing it did not name ($(head -1 "$artefacts/plan-proof.txt"))"
exit "$((WORLD_FAILURES > 0))"
