#!/bin/sh
# fm_index.sh REVISION OUTPUT
# The text of a FrameMaker document (.fm, .mif) for the search index.
# Writes the text into OUTPUT and nothing anywhere else; prints nothing, since the indexer takes any
# line on standard error for a failure; and always ends with status 0: a damaged file or a missing
# converter leaves OUTPUT empty, so one odd document never fails an index run. Revision files have
# no extension: the kind is told by the file's first bytes.
exec </dev/null >/dev/null 2>&1
PATH=${PATH:-/usr/local/bin:/usr/bin:/bin}
[ $# -eq 2 ] || exit 0
in=$1
out=$2
true >"$out" || exit 0
[ -f "$in" ] && [ -r "$in" ] || exit 0

# The first bytes of the file as lower-case hexadecimal.
magic() {
    head -c "$1" "$in" | od -An -tx1 | tr -d " \n"
}
command -v sed >/dev/null || exit 0
case "$(magic 8)" in
3c4d494646696c65) # "<MIFFile": the interchange format is text; the words are in its String items
    sed -n "s/^[[:space:]]*<String \`\(.*\)'>[[:space:]]*\$/\1/p" "$in" |
        sed -e 's/\\x[0-9a-fA-F][0-9a-fA-F] */ /g' -e "s/\\\\\\([\`'>\\\\]\\)/\\1/g" >"$out" || true >"$out"
    ;;
3c4d616b657246*) # "<MakerF": the binary format; no converter in Debian, its runs of text will do
    command -v strings >/dev/null || exit 0
    strings -a -n 4 "$in" | sed -e '/^<Maker/d' >"$out" || true >"$out"
    ;;
esac
exit 0
