// Headless Chromium for the tests: Debian's own build, a fresh profile each time, nothing that
// reaches the network by itself.

import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

export const CHROMIUM = '/usr/bin/chromium';
const ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

// Returns {context, page, profile, close}. Playwright keeps --user-data-dir for itself: a
// persistent context on a new folder is the fresh profile (its path names the browser's
// processes, for benchmarks that read their memory).
export async function openBrowser({ width = 1280, height = 800 } = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tavopix-chromium-'));
  let context;
  try {
    context = await chromium.launchPersistentContext(profile, {
      executablePath: CHROMIUM,
      headless: true,
      args: ARGS,
      viewport: { width, height },
    });
  } catch (error) {
    fs.rmSync(profile, { recursive: true, force: true });
    throw error;
  }
  const page = context.pages()[0] ?? await context.newPage();
  return {
    context,
    page,
    profile,
    async close() {
      await context.close().catch(() => {});
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// The frame of the program window whose caption bar ("#hsk_cp") holds `caption`, once it is
// there.
export async function windowFrame(page, caption, timeout = 15_000) {
  const deadline = Date.now() + timeout;
  while (Date.now() < deadline) {
    for (const frame of page.frames()) {
      if (frame === page.mainFrame()) continue;
      const text = await frame.locator('#hsk_cp').first().textContent({ timeout: 200 }).catch(() => null);
      if (text !== null && text.includes(caption)) return frame;
    }
    await page.waitForTimeout(100);
  }
  throw new Error(`no window with the caption "${caption}" within ${timeout} ms`);
}

// The in-page window box (.tvx-window) that holds `frame`.
export async function windowBoxOf(frame) {
  const element = await frame.frameElement();
  return element.evaluateHandle((iframe) => iframe.closest('.tvx-window'));
}

// The natural size [width, height] of a grid cell's picture as the browser decodes it from its
// address.
export async function shownSize(cell) {
  return cell.locator('picture').evaluate(async (picture) => {
    const image = new Image();
    image.src = picture.getAttribute('src');
    await image.decode();
    return [image.naturalWidth, image.naturalHeight];
  });
}

// A screenshot of the page as `name` in the folder TAVOPIX_SCREENSHOTS names; none when unset.
export async function screenshot(page, name) {
  const dir = process.env.TAVOPIX_SCREENSHOTS;
  if (!dir) return;
  fs.mkdirSync(dir, { recursive: true });
  await page.screenshot({ path: path.join(dir, name) });
}

// Waits for the process to end, at most `timeout` ms.
export async function exitWithin(exited, timeout = 15_000) {
  return Promise.race([exited, new Promise((_, reject) =>
    setTimeout(() => reject(new Error(`the program did not end within ${timeout} ms`)), timeout))]);
}
