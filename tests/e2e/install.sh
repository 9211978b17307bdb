#!/usr/bin/env bash
# Installs into a temporary prefix and starts the installed program under Xvfb with a
# read-only bin folder: it must keep kov.ini in the per-user folder; the desktop entry must
# validate.
set -euo pipefail
BUILD="$1"
TMP="$(mktemp -d)"
cleanup() { chmod -R u+w "$TMP" 2>/dev/null || true; rm -rf "$TMP"; }
trap cleanup EXIT
PREFIX="$TMP/prefix"
cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null
desktop-file-validate "$PREFIX/share/applications/vornex-account-manager.desktop"
for f in bin/kov bin/kovctl bin/vornex-server share/vornex-account-manager/lang/english.xml \
         share/vornex-account-manager/lang/german.xml \
         share/icons/hicolor/scalable/apps/vornex-account-manager.svg \
         share/icons/hicolor/48x48/apps/vornex-account-manager.png; do
  [ -e "$PREFIX/$f" ] || { echo "missing after install: $f"; exit 1; }
done
chmod a-w "$PREFIX/bin"
export HOME="$TMP/home"
unset XDG_CONFIG_HOME
mkdir -p "$HOME"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c \
  "'$PREFIX/bin/kov' & pid=\$!; sleep 4; kill -TERM \$pid; wait \$pid" >"$TMP/log" 2>&1 || {
  cat "$TMP/log"; echo "the installed program did not end cleanly"; exit 1; }
INI="$HOME/.config/vornex-account-manager/kov.ini"
[ -f "$INI" ] || { cat "$TMP/log"; echo "no kov.ini in the per-user folder"; exit 1; }
grep -q '^\[WINDOW\]' "$INI" || { echo "kov.ini lacks its window section"; exit 1; }
[ ! -e "$PREFIX/bin/kov.ini" ] || { echo "kov.ini was written into the bin folder"; exit 1; }
# --home still overrides (its own language files, as beside a portable program).
mkdir -p "$TMP/own"
cp "$PREFIX"/share/vornex-account-manager/lang/*.xml "$TMP/own/"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c \
  "'$PREFIX/bin/kov' --home '$TMP/own' & pid=\$!; sleep 4; kill -TERM \$pid; wait \$pid" >/dev/null 2>&1
[ -f "$TMP/own/kov.ini" ] || { echo "--home was not used"; exit 1; }
echo "install test passed"
