#!/bin/bash
# The product art build step by step: painted art, a product's own pictures
# and icon taken, bad ones stopping the build with a line naming them, a
# misspelt name stopping the configure, a new title or art taken away making
# the art again.
# usage: product_art_test.sh SOURCE-DIR VEXLO-ARTGEN IMAGEMAGICK-CONVERT
set -u
source_dir=$1 artgen=$2 convert=$3
if [ -z "$convert" ]; then
  echo "SKIPPED: ImageMagick's convert is not installed"
  exit 77
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vexlo-product-art-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
product=$scratch/product build=$scratch/build
mkdir -p "$product"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

configure() {
  cmake -S "$source_dir/tests/artgen/product_art" -B "$build" -G "Unix Makefiles" \
    -DVEXLO_SOURCE_DIR="$source_dir" -DARTGEN="$artgen" -DPRODUCT="$product" "$@" \
    >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "configure $*"; }
}
# Builds; the output is kept in $scratch/log. Waits a second first, so that a
# file changed since the last build is newer than what that build made.
build() {
  sleep 1
  cmake --build "$build" >"$scratch/log" 2>&1
}
painted_as() {  # TITLE FOLDER: what the generator paints for TITLE
  mkdir -p "$2" && "$artgen" --title "$1" "$2" >/dev/null
}
same() { cmp -s "$1" "$2" || fail "$3: $1 differs from $2"; }
differ() { cmp -s "$1" "$2" && fail "$3: $1 is still $2"; }
log_has() {  # CMake wraps its messages: compared with the lines joined
  tr -s ' \n' '  ' <"$scratch/log" | grep -qF -- "$1" ||
    { cat "$scratch/log"; fail "the build's output lacks: $1"; }
}

painted_as VEXLO "$scratch/vexlo"
painted_as Starfall "$scratch/starfall"
art=$build/art

# Nothing given: all three painted with the title.
configure -DTITLE=VEXLO
build || { cat "$scratch/log"; fail "painting the art"; }
for f in autoplay.bmp wizard.bmp setup.ico; do same "$art/$f" "$scratch/vexlo/$f" "painted"; done

# The product's own wizard picture: taken, the launcher picture still painted.
mkdir -p "$product/art"
"$convert" -seed 4 -size 123x263 plasma: -colors 256 -type Palette -compress None \
  "BMP3:$product/art/wizard.bmp"
build || { cat "$scratch/log"; fail "taking the product's wizard.bmp"; }
"$artgen" --check "$art/wizard.bmp" 123 263 || fail "the wizard picture taken fails its check"
[ "$("$convert" "$product/art/wizard.bmp" "$art/wizard.bmp" -metric AE -compare \
      -format '%[distortion]' info: 2>/dev/null)" = 0 ] ||
  fail "the wizard picture taken is not the product's"
same "$art/autoplay.bmp" "$scratch/vexlo/autoplay.bmp" "launcher picture beside a given one"

# A 24-bit picture stops the build, every time, with one line naming it.
"$convert" -seed 4 -size 123x263 plasma: -type TrueColor "BMP3:$product/art/wizard.bmp"
build && fail "a 24-bit wizard.bmp was taken"
log_has "vexlo-artgen: $product/art/wizard.bmp has 24 bits per pixel"
build && fail "a 24-bit wizard.bmp was taken on the second build"

# Put right, it is taken.
"$convert" -seed 5 -size 123x263 plasma: -colors 256 -type Palette -compress None \
  "BMP3:$product/art/wizard.bmp"
build || { cat "$scratch/log"; fail "taking the corrected wizard.bmp"; }

# A picture of another name stops the configure.
cp "$product/art/wizard.bmp" "$product/art/Autoplay.BMP"
build && fail "Autoplay.BMP was passed over"
log_has "$product/art/Autoplay.BMP: not a picture the setup program uses"
rm "$product/art/Autoplay.BMP"

# The product's icon: checked and taken as it is; a PNG icon refused.
"$convert" -seed 4 -size 32x32 plasma: -colors 16 "$product/art/setup.ico"
build || { cat "$scratch/log"; fail "taking the product's setup.ico"; }
same "$art/setup.ico" "$product/art/setup.ico" "icon"
"$convert" -seed 4 -size 256x256 plasma: "$product/art/setup.ico"
build && fail "a PNG icon was taken"
log_has "vexlo-artgen: $product/art/setup.ico has image 1 stored as PNG"
rm "$product/art/setup.ico"

# Another title paints the launcher picture again; the given one stays.
configure -DTITLE=Starfall
build || { cat "$scratch/log"; fail "painting a new title"; }
same "$art/autoplay.bmp" "$scratch/starfall/autoplay.bmp" "launcher picture of the new title"
same "$art/setup.ico" "$scratch/starfall/setup.ico" "icon painted again when taken away"

# The art taken away: everything painted.
rm -r "$product/art"
build || { cat "$scratch/log"; fail "painting after the art was taken away"; }
for f in autoplay.bmp wizard.bmp setup.ico; do
  same "$art/$f" "$scratch/starfall/$f" "painted after the art was taken away"
done

# A title the generator cannot paint stops the build.
configure "-DTITLE=R&D"
build && fail "an unpaintable title was painted"
log_has "vexlo-artgen: cannot paint \"R&D\""

[ "$failures" = 0 ] && echo "all steps passed"
exit $((failures > 0))
