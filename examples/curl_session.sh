#!/usr/bin/env bash
# A session with Vantrel's HTTP interface from the shell, with curl alone: status, a turntable
# move (refused without the token, then made with it), a short walk followed to its end, and
# its balloon fetched.
#   vantrel-cli serve --simulate --port 4747 &
#   examples/curl_session.sh [URL] [TOKEN_FILE]
set -euo pipefail
url="${1:-http://127.0.0.1:4747/api/v1}"
port="$(echo "$url" | sed -E 's|.*:([0-9]+)/.*|\1|')"
token_file="${2:-${XDG_RUNTIME_DIR:-/tmp/vantrel-$(id -u)}/vantrel/api-$port.token}"
auth="Authorization: Bearer $(head -n1 "$token_file")"

echo "== status"
curl -sS "$url"; echo
echo "== a move without the token"
code=$(curl -sS -o /dev/null -w '%{http_code}' -X POST -d '{"degrees": 10}' "$url/turntables/1/moves")
echo "HTTP $code"
[ "$code" = 401 ]
echo "== a move with it"
curl -sS -f -X POST -H "$auth" -d '{"degrees": 10}' "$url/turntables/1/moves"; echo
curl -sS -f "$url/turntables"; echo
# A walk takes the tables to stand at its first point: back again.
curl -sS -f -X POST -H "$auth" -d '{"degrees": -10}' "$url/turntables/1/moves"; echo
echo "== a walk"
walk=$(curl -sS -f -X POST -H "$auth" -d '{"order": 13, "grid": 10}' "$url/walks")
echo "$walk"
id=$(echo "$walk" | sed -E 's/.*"id":([0-9]+).*/\1/')
curl -sS -N "$url/walks/$id/events" | grep '^event:\|"line"' | sed -E 's/.*"line":"([^"]*)".*/  \1/'
curl -sS -f "$url/walks/$id"; echo
curl -sS -f -o "walk-$id.BAL" "$url/walks/$id/balloon"
echo "balloon: walk-$id.BAL ($(stat -c %s "walk-$id.BAL") bytes)"
