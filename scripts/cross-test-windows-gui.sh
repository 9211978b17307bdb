#!/usr/bin/env bash
# The whole program for 64-bit Windows: kov.exe and the widget tests cross-built with
# MinGW-w64 against the static Qt of scripts/build-qt-windows, then under Wine in Xvfb:
#   - the widget tests (offscreen platform);
#   - kov.exe (windows platform) on a copy of the demo shard with the Windows stand-in
#     server: a new account, Save, and the server's account file holds it after its take-over;
#   - the installer (NSIS) and the portable .zip: a silent install, the installed kov.exe
#     keeps kov.ini in the per-user folder; the unpacked .zip keeps it beside itself.
# See docs/WINDOWS.md.
#   scripts/cross-test-windows-gui.sh [BUILD_DIR]      (default: build-windows/)
# The installer, the .zip and a screenshot (windows.png) are left in BUILD_DIR/gui/.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(mkdir -p "${1:-$ROOT/build-windows}" && cd "${1:-$ROOT/build-windows}" && pwd)"
OUT="$BUILD/gui"
GTEST_BUILD="$BUILD/googletest-build"
GTEST_PREFIX="$BUILD/googletest-install"
started=$SECONDS

# Widget tests that cannot run under Wine, each for a reason of Wine's or the platform's
# (docs/WINDOWS.md): they run the stand-in server in tmux, which has no Windows build.
EXCLUDED=(tst_bulk_e2e tst_delete_e2e tst_restore_e2e)
# Widget tests that measure their texts run with the windows platform and Wine's fonts: the
# offscreen platform under Wine has no fonts to lay them out with.
declare -A PLATFORM=([tst_firststart]=windows)

for tool in x86_64-w64-mingw32-g++-posix wine wineserver winepath Xvfb cmake ninja makensis zip \
  unzip xdotool import; do
  if ! command -v "$tool" >/dev/null; then
    echo "cross-test-windows-gui: $tool is missing (scripts/install-deps installs it)" >&2
    exit 1
  fi
done

echo "== Qt, zlib and libxlsxwriter for Windows (built once, then cached)"
WIN_ENV="$("$ROOT/scripts/build-qt-windows")"
eval "$WIN_ENV"
libs_ready=$SECONDS

echo "== GoogleTest for Windows"
if [ ! -f "$GTEST_PREFIX/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$GTEST_BUILD" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -DCMAKE_INSTALL_PREFIX="$GTEST_PREFIX" >/dev/null
  cmake --build "$GTEST_BUILD" -j2
  cmake --install "$GTEST_BUILD" >/dev/null
fi

echo "== Cross build: kov.exe, kovctl.exe, the stand-in server, the widget tests"
LAUNCHER=()
if command -v ccache >/dev/null; then
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# Qt's toolchain file finds the host tools (moc, rcc, uic) and chain-loads ours.
cmake -S "$ROOT" -B "$OUT" -G Ninja "${LAUNCHER[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$KOV_WIN_QT/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
  -DCMAKE_PREFIX_PATH="$KOV_WIN_ZLIB;$KOV_WIN_XLSXWRITER;$GTEST_PREFIX" \
  -DCMAKE_BUILD_TYPE=Release -DKOV_BUILD_UI=ON -DKOV_BUILD_TESTS=ON >"$OUT.configure.log" ||
  {
    tail -30 "$OUT.configure.log"
    exit 1
  }
UI_TESTS=()
for src in "$ROOT"/tests/ui/tst_*.cpp; do
  name="$(basename "$src" .cpp)"
  [[ " ${EXCLUDED[*]} " == *" $name "* ]] || UI_TESTS+=("$name")
done
cmake --build "$OUT" -j2 --target kov kovctl vornex-server
kov_built=$SECONDS
cmake --build "$OUT" -j2 --target "${UI_TESTS[@]}"
built=$SECONDS
for exe in kov.exe tools/kovctl.exe; do
  # One executable: no DLL of Qt, the C++ runtime or winpthread beside it.
  if x86_64-w64-mingw32-objdump -p "$OUT/$exe" | grep -Ei 'DLL Name: (qt|libstdc|libgcc|libwinpthread|zlib|libxlsx)'; then
    echo "$exe needs a DLL that is not part of Windows"
    exit 1
  fi
done

echo "== Installer and portable .zip"
VERSION="$(sed -n 's/^project(VornexAccountManager VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")"
SETUP="$OUT/VornexAccountManager-$VERSION-setup.exe"
ZIP="$OUT/VornexAccountManager-$VERSION-portable.zip"
# What is shipped goes without its symbol table (the static Qt makes it most of the size).
DIST="$OUT/dist"
rm -rf "$DIST"
mkdir -p "$DIST"
x86_64-w64-mingw32-strip -o "$DIST/kov.exe" "$OUT/kov.exe"
x86_64-w64-mingw32-strip -o "$DIST/kovctl.exe" "$OUT/tools/kovctl.exe"
makensis -V2 -DVERSION="$VERSION" -DBINDIR="$DIST" -DLANGDIR="$ROOT/lang" \
  -DICON="$ROOT/packaging/icons/vornex-account-manager.ico" -DOUTFILE="$SETUP" \
  "$ROOT/packaging/windows/installer.nsi" >"$OUT/makensis.log" 2>&1 || {
  cat "$OUT/makensis.log"
  exit 1
}
rm -rf "$OUT/portable" "$ZIP"
mkdir -p "$OUT/portable/Vornex Account Manager"
cp "$DIST/kov.exe" "$DIST/kovctl.exe" "$ROOT"/lang/*.xml "$OUT/portable/Vornex Account Manager/"
(cd "$OUT/portable" && zip -qr "$ZIP" "Vornex Account Manager")
rm -rf "$OUT/portable"
packaged=$SECONDS

echo "== Wine"
# shellcheck source=scripts/wine-session.sh
. "$ROOT/scripts/wine-session.sh"
start_wine_session "$BUILD/wine-prefix"
prefix_ready=$SECONDS
WORK="$(mktemp -d "${TMPDIR:-/tmp}/kov-wine-gui-XXXXXX")"

passed=0
failed=0
result() { # result NAME STATUS
  if [ "$2" -eq 0 ]; then
    echo "PASS: $1"
    passed=$((passed + 1))
  else
    echo "FAIL: $1"
    failed=$((failed + 1))
  fi
}
expect() { # expect NAME COMMAND...
  local name=$1
  shift
  if "$@"; then result "$name" 0; else result "$name" 1; fi
}
wait_for() { # wait_for SECONDS COMMAND...
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -ge "$end" ] && return 1
    sleep 0.2
  done
}

echo "== Widget tests under Wine"
cd "$OUT/tests"
LOG="$WORK/test.out"
run_test() { # run_test NAME: sets rc; the report goes to $LOG
  rc=0
  rm -f "$LOG"
  # QT_QPA_PLATFORM does not reach a program under Wine: the platform is an argument. The
  # report goes to a file: Qt Test's standard output is lost when Wine redirects it.
  timeout 600 wine "./$1.exe" -platform "${PLATFORM[$1]:-offscreen}" -o "$(winepath -w "$LOG"),txt" \
    >"$WORK/wine.out" 2>&1 || rc=$?
}
for t in "${UI_TESTS[@]}"; do
  run_test "$t"
  # Now and then Wine does not start a program at all on a loaded machine: nothing ran,
  # so it is started once more. A test that ran has begun its report.
  if [ "$rc" -ne 0 ] && ! grep -q "Start testing of" "$LOG" 2>/dev/null; then
    echo "$t: Wine did not start it (exit $rc); starting it again"
    run_test "$t"
  fi
  if [ "$rc" -ne 0 ]; then
    grep -E "^(FAIL|XPASS|QFATAL)|Loc:" "$LOG" 2>/dev/null | head -40 || true
    tail -5 "$WORK/wine.out"
  fi
  totals="$(grep -o 'Totals: .*' "$LOG" 2>/dev/null | tr -d '\r')"
  result "$t $totals" "$rc"
done
widget_tests_done=$SECONDS

echo "== kov.exe on the demo shard with the Windows stand-in server"
win() { winepath -w "$1"; }
SHARD="$WORK/shard"
mkdir -p "$SHARD/home" "$SHARD/server"
cp -r "$ROOT/demo/accounts" "$ROOT/demo/save" "$SHARD/"
cp "$OUT/tools/vornex-server.exe" "$SHARD/server/VornexServer.exe"
cp "$ROOT"/lang/*.xml "$SHARD/home/"
printf '[WINDOW]\r\nLEFT=0\r\nTOP=0\r\nWIDTH=900\r\nHEIGHT=640\r\n[SETTINGS]\r\nVORNEXDIR=%s\r\nACCOUNTDIR=%s\\\r\nSAVEDIR=%s\\\r\nACCAUTOUPDATE=1\r\nTAKEOVERWAIT=30\r\n' \
  "$(win "$SHARD/server/VornexServer.exe")" "$(win "$SHARD/accounts")" "$(win "$SHARD/save")" \
  >"$SHARD/home/kov.ini"
wine "$SHARD/server/VornexServer.exe" --accounts "$(win "$SHARD/accounts")" \
  --saves "$(win "$SHARD/save")" >"$SHARD/server.out" 2>&1 &
# Wine's fonts through Qt's native Windows font engines leave every line edit blank (the
# editor's fields, the search field); FreeType draws them, so the screenshot shows the text.
wine "$OUT/kov.exe" -platform windows:fontengine=freetype --home "$(win "$SHARD/home")" \
  >"$SHARD/kov.out" 2>&1 &
KOV_WINE_PID=$!
main_window() { xdotool search --onlyvisible --name '^Vornex Account Manager' 2>/dev/null | head -1; }
window_up() { [ -n "$(main_window)" ]; }
expect "kov.exe shows its main window" wait_for 60 window_up
# The first paint of the grid comes a while after the window maps under Wine.
sleep 8
import -window root -crop 900x665+0+0 +repage "$OUT/windows.png" 2>/dev/null || true
keys() { # keys KEY...: to the window that has the focus, a moment apart
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.5
  done
}
WINDOW="$(main_window)"
xdotool windowfocus "$WINDOW" || true
# A new account through the new-account dialog, then Save, which has the server take it over.
keys ctrl+n
# Without a window manager the new dialog does not get the keyboard by itself.
dialog_up() { xdotool search --onlyvisible --name '^New Account$' >/dev/null 2>&1; }
wait_for 20 dialog_up || true
xdotool windowfocus "$(xdotool search --onlyvisible --name '^New Account$' | head -1)" || true
sleep 0.5
xdotool type --delay 40 winetest
keys Tab
xdotool type --delay 40 wine2pass
keys Return
sleep 1
xdotool windowfocus "$WINDOW" 2>/dev/null || true
keys ctrl+s
expect "the server's account file holds the new account after its take-over" \
  wait_for 60 grep -q '^\[winetest\]' "$SHARD/accounts/VornexAccu.scp"
expect "the server was told to take the update file over" grep -qx 'A' <(tr -d '\r' <"$SHARD/accounts/console.log")
new_account_has_password() {
  grep -A8 '^\[winetest\]' "$SHARD/accounts/VornexAccu.scp" | grep -q '^PASSWORD=wine2pass'
}
expect "the new account's password reached the server" new_account_has_password
# Closing the window the normal way (WM_CLOSE) writes kov.ini.
wine taskkill /IM kov.exe >/dev/null 2>&1 || true
wait_for 20 bash -c '! kill -0 '"$KOV_WINE_PID"' 2>/dev/null' || kill "$KOV_WINE_PID" 2>/dev/null || true
wine taskkill /IM VornexServer.exe >/dev/null 2>&1 || true
e2e_done=$SECONDS

echo "== Silent install, and the installed kov.exe"
wine "$SETUP" /S >"$WORK/setup.out" 2>&1 || true
DRIVE_C="$WINEPREFIX/drive_c"
INSTALLED="$DRIVE_C/Program Files/Vornex Account Manager"
APPDATA_DIR="$(winepath -u "$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')")"
PER_USER="$APPDATA_DIR/Vornex Account Manager"
rm -f "$PER_USER/kov.ini"
for f in bin/kov.exe bin/kovctl.exe share/vornex-account-manager/lang/english.xml \
  share/vornex-account-manager/lang/german.xml uninstall.exe; do
  expect "installed: $f" test -f "$INSTALLED/$f"
done
expect "Start-menu entry" test -f "$DRIVE_C/ProgramData/Microsoft/Windows/Start Menu/Programs/Vornex Account Manager.lnk"
run_and_close() { # run_and_close EXE [ARGS]: starts it, waits for its window, closes it
  wine "$@" >"$WORK/run.out" 2>&1 &
  local pid=$!
  wait_for 60 window_up || true
  sleep 2
  wine taskkill /IM kov.exe >/dev/null 2>&1 || true
  wait_for 20 bash -c '! kill -0 '"$pid"' 2>/dev/null' || kill "$pid" 2>/dev/null || true
}
run_and_close "$INSTALLED/bin/kov.exe"
expect "the installed program keeps kov.ini in %APPDATA%\\Vornex Account Manager" \
  grep -q '^\[WINDOW\]' "$PER_USER/kov.ini"
expect "nor in its own folder" test ! -e "$INSTALLED/bin/kov.ini"
wine "$INSTALLED/uninstall.exe" /S >/dev/null 2>&1 || true
expect "uninstalled" wait_for 30 test ! -e "$INSTALLED/bin/kov.exe"
expect "the user's kov.ini outlives the uninstall" test -f "$PER_USER/kov.ini"

echo "== Portable .zip"
unzip -q "$ZIP" -d "$WORK/portable"
run_and_close "$WORK/portable/Vornex Account Manager/kov.exe"
expect "the portable program keeps kov.ini beside itself" \
  grep -q '^\[WINDOW\]' "$WORK/portable/Vornex Account Manager/kov.ini"

echo "timings: Qt and libraries $((libs_ready - started)) s, kov.exe $((kov_built - libs_ready)) s," \
  "widget tests built $((built - kov_built)) s, packages $((packaged - built)) s," \
  "Wine prefix $((prefix_ready - packaged)) s, widget tests under Wine" \
  "$((widget_tests_done - prefix_ready)) s, kov.exe end to end $((e2e_done - widget_tests_done)) s," \
  "install and zip $((SECONDS - e2e_done)) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
