#!/bin/sh
# wpd_index.sh REVISION OUTPUT
# The text of a WordPerfect document (.wpd, .wp) for the search index.
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
[ "$(magic 4)" = ff575043 ] || exit 0 # "\377WPC"
command -v wpd2text >/dev/null || exit 0
wpd2text "$in" >"$out" || true >"$out"
exit 0
