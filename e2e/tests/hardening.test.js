// What a browsed folder may hold to trip the program, in headless Chromium against the real
// program: a named pipe and a device among the pictures are shown as unreadable while the window
// keeps answering at once; pictures whose names hold escapes ("%41.png" beside "A.png", and
// "%2e%2e%2fA.png" in a sub-folder) each show their own picture; and the page is served the
// pictures it shows, while a file beside them that it was not given is refused.
// TAVOPIX_SCREENSHOTS, when set, names a folder for a screenshot of the grid.
// Runs alone: it times how fast the window answers a press.

import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import zlib from 'node:zlib';
import { shownSize, windowFrame } from '../lib/browser.js';
import { folderCaption, until, utf16File } from '../lib/flows.js';
import { withProgram } from '../lib/session.js';

const TIMEOUT = { timeout: 180_000 };
const SHOTS = process.env.TAVOPIX_SCREENSHOTS;

function crc32(bytes) {
  let crc = ~0;
  for (const byte of bytes) {
    crc ^= byte;
    for (let k = 0; k < 8; ++k) crc = (crc >>> 1) ^ (0xedb88320 & -(crc & 1));
  }
  return ~crc >>> 0;
}

// A PNG of one colour, `width` x `height`.
function png(width, height, [r, g, b]) {
  const chunk = (type, data) => {
    const length = Buffer.alloc(4);
    length.writeUInt32BE(data.length);
    const body = Buffer.concat([Buffer.from(type, 'latin1'), data]);
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(crc32(body));
    return Buffer.concat([length, body, crc]);
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header.set([8, 2, 0, 0, 0], 8);  // 8-bit RGB
  const row = Buffer.concat([Buffer.from([0]), Buffer.from(Array(width).fill([r, g, b]).flat())]);
  const pixels = zlib.deflateSync(Buffer.concat(Array(height).fill(row)));
  return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', header), chunk('IDAT', pixels), chunk('IEND', Buffer.alloc(0))]);
}

// JPEG and PNG, every size class, any age.
const FILTER = Buffer.from([5, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0]);

// Milliseconds from a press on `cell` until the program has marked it selected in the page.
async function answerTime(page, main, cell) {
  const timing = cell.evaluate((element) => new Promise((resolve) => {
    let pressed = 0;
    element.addEventListener('mousedown', () => { pressed = performance.now(); }, { once: true, capture: true });
    new MutationObserver((_, observer) => {
      if (element.getAttribute('sel') === 'true') {
        observer.disconnect();
        resolve(performance.now() - pressed);
      }
    }).observe(element, { attributes: true, attributeFilter: ['sel'] });
  }));
  const box = await cell.boundingBox();
  await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
  return timing;
}

test('special files, escaped names and what the page is served', TIMEOUT, async (t) => {
  let folder;
  await withProgram({
    service: true,
    beforeStart: ({ home, programDir }) => {
      folder = path.join(home, 'Pictures/Hard');
      fs.mkdirSync(path.join(folder, 'inner'), { recursive: true });
      fs.writeFileSync(path.join(folder, 'A.png'), png(48, 24, [200, 40, 40]));
      fs.writeFileSync(path.join(folder, '%41.png'), png(24, 48, [40, 40, 200]));
      fs.writeFileSync(path.join(folder, 'inner', '%2e%2e%2fA.png'), png(30, 30, [40, 200, 40]));
      execFileSync('mkfifo', [path.join(folder, 'fifo.jpg')]);
      // A character device of its own where the test may make one (as root), else a link to one.
      try {
        execFileSync('mknod', ['-m', '600', path.join(folder, 'device.jpg'), 'c', '1', '5'], { stdio: 'ignore' });
      } catch {
        fs.symlinkSync('/dev/zero', path.join(folder, 'device.jpg'));
      }
      fs.writeFileSync(path.join(folder, 'notes.txt'), 'not a picture, never shown');
      fs.writeFileSync(path.join(programDir, 'SetPathCfg.dat'), utf16File('%mypic%Hard/\n'));
      fs.writeFileSync(path.join(programDir, 'ImgFilterCfg.dat'), FILTER);
    },
  }, async (program, page) => {
    const main = await windowFrame(page, 'Tavopix');
    const cell = (name) => main.locator(`#photo_list > .loc[title="${name}"]`);
    const names = ['%41.png', 'A.png', 'device.jpg', 'fifo.jpg'];

    await folderCaption(main, '%mypic%Hard/').locator('.cp').click({ timeout: 60_000 });
    await until(() => main.locator('#photo_list > .loc').evaluateAll((all) => all.map((c) => c.title)),
      (shown) => shown.join() === names.join(), 'the folder\'s cells');
    await until(() => main.locator('#photo_list picture').count(), (n) => n === names.length, 'every cell\'s picture');

    // Each escaped name shows its own picture.
    assert.deepEqual(await shownSize(cell('A.png')), [48, 24]);
    assert.deepEqual(await shownSize(cell('%41.png')), [24, 48]);
    // The pipe and the device are unreadable pictures, and the window answers at once.
    for (const name of ['fifo.jpg', 'device.jpg']) {
      assert.match(await cell(name).locator('picture').getAttribute('src'), /error_img\.jpg/, name);
    }
    for (const name of ['fifo.jpg', 'device.jpg', 'A.png']) {
      const ms = await answerTime(page, main, cell(name));
      t.diagnostic(`a press on ${name} answered in ${ms.toFixed(1)} ms`);
      assert.ok(ms < 100, `a press on ${name} answered in ${ms.toFixed(1)} ms`);
    }
    if (SHOTS) await page.screenshot({ path: path.join(SHOTS, 'hardening-grid.png') });

    // Served: the pictures shown; refused: a file beside them the page was not given, and the
    // program's own data.
    const escaped = (file) => file.split('/').map(encodeURIComponent).join('/');
    const fetched = (file) => page.evaluate(async (address) => (await fetch(address)).status, `f${escaped(file)}`);
    assert.equal(await fetched(path.join(folder, 'A.png')), 200);
    assert.equal(await fetched(path.join(folder, '%41.png')), 200);
    assert.equal(await fetched(path.join(folder, 'notes.txt')), 403);
    assert.equal(await fetched(path.join(program.programDir, 'tavopix.ini')), 403);

    // Another folder opens at once, with the picture its escaped name names.
    const hard = main.locator('#tree_view options:has(> caption[path="%mypic%Hard/"])');
    if ((await hard.getAttribute('hl-expanded')) === null) {
      await folderCaption(main, '%mypic%Hard/').click({ position: { x: 8, y: 12 } });
    }
    await folderCaption(main, '%mypic%Hard/inner/').locator('.cp').click();
    await until(() => main.locator('#photo_list > .loc').evaluateAll((all) => all.map((c) => c.title)),
      (shown) => shown.join() === '%2e%2e%2fA.png', 'the sub-folder\'s cell', 10_000);
    await until(() => main.locator('#photo_list picture').count(), (n) => n === 1, 'its picture');
    assert.deepEqual(await shownSize(cell('%2e%2e%2fA.png')), [30, 30]);
  }, { width: 800, height: 600 });
});
