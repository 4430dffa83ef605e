# Shared by scripts/run and scripts/test: package installation and the build.
# shellcheck shell=bash

JILAN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

JILAN_PACKAGES=(
  cmake g++ make pkg-config
  libcurl4-openssl-dev libcpp-httplib-dev zlib1g-dev
  libsqlite3-dev sqlite3 libxlsxwriter-dev libtomlplusplus-dev unzip dpkg-dev file help2man man-db
  libssl-dev nlohmann-json3-dev libsystemd-dev
  qt6-base-dev qt6-translations-l10n libgl-dev fonts-noto-cjk
  qt6-charts-dev libqt6opengl6-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3-aiosmtpd openssl
  clang libclang-rt-14-dev
  xvfb xauth xdotool
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs only what is missing; runs apt-get update at most once.
install_packages() {
  local missing=() p
  for p in "${JILAN_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "== installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

jobs() { nproc 2>/dev/null || echo 2; }

# configure_and_build <build dir> [cmake options...] -- [targets...]
configure_and_build() {
  local dir=$1; shift
  local opts=() targets=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do opts+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  targets=("$@")
  cmake -S "$JILAN_ROOT" -B "$dir" "${opts[@]}" >/dev/null
  if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$dir" -j"$(jobs)" --target "${targets[@]}"
  else
    cmake --build "$dir" -j"$(jobs)"
  fi
}
