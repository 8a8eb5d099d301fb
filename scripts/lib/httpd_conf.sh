#!/bin/sh
# Writes the Apache httpd configuration of an installation from conf/httpd.conf.in to standard output.
#   scripts/lib/httpd_conf.sh --home DIR --port N [--listen ADDR] [--user NAME --group NAME]
#                             [--users N] [--limit-body BYTES] [--max-connections N]
# --user/--group are for a server started as root (its processes then run as that user, who must own
# the installation); --users is the number of people expected at once (three server processes each).
set -eu
src=$(cd "$(dirname "$0")/../.." && pwd)

home="" port="" listen="" user="" group="" users=10 limit_body=268435456 max_connections=1000
while [ $# -gt 0 ]; do
    case "$1" in
        --home) home=$2; shift ;;
        --port) port=$2; shift ;;
        --listen) listen=$2; shift ;;
        --user) user=$2; shift ;;
        --group) group=$2; shift ;;
        --users) users=$2; shift ;;
        --limit-body) limit_body=$2; shift ;;
        --max-connections) max_connections=$2; shift ;;
        *) echo "httpd_conf: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done

fail() { echo "httpd_conf: $*" >&2; exit 2; }
is_number() { case "$1" in ''|*[!0-9]*) return 1 ;; esac; }
[ -n "$home" ] || fail "--home is required"
case "$home" in /*) ;; *) fail "--home must be an absolute path" ;; esac
# The path goes into quoted directives and sed replacements.
case "$home" in *'"'*|*'\'*|*'|'*|*'&'*|*'
'*) fail "the installation path must not hold quotes, backslashes, '|' or '&'" ;; esac
is_number "$port" && [ "$port" -ge 1 ] && [ "$port" -le 65535 ] || fail "--port must be a port number"
is_number "$users" && [ "$users" -ge 1 ] || fail "--users must be a positive number"
is_number "$limit_body" || fail "--limit-body must be a number of bytes"
is_number "$max_connections" || fail "--max-connections must be a number"
[ -z "$user" ] || [ -n "$group" ] || fail "--user needs --group"
[ -n "$listen" ] || listen=$port
case "$listen" in *[!0-9A-Za-z.:\[\]]*) fail "--listen must be a port or an address:port" ;; esac
for name in "$user" "$group"; do
    case "$name" in *[!A-Za-z0-9._-]*) fail "user and group names may hold only letters, digits, '.', '_' and '-'" ;; esac
done

workers=$((users * 3))
start=3
[ $start -le $workers ] || start=$workers
max_spare=$((users > 6 ? users : 6))
[ $max_spare -le $workers ] || max_spare=$workers
if [ -n "$user" ]; then
    user_directives="User $user
Group $group"
else
    user_directives="# Started by an unprivileged user: the server processes run as that user."
fi

awk -v home="$home" -v listen="$listen" -v modules=/usr/lib/apache2/modules \
    -v users_lines="$user_directives" -v start="$start" -v max_spare="$max_spare" -v workers="$workers" \
    -v max_connections="$max_connections" -v limit_body="$limit_body" '
    {
        gsub(/@HOME@/, home); gsub(/@LISTEN@/, listen); gsub(/@MODULES@/, modules)
        gsub(/@START_SERVERS@/, start); gsub(/@MAX_SPARE@/, max_spare); gsub(/@WORKERS@/, workers)
        gsub(/@MAX_CONNECTIONS@/, max_connections); gsub(/@LIMIT_BODY@/, limit_body)
        if ($0 == "@USER_DIRECTIVES@") print users_lines; else print
    }' "$src/conf/httpd.conf.in"
