#!/bin/sh
# excel_index.sh REVISION OUTPUT
# The text of an Excel workbook (.xls) for the search index.
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
[ "$(magic 8)" = d0cf11e0a1b11ae1 ] || exit 0
command -v xls2csv >/dev/null || exit 0
# Cells apart by blanks and never quoted, so that every word stands alone.
xls2csv -d utf-8 -q0 -c' ' -b'
' "$in" >"$out" || true >"$out"
exit 0
