#!/usr/bin/env bash
# Installs everything the project needs on a fresh Debian 12 machine (run as root).
set -euo pipefail

packages=(
    cmake g++ make binutils pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-l10n-tools
    libboost-dev libgtest-dev libgmock-dev
    xvfb xauth dbus-daemon fonts-dejavu-core
    g++-mingw-w64-x86-64
    subversion libsvn-dev libapr1-dev libaprutil1-dev libsqlite3-dev sqlite3 procps
    apache2 libapache2-mod-svn apache2-utils openssl
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if ((${#missing[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    # The project starts Apache with a configuration of its own; the package must not start the
    # system's site while it installs. A policy already in place is left as it is.
    policy=/usr/sbin/policy-rc.d
    if [[ ! -e $policy ]]; then
        printf '#!/bin/sh\nexit 101\n' >"$policy"
        chmod 755 "$policy"
        trap 'rm -f "$policy"' EXIT
    fi
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
