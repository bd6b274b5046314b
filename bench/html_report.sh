#!/usr/bin/env bash
# The HTML report of a 10 000-page site: the writer's time and the file's
# size, then in headless Chromium the first paint and the time a click on a
# column header takes to sort the table (tests/browser/measure_report.mjs).
#
#   bench/html_report.sh BIN-FOLDER        (scripts/bench html_report runs it)
set -euo pipefail
bin=$(cd "${1:?usage: html_report.sh BIN-FOLDER}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/corvane-report.XXXXXX)
trap 'rm -rf "$work"' EXIT
echo "== html_report"
"$bin/corvane_gen_htmlreport" "$work/report.html" "${PAGES:-10000}"
node "$root/tests/browser/measure_report.mjs" "$work/report.html"
