#!/usr/bin/env bash
# Installs the Debian packages the project builds, runs and tests with.
# Does nothing when they are all there; needs root (or sudo) otherwise.
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config git clang-format
          libsqlite3-dev libpq-dev postgresql libexpat1-dev libcairo2-dev fonts-dejavu-core poppler-utils
          libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev
          qt6-translations-l10n adwaita-icon-theme)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The list boxes' fixed-pitch font "Roboto Mono" (Open Font License), from the
# npm registry. Best effort: without it the windows use the system's
# fixed-pitch font, and nothing else depends on it.
font_dir=/usr/local/share/fonts/roboto-mono
if [ ! -f "$font_dir/RobotoMono_400Regular.ttf" ] && command -v npm >/dev/null 2>&1; then
  tmp=$(mktemp -d)
  if (cd "$tmp" && timeout 300 npm pack --silent @expo-google-fonts/roboto-mono >/dev/null 2>&1); then
    echo "setup: installing the font Roboto Mono" >&2
    tar -xzf "$tmp"/*.tgz -C "$tmp"
    "${sudo[@]}" mkdir -p "$font_dir"
    for face in 400Regular 700Bold; do
      "${sudo[@]}" cp "$tmp/package/$face/RobotoMono_$face.ttf" "$font_dir/"
    done
    "${sudo[@]}" fc-cache -f "$font_dir" >/dev/null 2>&1 || true
  else
    echo "setup: Roboto Mono not available; the windows use the system's fixed-pitch font" >&2
  fi
  rm -rf "$tmp"
fi
