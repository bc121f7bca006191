#!/bin/sh
# Installs what building, running and testing need on Debian 12 (run as root).
set -eu
packages="cmake g++ make pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev duktape-dev libpcre2-dev libgumbo-dev libssl-dev libpci-dev pci.ids
  libfltk1.3-dev fonts-wqy-zenhei gcc-mingw-w64-i686
  xvfb xauth xdotool x11-apps imagemagick
  python3 openssl curl tinyproxy-bin nginx-light"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # shellcheck disable=SC2086
  apt-get install -y -q --no-install-recommends $missing
fi
