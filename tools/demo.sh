#!/bin/sh
# Runs a disc's Setup.exe (the sample's by default) under Wine in a fresh prefix.
#
#   tools/demo.sh            install: on the user's display when DISPLAY is set;
#                            otherwise under Xvfb, walking through the program by
#                            itself with vexlo-drive and saving a screenshot of
#                            every screen; then reports what was installed.
#   tools/demo.sh --remove   removes that installation again through
#                            the game's /REMOVE (answering Yes without display).
#
# Folders (relative to the project root, overridable):
#   NATIVE_DIR (build/native)  host tools: vexlo-archive
#   WIN_DIR    (build/win64)   Windows programs: vexlo-drive.exe
#   DISC_DIR   (build/disc)    the assembled disc
#   DEMO_DIR   (build/demo)    prefix/ and screenshots/
#   PRODUCT_NAMES (WIN_DIR/generated/product.sh)  the disc's product: its
#              names and window titles, as the build wrote them
#   DEMO_COMMAND (make demo)  the command that ran this, as the user typed it
#              (with its PRODUCT=), for the closing lines and the hints
set -eu
cd "$(dirname "$0")/.."
ROOT=$PWD
NATIVE_DIR=${NATIVE_DIR:-build/native}
WIN_DIR=${WIN_DIR:-build/win64}
DISC_DIR=${DISC_DIR:-build/disc}
DEMO_DIR=${DEMO_DIR:-build/demo}
PRODUCT_NAMES=${PRODUCT_NAMES:-$WIN_DIR/generated/product.sh}
DEMO_COMMAND=${DEMO_COMMAND:-make demo}
REMOVE_COMMAND="make demo-remove${DEMO_COMMAND#make demo}"
MODE=install
[ "${1:-}" = "--remove" ] && MODE=remove

# Without a display the whole run happens inside a private Xvfb.
if [ -z "${DISPLAY:-}" ]; then
  export VEXLO_DEMO_AUTOMATIC=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" "$@"
fi
AUTOMATIC=${VEXLO_DEMO_AUTOMATIC:-0}

# WINE (wine64) may name 32-bit Wine for the 32-bit disc; WINEARCH then says win32.
WINE=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEPREFIX="$ROOT/$DEMO_DIR/prefix"
export WINEDEBUG=-all
# No Mono or Gecko prompts; no menu entries in the user's desktop for the
# shortcuts that the installer makes inside the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
SHOTS="$ROOT/$DEMO_DIR/screenshots"
REPORT="$ROOT/$DEMO_DIR/report.txt"
DRIVE_OUT="$ROOT/$DEMO_DIR/drive.out"
DRIVE_EXE="$ROOT/$WIN_DIR/bin/vexlo-drive.exe"
ARCHIVE_TOOL="$ROOT/$NATIVE_DIR/bin/vexlo-archive"
DISC="$ROOT/$DISC_DIR"

# The product's names: window titles, folders, the registry key.
[ -f "$PRODUCT_NAMES" ] || { echo "demo: no $PRODUCT_NAMES: build first" >&2; exit 1; }
case $PRODUCT_NAMES in /*) ;; *) PRODUCT_NAMES=$ROOT/$PRODUCT_NAMES ;; esac
# shellcheck disable=SC1090
. "$PRODUCT_NAMES"
GAME=$product_GameExeName
DEST_WIN=$product_DefaultDestFolder
# C:\Games\Vexlo Demo\ is drive_c/Games/Vexlo Demo in the prefix.
DEST_UNIX="$WINEPREFIX/drive_c/$(printf '%s' "${DEST_WIN#?:\\}" | tr '\\' / | sed 's|/*$||')"
GROUP=$(printf '%s' "${product_GroupFolderName#\\}" | tr '\\' /)
GROUP_TITLE=${GROUP##*/}
UNINSTALL_KEY="HKLM\\$product_UninstallKeyPath"
LAUNCHER=$product_LauncherCaption
WIZARD=$product_WizardCaption
DESTINATION=$product_DestinationCaption
MISSING=$product_MissingFolderTitle
READY=$product_ReadyCaption
PROGRESS=$product_ProgressCaption
REMOVE_TITLE=$product_UninstallConfirmTitle

# What the demo tells is also kept in its report file.
say() { printf '%s\n' "$*" | tee -a "$REPORT"; }
die() { printf 'demo: %s\n' "$*" >&2; exit 1; }

# One step of the UI driver: its output without the console's CRs, its status.
drive() {
  status=0
  "$WINE" "$DRIVE_EXE" "$@" >"$DRIVE_OUT" || status=$?
  tr -d '\r' <"$DRIVE_OUT"
  return $status
}

shot_number=0
shot_prefix=""
# shot TITLE NAME: a PNG of the window in the screenshots folder.
shot() {
  shot_number=$((shot_number + 1))
  name=$(printf '%s%02d-%s' "$shot_prefix" "$shot_number" "$2")
  if drive shot "$1" "$SHOTS/$name.bmp" >/dev/null &&
     convert "$SHOTS/$name.bmp" "$SHOTS/$name.png"; then
    rm -f "$SHOTS/$name.bmp"
    say "    screenshot $DEMO_DIR/screenshots/$name.png"
  else
    say "    (no screenshot of \"$1\")"
  fi
}

fresh_prefix() {
  say "Making a fresh Wine prefix in $DEMO_DIR/prefix..."
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1
  "$WINESERVER" -w
  if [ "$AUTOMATIC" = 1 ]; then
    # Xvfb has no window manager; the title bars Wine draws itself want the
    # symbol font of their buttons.
    no_window_manager
    "$WINESERVER" -w
    for font in /usr/share/wine/fonts/marlett.ttf; do
      [ -f "$font" ] && cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
  fi
}

# Wine's windows without a window manager: unmanaged (so Wine does not wait
# two seconds for one whenever a window is hidden), frames drawn by Wine.
no_window_manager() {
  for setting in Managed Decorated; do
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v $setting /d N /f >/dev/null 2>&1
  done
}

# Keeps the wineserver (and its services) up between the driver's steps.
start_wineserver() { "$WINESERVER" -p 60 2>/dev/null || true; }
stop_wineserver() { "$WINESERVER" -k 2>/dev/null || true; }

report() {
  say
  say "== Report"
  if [ ! -d "$DEST_UNIX" ]; then
    say "Nothing installed in $DEST_WIN."
    return
  fi
  say "Files installed in $DEST_WIN:"
  (cd "$DEST_UNIX" && find . -type f | sed 's|^\./||' | sort | while read -r f; do
    printf '    %-20s %9s bytes\n' "$f" "$(wc -c <"$f")"
  done)
  if [ -x "$ARCHIVE_TOOL" ] && [ -f "$DEST_UNIX/$GAME" ]; then
    say "Members of the installed $GAME (size, name; the last ones appended by Setup):"
    "$ARCHIVE_TOOL" list "$DEST_UNIX/$GAME" | sed 's/^/    /'
  fi
  group=$(find "$WINEPREFIX/drive_c/users" -type d -path "*Start Menu/Programs/$GROUP" 2>/dev/null | head -n 1)
  if [ -n "$group" ]; then
    say "Shortcuts made in ${group#"$WINEPREFIX"/drive_c/}:"
    (cd "$group" && ls -1 | sed 's/^/    /')
  else
    say "No Start Menu group was made."
  fi
  say "Registry entry:"
  "$WINE" reg query "$UNINSTALL_KEY" 2>/dev/null | tr -d '\r' | grep -v '^$' | sed 's/^/    /' ||
    say "    (none)"
}

# ---- the automatic walk through the installation ----

install_walk() {
  say "Starting Setup.exe from $DISC_DIR..."
  (cd "$DISC" && exec "$WINE" Setup.exe) &
  setup_pid=$!

  say "Launcher:"
  drive wait-window "$LAUNCHER" 30 || die "the launcher did not appear"
  shot "$LAUNCHER" launcher
  say "  $product_InstallButtonText"
  drive click "$LAUNCHER" 1023

  say "Wizard, welcome page:"
  drive wait-window "$WIZARD" 30 || die "the wizard did not appear"
  shot "$WIZARD" welcome
  drive click "$WIZARD" next

  say "Destination page:"
  drive wait-window "$DESTINATION" 10 || die "the destination page did not appear"
  say "  folder:          $(drive text "$WIZARD*" 1005)"
  say "  space available: $(drive text "$WIZARD*" 1019)"
  say "  space required:  $(drive text "$WIZARD*" 1020)"
  say "  Start Menu:      $(drive text "$WIZARD*" 1018)"
  shot "$DESTINATION" destination
  drive click "$WIZARD*" next
  # Next asks to create the missing folder, and may warn about the space.
  for question in 1 2; do
    if drive --timeout 3 wait-window "$MISSING" 3 2>/dev/null; then
      say "  question: $(drive msgbox-text "$MISSING" | head -n 1)"
      shot "$MISSING" question
      say "  answer: Yes"
      drive answer "$MISSING" yes
      drive wait-gone "$MISSING" 10 || true
    fi
  done

  say "Ready page:"
  drive wait-window "$READY" 10 || die "the ready page did not appear"
  shot "$READY" ready
  # The installation is quick: a watcher catches the page mid-way, as soon as
  # the total bar passes a third.
  shot_number=$((shot_number + 1))
  midway=$(printf '%02d-progress' "$shot_number")
  "$WINE" "$DRIVE_EXE" shot-at-progress "$PROGRESS" 1013 33 "$SHOTS/$midway.bmp" 120 \
    >/dev/null 2>&1 &
  watcher=$!
  drive click "$WIZARD*" next

  say "Progress page:"
  drive wait-window "$PROGRESS" 10 || die "the progress page did not appear"
  wait "$watcher" || true
  if [ -f "$SHOTS/$midway.bmp" ] && convert "$SHOTS/$midway.bmp" "$SHOTS/$midway.png"; then
    rm -f "$SHOTS/$midway.bmp"
    say "    screenshot $DEMO_DIR/screenshots/$midway.png (mid-way)"
  fi
  drive wait-text "$PROGRESS" 1012 "Finished" 600 || die "the installation did not finish"
  say "  status: $(drive text "$PROGRESS" 1012), $(drive text "$PROGRESS" 1014)"
  say "  bars: file $(drive progress "$PROGRESS" 1015), total $(drive progress "$PROGRESS" 1013)"
  shot "$PROGRESS" finished
  say "  Finish"
  drive click "$PROGRESS" finish

  # Finish ends Setup.exe; one that stays (another dialog?) ends the walk.
  waited=0
  while kill -0 "$setup_pid" 2>/dev/null; do
    [ $waited -lt 300 ] || die "Setup.exe did not end after Finish"
    sleep 0.1
    waited=$((waited + 1))
  done
  if wait "$setup_pid"; then
    say "Setup.exe ended."
  else
    say "Setup.exe ended with exit code $?."
  fi
  # The installer opened the Start Menu group in a folder window.
  if drive --timeout 2 wait-window "$GROUP_TITLE" 2 2>/dev/null; then
    shot "$GROUP_TITLE" start-menu-group
    drive close "$GROUP_TITLE" || true
  fi
}

# ---- the removal through the game's /REMOVE ----

# The game's path as the Uninstall entry records it, as a Unix path.
installed_game() {
  "$WINE" reg query "$UNINSTALL_KEY" /v GameDest 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *GameDest *REG_SZ *//p'
}

remove_walk() {
  game=$1
  say "Running \"$game\" /REMOVE, as Add/Remove Programs does..."
  "$WINE" "$game" /REMOVE &
  say "Question:"
  drive wait-window "$REMOVE_TITLE" 30 || die "the uninstaller's question did not appear"
  say "  $(drive msgbox-text "$REMOVE_TITLE")"
  shot "$REMOVE_TITLE" question
  say "  answer: Yes"
  drive answer "$REMOVE_TITLE" yes
  say "Final message:"
  drive wait-window "Uninstall Complete" 60 || die "the uninstaller did not report its end"
  say "  $(drive msgbox-text 'Uninstall Complete')"
  shot "Uninstall Complete" complete
  drive answer "Uninstall Complete" ok
  wait || true
}

remove_report() {
  say
  say "== Report"
  if [ -d "$DEST_UNIX" ]; then
    say "Left in $DEST_WIN:"
    (cd "$DEST_UNIX" && find . | sed 's|^\./||; s/^/    /')
  elif [ -d "$(dirname "$DEST_UNIX")" ]; then
    say "$DEST_WIN is gone; the folder that held it is still there."
  else
    say "$DEST_WIN and the folder that held it are gone."
  fi
  group=$(find "$WINEPREFIX/drive_c/users" -type d -path "*Start Menu/Programs/$GROUP" 2>/dev/null | head -n 1)
  if [ -n "$group" ]; then
    say "The Start Menu group is still there: ${group#"$WINEPREFIX"/drive_c/}"
  else
    say "The Start Menu group is gone."
  fi
  if "$WINE" reg query "$UNINSTALL_KEY" >/dev/null 2>&1; then
    say "The Uninstall entry is still there."
  else
    say "The Uninstall entry is gone."
  fi
}

# ---- main ----

[ -f "$DISC/Setup.exe" ] || die "no $DISC_DIR/Setup.exe: build first (make win64)"
mkdir -p "$ROOT/$DEMO_DIR"
[ "$MODE" = install ] && : >"$REPORT"
# A walk that stops half-way leaves no program of the demo's prefix running.
[ "$AUTOMATIC" = 1 ] && trap '"$WINESERVER" -k 2>/dev/null || true' EXIT

if [ "$MODE" = install ]; then
  fresh_prefix
  if [ "$AUTOMATIC" = 1 ]; then
    [ -f "$DRIVE_EXE" ] || die "no $WIN_DIR/bin/vexlo-drive.exe: build first (make win64)"
    rm -rf "$SHOTS"
    mkdir -p "$SHOTS"
    start_wineserver
    install_walk
    stop_wineserver
  else
    say "Running Setup.exe on $DISPLAY; close it to see the report."
    (cd "$DISC" && "$WINE" Setup.exe) || true
    "$WINESERVER" -w
  fi
  report
  say
  [ "$AUTOMATIC" = 1 ] && say "Screenshots: $DEMO_DIR/screenshots/"
  say "Report: $DEMO_DIR/report.txt"
  say "The installation stays in $DEMO_DIR/prefix; '$REMOVE_COMMAND' removes it."
else
  [ -f "$WINEPREFIX/system.reg" ] || die "no $DEMO_DIR/prefix: run '$DEMO_COMMAND' first"
  game=$(installed_game)
  [ -n "$game" ] || die "the demo is not installed in $DEMO_DIR/prefix: run '$DEMO_COMMAND' first"
  if [ "$AUTOMATIC" = 1 ]; then
    [ -f "$DRIVE_EXE" ] || die "no $WIN_DIR/bin/vexlo-drive.exe: build first (make win64)"
    mkdir -p "$SHOTS"
    rm -f "$SHOTS"/remove-*.png
    shot_prefix="remove-"
    no_window_manager
    start_wineserver
    remove_walk "$game"
    "$WINESERVER" -w
    stop_wineserver
  else
    say "Running \"$game\" /REMOVE on $DISPLAY..."
    "$WINE" "$game" /REMOVE || true
    "$WINESERVER" -w
  fi
  remove_report
  [ "$AUTOMATIC" = 1 ] && say "Screenshots: $DEMO_DIR/screenshots/ (remove-*.png)"
  say "Report: $DEMO_DIR/report.txt"
fi
