#!/usr/bin/env bash
# The house-rule check fails on each kind of breach planted in a copy of the tree, and passes the tree
# as it is.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
check="$root/tools/check_layers.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

python3 "$check" "$root/src" >/dev/null || { echo "FAIL: the tree itself breaks a rule"; failures=1; }

# expect_breach FILE LINE MESSAGE: FILE (below src) gains LINE, and the check must name MESSAGE.
expect_breach() {
  rm -rf "$work/src"
  cp -r "$root/src" "$work/src"
  printf '%s\n' "$2" >>"$work/src/$1"
  local out status=0
  out=$(python3 "$check" "$work/src") || status=$?
  if [ "$status" -ne 1 ] || ! grep -qF -- "$3" <<<"$out"; then
    echo "FAIL: $1 + '$2' gave status $status: $out"
    failures=1
  fi
}

expect_breach product/setup_log.cpp '#include "ui/dialog_context.h"' "product/setup_log.cpp: includes ui/dialog_context.h, a floor above"
expect_breach journal/install_record.cpp '#include "product/setup_state.h"' "journal/install_record.cpp: includes product/setup_state.h, a floor above"
expect_breach core/path_text.h 'inline constexpr char kFolder[] = "C:\\Program Files\\Halvorn";' "core/path_text.h: names the product (Halvorn)"
expect_breach steps/client/client_update.cpp '#include "steps/server/server_setup.h"' "includes steps/server/server_setup.h, a sibling"
expect_breach steps/toolkit/cabinet_extraction.cpp '#include "steps/client/client_setup.h"' "a floor above"
expect_breach steps/actions/folder_made.cpp '#include "steps/toolkit/directory_helpers.h"' "a floor above"
expect_breach steps/server/server_update.cpp 'void Pool(SetupState& s) { static_cast<void>(s.record.Add(RecordEntry::Kind::pool, {"p"})); }' "records a change itself"
expect_breach ui/setup_dialog.cpp '#include "run/program.h"' "ui/setup_dialog.cpp: includes run/program.h, a floor above"
expect_breach platform/files.h '#include "platform/win32/win32_files.h"' "the port includes its adapter"
expect_breach steps/sql/sql_server_detection.cpp '#include "resources/resource.h"' "control IDs are for ui, run and the adapters"
expect_breach core/blank_text.cpp '#include <windows.h>' "includes <windows.h> outside"
expect_breach ui/setup_dialog.cpp 'void Quit(Runtime& r) { r.ExitProcess(0); }' "ui/setup_dialog.cpp: ends the process"
expect_breach steps/toolkit/runtime_check.cpp 'void Drop(Registry& registry, RegistryKey k) { registry.CloseKey(k); }' "closes a port handle by hand"
expect_breach product/setup_choices.h 'using RunMode = unsigned;' "RunMode is an alias of another type"
expect_breach platform/win32/win32_processes.cpp 'BOOL Go(LPSTR c) { return CreateProcessA(nullptr, c, 0, 0, 0, 0, 0, 0, 0, 0); }' "starts a program without an application name"
expect_breach platform/win32/win32_runtime.cpp 'void Run() { ShellExecuteA(nullptr, "open", "msiexec.exe", 0, 0, 0); }' "starts a program by a search"
expect_breach platform/win32/win32_cabinet.cpp 'HMODULE Lib() { return LoadLibraryA("cabinet.dll"); }' "loads a DLL from outside the system folder"
expect_breach platform/win32/win32_files.cpp 'DWORD Find(LPSTR p) { return SearchPathA(nullptr, "x.dll", 0, 9, p, 0); }' "searches the exe's folder"
expect_breach platform/win32/win32_processes.cpp 'void Hold(HANDLE h) { WaitForSingleObject(h, INFINITE); }' "waits without answering its windows (WaitForSingleObject)"

[ "$failures" -eq 0 ] && echo "check_layers: every planted breach was found"
exit "$failures"
