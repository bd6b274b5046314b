#!/usr/bin/env bash
# A whole check over HTTP, measured against the same check of the same pages
# read as local files and against curl fetching the same URLs, in one run:
# PAGES pages of real text (default 10 000) served by nginx on 127.0.0.1,
# corvane-cli check with --delay 0 --threads 10, both text algorithms.
#
#   bench/whole_check.sh BIN-FOLDER        (scripts/bench whole_check runs it)
set -euo pipefail
. "$(dirname "$0")/lib/nginx.sh"
bin=$(cd "${1:?usage: whole_check.sh BIN-FOLDER}" && pwd)
pages=${PAGES:-10000}
work=$(mktemp -d /tmp/corvane-bench.XXXXXX)
chmod 755 "$work" # nginx's workers read the site as "nobody"
nginx_pid=
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

port=$(free_port 18080 18180) || { echo "whole_check: no free port" >&2; exit 1; }
base="http://127.0.0.1:$port/"
"$bin/corvane_gen_site" "$work" "$pages" "$base"

start_nginx "$work" "$port"

cli="$bin/corvane-cli"
mapfile -t files <"$work/files.txt"
common=(check --delay 0 --threads 10 --lang en --json "$work/result.json")
ok_pages() { grep -c '"result": "trOk"' "$work/result.json"; }

echo "== whole check: $pages pages on nginx at $base"
declare -A took
for alg in 2 1; do
  /usr/bin/time -f "%e %M" -o "$work/time" "$cli" "${common[@]}" --alg $alg --files "${files[@]}" >/dev/null 2>"$work/err" \
    || { tail -5 "$work/err" >&2; exit 1; }
  read -r secs kb <"$work/time"; took[files$alg]=$secs
  printf '%-46s %8.2f s %6d MB  %d pages ok\n' "corvane-cli check --files, --alg $alg" "$secs" $((kb / 1024)) "$(ok_pages)"
  /usr/bin/time -f "%e %M" -o "$work/time" "$cli" "${common[@]}" --alg $alg --urls "$work/urls.txt" >/dev/null 2>"$work/err" \
    || { tail -5 "$work/err" >&2; exit 1; }
  read -r secs kb <"$work/time"; took[http$alg]=$secs
  printf '%-46s %8.2f s %6d MB  %d pages ok\n' "corvane-cli check --urls (HTTP), --alg $alg" "$secs" $((kb / 1024)) "$(ok_pages)"
done
sed 's/.*/url = "&"\noutput = "\/dev\/null"/' "$work/urls.txt" >"$work/curl.cfg"
/usr/bin/time -f "%e %M" -o "$work/time" curl --parallel --parallel-max 10 -s -K "$work/curl.cfg" 2>/dev/null
read -r secs kb <"$work/time"; took[curl]=$secs
printf '%-46s %8.2f s %6d MB\n' "curl --parallel --parallel-max 10" "$secs" $((kb / 1024))
for alg in 2 1; do
  awk -v h="${took[http$alg]}" -v f="${took[files$alg]}" -v c="${took[curl]}" -v a=$alg \
    'BEGIN { printf "--alg %d: HTTP check / files check = %.2f (goal <= 2), HTTP check / curl = %.1f\n", a, h / f, h / c }'
done
