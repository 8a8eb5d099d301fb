#!/bin/sh
# general_index.sh REVISION OUTPUT
# The text of a mail message (.msg) for the search index.
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
command -v grep >/dev/null || exit 0
if grep -qI '' "$in"; then
    # A message saved as text (RFC 822) is its own text.
    command -v cat >/dev/null || exit 0
    cat "$in" >"$out" || true >"$out"
    exit 0
fi
# An Outlook message keeps its texts as runs of 8-bit and of 16-bit little-endian characters.
command -v strings >/dev/null || exit 0
{ strings -a -n 4 "$in" && strings -a -n 4 -e l "$in"; } >"$out" || true >"$out"
exit 0
