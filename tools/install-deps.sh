#!/usr/bin/env bash
# Installs the Debian packages of tools/debian-packages.txt that are not installed yet.
# Does nothing (and needs no network) when everything is there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wanted=$(sed -e 's/#.*//' "$here/debian-packages.txt" | tr -s ' \t' '\n' | grep -v '^$' | sort -u)
missing=()
for p in $wanted; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
