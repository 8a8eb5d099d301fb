#!/bin/sh
# html_index.sh REVISION OUTPUT
# The text of a web page (.htm, .html) for the search index, without its markup.
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
grep -qI '' "$in" || exit 0
command -v html2text >/dev/null || exit 0
# Read from standard input, so the file name is never taken for an address; no user settings.
html2text -rcfile /dev/null -nobs -utf8 -width 1000 <"$in" >"$out" || true >"$out"
exit 0
