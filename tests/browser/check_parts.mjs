// A report of more rows than one part (tbody) holds, in headless Chromium:
// sorting moves rows across the parts and keeps every row once, filtering
// counts them all. Exit status 1 on the first thing that does not hold.
//
//   node check_parts.mjs REPORT.html ROWS
import assert from 'node:assert/strict';
import { pathToFileURL } from 'node:url';

import { launchBrowser } from './browser.mjs';

const [report, rowsText] = process.argv.slice(2);
const total = Number(rowsText);
const browser = await launchBrowser();
try {
  const page = await browser.newPage();
  const errors = [];
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(pathToFileURL(report).href);
  const numbers = () =>
    page.$$eval('#list > tbody > tr:not(.dr)', (rows) =>
      rows.filter((row) => !row.hidden).map((row) => Number(row.cells[0].textContent)),
    );
  assert.ok((await page.$$('#list > tbody')).length >= 2, 'rows in several parts');
  for (const [clicks, direction] of [[1, 1], [1, -1]]) {
    for (let i = 0; i < clicks; ++i) await page.click('#list thead th:nth-child(1)');
    const seen = await numbers();
    assert.equal(seen.length, total, 'every row once');
    assert.equal(new Set(seen).size, total, 'no row twice');
    assert.deepEqual(seen, [...seen].sort((a, b) => direction * (a - b)), 'sorted by number');
  }
  await page.type('#filter', 'page-1');
  const left = await numbers();
  const wanted = Array.from({ length: total }, (_, i) => i + 1).filter((n) =>
    String(n).startsWith('1'),
  ).length;
  assert.equal(left.length, wanted, 'rows left by the filter');
  assert.equal(await page.$eval('#shown', (span) => span.textContent), String(wanted));
  assert.deepEqual(errors, [], 'no console error');
  console.log('report parts checked in Chromium');
} finally {
  await browser.close();
}
