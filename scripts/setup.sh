#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages the build and the tests need, when missing, and
# generates the GBK locales that the locale test switches to.
# Usage: scripts/setup.sh [extra package ...]
set -euo pipefail
packages=(g++ make cmake pkg-config libxerces-c-dev libgtest-dev libgmock-dev libcli11-dev
          libcurl4-openssl-dev nlohmann-json3-dev
          pybind11-dev python3-dev python3-pytest etcd-server etcd-client locales curl "$@")
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The stores must give the same strings whatever the process locale; their test
# runs in a GBK locale too, so one is generated here (once: listed in
# /etc/locale.gen, then made by locale-gen).
gbk_locales=("zh_CN.GBK GBK" "zh_CN.GB18030 GB18030")
installed=$(locale -a 2>/dev/null || true)
wanted=()
for entry in "${gbk_locales[@]}"; do
  grep -qixF "${entry%% *}" <<<"$installed" || wanted+=("$entry")
done
if [ ${#wanted[@]} -gt 0 ]; then
  echo "generating locales: ${wanted[*]%% *}"
  for entry in "${wanted[@]}"; do
    grep -qxF "$entry" /etc/locale.gen 2>/dev/null || echo "$entry" | $SUDO tee -a /etc/locale.gen >/dev/null
  done
  $SUDO locale-gen >/dev/null
fi
