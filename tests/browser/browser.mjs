// Debian's Chromium, headless, driven by puppeteer-core (installed by
// scripts/setup-deps from package-lock.json).
import puppeteer from 'puppeteer-core';

export const chromiumPath = process.env.CORVANE_CHROMIUM || '/usr/bin/chromium';

export function launchBrowser(options = {}) {
  const args = ['--disable-gpu', '--no-first-run', '--no-default-browser-check'];
  // Chromium's sandbox refuses to start as root (CI runs as root).
  if (process.getuid && process.getuid() === 0) args.push('--no-sandbox');
  return puppeteer.launch({
    executablePath: chromiumPath,
    headless: true,
    args,
    defaultViewport: { width: 1280, height: 900 },
    ...options,
  });
}
