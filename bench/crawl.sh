#!/usr/bin/env bash
# A site crawl measured against wget crawling the same site, in one run:
# PAGES pages of real text (default 10 000) linked to one another, served by
# nginx on 127.0.0.1; corvane-cli check --crawl from the first page with
# --delay 0 --threads 10 and both text algorithms, against
# wget --recursive --level=inf --spider from the same page.
#
#   bench/crawl.sh BIN-FOLDER        (scripts/bench crawl runs it)
set -euo pipefail
. "$(dirname "$0")/lib/nginx.sh"
bin=$(cd "${1:?usage: crawl.sh BIN-FOLDER}" && pwd)
pages=${PAGES:-10000}
work=$(mktemp -d /tmp/corvane-bench.XXXXXX)
chmod 755 "$work" # nginx's workers read the site as "nobody"
nginx_pid=
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

port=$(free_port 18180 18280) || { echo "crawl: no free port" >&2; exit 1; }
base="http://127.0.0.1:$port/"
"$bin/corvane_gen_site" "$work" "$pages" "$base" --linked

start_nginx "$work" "$port"

start="${base}page-1.html"
echo "== crawl: $pages linked pages on nginx from $start"
declare -A took mem
/usr/bin/time -f "%e %M" -o "$work/time" wget --recursive --level=inf --spider --no-verbose \
  --no-directories -P "$work/wget" -o "$work/wget.log" "$start" || true
read -r secs kb < <(tail -1 "$work/time"); took[wget]=$secs
printf '%-52s %8.2f s %6d MB  %d pages fetched\n' "wget --recursive --level=inf --spider" "$secs" \
  $((kb / 1024)) "$(grep -c ' URL:http' "$work/wget.log" || true)"
for alg in 2 1; do
  /usr/bin/time -f "%e %M" -o "$work/time" "$bin/corvane-cli" check --crawl "$start" \
    --max-pages "$pages" --delay 0 --threads 10 --lang en --alg $alg --json "$work/result.json" \
    >/dev/null 2>"$work/err" || { tail -5 "$work/err" >&2; exit 1; }
  read -r secs kb < <(tail -1 "$work/time"); took[alg$alg]=$secs; mem[alg$alg]=$((kb / 1024))
  printf '%-52s %8.2f s %6d MB  %d pages ok\n' "corvane-cli check --crawl (crawl + check), --alg $alg" \
    "$secs" $((kb / 1024)) "$(grep -c '"result": "trOk"' "$work/result.json")"
done
for alg in 2 1; do
  awk -v c="${took[alg$alg]}" -v w="${took[wget]}" -v m="${mem[alg$alg]}" -v a=$alg \
    'BEGIN { printf "--alg %d: crawl + check / wget crawl = %.2f (goal <= 1.5), peak memory %d MB (goal < 1024)\n", a, c / w, m }'
done
