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
RECIPES_VERSION=4
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
if ! { command -v convert >/dev/null 2>&1 && convert -version 2>/dev/null | grep -q ImageMagick; }; then
    need "the ImageMagick program convert" imagemagick
fi
[ -d "$SILK" ] || need "the icon set $SILK" famfamfam-silk
if ! { [ -f "$FONT" ] && [ -f "$FONT_BOLD" ]; }; then
    need "the DejaVu fonts" fonts-dejavu-core
fi
# The manuals are made with the system's Python and the modules of its Debian packages (a user's own
# Python may lack them); looking for the modules' folders is quicker than loading them.
PY=/usr/bin/python3
PYLIB=/usr/lib/python3/dist-packages
[ -x "$PY" ] || need "the system's python3" python3
[ -d "$PYLIB/markdown" ] || need "the Python module markdown" python3-markdown
[ -d "$PYLIB/weasyprint" ] || need "the PDF writer weasyprint" weasyprint
if [ -n "$missing" ]; then
    fail "cannot build the static files; missing:$missing
Install them with scripts/lib/deps.sh (as root)."
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/install_static.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
trap 'exit 1' INT TERM

# Puts a file in place only when it differs, so re-runs leave files (and their times) alone. With
# "move" the source is a file built here and is moved rather than copied.
place() {
    [ -f "$1" ] || fail "$1 is missing"
    [ -d "${2%/*}" ] || mkdir -p "${2%/*}"
    if [ ! -f "$2" ] && [ "${3:-}" = move ]; then
        mv "$1" "$2"
    elif ! cmp -s "$1" "$2"; then
        cp "$1" "$2.new.$$" && mv "$2.new.$$" "$2"
    else
        return 0
    fi
    changed=$((changed + 1))
}
changed=0

# --- Image recipes. Each adds the ImageMagick operations that draw its image (one image, or the two
# sizes of the favicon) to $batch, one argument a line; all images are then drawn by one convert run.
NL='
'
batch=""
emit() {
    for a in "$@"; do batch="$batch$a$NL"; done
}

# A silk icon as GIF: partly transparent edge pixels become opaque above half cover, clear below,
# since GIF knows only one clear colour.
silk() {
    png="$SILK/$1.png"
    [ -f "$png" ] || fail "images.map line $lineno: no famfamfam-silk icon named $1"
    shift
    emit "$png"
    for a in "$@"; do
        case "$a" in
            grey)
                # Faded for a disabled position: grey and lighter, shape kept.
                emit -colorspace Gray -channel RGB -level -45%,100% +channel -colorspace sRGB
                ;;
            +*)
                badge="$SILK/${a#+}.png"
                [ -f "$badge" ] || fail "images.map line $lineno: no famfamfam-silk icon named ${a#+}"
                emit "(" "$badge" -resize 10x10 ")" -gravity SouthEast -geometry +0+0 -composite
                ;;
            *) fail "images.map line $lineno: unknown silk option $a" ;;
        esac
    done
    emit -channel A -threshold 50% +channel
}

swatch() {
    if [ "$1" = none ]; then
        emit -size 16x16 xc:white -fill none -stroke "#8A8A8A" -draw "rectangle 0,0 15,15" \
            -stroke "#D04040" -strokewidth 1.5 -draw "line 2,13 13,2"
    else
        emit -size 16x16 "xc:$1" -fill none -stroke "#6F6F6F" -draw "rectangle 0,0 15,15"
    fi
}

square() {
    emit -size 16x16 xc:none -fill "$1" -stroke "#8F8F8F" -draw "rectangle 3,3 12,12" \
        -channel A -threshold 50% +channel
}

checkbox() {
    emit -size 13x13 xc:white -fill none -stroke "#5F7468" -draw "rectangle 0,0 12,12"
    case "$1" in
        on) emit -stroke "#2F6B45" -strokewidth 2 -draw "polyline 3,6 5.5,9 10,3" ;;
        off) ;;
        *) fail "images.map line $lineno: a check box is on or off, not $1" ;;
    esac
}

blank() {
    case "$1" in
        [1-9]*x[1-9]*) emit -size "$1" xc:none ;;
        *) fail "images.map line $lineno: bad size $1" ;;
    esac
}

# The tab pieces share one vertical shading; the edges are drawn on the page colour so that
# their smoothing blends into the navigation bar.
tab() {
    case "$1" in
        M)
            emit -size 4x24 "gradient:$TAB_TOP-$TAB_BOTTOM"
            return
            ;;
        L) shape="path 'M 0,24 L 5,5 Q 6.5,0.5 11,0 L 13,0 L 13,24 Z'" ;;
        R) shape="path 'M 13,24 L 8,5 Q 6.5,0.5 2,0 L 0,0 L 0,24 Z'" ;;
        LR) shape="path 'M 0,0 L 2,0 Q 4.5,1 5.5,5 L 6.5,10 L 7.5,5 Q 8.5,1 11,0 L 13,0 L 13,24 L 0,24 Z'" ;;
        *) fail "images.map line $lineno: unknown tab piece $1" ;;
    esac
    emit -size 13x24 "xc:$PAGE_BG" "gradient:$TAB_TOP-$TAB_BOTTOM" \
        "(" xc:black -fill white -stroke none -draw "$shape" ")" -composite
}

# The product's mark: a sage square with a folded corner and a white M, drawn at 4x and reduced.
emblem() {
    emit "(" -size 128x128 xc:none \
        -fill "#4F7462" -draw "roundrectangle 4,4 123,123 22,22" \
        -fill "#7FA08E" -draw "polygon 86,4 123,4 123,41" \
        -fill "#DDE8E0" -draw "polygon 86,4 86,41 123,41" \
        -fill white -font "$FONT_BOLD" -pointsize 78 -gravity center -annotate +0+6 M \
        -resize "$1x$1" ")"
}

logo() {
    emit -size 190x48 "xc:$PAGE_BG"
    emblem 40
    emit -geometry +4+4 -composite \
        -font "$FONT_BOLD" -pointsize 25 -fill "#3C5A4B" -annotate +52+27 Morvale \
        -font "$FONT" -pointsize 10 -fill "#6E7F76" -annotate +53+41 "documents and tables"
}

company() {
    emit -size 160x36 "xc:$PAGE_BG" \
        -fill "#6D5E86" -draw "circle 17,18 17,4" -fill "$PAGE_BG" -draw "circle 17,18 17,10" \
        -fill "#6D5E86" -draw "polygon 20,22 30,32 25,32 17,24" \
        -font "$FONT_BOLD" -pointsize 14 -fill "#4B4060" -annotate +36+17 Quennet \
        -font "$FONT" -pointsize 11 -fill "#6B6478" -annotate +36+30 Systems
}

badge() {
    emit -size 84x48 "xc:$PAGE_BG" \
        -font "$FONT" -pointsize 11 -fill "#6E7F76" -gravity center -annotate -6+0 powering \
        -fill "#9CB2A5" -draw "polygon 70,19 78,24 70,29"
}

# Two sizes in one icon file.
favicon() {
    emblem 16
    emblem 32
}

# What each built file was made from is kept in install/.static, outside the folders the web server
# publishes.
stamps="$home/install/.static"
mkdir -p "$stamps"

# --- Images: one line of install/images.map each. A manifest keeps what each file was built from; an
# unchanged line is skipped, a line gone from the map takes its file with it.
images="$home/install/httpd_images"
manifest="$stamps/images"
mkdir -p "$images"
[ -f "$manifest" ] || : >"$manifest"
: >"$tmp/manifest"
: >"$tmp/todo"
lineno=0
set -f
while read -r path recipe args || [ -n "$path" ]; do
    lineno=$((lineno + 1))
    case "$path" in "" | "#"*) continue ;; esac
    [ -n "$recipe" ] || fail "images.map line $lineno: a path and a recipe are needed"
    case "$path" in
        ../misc/*/* | ../misc/*..*) fail "images.map line $lineno: bad path $path" ;;
        ../misc/*) ;;
        /* | *..*) fail "images.map line $lineno: bad path $path" ;;
    esac
    printf '%s\t%s %s %s\n' "$path" "$RECIPES_VERSION" "$recipe" "$args" >>"$tmp/manifest"
    # A file that went missing is built again even when its line is unchanged.
    [ -f "$images/$path" ] || printf '%s\n' "$path" >>"$tmp/missing"
done <"$src/install/images.map"
# The lines that changed or are new since the last run, and the files that went missing.
grep -vxFf "$manifest" "$tmp/manifest" | cut -f1 >"$tmp/todo" || true
[ -f "$tmp/missing" ] && cat "$tmp/missing" >>"$tmp/todo"

mkdir -p "$tmp/out"
todo="$NL$(cat "$tmp/todo")$NL"
lineno=0
while read -r path recipe args || [ -n "$path" ]; do
    lineno=$((lineno + 1))
    case "$path" in "" | "#"*) continue ;; esac
    case "$todo" in *"$NL$path$NL"*) ;; *) continue ;; esac
    # shellcheck disable=SC2086
    set -- $args
    emit "("
    case "$recipe" in
        silk) [ $# -ge 1 ] || fail "images.map line $lineno: silk needs an icon name"; silk "$@" ;;
        swatch | square | checkbox | blank | tab)
            [ $# -eq 1 ] || fail "images.map line $lineno: $recipe takes one argument"
            "$recipe" "$1"
            ;;
        logo | company | badge | favicon) "$recipe" ;;
        *) fail "images.map line $lineno: unknown recipe $recipe" ;;
    esac
    emit -write "$tmp/out/$lineno.${path##*.}" -delete 0--1 ")"
    printf '%s\t%s\n' "$lineno" "$path" >>"$tmp/built"
done <"$src/install/images.map"
if [ -n "$batch" ]; then
    IFS=$NL
    # shellcheck disable=SC2086
    convert -respect-parentheses $batch -size 1x1 xc:none null: 2>"$tmp/convert.err" ||
        fail "ImageMagick could not draw the images: $(cat "$tmp/convert.err")"
    unset IFS
    while IFS="$(printf '\t')" read -r n path; do
        [ -s "$tmp/out/$n.${path##*.}" ] || fail "images.map line $n: $path was not built"
        place "$tmp/out/$n.${path##*.}" "$images/$path" move
    done <"$tmp/built"
fi
set +f
# Files the map no longer names go; files a site added by hand were never in the manifest.
cut -f1 "$tmp/manifest" >"$tmp/paths"
cut -f1 "$manifest" | grep -vxFf "$tmp/paths" | while IFS= read -r old; do rm -f "$images/$old"; done
cmp -s "$tmp/manifest" "$manifest" || cp "$tmp/manifest" "$manifest"

# --- Style sheet, start page, credits.
place "$src/install/css/win.css" "$home/install/css/win.css"
place "$src/install/misc/start.htm" "$home/install/misc/start.htm"
place "$src/install/misc/credits.txt" "$home/install/misc/credits.txt"

# --- Manuals: HTML and PDF from the Markdown sources, rebuilt when a source, the builder or the images
# they show changed.
man="$home/install/man"
mkdir -p "$man"
for book in Morvale_user_manual:manual.md kbatch_user_manual:kbatch_manual.md; do
    name=${book%%:*}
    source="$src/doc/${book#*:}"
    stamp="$RECIPES_VERSION $(cat "$source" "$src/doc/manual.css" "$src/scripts/lib/build_manual.py" \
        "$src/install/images.map" | cksum)"
    if [ -f "$man/$name.html" ] && [ -f "$man/$name.pdf" ] && [ -f "$stamps/$name" ] &&
        [ "$(cat "$stamps/$name")" = "$stamp" ]; then
        continue
    fi
    "$PY" "$src/scripts/lib/build_manual.py" "$source" "$src/doc/manual.css" "$images" "$tmp/$name" ||
        fail "the manual $name could not be built"
    place "$tmp/$name.html" "$man/$name.html"
    place "$tmp/$name.pdf" "$man/$name.pdf"
    printf '%s\n' "$stamp" >"$stamps/$name"
done

echo "$prog: $home/install is up to date ($changed files written)"
