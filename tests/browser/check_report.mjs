// Opens an HTML report of Corvane in headless Chromium and uses it as a
// reader would: sorts by a header, filters, opens a page's details, hovers a
// hostile address. Fails (exit status 1) on the first thing that does not hold.
//
//   node check_report.mjs REPORT.html EXPECT_JSON
//
// EXPECT_JSON: {rows, failed, filter, filtered, hostileUrl, hostileText (texts
// the hostile page's shared passages show literally), hostilePage, groupPage}.
import assert from 'node:assert/strict';
import { pathToFileURL } from 'node:url';

import { launchBrowser } from './browser.mjs';

const [report, expectJson] = process.argv.slice(2);
const expect = JSON.parse(expectJson);
const url = pathToFileURL(report).href;

const browser = await launchBrowser();
try {
  // Without JavaScript every table is there, the tools stay hidden.
  {
    const page = await browser.newPage();
    await page.setJavaScriptEnabled(false);
    await page.goto(url);
    const seen = await page.evaluate(() => ({
      rows: document.querySelectorAll('#list > tbody > tr').length,
      details: document.querySelectorAll('#details details').length,
      groups: document.querySelectorAll('#fix .group table').length,
      toolsHidden: document.getElementById('tools').hidden,
      charts: document.querySelectorAll('#summary svg').length,
    }));
    assert.equal(seen.rows, expect.rows, 'rows without JavaScript');
    assert.equal(seen.details, expect.rows, 'details without JavaScript');
    assert.ok(seen.groups >= 1, 'a group to fix');
    assert.ok(seen.toolsHidden, 'the filter needs JavaScript and is hidden without it');
    assert.ok(seen.charts >= 2, 'the two charts');
    await page.close();
  }

  const page = await browser.newPage();
  const dialogs = [];
  const errors = [];
  page.on('dialog', async (dialog) => {
    dialogs.push(dialog.message());
    await dialog.dismiss();
  });
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  page.on('pageerror', (error) => errors.push(String(error)));
  page.on('request', (request) => {
    if (!request.url().startsWith('file:')) errors.push('fetched ' + request.url());
  });
  await page.goto(url);

  const column = (index) =>
    page.$$eval(
      '#list > tbody > tr:not(.dr)',
      (rows, i) => rows.filter((row) => !row.hidden).map((row) => row.cells[i].textContent),
      index,
    );
  const header = (index) => page.click(`#list thead th:nth-child(${index + 1})`);

  // Sorting: URL ascending, then descending; uniqueness as numbers.
  await header(1);
  const ascending = await column(1);
  assert.deepEqual(ascending, [...ascending].sort((a, b) => (a.toLowerCase() < b.toLowerCase() ? -1 : 1)));
  assert.equal(await page.$eval('#list thead th:nth-child(2)', (th) => th.getAttribute('aria-sort')), 'ascending');
  await header(1);
  assert.deepEqual(await column(1), [...ascending].reverse(), 'a second click reverses');
  await header(3);
  const uniqueness = (await column(3)).filter((text) => text !== '').map((text) => parseFloat(text.replace(',', '.')));
  assert.ok(uniqueness.length >= expect.rows - expect.failed, 'uniqueness of every checked page');
  assert.deepEqual(uniqueness, [...uniqueness].sort((a, b) => a - b), 'uniqueness sorted as numbers');

  // Filtering by text, then by grade.
  await page.type('#filter', expect.filter);
  const filtered = await column(1);
  assert.equal(filtered.length, expect.filtered, 'rows left by the filter');
  assert.ok(filtered.every((text) => text.includes(expect.filter)));
  assert.equal(await page.$eval('#shown', (span) => span.textContent), String(expect.filtered));
  await page.$eval('#filter', (input) => {
    input.value = '';
    input.dispatchEvent(new Event('input'));
  });
  await page.select('#grade', 'f');
  assert.equal((await column(1)).length, expect.failed, 'failed pages by grade');
  await page.select('#grade', '');
  assert.equal((await column(1)).length, expect.rows, 'every row back');

  // Details open under the row clicked, with the most similar pages and the
  // text shared with the group.
  const openDetails = async (address, byKeyboard) => {
    const cell = await page.evaluateHandle((address) => {
      const row = [...document.querySelectorAll('#list > tbody > tr:not(.dr)')].find(
        (row) => row.cells[1].textContent === address,
      );
      return row.cells[0];
    }, address);
    if (byKeyboard) {
      await cell.evaluate((cell) => cell.parentElement.focus());
      await page.keyboard.press('Enter');
    } else {
      await cell.click();
    }
    return page.evaluate((address) => {
      const row = [...document.querySelectorAll('#list > tbody > tr:not(.dr)')].find(
        (row) => row.cells[1].textContent === address,
      );
      const next = row.nextElementSibling;
      const details = next && next.classList.contains('dr') ? next.querySelector('details') : null;
      return details && {
        open: details.open,
        visible: details.getBoundingClientRect().height > 0,
        similar: details.querySelectorAll('table tbody tr').length,
        shared: [...details.querySelectorAll('.shared')].map((block) => block.textContent),
        marks: details.querySelectorAll('.shared mark').length,
      };
    }, address);
  };
  const group = await openDetails(expect.groupPage);
  assert.ok(group && group.open && group.visible, 'details open under their row');
  assert.ok(group.similar >= 2, 'the most similar pages');
  assert.ok(group.shared.length >= 1 && group.marks >= 1, 'shared passages highlighted');

  // Hostile content: shown literally, nothing runs.
  const hostile = await openDetails(expect.hostilePage, true);
  assert.ok(hostile && hostile.open, 'details of the hostile page');
  assert.ok(
    expect.hostileText.every((part) => hostile.shared.some((text) => text.includes(part))),
    'the hostile text shown literally: ' + JSON.stringify(hostile.shared),
  );
  const hostileCell = await page.evaluateHandle((address) => {
    const row = [...document.querySelectorAll('#list > tbody > tr:not(.dr)')].find(
      (row) => row.cells[1].textContent === address,
    );
    return row && row.cells[1];
  }, expect.hostileUrl);
  assert.ok(await hostileCell.evaluate((cell) => cell !== null), 'the quoted address in its own cell');
  await hostileCell.hover();
  const link = await hostileCell.$('a');
  if (link) await link.hover();
  const page2 = await page.evaluate(() => ({
    scripts: document.scripts.length,
    images: document.images.length,
    handlers: [...document.querySelectorAll('*')].filter((element) =>
      [...element.attributes].some((attribute) => attribute.name.startsWith('on')),
    ).length,
    hrefs: [...document.querySelectorAll('a[href]')].map((a) => a.getAttribute('href')),
    columns: [...document.querySelectorAll('#list > tbody > tr:not(.dr)')].map((row) => row.cells.length),
  }));
  assert.equal(page2.scripts, 1, 'the report\'s own script only');
  assert.equal(page2.images, 0);
  assert.equal(page2.handlers, 0, 'no event handler attribute');
  for (const href of page2.hrefs) assert.match(href, /^(#|https?:\/\/)/, href);
  assert.ok(page2.columns.every((count) => count === 8), 'every row keeps its columns');
  assert.deepEqual(dialogs, [], 'no dialog');
  assert.deepEqual(errors, [], 'no console error');
  console.log('report checked in Chromium: sort, filter, details, hostile content');
} finally {
  await browser.close();
}
