#!/usr/bin/env bash
# The store of checks in whole checks of the generated site:
#  1. its cost: the same --files check of PAGES pages (default 10 000) without
#     and with --store;
#  2. resume: the --urls check of the same pages on nginx, stored, with its
#     last tenth marked as never done; the time from the start of
#     corvane-cli check --resume to the first request nginx logs;
#  3. the end of a large check: BIG pages (default 100 000; 0 skips it) on
#     nginx, --urls with --store --max-urls (a hundred thousand paths are
#     beyond what one command line can carry), the time from the last page done to
#     the end of the check (the uniqueness step, the site analysis and
#     their storing) and the peak memory of the whole run.
#
#   bench/store_check.sh BIN-FOLDER        (scripts/bench store_check runs it)
set -euo pipefail
. "$(dirname "$0")/lib/nginx.sh"
bin=$(cd "${1:?usage: store_check.sh BIN-FOLDER}" && pwd)
pages=${PAGES:-10000}
big=${BIG:-100000}
work=$(mktemp -d /tmp/corvane-bench.XXXXXX)
chmod 755 "$work" # nginx's workers read the site as "nobody"
nginx_pid=
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cli="$bin/corvane-cli"

port=$(free_port 18080 18180) || { echo "store_check: no free port" >&2; exit 1; }
base="http://127.0.0.1:$port/"
"$bin/corvane_gen_site" "$work" "$pages" "$base"
mapfile -t files <"$work/files.txt"
common=(check --alg 2 --delay 0 --threads 10 --lang en --json "$work/result.json")

echo "== store of checks: $pages pages"
run() { # label, arguments...
  local label=$1; shift
  /usr/bin/time -f "%e %M %U %S" -o "$work/time" "$cli" "$@" >/dev/null 2>"$work/err" \
    || { tail -5 "$work/err" >&2; exit 1; }
  read -r secs kb user sys <"$work/time"
  printf '%-52s %8.2f s %6d MB  cpu %6.2f s\n' "$label" "$secs" $((kb / 1024)) "$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')"
  last=$secs
}
# Alternating runs, the fastest of each kept: the machine is shared.
plain=999999; stored=999999
for round in 1 2 3; do
  run "check --files, in memory (run $round)" "${common[@]}" --files "${files[@]}"
  plain=$(awk -v a="$plain" -v b="$last" 'BEGIN { print (b < a) ? b : a }')
  rm -f "$work/files.db"*
  run "check --files --store (run $round)" "${common[@]}" --store "$work/files.db" --files "${files[@]}"
  stored=$(awk -v a="$stored" -v b="$last" 'BEGIN { print (b < a) ? b : a }')
done
awk -v a="$plain" -v b="$stored" 'BEGIN { printf "%-52s %+7.1f %% (%.2f s against %.2f s)\n", "store overhead, fastest runs", (b - a) / a * 100, b, a }'
printf '%-52s %8d MB\n' "store size" $(($(stat -c %s "$work/files.db") / 1048576))

start_nginx "$work" "$port" "log_format stamp '\$msec \$request_uri'; access_log $work/access.log stamp;"
run "check --urls --store (nginx)" "${common[@]}" --store "$work/urls.db" --urls "$work/urls.txt"
# The state a check killed at nine tenths leaves.
done_pages=$((pages * 9 / 10))
sqlite3 "$work/urls.db" "UPDATE pages SET result=NULL, error_code=NULL, uniqueness=NULL
  WHERE num > $done_pages; DELETE FROM page_data WHERE num > $done_pages;
  UPDATE checks SET state=0, ended=NULL;"
: >"$work/access.log"
kill -USR1 "$nginx_pid" # reopen the log
sleep 0.2
start=$(date +%s.%N)
run "check --resume ($done_pages of $pages done)" check --resume --store "$work/urls.db" \
  --lang en --json "$work/resumed.json"
first=$(sort -n "$work/access.log" | head -1 | cut -d' ' -f1)
awk -v a="$start" -v b="$first" 'BEGIN { printf "%-52s %8.2f s\n", "resume: time to the first new request", b - a }'
printf '%-52s %8d\n' "resume: requests" "$(wc -l <"$work/access.log")"

if [ "$big" -gt 0 ]; then
  echo "== end of a check of $big pages (--urls on nginx, --store --max-urls)"
  rm -rf "$work/site" "$work/files.db" "$work/urls.db"
  "$bin/corvane_gen_site" "$work" "$big" "$base"
  /usr/bin/time -f "%e %M" -o "$work/time" "$cli" "${common[@]}" --verbose --store "$work/big.db" \
    --max-urls "$big" --urls "$work/urls.txt" >/dev/null 2>"$work/log" \
    || { tail -5 "$work/log" >&2; exit 1; }
  read -r secs kb <"$work/time"
  # hh:mm:ss of the last page handed back and of the end of the check.
  to_s() { IFS=: read -r h m s <<<"$1"; echo $((10#$h * 3600 + 10#$m * 60 + 10#$s)); }
  last_page=$(grep -E ': analysis finished' "$work/log" | tail -1 | cut -c1-8)
  finished=$(grep -E 'Check finished' "$work/log" | tail -1 | cut -c1-8)
  printf '%-52s %8.2f s %6d MB\n' "whole check" "$secs" $((kb / 1024))
  printf '%-52s %8d s (whole seconds of the log)\n' "end-of-check step" \
    $(($(to_s "$finished") - $(to_s "$last_page")))
  printf '%-52s %8d pages ok\n' "result" "$(grep -c '"result": "trOk"' "$work/result.json")"
fi
