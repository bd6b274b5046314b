// Measures an HTML report in headless Chromium: the first paint after
// opening it, and the time from a click on a column header until the sorted
// table has been laid out and painted. Three loads; prints each figure's
// median.
//
//   node measure_report.mjs REPORT.html
import { stat } from 'node:fs/promises';
import { pathToFileURL } from 'node:url';

import { launchBrowser } from './browser.mjs';

const report = process.argv[2];
const url = pathToFileURL(report).href;
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

const browser = await launchBrowser();
const paints = [];
const loads = [];
const sorts = { url: [], uniqueness: [], number: [] };
try {
  for (let run = 0; run < 3; ++run) {
    const page = await browser.newPage();
    await page.goto(url, { waitUntil: 'load', timeout: 120000 });
    const timing = await page.evaluate(() => {
      const paint = performance.getEntriesByName('first-contentful-paint')[0] ||
        performance.getEntriesByName('first-paint')[0];
      const navigation = performance.getEntriesByType('navigation')[0];
      return { paint: paint ? paint.startTime : NaN, load: navigation.loadEventEnd };
    });
    paints.push(timing.paint);
    loads.push(timing.load);
    for (const [name, column] of [['url', 2], ['uniqueness', 4], ['number', 1]]) {
      const ms = await page.evaluate(async (column) => {
        const head = document.querySelector(`#list thead th:nth-child(${column})`);
        const start = performance.now();
        head.click();
        void document.body.offsetHeight; // the layout of the new order
        await new Promise((done) => requestAnimationFrame(() => setTimeout(done, 0)));
        return performance.now() - start;
      }, column);
      sorts[name].push(ms);
    }
    await page.close();
  }
} finally {
  await browser.close();
}
const size = (await stat(report)).size;
console.log(`report: ${size} bytes (${(size / 1e6).toFixed(2)} MB)`);
console.log(`first contentful paint: ${median(paints).toFixed(0)} ms (runs: ${paints.map((v) => v.toFixed(0)).join(', ')})`);
console.log(`load event: ${median(loads).toFixed(0)} ms`);
for (const [name, values] of Object.entries(sorts))
  console.log(`sort by ${name}: ${median(values).toFixed(0)} ms (runs: ${values.map((v) => v.toFixed(0)).join(', ')})`);
