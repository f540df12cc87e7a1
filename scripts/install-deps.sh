#!/usr/bin/env bash
# Installs everything the build, the tests and the benchmarks need on Debian 12.
# Runs as root (or through sudo when it is available). Safe to run again.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  # the naming check (clang-tidy) and its renamer
  clang-tidy clang-tools python3-yaml
  # libraries
  qt6-base-dev qt6-base-dev-tools libqt6svg6 libc-ares-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev libx11-dev libssl-dev openssl libxml2-dev
  # benchmark peers
  libgumbo-dev libcurl4-openssl-dev curl
  # test peers and the headless desktop
  nginx-light tinyproxy squid apache2-utils xvfb xauth openbox x11-utils x11-apps
  fonts-dejavu-core fonts-liberation
  # manual pages, the Debian package and its checks
  scdoc dpkg-dev file desktop-file-utils appstream
  # re-rendering the icon's PNG sizes from its SVG (scripts/render-icons.sh)
  librsvg2-bin
)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq
  # The daemons must not start as system services: the tests start their own. A
  # policy the machine already has is set aside and put back afterwards, whatever
  # happens to the installation.
  policy=/usr/sbin/policy-rc.d
  saved=""
  if [ -e "$policy" ] || [ -L "$policy" ]; then
    saved=$(as_root mktemp "$policy.saved.XXXXXX")
    as_root cp -a "$policy" "$saved"
  fi
  restore_policy() {
    if [ -n "$saved" ]; then
      as_root mv -f "$saved" "$policy"
    else
      as_root rm -f "$policy"
    fi
  }
  trap restore_policy EXIT
  as_root rm -f "$policy"  # never write through a link into what it points at
  printf '#!/bin/sh\nexit 101\n' | as_root tee "$policy" >/dev/null
  as_root chmod +x "$policy"
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}"
  restore_policy
  trap - EXIT
fi
