#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent and
# quick when everything is already there.
set -euo pipefail

packages=(
  cmake make g++ python3 locales
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb x11-utils libboost1.81-dev googletest
  tinyproxy fonts-ipafont-gothic imagemagick libcdio-utils libdiscid-dev cd-paranoia whipper
  clang-14 libclang-rt-14-dev
  debootstrap nsis ccache
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine takes its ANSI code page from the locale: ja_JP.UTF-8 gives 932, and
# en_US.UTF-8 gives 1252 for the English-Windows prefix.
for loc in ja_JP en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8$"; then
    grep -q "^ *#* *$loc.UTF-8 UTF-8" /etc/locale.gen || echo "# $loc.UTF-8 UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo sed -i "s/^# *$loc.UTF-8 UTF-8/$loc.UTF-8 UTF-8/" /etc/locale.gen
    $sudo locale-gen >/dev/null
  fi
done
