#!/usr/bin/env bash
# Installs a build tree into a staging folder (DESTDIR) as a package would, then checks
# the installed programs on the installed sample folder, and the desktop entry, the
# software-centre metadata, the manual pages and the bash completion with their tools.
#   scripts/check_install.sh BUILD_DIR
set -euo pipefail

BUILD=${1:?usage: check_install.sh BUILD_DIR}
STAGE=$(mktemp -d)
trap 'rm -rf "$STAGE"' EXIT
fail() {
  printf 'check_install: FAILED: %s\n' "$*" >&2
  exit 1
}

DESTDIR=$STAGE cmake --install "$BUILD" --prefix /usr >/dev/null
USR=$STAGE/usr
SHARE=$USR/share
CLI=$USR/bin/pelmora-cli
SAMPLE=$SHARE/pelmora/examples

for program in pelmora pelmora-cli pelmora-printer-sim; do
  [[ -x $USR/bin/$program ]] || fail "$program is not installed in bin/"
  version=$("$USR/bin/$program" --version)
  [[ $version =~ ^$program\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "$program --version printed '$version'"
done

# The program opens its print module from lib/pelmora/modules beside its bin/ folder
# (lib/ being the library folder the build was configured with); all the module needs
# is found.
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$BUILD/CMakeCache.txt")
module=$USR/${libdir:-lib}/pelmora/modules/libpelmora_print.so
[[ -f $module ]] || fail "the print module is not installed as $module"
missing=$(ldd "$module" | grep 'not found' || true)
[[ -z $missing ]] || fail "the print module's libraries are missing: $missing"
! ldd "$USR/bin/pelmora" | grep -q 'libQt6PrintSupport' || fail "the program links Qt's print support"

# The installed tool works on the installed sample folder.
models=$("$CLI" list models --workdir "$SAMPLE")
[[ $(wc -l <<<"$models") -ge 3 ]] || fail "list models found: $models"
for file in "$SAMPLE"/model/*.cfg "$SAMPLE"/setting/*.cfg; do
  "$CLI" check "$file" || fail "check $file"
done
"$CLI" show "$SAMPLE/setting/front_counter.cfg" | grep -q . || fail "show printed nothing"
[[ -f $SHARE/pelmora/VORSETTA.HLP ]] || fail "the help file is not installed"
[[ -f $SHARE/pelmora/sim_ftp_server.py ]] || fail "the simulator's FTP server is not installed"
[[ -f $SHARE/doc/pelmora/pelmora.conf.example ]] || fail "the settings example is not installed"

# Desktop entry, metadata and icon, checked by their own validators.
app_id=io.github.pelmora.Pelmora
desktop-file-validate "$SHARE/applications/$app_id.desktop"
appstreamcli validate --no-net "$SHARE/metainfo/$app_id.metainfo.xml" >/dev/null
[[ -f $SHARE/icons/hicolor/scalable/apps/$app_id.svg ]] || fail "the scalable icon is missing"
[[ -f $SHARE/icons/hicolor/48x48/apps/$app_id.png ]] || fail "the 48x48 icon is missing"

# Manual pages render without a warning; the completion script parses.
for page in pelmora pelmora-cli pelmora-printer-sim; do
  warnings=$(zcat "$SHARE/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
  [[ -z $warnings ]] || fail "man page $page: $warnings"
done
bash -n "$SHARE/bash-completion/completions/pelmora-cli"

echo "check_install: the staged installation works"
