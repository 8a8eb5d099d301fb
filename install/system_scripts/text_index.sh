#!/bin/sh
# text_index.sh REVISION OUTPUT
# The text of a plain text file (.txt, .text, .log, .ini) for the search index.
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
[ -s "$in" ] || exit 0
# A file of binary bytes is no text, whatever its name said.
command -v grep >/dev/null || exit 0
grep -qI '' "$in" || exit 0
command -v cat >/dev/null || exit 0
cat "$in" >"$out" || true >"$out"
exit 0
