#!/usr/bin/env bash
# Installs what Pelmora needs to build and test on Debian 12, and nothing that
# is already there, so it is cheap to run before every build. Also makes sure
# the German UTF-8 locale exists: the value-encoding tests run under it to
# prove that numbers never go through the process locale.
set -euo pipefail

# One list for the whole project; later features append their packages here.
PACKAGES=(
  build-essential
  cmake
  ninja-build
  pkg-config
  clang
  libclang-rt-14-dev # libFuzzer and clang's sanitizer runtimes
  clang-format clang-tidy # the style checks of scripts/check_style.sh
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libcli11-dev
  libinih-dev # the reference parser the load benchmark compares against
  libcups2-dev cups-daemon cups-client # the driver check, and the private cupsd its test starts
  qt6-base-dev libgl-dev fonts-dejavu-core poppler-utils # the desktop application and its widget tests
  locales
  libcurl4-openssl-dev # the FTP upload to network printers
  python3-pyftpdlib # the FTP server of the tests and of the simulated network printers (run by /usr/bin/python3)
  libusb-1.0-0-dev # the USB connection
  umockdev libumockdev-dev # emulated USB and parallel printers, for the tests and the simulator
  desktop-file-utils appstream groff-base # the staging-install check: validators, man pages
  dpkg-dev # dpkg-shlibdeps, for the Debian package's dependencies
)

TEST_LOCALE=de_DE.UTF-8

log() { printf 'install-deps: %s\n' "$*"; }

# Runs a command as root: directly, through sudo, or not at all.
as_root() {
  if [[ $(id -u) -eq 0 ]]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    log "need root (or sudo) to run: $*" >&2
    exit 1
  fi
}

is_installed() {
  [[ $(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null) == installed ]]
}

install_packages() {
  local missing=() pkg
  for pkg in "${PACKAGES[@]}"; do
    is_installed "$pkg" || missing+=("$pkg")
  done
  if [[ ${#missing[@]} -eq 0 ]]; then
    log "all ${#PACKAGES[@]} packages present"
    return
  fi
  log "installing: ${missing[*]}"
  as_root apt-get update
  as_root env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
}

has_test_locale() {
  # locale -a spells it de_DE.utf8; accept either spelling.
  locale -a 2>/dev/null | grep -qix "${TEST_LOCALE%%.*}\.utf-\?8"
}

ensure_locale() {
  if has_test_locale; then
    log "locale $TEST_LOCALE present"
    return
  fi
  log "generating locale $TEST_LOCALE"
  # Prefer enabling it in /etc/locale.gen: locale-gen rebuilds the archive
  # from that list when the locales package is upgraded, so a locale made
  # only with localedef would silently disappear again. --keep-existing
  # leaves the locales that are already there alone.
  if [[ -f /etc/locale.gen ]] && command -v locale-gen >/dev/null 2>&1; then
    if ! grep -qx "$TEST_LOCALE UTF-8" /etc/locale.gen; then
      as_root sed -i "s/^# *\($TEST_LOCALE UTF-8\)\$/\1/" /etc/locale.gen
      grep -qx "$TEST_LOCALE UTF-8" /etc/locale.gen ||
        echo "$TEST_LOCALE UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
    fi
    as_root locale-gen --keep-existing
  else
    as_root localedef -i "${TEST_LOCALE%%.*}" -c -f UTF-8 "$TEST_LOCALE"
  fi
  if ! has_test_locale; then
    log "locale $TEST_LOCALE could not be generated" >&2
    exit 1
  fi
}

install_packages
ensure_locale
