// The photo grid of the real program over a folder of 20,000 pictures (hard links to eight real
// photos in turn, each under its own name): scrolled to the end and back by End, Home, PageDown
// and the wheel, every cell it passes shows the thumbnail of its own file; Ctrl+A selects cells
// far from where it was pressed; the arrow keys walk the selection down 40 rows, the grid
// standing still while the selection stays in its first screen; a rubber band drawn while the
// grid scrolls selects the block of cells it spans, those scrolled past included; a mark set far
// down stays on its cell when the grid comes back to it; the viewer's keys leave the grid under it
// where it is.
//
// Needs TAVOPIX_PHOTOS (the folder scripts/get-photos.sh fills; the test command sets it).
// TAVOPIX_SCREENSHOTS, when set, names a folder for a screenshot of the band.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { screenshot, windowFrame } from '../lib/browser.js';
import { linkPhotos, passingPhotos, until, utf16File } from '../lib/flows.js';
import { withProgram } from '../lib/session.js';

const PHOTOS = process.env.TAVOPIX_PHOTOS;
const TIMEOUT = { timeout: 600_000, skip: PHOTOS ? false : 'TAVOPIX_PHOTOS is not set' };
const CELLS = 20_000;
const KINDS = 8;

// A thumbnail's cache name ends in the low 16 bits of its picture's size and the checksum of its
// picture's path (image/Thumbnail.h): the sum of the path's UTF-16 units folded to 16 bits,
// complemented.
function pathChecksum(text) {
  let sum = 0;
  for (let i = 0; i < text.length; i++) sum += text.charCodeAt(i);
  while (sum > 0x10000) sum = (sum & 0xffff) + (sum >>> 16);
  return ~sum & 0xffff;
}
const hex4 = (n) => n.toString(16).padStart(4, '0');

// In the main window's page: the grid's scroll state and the cells it shows, each with its path,
// thumbnail source, selection, mark and place (in the grid's content, from the browser's layout).
function gridState() {
  const grid = document.getElementById('photo_list');
  const view = grid.getBoundingClientRect();
  const cells = [...grid.querySelectorAll(':scope > .loc')];
  const pitch = cells.length > 1 ? cells[1].getBoundingClientRect().left - cells[0].getBoundingClientRect().left : 0;
  const shown = [];
  for (const cell of cells) {
    const r = cell.getBoundingClientRect();
    if (r.bottom <= view.top || r.top >= view.top + grid.clientHeight) continue;
    shown.push({
      path: cell.getAttribute('path'),
      src: cell.querySelector('picture')?.getAttribute('src') ?? null,
      sel: cell.getAttribute('sel') === 'true',
      marked: cell.querySelector('p.mark') !== null,
      row: Math.round((r.top - view.top - 1 + grid.scrollTop) / pitch),
      column: Math.round((r.left - view.left - 13) / pitch),
      x: r.left + r.width / 2,
      y: r.top + r.height / 2,
    });
  }
  return {
    top: grid.scrollTop,
    end: grid.scrollHeight - grid.clientHeight,
    total: Number(grid.getAttribute('tvx-cells') ?? cells.length),
    shown,
  };
}

test('20,000 pictures: scrolling, thumbnails, Ctrl+A, a band across a scroll, a mark', TIMEOUT, async () => {
  let folder;
  const photos = passingPhotos(PHOTOS);
  // Eight photos whose sizes differ in their low 16 bits, so a thumbnail's name tells its photo.
  const kinds = [];
  for (const photo of photos) {
    const low = fs.statSync(photo).size & 0xffff;
    if (kinds.length < KINDS && !kinds.some((k) => k.low === low)) kinds.push({ photo, low });
  }
  assert.equal(kinds.length, KINDS, 'eight photos of distinct sizes');
  const kindOf = (name) => Number(/-k(\d)\.jpg$/.exec(name)[1]);

  await withProgram({
    service: true,
    beforeStart: ({ home, programDir }) => {
      folder = path.join(home, 'Pictures/Big');
      const files = Array.from({ length: CELLS }, (_, i) => kinds[i % KINDS].photo);
      linkPhotos(files, folder, (i) => `g${String(i).padStart(5, '0')}-k${i % KINDS}.jpg`);
      // A sub-folder makes "Big" a branch of the tree, shown under the expanded 图片收藏.
      linkPhotos([kinds[0].photo], path.join(folder, 'sub'));
      fs.writeFileSync(path.join(programDir, 'SetPathCfg.dat'), utf16File('%mypic%Big/\n'));
    },
  }, async (program, page) => {
    const main = await windowFrame(page, 'Tavopix', 30_000);
    const state = () => main.evaluate(gridState);
    const status = () => main.locator('#hsk_st').textContent();
    // Scrolled to the top and the first row built again (the page builds it after the scroll).
    const atTop = (now) => now.top === 0 && now.shown.some((c) => c.row === 0 && c.column === 0);
    const caption = main.locator('#tree_view caption[path="%mypic%Big/"] .cp');
    await caption.waitFor({ timeout: 120_000 });
    await caption.click();
    await until(state, (s) => s.total === CELLS && s.shown.length > 0, 'the 20,000 cells', 120_000);

    // Every cell in view shows the thumbnail made from its own file: the cache name carries its
    // photo's size and its own path's checksum.
    const expectedTail = (storedPath) => {
      const name = storedPath.slice(storedPath.lastIndexOf('/') + 1);
      return `${hex4(kinds[kindOf(name)].low)}${hex4(pathChecksum(path.join(folder, name)))}.jpg`;
    };
    const passed = new Set();
    const allShowTheirOwn = async (where) => {
      const s = await until(state, (now) => now.shown.length > 0 && now.shown.every((c) => c.src !== null), `the thumbnails ${where}`, 120_000);
      for (const cell of s.shown) {
        assert.ok(cell.src.endsWith(expectedTail(cell.path)), `${where}: ${cell.path} shows ${cell.src}`);
        passed.add(cell.path);
      }
      return s;
    };
    const perScreen = (await allShowTheirOwn('at the top')).shown.length;

    // The keyboard scrolls the grid once it has the focus: End, Home, then PageDown steps.
    await main.locator('#photo_list').focus();
    await page.keyboard.press('End');
    let s = await until(state, (now) => now.end > 0 && now.top === now.end, 'the end', 60_000);
    s = await allShowTheirOwn('at the end');
    assert.ok(s.shown.some((c) => c.path.endsWith(`g${CELLS - 1}-k${(CELLS - 1) % KINDS}.jpg`)), 'the last cell at the end');
    await page.keyboard.press('Home');
    await until(state, atTop, 'the top again');
    for (let step = 1; step <= 3; step++) {
      const before = (await state()).top;
      await page.keyboard.press('PageDown');
      await until(state, (now) => now.top > before, `PageDown ${step}`);
      await allShowTheirOwn(`after PageDown ${step}`);
    }
    // The wheel, over the grid, half way down.
    const box = await main.locator('#photo_list').boundingBox();
    await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
    const half = Math.round((await state()).end / 2);
    for (let moved = (await state()).top; moved < half; moved = (await state()).top) {
      await page.mouse.wheel(0, 20_000);
      await until(state, (now) => now.top > moved, 'the wheel');
    }
    await allShowTheirOwn('half way down');
    // Six screens, the PageDown ones overlapping by a row: how many depends on where the wheel
    // stopped, at least four screens' worth.
    assert.ok(passed.size >= 4 * perScreen, `${passed.size} cells checked, ${perScreen} a screen`);

    // Ctrl+A at the top selects the cells at the end too.
    await page.keyboard.press('Home');
    await until(state, atTop, 'the top');
    await page.keyboard.press('Control+A');
    await until(status, (t) => t === `已选择 ${CELLS} 张图片`, 'every cell selected');
    await page.keyboard.press('End');
    s = await until(state, (now) => now.top === now.end, 'the end');
    s = await until(state, (now) => now.shown.every((c) => c.sel), 'the cells at the end selected');
    await page.keyboard.press('Control+D');
    await until(status, (t) => t === '已就绪', 'nothing selected');

    // The arrow keys move the selection a cell and a row at a time, far past the first screens,
    // and the grid scrolls to the selected cell.
    await page.keyboard.press('Home');
    s = await until(state, atTop, 'the top');
    const columns = new Set(s.shown.map((c) => c.column)).size;
    const corner = s.shown.find((c) => c.row === 0 && c.column === 0);
    await page.mouse.click(corner.x, corner.y);
    await page.keyboard.press('ArrowRight');
    // Two rows down the selected cell is still in the first screen: the grid stays where it was.
    for (let row = 0; row < 2; row++) await page.keyboard.press('ArrowDown');
    const thirdRow = `g${String(2 * columns + 1).padStart(5, '0')}-`;
    await until(status, (t) => t.startsWith(thirdRow), `${thirdRow} selected`);
    assert.equal((await state()).top, 0, 'the grid not scrolled within the first screen');
    for (let row = 2; row < 40; row++) await page.keyboard.press('ArrowDown');
    const reached = `g${String(40 * columns + 1).padStart(5, '0')}-`;
    await until(status, (t) => t.startsWith(reached), `${reached} selected`);
    await until(() => main.locator('#photo_list > .loc[sel="true"]').getAttribute('path'),
      (p) => p.includes(`/${reached}`), `${reached} shown selected`);

    // A band pressed on a cell near the top, held while the wheel scrolls the grid down a few
    // screens, released on a cell two columns to the right: the rows and columns it spans are
    // selected, those scrolled past included.
    await page.keyboard.press('Home');
    await until(state, atTop, 'the top');
    s = await state();
    const from = s.shown.find((c) => c.row === 1 && c.column === 0);
    await page.mouse.move(from.x, from.y);
    await page.mouse.down();
    await page.mouse.move(from.x + 10, from.y + 5, { steps: 2 });
    await page.mouse.wheel(0, 3 * box.height);
    await until(state, (now) => now.top > 2 * box.height, 'the grid scrolled under the band');
    s = await state();
    const to = s.shown.find((c) => c.row === Math.max(...s.shown.map((x) => x.row)) - 1 && c.column === 2);
    await page.mouse.move(to.x, to.y, { steps: 4 });
    await screenshot(page, 'grid-20000-band.png');
    await page.mouse.up();
    const rows = to.row - from.row + 1;
    await until(status, (t) => t === `已选择 ${rows * 3} 张图片`, `the band's ${rows} rows of 3`);
    s = await until(state, (now) => now.shown.some((c) => c.sel), 'the band drawn');
    for (const cell of s.shown) {
      const inside = cell.row >= from.row && cell.row <= to.row && cell.column <= 2;
      assert.equal(cell.sel, inside, `${cell.path} at row ${cell.row}, column ${cell.column}`);
    }

    // A mark on a cell at the end stays on it after the grid went to the top and back.
    await page.keyboard.press('End');
    s = await until(state, (now) => now.top === now.end, 'the end');
    s = await allShowTheirOwn('at the end again');
    const last = s.shown.at(-1);
    await page.mouse.click(last.x, last.y);
    await until(status, (t) => t.startsWith(path.basename(last.path)), 'the last cell selected');
    await main.locator('#btn_mark').click();
    await until(() => main.locator('#op_mark .num').textContent(), (t) => t === '(1)', 'the mark count');
    // The mark button took the focus; the keys go to the grid again.
    await main.locator('#photo_list').focus();
    await page.keyboard.press('Home');
    await until(state, atTop, 'the top');
    await page.keyboard.press('End');
    await until(state, (now) => now.top === now.end &&
      now.shown.every((c) => c.marked === (c.path === last.path)), 'the mark on its cell only');

    // The viewer over the grid takes the keys it steps with; the grid under it stays where it is.
    await page.keyboard.press('Home');
    s = await until(state, atTop, 'the top');
    const first = s.shown.find((c) => c.row === 0 && c.column === 0);
    await page.mouse.dblclick(first.x, first.y);
    const viewerShown = () => main.locator('#img_detail').evaluate((v) => v.style.left !== '-10px');
    await until(viewerShown, Boolean, 'the viewer');
    for (const key of ['PageDown', 'Space', 'End']) await page.keyboard.press(key);
    await until(status, (t) => t.startsWith(`g${CELLS - 1}-`), 'the last picture in the viewer');
    assert.equal((await state()).top, 0, 'the grid under the viewer not scrolled');
  }, { width: 1280, height: 800 });
});
