#!/usr/bin/env bash
# Installs the Debian packages the project builds, runs and tests with.
# Does nothing when they are all there; needs root (or sudo) otherwise.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config git clang-format
          libsqlite3-dev libexpat1-dev libcairo2-dev fonts-dejavu-core poppler-utils
          libgtest-dev libgmock-dev libbenchmark-dev)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
