#!/bin/sh
# Builds the site's static files into an installation:
#   HOME/install/css/win.css           the style sheet of every page
#   HOME/install/httpd_images/...      the images, from install/images.map (famfamfam-silk icons and drawings)
#   HOME/install/misc/                 start.htm, favicon.ico, credits.txt
#   HOME/install/man/                  the manuals as HTML and PDF, from doc/*.md
# Usage: scripts/lib/install_static.sh HOME
# Safe to re-run: a file is rewritten only when what it is built from has changed.
set -eu

src=$(cd "$(dirname "$0")/../.." && pwd)
prog=install_static

fail() {
    echo "$prog: $*" >&2
    exit 1
}

[ $# -eq 1 ] || fail "usage: scripts/lib/install_static.sh HOME"
[ -d "$1" ] || fail "the installation directory $1 does not exist"
home=$(cd "$1" && pwd)

# Bumped when a recipe below draws differently, so that re-runs rebuild every image.
RECIPES_VERSION=3
SILK=/usr/share/icons/silk/16x16
FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
FONT_BOLD=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
PAGE_BG="#FFFAF2"
TAB_TOP="#B7C9BD"
TAB_BOTTOM="#9CB2A5"

# --- What the step needs; each missing piece is named with the Debian package that brings it.
missing=""
need() { missing="$missing
  $1 (Debian package $2)"; }
command -v convert >/dev/null 2>&1 && convert -version 2>/dev/null | grep -q ImageMagick ||
    need "the ImageMagick program convert" imagemagick
[ -d "$SILK" ] || need "the icon set $SILK" famfamfam-silk
[ -f "$FONT" ] && [ -f "$FONT_BOLD" ] || need "the DejaVu fonts" fonts-dejavu-core
# The system's Python, whose modules the Debian packages install (a user's own Python may lack them).
PY=/usr/bin/python3
[ -x "$PY" ] || PY=$(command -v python3 || echo /usr/bin/python3)
if [ -x "$PY" ]; then
    "$PY" -c 'import markdown' 2>/dev/null || need "the Python module markdown" python3-markdown
    "$PY" -c 'import weasyprint' 2>/dev/null || need "the PDF writer weasyprint" weasyprint
else
    need "python3" python3
fi
if [ -n "$missing" ]; then
    fail "cannot build the static files; missing:$missing
Install them with scripts/lib/deps.sh (as root)."
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/install_static.XXXXXX")
trap 'rm -rf "$tmp"' EXIT INT TERM

# Puts a built file in place only when it differs, so re-runs leave files (and their times) alone.
place() {
    [ -f "$1" ] || fail "$1 is missing"
    mkdir -p "$(dirname "$2")"
    if ! cmp -s "$1" "$2"; then
        cp "$1" "$2.new.$$" && mv "$2.new.$$" "$2"
        changed=$((changed + 1))
    fi
}
changed=0

# --- Image recipes. Each writes the file $out.

# A silk icon as GIF: partly transparent edge pixels become opaque above half cover, clear below,
# since GIF knows only one clear colour.
silk() {
    png="$SILK/$1.png"
    [ -f "$png" ] || fail "images.map line $lineno: no famfamfam-silk icon named $1"
    shift
    grey=no
    badge=""
    for a in "$@"; do
        case "$a" in
            grey) grey=yes ;;
            +*)
                badge="$SILK/${a#+}.png"
                [ -f "$badge" ] || fail "images.map line $lineno: no famfamfam-silk icon named ${a#+}"
                ;;
            *) fail "images.map line $lineno: unknown silk option $a" ;;
        esac
    done
    work="$tmp/silk.png"
    cp "$png" "$work"
    if [ -n "$badge" ]; then
        convert "$work" \( "$badge" -resize 10x10 \) -gravity SouthEast -geometry +0+0 -composite "$work"
    fi
    if [ "$grey" = yes ]; then
        # Faded: grey and lighter, shape kept.
        convert "$work" -colorspace Gray -channel RGB -level -45%,100% +channel -colorspace sRGB "$work"
    fi
    convert "$work" -channel A -threshold 50% +channel "$out"
}

swatch() {
    if [ "$1" = none ]; then
        convert -size 16x16 xc:white -fill none -stroke "#8A8A8A" -draw "rectangle 0,0 15,15" \
            -stroke "#D04040" -strokewidth 1.5 -draw "line 2,13 13,2" "$out"
    else
        convert -size 16x16 "xc:$1" -fill none -stroke "#6F6F6F" -draw "rectangle 0,0 15,15" "$out"
    fi
}

square() {
    convert -size 16x16 xc:none -fill "$1" -stroke "#8F8F8F" -draw "rectangle 3,3 12,12" \
        -channel A -threshold 50% +channel "$out"
}

checkbox() {
    set -- -size 13x13 xc:white -fill none -stroke "#5F7468" -draw "rectangle 0,0 12,12"
    if [ "$cb" = on ]; then
        set -- "$@" -stroke "#2F6B45" -strokewidth 2 -draw "polyline 3,6 5.5,9 10,3"
    fi
    convert "$@" "$out"
}

blank() {
    convert -size "$1" xc:none "$out"
}

# The tab pieces share one vertical shading; the edges are drawn on the page colour so that
# their smoothing blends into the navigation bar.
tab() {
    convert -size 13x24 "gradient:$TAB_TOP-$TAB_BOTTOM" "$tmp/grad.png"
    case "$1" in
        M)
            convert -size 4x24 "gradient:$TAB_TOP-$TAB_BOTTOM" "$out"
            return
            ;;
        L) shape="path 'M 0,24 L 5,5 Q 6.5,0.5 11,0 L 13,0 L 13,24 Z'" ;;
        R) shape="path 'M 13,24 L 8,5 Q 6.5,0.5 2,0 L 0,0 L 0,24 Z'" ;;
        LR) shape="path 'M 0,0 L 2,0 Q 4.5,1 5.5,5 L 6.5,10 L 7.5,5 Q 8.5,1 11,0 L 13,0 L 13,24 L 0,24 Z'" ;;
        *) fail "images.map line $lineno: unknown tab piece $1" ;;
    esac
    convert -size 13x24 xc:black -fill white -stroke none -draw "$shape" "$tmp/mask.png"
    convert -size 13x24 "xc:$PAGE_BG" "$tmp/grad.png" "$tmp/mask.png" -composite "$out"
}

# The product's mark: a sage square with a folded corner and a white M, drawn at 4x and reduced.
emblem() {
    size=$1
    convert -size 128x128 xc:none \
        -fill "#4F7462" -draw "roundrectangle 4,4 123,123 22,22" \
        -fill "#7FA08E" -draw "polygon 86,4 123,4 123,41" \
        -fill "#DDE8E0" -draw "polygon 86,4 86,41 123,41" \
        -fill white -font "$FONT_BOLD" -pointsize 78 -gravity center -annotate +0+6 M \
        -resize "${size}x${size}" "$2"
}

logo() {
    emblem 40 "$tmp/emblem.png"
    convert -size 190x48 "xc:$PAGE_BG" "$tmp/emblem.png" -geometry +4+4 -composite \
        -font "$FONT_BOLD" -pointsize 25 -fill "#3C5A4B" -annotate +52+27 Morvale \
        -font "$FONT" -pointsize 10 -fill "#6E7F76" -annotate +53+41 "documents and tables" \
        "$out"
}

company() {
    convert -size 160x36 "xc:$PAGE_BG" \
        -fill "#6D5E86" -draw "circle 17,18 17,4" -fill "$PAGE_BG" -draw "circle 17,18 17,10" \
        -fill "#6D5E86" -draw "polygon 20,22 30,32 25,32 17,24" \
        -font "$FONT_BOLD" -pointsize 14 -fill "#4B4060" -annotate +36+17 Quennet \
        -font "$FONT" -pointsize 11 -fill "#6B6478" -annotate +36+30 Systems \
        "$out"
}

badge() {
    convert -size 84x48 "xc:$PAGE_BG" \
        -font "$FONT" -pointsize 11 -fill "#6E7F76" -gravity center -annotate -6+0 powering \
        -fill "#9CB2A5" -draw "polygon 70,19 78,24 70,29" \
        "$out"
}

favicon() {
    emblem 32 "$tmp/fav32.png"
    emblem 16 "$tmp/fav16.png"
    convert "$tmp/fav16.png" "$tmp/fav32.png" "$out"
}

# --- Images: one line of install/images.map each. A manifest beside the images keeps what each file
# was built from; an unchanged line is skipped, a line gone from the map takes its file with it.
images="$home/install/httpd_images"
manifest="$images/.built"
mkdir -p "$images"
[ -f "$manifest" ] || : >"$manifest"
: >"$tmp/manifest"
lineno=0
set -f
while IFS= read -r line || [ -n "$line" ]; do
    lineno=$((lineno + 1))
    line=$(printf '%s' "$line" | sed 's/^[[:space:]]*//; s/[[:space:]]*$//')
    case "$line" in "" | "#"*) continue ;; esac
    # shellcheck disable=SC2086
    set -- $line
    [ $# -ge 2 ] || fail "images.map line $lineno: a path and a recipe are needed"
    path=$1
    recipe=$2
    shift 2
    case "$path" in
        ../misc/*/* | ../misc/*..*) fail "images.map line $lineno: bad path $path" ;;
        ../misc/*) ;;
        /* | *..*) fail "images.map line $lineno: bad path $path" ;;
    esac
    key="$RECIPES_VERSION $recipe $*"
    target="$images/$path"
    printf '%s\t%s\n' "$path" "$key" >>"$tmp/manifest"
    if [ -f "$target" ] && grep -qxF "$(printf '%s\t%s' "$path" "$key")" "$manifest"; then
        continue
    fi
    out="$tmp/out.${path##*.}"
    rm -f "$out"
    case "$recipe" in
        silk) [ $# -ge 1 ] || fail "images.map line $lineno: silk needs an icon name"; silk "$@" ;;
        swatch) swatch "$1" ;;
        square) square "$1" ;;
        checkbox) cb=$1; checkbox ;;
        blank) blank "$1" ;;
        tab) tab "$1" ;;
        logo | company | badge | favicon) "$recipe" ;;
        *) fail "images.map line $lineno: unknown recipe $recipe" ;;
    esac
    [ -s "$out" ] || fail "images.map line $lineno: $path was not built"
    place "$out" "$target"
done <"$src/install/images.map"
# Files the map no longer names go; files a site added by hand were never in the manifest.
set +f
cut -f1 "$manifest" | while IFS= read -r old; do
    cut -f1 "$tmp/manifest" | grep -qxF "$old" || rm -f "$images/$old"
done
cmp -s "$tmp/manifest" "$manifest" || cp "$tmp/manifest" "$manifest"

# --- Style sheet, start page, credits.
place "$src/install/css/win.css" "$home/install/css/win.css"
place "$src/install/misc/start.htm" "$home/install/misc/start.htm"
place "$src/install/misc/credits.txt" "$home/install/misc/credits.txt"

# --- Manuals: HTML and PDF from the Markdown sources, rebuilt when a source or the builder changed.
man="$home/install/man"
mkdir -p "$man"
for book in Morvale_user_manual:manual.md kbatch_user_manual:kbatch_manual.md; do
    name=${book%%:*}
    source="$src/doc/${book#*:}"
    stamp=$(cat "$source" "$src/doc/manual.css" "$src/scripts/lib/build_manual.py" | cksum)
    if [ -f "$man/$name.html" ] && [ -f "$man/$name.pdf" ] && [ -f "$man/.$name.built" ] &&
        [ "$(cat "$man/.$name.built")" = "$stamp" ]; then
        continue
    fi
    "$PY" "$src/scripts/lib/build_manual.py" "$source" "$src/doc/manual.css" "$images" "$tmp/$name" ||
        fail "the manual $name could not be built"
    place "$tmp/$name.html" "$man/$name.html"
    place "$tmp/$name.pdf" "$man/$name.pdf"
    printf '%s\n' "$stamp" >"$man/.$name.built"
done

echo "$prog: $home/install is up to date ($changed files written)"
