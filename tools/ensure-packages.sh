#!/usr/bin/env bash
# Installs the Debian packages of a list that are missing: tools/debian-packages.txt (run.sh, test.sh) unless
# another list is given (tests/gui/screens.sh gives tools/screenshot-packages.txt).
set -euo pipefail
_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
_list="${1:-$_root/tools/debian-packages.txt}"
mapfile -t _wanted < <(grep -vE '^\s*(#|$)' "$_list")
_missing=()
for p in "${_wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    _missing+=("$p")
  fi
done
if ((${#_missing[@]})); then
  _cmd=(apt-get install -y --no-install-recommends "${_missing[@]}")
  if [[ $(id -u) -eq 0 ]]; then
    _sudo=()
  elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    _sudo=(sudo)
  else
    echo "Missing packages: ${_missing[*]}" >&2
    echo "Run as root: apt-get update && ${_cmd[*]}" >&2
    exit 1
  fi
  echo "Installing: ${_missing[*]}"
  "${_sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${_sudo[@]}" env DEBIAN_FRONTEND=noninteractive "${_cmd[@]}"
fi
# One test runs under a German numeric locale; generate it once "locales" is there.
if command -v locale-gen >/dev/null && ! locale -a 2>/dev/null | grep -qiE '^de_DE\.utf-?8$'; then
  if [[ $(id -u) -eq 0 && -f /etc/locale.gen ]]; then
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
  fi
fi
