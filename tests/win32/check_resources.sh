#!/usr/bin/env bash
# Reads the resources back out of the built exe and checks the dialogs, the accelerator table and the
# manifest against what the program needs.
set -euo pipefail
exe=$1
windres=${2:-x86_64-w64-mingw32-windres}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

file "$exe" | grep -q 'PE32+ executable (GUI) x86-64' || { echo "not a PE32+ x86-64 GUI program: $(file "$exe")"; exit 1; }
"$windres" --input-format=coff --output-format=rc -i "$exe" -o "$work/setup.rc"
rc="$work/setup.rc"
failures=0
expect() {
  if ! grep -Fq -- "$1" "$rc"; then
    echo "missing in the exe's resources: $1"
    failures=$((failures + 1))
  fi
}

expect '113 DIALOGEX 0, 0, 450, 210'
expect 'CAPTION "Halvorn NembricAI Universal Setup"'
expect 'FONT 12, "Segoe UI"'
expect '2000 DIALOGEX 0, 0, 250, 200'
expect 'CAPTION "Uninstall, Modify or Repair"'
expect '111 ACCELERATORS'
# Each control exactly as windres reads it back: class keyword, text, ID, x, y, width, height, styles.
# Styles: labels 0x50020000 (child, visible, group); combo boxes 0x50210102 (tab stop, vertical scroll,
# sort, drop-down); edits 0x50810080 (tab stop, border, horizontal scroll), 0x508100a0 with the password
# style; buttons 0x50010000 (tab stop), 0x50010001 the default button; radio buttons 0x...09, the first
# one starting a group; check boxes 0x...03; group boxes 0x50000007.
while IFS= read -r line; do
  expect "  $line"
done <<'TABLE'
LTEXT "Setup Type", 133, 10, 10, 50, 14, 0x50020000
COMBOBOX 119, 76, 10, 50, 42, 0x50210102
LTEXT "BitSize", 126, 200, 10, 50, 14, 0x50020000
COMBOBOX 116, 260, 10, 50, 42, 0x50210102
LTEXT "Client Directory", 127, 10, 30, 50, 14, 0x50020000
COMBOBOX 120, 76, 30, 250, 42, 0x50210102
LTEXT "Server Directory", 128, 10, 50, 50, 14, 0x50020000
COMBOBOX 114, 76, 50, 250, 42, 0x50210102
PUSHBUTTON " Search ", 115, 330, 50, 30, 14, 0x50010000
LTEXT "Edition", 129, 10, 70, 34, 12, 0x50020000
COMBOBOX 125, 76, 70, 50, 48, 0x50210102
LTEXT "Port", 130, 200, 70, 34, 12, 0x50020000
EDITTEXT 117, 260, 70, 30, 14, 0x50810080
LTEXT "Hosts", 131, 10, 90, 34, 12, 0x50020000
EDITTEXT 118, 76, 90, 135, 14, 0x50810080
LTEXT "Install SQL Server", 132, 10, 110, 100, 12, 0x50020000
COMBOBOX 124, 76, 110, 40, 48, 0x50210102
LTEXT "Enter Your Password", 134, 10, 130, 100, 12, 0x50020000
EDITTEXT 122, 76, 130, 80, 14, 0x508100a0
LTEXT "Re-enter Password", 135, 200, 130, 130, 12, 0x50020000
EDITTEXT 123, 260, 130, 80, 14, 0x508100a0
LTEXT "Proxy Server", 137, 10, 150, 100, 12, 0x50020000
EDITTEXT 138, 76, 150, 135, 14, 0x50810080
DEFPUSHBUTTON "OK", 1, 250, 160, 30, 14, 0x50010001
PUSHBUTTON " Cancel ", 2, 290, 160, 30, 14, 0x50010000
PUSHBUTTON " Dark Mode ", 136, 330, 160, 50, 14, 0x50010000
PUSHBUTTON " Proxy ", 139, 390, 160, 30, 14, 0x50010000
GROUPBOX "Select Action", 2005, 10, 10, 230, 30, 0x50000007
AUTORADIOBUTTON "&Uninstall", 2001, 20, 20, 60, 10, 0x50030009
AUTORADIOBUTTON "&Repair", 2002, 100, 20, 60, 10, 0x50010009
GROUPBOX "Apply To", 2006, 10, 50, 230, 30, 0x50000007
AUTOCHECKBOX "Server", 2003, 20, 60, 60, 10, 0x50010003
AUTOCHECKBOX "Client", 2004, 100, 60, 60, 10, 0x50010003
DEFPUSHBUTTON "OK", 1, 50, 90, 50, 14, 0x50010001
PUSHBUTTON "Cancel", 2, 130, 90, 50, 14, 0x50010000
PUSHBUTTON " Dark Mode ", 136, 190, 90, 50, 14, 0x50010000
TABLE
# Popup with caption, system menu and modal frame, with its own font: once per dialog.
[ "$(grep -c '^STYLE 0x80c800c0$' "$rc")" -eq 2 ] || { echo "dialog styles differ"; failures=$((failures + 1)); }
[ "$(grep -c '^  ' <(sed -n '/^113 DIALOGEX/,/^END/p' "$rc"))" -eq 27 ] || { echo "dialog 113 holds other controls"; failures=$((failures + 1)); }
[ "$(grep -c '^  ' <(sed -n '/^2000 DIALOGEX/,/^END/p' "$rc"))" -eq 9 ] || { echo "dialog 2000 holds other controls"; failures=$((failures + 1)); }
expect '  "?", 104, ALT'
expect '  "/", 104, ALT'

# The manifest: elevation, per-monitor DPI awareness, common controls 6, and UTF-8 as the ANSI code page (a
# folder such as C:\Users\Łukasz reaches the ANSI calls whole).
manifest=$(strings -n 8 "$exe" | tr -d '\r')
for needle in 'level="requireAdministrator"' '>PerMonitorV2<' '>UTF-8</activeCodePage>' 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"'; do
  grep -Fq -- "$needle" <<<"$manifest" || { echo "manifest lacks $needle"; failures=$((failures + 1)); }
done

if [ "$failures" -ne 0 ]; then
  echo "--- resources as read back ---"
  cat "$rc"
  exit 1
fi
echo "resources of $exe: dialogs 113 and 2000, accelerator 111 and manifest as required"
