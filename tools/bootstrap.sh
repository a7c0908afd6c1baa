#!/usr/bin/env bash
# Installs what the builds and the tests need, once: the native and the mingw-w64 tool chains, GoogleTest,
# Wine with Xvfb, the cabinet and MSI tools, the signing tool and the JSON schema validator. Does nothing
# when everything is there.
set -euo pipefail
packages=(
  cmake ninja-build g++ ccache file binutils clang-format clang-tidy clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine64 wine xvfb xauth x11-utils imagemagick
  gcab msitools wixl libmspack-dev cabextract time curl openssl libssl-dev python3 python3-yaml
  osslsigncode
)
# The schema validator counts as there when Python finds it, from Debian's package or another.
python3 -c 'import jsonschema' 2>/dev/null || packages+=(python3-jsonschema)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi
echo "installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
