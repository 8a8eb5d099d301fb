#!/bin/sh
# word_index.sh REVISION OUTPUT
# The text of a Word document or template (.doc, .dot) for the search index.
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
case "$(magic 8)" in
d0cf11e0a1b11ae1) ;;
7b5c727466*)
    # Rich text saved under a Word name.
    exec sh "$(dirname "$0")/rtf_index.sh" "$in" "$out" ;;
*) exit 0 ;;
esac
# catdoc reads every Word version; antiword, when catdoc is missing or gives up, the newer ones.
if command -v catdoc >/dev/null && catdoc -w -d utf-8 "$in" >"$out"; then
    exit 0
fi
true >"$out"
if command -v antiword >/dev/null; then
    antiword -m UTF-8.txt "$in" >"$out" || true >"$out"
fi
exit 0
