#!/bin/sh
# rtf_index.sh REVISION OUTPUT
# The text of a Rich Text Format document (.rtf) for the search index.
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
[ "$(magic 5)" = 7b5c727466 ] || exit 0 # "{\rtf"
command -v unrtf >/dev/null || exit 0
command -v sed >/dev/null || exit 0
# No pictures (they would be written into the working directory); the converter's own header
# lines ("###" and its rule of dashes) are no part of the document.
text=$(unrtf --nopict --text "$in") && [ -n "$text" ] || exit 0
printf '%s\n' "$text" | sed -e '/^###/d' -e '/^-----------------$/d' >"$out" || true >"$out"
exit 0
