// A picture of an HTML report as Chromium shows it (for the README): the
// table sorted by uniqueness and the details of one page opened.
//
//   node screenshot_report.mjs REPORT.html OUT.png [ROW-TO-OPEN]
import { pathToFileURL } from 'node:url';

import { launchBrowser } from './browser.mjs';

const [report, out, open] = process.argv.slice(2);
const browser = await launchBrowser({ defaultViewport: { width: 1200, height: 1500 } });
try {
  const page = await browser.newPage();
  await page.goto(pathToFileURL(report).href);
  if (open) {
    await page.evaluate((number) => {
      const row = [...document.querySelectorAll('#list > tbody > tr')].find(
        (row) => row.cells[0].textContent === number,
      );
      if (row) row.cells[2].click();
    }, open);
  }
  await page.screenshot({ path: out, fullPage: false });
} finally {
  await browser.close();
}
