#!/bin/sh
# The README's "Making a disc for your game", done by a publisher: the Starfall
# product (tests/publisher/starfall, copied) gets its own game executable,
# built from the game component (disc/gamekit) and its own pictures, made
# with ImageMagick by the README's art commands, then exactly the commands
# between the README's publisher-commands markers run with PRODUCT naming the
# copy. Its Setup.exe must hold the given pictures' pixels. The disc is installed under 32-bit Wine through its Setup.exe
# (windows found by their control ids, never by a product's texts), checked on
# the prefix's drive and registry, played, removed with "StarDemo.exe /REMOVE"
# and checked gone. Last, a 24-bit picture in art/ must stop make release, and
# a WelcomeText too long for its page must stop make iso, named.
#
#   tests/publisher/publisher_test.sh [WORK_DIR]     (default build/publisher)
#
# Prints each README command with its time, the screenshots' names, a line per
# check; the last line is PASS, FAIL or SKIP (with the reason). Exits 0, 1, or
# 77 for a skip. Under tools/run-tests.sh (STAGE_COUNTS set) it writes its
# counts there and a skip exits 0, counted as skipped, never as passed.
set -u
cd "$(dirname "$0")/../.." || exit 1
ROOT=$PWD
WORK=${1:-build/publisher}
case $WORK in /*) ;; *) WORK=$ROOT/$WORK ;; esac
# The folder is emptied first: never one that holds anything else.
case $WORK in /|"$ROOT"|"$ROOT/"|"$ROOT/build"|"${HOME:-/}"|"${HOME:-/}/")
  echo "publisher_test: $WORK is no folder of its own"; exit 2 ;; esac
FIXTURE=$ROOT/tests/publisher/starfall
GAMEKIT=$ROOT/disc/gamekit
WINE=${VEXLO_WINE32:-/usr/lib/wine/wine}
WINESERVER=/usr/lib/wine/wineserver
GAME_CC=${GAME_CC:-i686-w64-mingw32-gcc-win32}
DRIVER_CXX=${DRIVER_CXX:-i686-w64-mingw32-g++-win32}
counts_file=${STAGE_COUNTS:-}

passed=0
failed=0

say() { printf '%s\n' "$*"; }

finish() {
  result=$1
  shift
  if [ -d "${WINEPREFIX:-/nonexistent}" ]; then "$WINESERVER" -k 2>/dev/null || true; fi
  [ -d "$WORK/cd" ] && chmod -R u+w "$WORK/cd"
  case $result in
    skip)
      [ -n "$counts_file" ] && echo "0 0 1" >"$counts_file"
      say "SKIP: $*"
      [ -n "$counts_file" ] && exit 0
      exit 77
      ;;
  esac
  [ -n "$counts_file" ] && echo "$passed $failed 0" >"$counts_file"
  say "checks: $passed passed, $failed failed"
  if [ "$failed" -eq 0 ] && [ "$result" = pass ]; then
    say PASS
    exit 0
  fi
  say FAIL
  exit 1
}

# check DESCRIPTION COMMAND...: one check, counted; goes on either way.
check() {
  what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    say "  ok    $what"
    return 0
  fi
  failed=$((failed + 1))
  say "  FAIL  $what"
  return 1
}
# fatal MESSAGE: a step the rest depends on failed.
fatal() {
  failed=$((failed + 1))
  say "  FAIL  $*"
  finish fail
}
has_file() { [ -f "$1" ]; }
no_file() { [ ! -e "$1" ]; }
not() { ! "$@"; }
same() { [ "$1" = "$2" ] || { say "        got:      '$1'"; say "        expected: '$2'"; return 1; }; }

# ---- can this machine do it? ----
[ -x "$WINE" ] || finish skip "32-bit Wine is not installed ($WINE; Debian: wine32:i386)"
command -v xvfb-run >/dev/null || finish skip "xvfb-run is not installed"
command -v "$GAME_CC" >/dev/null || finish skip "no $GAME_CC to build the game with"
# The whole run in a private X server: no window reaches the user's display.
if [ -z "${VEXLO_PUBLISHER_XVFB:-}" ]; then
  VEXLO_PUBLISHER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$ROOT/tests/publisher/publisher_test.sh" "$WORK"
fi

export WINEPREFIX="$WORK/prefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Stopped half-way, it leaves no program of its prefix running.
trap 'finish fail' INT TERM
# The copy's folder name names its build folder and image: one of its own.
PRODUCT=$WORK/starfall-test
SHOTS=$WORK/screenshots
DRIVE_OUT=$WORK/drive.out
DRIVE_EXE=$WORK/tools/vexlo-drive.exe
[ -d "$WORK/cd" ] && chmod -R u+w "$WORK/cd"
rm -rf "$WORK"
mkdir -p "$WORK/tools" "$SHOTS"

# ---- the product's texts, as the build resolves them ----
# product_text KEY: the value, ${Key} references resolved, ${CRLF} a CR LF.
product_text() {
  awk -v want="$1" '
    function resolve(text, depth,   out, at, end, name) {
      out = ""
      while (depth < 20 && (at = index(text, "${")) > 0) {
        end = index(substr(text, at + 2), "}")
        if (end == 0) break
        name = substr(text, at + 2, end - 1)
        out = out substr(text, 1, at - 1) (name == "CRLF" ? "\r\n" : resolve(value[name], depth + 1))
        text = substr(text, at + 2 + end)
      }
      return out text
    }
    /^[ \t]*[#;]/ || index($0, "=") == 0 { next }
    { value[substr($0, 1, index($0, "=") - 1)] = substr($0, index($0, "=") + 1) }
    END { printf "%s", resolve(value[want], 0) }' "$PRODUCT/product.ini"
}

# ---- the product folder with its own game ----
say "== Starfall's product folder, with its game built from the game component"
cp -R "$FIXTURE" "$PRODUCT" || fatal "cannot copy $FIXTURE"
GAME_EXE=$(product_text GameExeName)
mkdir -p "$PRODUCT/game" "$WORK/game"
if [ ! -f "$GAMEKIT/game_kit.c" ] || [ ! -f "$GAMEKIT/example_game.c" ]; then
  fatal "no game component in disc/gamekit (game_kit.c, example_game.c)"
fi
start=$(date +%s)
# The example game with Starfall's names, as its own comment says to build it.
"$GAME_CC" -std=c99 -Os -Wall -mwindows -I"$ROOT" \
  -DEXAMPLE_GAME_TITLE="\"$(product_text GameWindowTitle)\"" \
  -DEXAMPLE_UNINSTALLER_MEMBER="\"$(product_text UninstallerMember)\"" \
  -DEXAMPLE_NOT_STARTED_TEXT="\"$(product_text UninstallerNotStartedText)\"" \
  -o "$WORK/game/$GAME_EXE" "$GAMEKIT/example_game.c" "$GAMEKIT/game_kit.c" -lwinmm \
  >"$WORK/game.log" 2>&1 || { cat "$WORK/game.log"; fatal "the example game does not build"; }
cp "$WORK/game/$GAME_EXE" "$PRODUCT/game/$GAME_EXE"
say "  game/$GAME_EXE built from disc/gamekit ($(($(date +%s) - start)) s)"

# Its own pictures, as a publisher makes them: a picture of any kind from
# ImageMagick (a plasma with the title), made a setup picture with exactly the
# README's commands (between its art-commands markers), run in the product
# folder. ImageMagick's own BMP, for comparison, is kept aside.
say
say "== Starfall's pictures, made with ImageMagick and the README's art commands"
command -v convert >/dev/null || fatal "no ImageMagick convert (tools/install-deps.sh installs it)"
ART_SOURCES=$WORK/art-sources
mkdir -p "$ART_SOURCES" "$PRODUCT/art"
# painting NAME WIDTH HEIGHT POINTSIZE TOP: a plasma of that size with the title.
painting() {
  title=
  # The title only where ImageMagick has a font to write it with.
  if convert -list font 2>/dev/null | grep -q 'Font: DejaVu-Sans-Bold$'; then
    title="-font DejaVu-Sans-Bold -fill white -stroke black -pointsize $4 -gravity north -annotate +0+$5 STARFALL"
  fi
  # shellcheck disable=SC2086  # the title's options, split on purpose
  convert -size "$2x$3" -seed 1998 plasma:midnightblue-darkorange $title "$ART_SOURCES/$1"
}
if ! painting picture.png 600 450 72 60 || ! painting side.png 123 263 22 20; then
  fatal "ImageMagick cannot paint the pictures"
fi
awk '/<!-- art-commands -->/ { inside = 1; next }
     /<!-- \/art-commands -->/ { inside = 0 }
     inside && /^```/ { fence = !fence; next }
     inside && fence' README.md | grep -v '^[[:space:]]*\(#.*\)\{0,1\}$' >"$WORK/art-commands.run" ||
  fatal "README.md has no commands between <!-- art-commands --> markers"
cp "$ART_SOURCES/picture.png" "$ART_SOURCES/side.png" "$PRODUCT/"
while IFS= read -r command; do
  say "  \$ $command"
  (cd "$PRODUCT" && sh -c "$command") </dev/null >"$WORK/art.log" 2>&1 ||
    { cat "$WORK/art.log"; fatal "the README's art command fails: $command"; }
done <"$WORK/art-commands.run"
rm -f "$PRODUCT/picture.png" "$PRODUCT/side.png"
for name in autoplay.bmp wizard.bmp; do
  has_file "$PRODUCT/art/$name" || fatal "the README's art commands made no art/$name"
done
# What ImageMagick writes when asked for nothing more than a BMP.
convert "$ART_SOURCES/picture.png" -colors 256 -type Palette "$ART_SOURCES/autoplay.bmp"
# The UI driver, built on its own: the test's build folder may be in use.
"$DRIVER_CXX" -std=c++17 -O1 -I"$ROOT/tests/driver" -o "$DRIVE_EXE" \
  "$ROOT/tests/driver/vexlo_drive.cpp" "$ROOT/tests/driver/ui_driver.cpp" \
  -static -luser32 -lgdi32 -lcomctl32 >"$WORK/driver.log" 2>&1 ||
  { cat "$WORK/driver.log"; fatal "the UI driver does not build"; }

# The prefix is made while the disc is built.
(
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1
  "$WINESERVER" -w
  # No window manager under Xvfb: unmanaged windows, frames drawn by Wine.
  for setting in Managed Decorated; do
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v $setting /d N /f >/dev/null 2>&1
  done
  # S: is a CD-ROM drive (its type is read when the prefix starts).
  "$WINE" reg add 'HKLM\Software\Wine\Drives' /v s: /d cdrom /f >/dev/null 2>&1
  "$WINESERVER" -w
  # Wine's own title bars want the symbol font of their buttons.
  font=/usr/share/wine/fonts/marlett.ttf
  if [ -f "$font" ]; then cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"; fi
  "$WINE" cmd /c exit >/dev/null 2>&1
) >"$WORK/prefix.log" 2>&1 &
prefix_job=$!

# ---- the README's commands ----
# Nothing of an earlier run may pass for what these commands make.
NAME=$(basename "$PRODUCT")
DISC=$ROOT/build/product-$NAME/disc
ISO=$ROOT/build/$NAME.iso
rm -rf "$ROOT/build/product-$NAME" "$ISO"
say
say "== The README's publisher commands (PRODUCT=$PRODUCT)"
awk '/<!-- publisher-commands -->/ { inside = 1; next }
     /<!-- \/publisher-commands -->/ { inside = 0 }
     inside && /^```/ { fence = !fence; next }
     inside && fence' README.md >"$WORK/commands.sh"
grep -v '^[[:space:]]*\(#.*\)\{0,1\}$' "$WORK/commands.sh" >"$WORK/commands.run" ||
  fatal "README.md has no commands between <!-- publisher-commands --> markers"
export PRODUCT
number=0
while IFS= read -r command; do
  number=$((number + 1))
  start=$(date +%s)
  # As on a build machine without a display (make demo walks by itself).
  (cd "$ROOT" && env -u DISPLAY sh -c "$command") </dev/null >"$WORK/command-$number.log" 2>&1
  status=$?
  shown=$(printf '%s' "$command" | sed 's/[[:space:]]*#.*$//')
  say "  \$ $shown    ($(($(date +%s) - start)) s)"
  if [ "$status" -ne 0 ]; then
    tail -n 25 "$WORK/command-$number.log" | sed 's/^/    | /'
    fatal "README command $number exited with $status (log: $WORK/command-$number.log)"
  fi
done <"$WORK/commands.run"
[ "$number" -gt 0 ] || fatal "no README command ran"

# What the commands told the publisher: the demo's closing line names the
# removal with its PRODUCT=, and the build names the content files that
# will not be installed (manual/index.html: in a sub-folder).
demo_log=$(awk -v w="$WORK" '/^make demo PRODUCT=/ { print w "/command-" NR ".log"; exit }' \
  "$WORK/commands.run")
last_line=$(tr -d '\r' <"${demo_log:-/dev/null}" | grep -v '^[[:space:]]*$' | tail -n 1)
check "the demo's last line names 'make demo-remove PRODUCT=$PRODUCT' ($last_line)" \
  grep -qF "'make demo-remove PRODUCT=$PRODUCT' removes it" "${demo_log:-/dev/null}"
told_not_installed() {
  cat "$WORK"/command-*.log | tr -s ' \n' ' ' |
    grep -qF "These content files go onto the disc but will not be installed: manual/index.html (in a sub-folder"
}
check "the build names manual/index.html as not installed" told_not_installed
# Each build of the product measured its texts in Setup.exe's controls.
release_log=$(awk -v w="$WORK" '/^make release PRODUCT=/ { print w "/command-" NR ".log"; exit }' \
  "$WORK/commands.run")
check "the release measured every text in the control that shows it" \
  grep -qF "Every text fits the control that shows it (measured under Wine" "${release_log:-/dev/null}"
named_not_installed() { cat "$WORK"/command-*.log | grep -qE "^ +$1 +[(]"; }
for name in StarDemo.ini ReadMe.txt Starfall.cfg; do
  check "and does not name $name so (it is installed)" not named_not_installed "$name"
done
# The folders the README names for this product are the real ones.
grep -o '`build/product-<folder name>/[^`]*`\|`build/<folder name>[.]iso`' README.md | tr -d '`' |
  sed "s|<folder name>|$NAME|" | sort -u >"$WORK/readme-paths.txt"
check "the README names the product's folders ($(tr '\n' ' ' <"$WORK/readme-paths.txt"))" \
  grep -q "product-$NAME/demo/screenshots" "$WORK/readme-paths.txt"
while IFS= read -r path; do
  check "README path $path is there" test -e "$ROOT/$path"
done <"$WORK/readme-paths.txt"
# Plain `make demo-remove` removes the sample's demo only: with none, it says
# so and names this product's command, building nothing.
if [ ! -e "$ROOT/build/win32/demo/prefix" ] && [ ! -e "$ROOT/build/demo/prefix" ]; then
  (cd "$ROOT" && env -u DISPLAY -u PRODUCT make demo-remove) </dev/null >"$WORK/plain-remove.log" 2>&1
  status=$?
  check "plain make demo-remove stops (exit $status)" [ "$status" -ne 0 ]
  check "and names 'make demo-remove PRODUCT=$PRODUCT'" \
    grep -qF "make demo-remove PRODUCT=$PRODUCT" "$WORK/plain-remove.log"
  check "building nothing" sh -c "! grep -q 'Building\\|Linking' '$WORK/plain-remove.log'"
fi

# ---- the disc ----
HOST_BIN=$ROOT/build/native/bin
say
say "== The disc in build/product-$NAME/disc"
[ -f "$DISC/Setup.exe" ] || fatal "no Setup.exe in $DISC"
for name in AUTORUN.INF Setup.exe "$GAME_EXE" ReadMe.txt Starfall.cfg StarDemo.ini \
  manual/index.html data/theme.mp3 "data/Deep Space.mp3" data/docking.mp3 data/BOSS.MP3; do
  check "on the disc: $name" has_file "$DISC/$name"
done
for name in Vexlo.cfg VexloDmo.exe; do
  check "not on the disc: $name" no_file "$DISC/$name"
done
check "the content's files are on the disc as they are" \
  diff -r "$PRODUCT/content" "$DISC" -x Setup.exe -x AUTORUN.INF -x "$GAME_EXE" -x DXSetup -q
# No name of the sample product is left in anything the disc holds, as bytes
# or as UTF-16 (resources). VEXLO_ names the project's own switches, not the
# product's.
vexlo_files=$(cd "$DISC" && find . -type f | sed 's|^\./||' | sort | while IFS= read -r file; do
  { strings -a -n 4 "$file"; strings -a -el -n 4 "$file"; } | grep -qE 'Vexlo|VEXLO([^_]|$)' &&
    printf '%s ' "$file"
done)
check "no file on the disc names the sample product${vexlo_files:+ (found in: $vexlo_files)}" \
  [ -z "$vexlo_files" ]
CD=$WORK/cd
if check "the image build/$NAME.iso is there" has_file "$ISO"; then
  label=$(xorriso -indev "$ISO" -pvd_info 2>/dev/null | sed -n 's/^Volume Id *: *//p')
  check "its volume label is the product's ($(product_text VolumeLabel))" \
    same "$label" "$(product_text VolumeLabel)"
  # The image as Windows reads it (Joliet names), read-only like a pressed disc.
  xorriso -osirrox on -read_fs norock -indev "$ISO" -extract / "$CD" >"$WORK/xorriso.log" 2>&1
  chmod -R a-w "$CD" 2>/dev/null
  check "the image holds the disc, names and bytes" diff -r "$DISC" "$CD"
fi
[ -f "$CD/Setup.exe" ] || fatal "no disc to install from"

# ---- Starfall's pictures, in its Setup.exe ----
say
say "== Starfall's pictures in its Setup.exe"
# A bitmap resource is the picture's file after its file header: the info
# header (the build writes its own), the colour table and the pixel rows.
# The given colours and rows must be in Setup.exe byte for byte; bytes as
# " xx" each, so a match never straddles two bytes.
hex_bytes() { od -An -v -tx1 | tr -d '\n'; }
hex_bytes <"$DISC/Setup.exe" >"$WORK/setup.hex"
u32_at() { od -An -tu4 -j "$2" -N 4 "$1" | tr -d ' '; }
setup_holds() { grep -q -F -f "$1" "$WORK/setup.hex"; }
for name in autoplay.bmp wizard.bmp; do
  given=$PRODUCT/art/$name
  pixels_at=$(u32_at "$given" 10)
  header=$(u32_at "$given" 14)
  colours=$(u32_at "$given" 46)
  [ "$colours" -ne 0 ] || colours=256
  tail -c +$((pixels_at + 1)) "$given" | hex_bytes >"$WORK/$name.rows.hex"
  head -c $((14 + header + 4 * colours)) "$given" | tail -c +$((15 + header)) | hex_bytes \
    >"$WORK/$name.colours.hex"
  check "Setup.exe holds the given $name's pixel rows" setup_holds "$WORK/$name.rows.hex"
  check "and its $colours colours" setup_holds "$WORK/$name.colours.hex"
done
# ImageMagick's plain BMP is refused by the build's own check, which names it.
ARTGEN=$(find "$ROOT/build/product-$NAME" -path '*/bin/vexlo-artgen' -type f | head -n 1)
refused_naming() {
  ! "$ARTGEN" --check "$1" 600 450 >"$WORK/refused.txt" 2>&1 &&
    grep -qF "$1" "$WORK/refused.txt" && sed 's/^/        /' "$WORK/refused.txt"
}
if check "the product's build has its picture check (vexlo-artgen)" [ -n "$ARTGEN" ]; then
  check "ImageMagick's plain 256-colour BMP is refused, named" \
    refused_naming "$ART_SOURCES/autoplay.bmp"
fi

# ---- installation through the UI ----
# One step of the UI driver: its output, without the console's CRs, in $out.
drive() {
  status=0
  "$WINE" "$DRIVE_EXE" "$@" >"$DRIVE_OUT" 2>"$WORK/drive.err" || status=$?
  out=$(tr -d '\r' <"$DRIVE_OUT")
  return $status
}

# window_with PID ID SECONDS [NOT_ID]: the title of a visible top-level window
# of the process (any process for PID 0) that holds a visible control ID (hex,
# as 0x03FF) and no visible control NOT_ID, in $found.
window_with() {
  deadline=$(($(date +%s) + $3))
  while :; do
    if drive --pid "$1" windows; then
      titles=$(printf '%s\n' "$out" | cut -f4-)
      while IFS= read -r title; do
        [ -n "$title" ] || continue
        drive --pid "$1" --timeout 1 controls "$title" || continue
        visible=$(printf '%s\n' "$out" | awk -F '\t' '$4 ~ /^visible/ { print toupper($2) }')
        if printf '%s\n' "$visible" | grep -qx "$(upper "$2")" &&
          { [ -z "${4:-}" ] || ! printf '%s\n' "$visible" | grep -qx "$(upper "$4")"; }; then
          found=$title
          return 0
        fi
      done <<EOF
$titles
EOF
    fi
    [ "$(date +%s)" -lt "$deadline" ] || return 1
    sleep 0.3
  done
}
upper() { printf '%s' "$1" | tr a-z A-Z; }

shot() {
  if drive shot "$1" "$SHOTS/$2.bmp" && convert "$SHOTS/$2.bmp" "$SHOTS/$2.png"; then
    rm -f "$SHOTS/$2.bmp"
    say "  screenshot: $SHOTS/$2.png"
  else
    check "screenshot $2" false
  fi
}

say
say "== Installing from the image, drive S: (CD-ROM), under 32-bit Wine"
wait "$prefix_job"
[ -f "$WINEPREFIX/system.reg" ] ||
  { cat "$WORK/prefix.log"; finish skip "32-bit Wine cannot make a prefix here"; }
ln -sfn "$CD" "$WINEPREFIX/dosdevices/s:"
drive windows || finish skip "32-bit Wine does not run programs here: $(tail -n 1 "$WORK/drive.err")"
"$WINESERVER" -p 60 2>/dev/null

# Control ids of the setup program's windows (setup/shell/resource.h) and of
# the property sheet and message boxes (tests/driver/ui_driver.h).
PLAY=0x03FE INSTALL=0x03FF DEST_EDIT=0x03ED SPACE_REQUIRED=0x03FC STATUS=0x03F4 NEXT=0x3024
FINISH=0x3025 YES=0x0006 OK=0x0001

drive start 'S:\Setup.exe' --dir 'S:\' ||
  fatal "Setup.exe does not start"
setup_pid=$(printf '%s' "$out" | head -n 1)
window_with "$setup_pid" $INSTALL 30 || fatal "no launcher window (with buttons Play and Install)"
launcher=$found
check "launcher caption is LauncherCaption" same "$launcher" "$(product_text LauncherCaption)"
drive text "$launcher" $PLAY
check "Play button reads PlayButtonText" same "$out" "$(product_text PlayButtonText)"
drive text "$launcher" $INSTALL
check "Install button reads InstallButtonText" same "$out" "$(product_text InstallButtonText)"
# A display name of 18 characters: the buttons are laid out to their texts
# (measured in the launcher's font, "System" 10).
for button in $PLAY $INSTALL; do
  drive fits "$launcher" $button System 10
  check "button $button shows its whole text (text, room: $out)" [ "$status" -eq 0 ]
done
shot "$launcher" starfall-launcher
drive click "$launcher" $INSTALL || fatal "cannot click Install"

window_with "$setup_pid" $NEXT 30 || fatal "no wizard (a property sheet with Next)"
check "wizard caption is WizardCaption" same "$found" "$(product_text WizardCaption)"
# "100% arcade": shown as it stands, the percent sign once.
drive controls "$found"
welcome_shown() { printf '%s\n' "$out" | cut -f5- | grep -qxF "$(product_text WelcomeText)"; }
check "the welcome page shows WelcomeText, 100% as it stands" welcome_shown
drive click "$found" $NEXT || fatal "cannot go past the welcome page"
window_with "$setup_pid" $DEST_EDIT 15 || fatal "no destination page"
wizard=$found
check "destination page caption is DestinationCaption" same "$wizard" "$(product_text DestinationCaption)"
drive text "$wizard" $DEST_EDIT
check "default folder is DefaultDestFolder" same "$out" "$(product_text DefaultDestFolder)"
DEST=$out
drive text "$wizard" $SPACE_REQUIRED
space_required=$out
say "  Space Required: $space_required"
shot "$wizard" starfall-destination
drive click "$wizard" $NEXT || fatal "cannot leave the destination page"

# Questions on the way (the missing folder, perhaps the space): answered Yes.
questions=0
while window_with "$setup_pid" $YES 3 $NEXT; do
  questions=$((questions + 1))
  [ "$questions" -le 3 ] || fatal "question after question: $found"
  say "  question \"$found\": Yes"
  [ "$questions" -eq 1 ] && check "first question is MissingFolderTitle" \
    same "$found" "$(product_text MissingFolderTitle)"
  drive answer "$found" yes || fatal "cannot answer \"$found\""
  sleep 0.5
done
window_with "$setup_pid" $NEXT 15 || fatal "no ready page"
check "ready page caption is ReadyCaption" same "$found" "$(product_text ReadyCaption)"
drive click "$found" $NEXT || fatal "cannot start the installation"
window_with "$setup_pid" $STATUS 15 || fatal "no progress page"
progress=$found
drive wait-text "$progress" $STATUS Finished 300 || fatal "the installation did not finish: $out"
drive click "$progress" $FINISH || fatal "cannot click Finish"
check "Setup.exe ends after Finish" drive wait-exit "$setup_pid" 30
# The installer opens the Start Menu group in a folder window: closed.
group_title=$(product_text GroupFolderName | sed 's/^\\//')
drive --timeout 3 close "$group_title" || true

# ---- what was installed ----
say
say "== The installation"
dest_unix=$WINEPREFIX/drive_c/$(printf '%s' "${DEST#C:\\}" | tr '\\' '/')
for name in "$GAME_EXE" ReadMe.txt Starfall.cfg StarDemo.ini; do
  check "installed: $name" has_file "$dest_unix/$name"
done
check "Starfall.cfg is the content's" cmp -s "$PRODUCT/content/Starfall.cfg" "$dest_unix/Starfall.cfg"
for name in Vexlo.cfg VexloDmo.exe data manual Remove.txt; do
  check "not installed: $name" no_file "$dest_unix/$name"
done
# "Space Required" is what the installation took, give or take the members'
# records and the uninstall list: within 2 % and 0.1 MB.
installed_bytes=$(find "$dest_unix" -type f -printf "%s\n" | awk "{ n += \$1 } END { print n + 0 }")
check "Space Required ($space_required) is what was installed ($installed_bytes bytes)" \
  awk -v shown="$space_required" -v actual="$installed_bytes" 'BEGIN {
    split(shown, part, " ")
    unit = part[2] == "MB" ? 1048576 : part[2] == "KB" ? 1024 : part[2] == "bytes" ? 1 : 0
    bytes = part[1] * unit
    slack = 0.02 * actual + 0.1 * 1048576
    exit !(unit && bytes >= actual - slack && bytes <= actual + slack) }'
ARCHIVE_TOOL=$HOST_BIN/vexlo-archive
MP3WAV=$HOST_BIN/vexlo-mp3wav
if check "the disc's host tools are there ($HOST_BIN)" test -x "$ARCHIVE_TOOL" -a -x "$MP3WAV"; then
  "$ARCHIVE_TOOL" list "$dest_unix/$GAME_EXE" >"$WORK/members.list" 2>&1
  say "  members of the installed $GAME_EXE:"
  sed 's/^/    /' "$WORK/members.list"
  has_member() { grep -qE "[[:space:]]$1\$" "$WORK/members.list"; }
  check "member Credits.txt" has_member Credits.txt
  check "member $(product_text UninstallerMember) (the uninstaller)" has_member "$(product_text UninstallerMember)"
  check "member Remove.txt (the uninstall list)" has_member Remove.txt
  "$ARCHIVE_TOOL" extract "$dest_unix/$GAME_EXE" Remove.txt "$WORK/Remove.txt" >/dev/null 2>&1
  twice=$(tr -d '\r' <"$WORK/Remove.txt" | sort | uniq -d | tr '\n' ' ')
  listed_once() { [ -s "$WORK/Remove.txt" ] && [ -z "$twice" ]; }
  check "the uninstall list names no file twice${twice:+ ($twice)}" listed_once
  # Each MP3 is one WAV member, byte for byte what vexlo-mp3wav makes of it.
  for mp3 in theme.mp3 "Deep Space.mp3" docking.mp3 BOSS.MP3; do
    member="data/${mp3%.*}.wav"
    rm -f "$WORK/member.wav" "$WORK/reference.wav"
    "$ARCHIVE_TOOL" extract "$dest_unix/$GAME_EXE" "$member" "$WORK/member.wav" >/dev/null 2>&1
    "$MP3WAV" "$PRODUCT/content/data/$mp3" "$WORK/reference.wav" >/dev/null 2>&1
    check "member $member: the WAV of data/$mp3" cmp -s "$WORK/member.wav" "$WORK/reference.wav"
  done
fi
KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\'$(product_text ProductKeyName)
"$WINE" reg query "$KEY" >"$WORK/key.txt" 2>/dev/null
registry_value() { tr -d '\r' <"$WORK/key.txt" | sed -n "s/^ *$1 *REG_SZ *//p"; }
check "Uninstall key $(product_text ProductKeyName): DisplayName" \
  same "$(registry_value DisplayName)" "$(product_text ProductDisplayName)"
uninstall_string=$(registry_value UninstallString)
runs_removal() { case $1 in *"$DEST$GAME_EXE"*" /REMOVE") return 0 ;; esac; return 1; }
check "its UninstallString runs $GAME_EXE /REMOVE ($uninstall_string)" runs_removal "$uninstall_string"
# The shortcut's target, as ANSI or UTF-16 text in the .lnk file.
link_targets() {
  { strings -a -n 8 "$1"; strings -a -el -n 8 "$1"; } 2>/dev/null | grep -qiF "$2"
}
start_menu_group() {
  find "$WINEPREFIX/drive_c" -type d -path "*/Start Menu/Programs/$group_title" | head -n 1
}
group_dir=$(start_menu_group)
check "Start Menu group \"$group_title\"" [ -n "$group_dir" ]
# The game, each installed file but the settings (ReadMe.txt: "ReadMe";
# StarDemo.ini, of the game's stem: "StarDemo") and the removal: no more.
for title in "$(product_text GameShortcutTitle)" ReadMe StarDemo "$(product_text RemoveShortcutTitle)"; do
  check "shortcut \"$title\"" has_file "$group_dir/$title.lnk"
done
shortcuts=$(cd "$group_dir" 2>/dev/null && ls | sort | tr '\n' '|')
check "no other shortcut in the group" same "$shortcuts" "$(printf '%s\n' \
  "$(product_text GameShortcutTitle).lnk" ReadMe.lnk StarDemo.lnk \
  "$(product_text RemoveShortcutTitle).lnk" | sort | tr '\n' '|')"
check "the game's shortcut opens ${DEST}$GAME_EXE" \
  link_targets "$group_dir/$(product_text GameShortcutTitle).lnk" "${DEST}$GAME_EXE"
check "\"StarDemo\" opens ${DEST}StarDemo.ini" link_targets "$group_dir/StarDemo.lnk" "${DEST}StarDemo.ini"
check "\"ReadMe\" opens ${DEST}ReadMe.txt" link_targets "$group_dir/ReadMe.lnk" "${DEST}ReadMe.txt"

# ---- playing the installed game ----
say
say "== Playing the installed $GAME_EXE"
# The example game lists the WAV members it finds in its own archive, each
# checked to be RIFF/WAVE, and counts them in its status line.
SOUND_LIST=0x0064 SOUND_STATUS=0x0065
drive start "$DEST$GAME_EXE" --dir "$DEST" || fatal "the installed $GAME_EXE does not start"
game_pid=$(printf '%s' "$out" | head -n 1)
if check "the game shows its window" window_with "$game_pid" $SOUND_LIST 20; then
  game_window=$found
  check "titled GameWindowTitle" same "$game_window" "$(product_text GameWindowTitle)"
  drive text "$game_window" $SOUND_STATUS
  check "it finds the four WAV members" same "$out" "4 sounds."
  shot "$game_window" starfall-game
  drive close "$game_window"
  check "it ends when closed" drive wait-exit "$game_pid" 10
fi
drive kill "$game_pid" 2>/dev/null || true

# ---- removal ----
say
say "== Removing it: $GAME_EXE /REMOVE"
drive start "$DEST$GAME_EXE" --dir "$DEST" -- /REMOVE || fatal "$GAME_EXE /REMOVE does not start"
# The uninstaller runs from a temporary folder, as a process of its own: its
# message boxes are found among every process's windows.
message_box() {
  window_with 0 "$1" "$2" || return 1
  drive msgbox-text "$found"
}
# The uninstaller's own copy: a vxu*.tmp folder of the temporary folder.
uninstaller_copy() { find "$WINEPREFIX/drive_c" -maxdepth 7 -name 'vxu*.tmp' 2>/dev/null | head -n 1; }
message_box $YES 30 || fatal "the uninstaller asked nothing"
check "the uninstaller runs from a copy of its own ($(uninstaller_copy))" [ -n "$(uninstaller_copy)" ]
check "the uninstaller's question is titled UninstallConfirmTitle" \
  same "$found" "$(product_text UninstallConfirmTitle)"
check "and asks ConfirmText" same "$out" "$(product_text ConfirmText)"
drive answer "$found" yes || fatal "cannot answer the uninstaller"
drive wait-gone "$found" 10
message_box $OK 60 || fatal "the uninstaller did not report its end"
check "it reports RemovedText" same "$out" "$(product_text RemovedText)"
drive answer "$found" ok || fatal "cannot close the uninstaller's report"
# The folder goes when the uninstaller has ended.
waited=0
while [ -e "$dest_unix" ] && [ "$waited" -lt 20 ]; do
  sleep 0.5
  waited=$((waited + 1))
done

check "the game's folder is gone" no_file "$dest_unix"
check "the Start Menu group is gone" [ -z "$(start_menu_group)" ]
check "the \"ReadMe\" shortcut is gone" no_file "$group_dir/ReadMe.lnk"
# The copy goes once the uninstaller has ended (the command interpreter
# deletes its folder).
waited=0
while [ -n "$(uninstaller_copy)" ] && [ "$waited" -lt 20 ]; do
  sleep 0.5
  waited=$((waited + 1))
done
check "the uninstaller's copy is gone $(uninstaller_copy)" [ -z "$(uninstaller_copy)" ]
no_key() { ! "$WINE" reg query "$1" >/dev/null 2>&1; }
check "the Uninstall key is gone" no_key "$KEY"

# ---- a picture the dialogs cannot show ----
say
say "== A 24-bit art/autoplay.bmp given to make release"
cp "$PRODUCT/art/autoplay.bmp" "$WORK/autoplay.bmp.good"
convert "$ART_SOURCES/picture.png" -type TrueColor BMP3:"$PRODUCT/art/autoplay.bmp"
# make_product ACTION LOG: make ACTION for the product, as without a display;
# its exit status in status.
make_product() {
  start=$(date +%s)
  (cd "$ROOT" && env -u DISPLAY make "$1" PRODUCT="$PRODUCT") </dev/null >"$2" 2>&1
  status=$?
  say "  \$ make $1 PRODUCT=\"\$PRODUCT\"    ($(($(date +%s) - start)) s, exit $status)"
}
make_product release "$WORK/bad-art.log"
grep -F 'vexlo-artgen:' "$WORK/bad-art.log" | sed 's/^/        /'
check "it stops" [ "$status" -ne 0 ]
check "naming the file and its 24 bits per pixel" \
  grep -qF "$PRODUCT/art/autoplay.bmp has 24 bits per pixel" "$WORK/bad-art.log"
# The good release's image is not left beside the failed one, where
# `sha256sum -c` would still pass it.
check "the earlier build/$NAME.iso is gone" no_file "$ISO"
check "and build/SHA256SUMS with it" no_file "$ROOT/build/SHA256SUMS"

# ---- a text its control cannot show ----
say
say "== A WelcomeText of 2000 characters given to make iso"
cp "$WORK/autoplay.bmp.good" "$PRODUCT/art/autoplay.bmp"
cp "$PRODUCT/product.ini" "$WORK/product.ini.good"
long_text=$(awk 'BEGIN { for (i = 0; i < 200; i++) printf "Starfall! "; }')
sed "s/^WelcomeText=.*/WelcomeText=$long_text/" "$WORK/product.ini.good" >"$PRODUCT/product.ini"
make_product iso "$WORK/long-text.log"
grep -E 'does not fit|would be cut' "$WORK/long-text.log" | sed 's/\(Starfall! \)\{3,\}/Starfall! ... /; s/^/        /'
check "it stops" [ "$status" -ne 0 ]
check "naming WelcomeText and the lines it needs and has" \
  grep -qE '^WelcomeText "Starfall! Starfall! .*it needs [0-9]+ lines and its control shows [0-9]+' \
  "$WORK/long-text.log"
check "and no other text" [ "$(grep -c 'does not fit' "$WORK/long-text.log")" -eq 1 ]
check "and leaves no build/$NAME.iso" no_file "$ISO"
cp "$WORK/product.ini.good" "$PRODUCT/product.ini"

finish pass
