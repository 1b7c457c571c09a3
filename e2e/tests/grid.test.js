// The photo grid and the large viewer of the real program in headless Chromium, over real
// photos: thumbnails stand upright (also for JPEGs turned by their Exif orientation), cells are
// selected by click, Shift and the rubber band, a double click opens the viewer, whose thirds
// step past both ends with a hint and then wrap around; rotating in the viewer and in the grid
// shows the new picture at once; a mark shows in "op_mark"'s count; a deleted picture lands in
// the desktop's trash with its .trashinfo; the zoom slider resizes every cell; a hostile file
// name stays text.
//
// Needs TAVOPIX_PHOTOS (the folder scripts/get-photos.sh fills; the test command sets it) and
// jpegtran. TAVOPIX_SCREENSHOTS, when set, names a folder for screenshots of the grid and viewer.

import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { screenshot, shownSize, windowFrame } from '../lib/browser.js';
import { until, utf16File } from '../lib/flows.js';
import { withProgram } from '../lib/session.js';

const PHOTOS = process.env.TAVOPIX_PHOTOS;
const TIMEOUT = { timeout: 240_000, skip: PHOTOS ? false : 'TAVOPIX_PHOTOS is not set' };
const HOSTILE = 'x"<b>&onmouseover=alert(1).jpg';

// `source` turned losslessly by jpegtran and given the Exif orientation that stands it upright
// again: 6 after a counter-clockwise turn, 8 after a clockwise one.
function turnedCopy(source, target, orientation) {
  const turned = execFileSync('jpegtran', ['-copy', 'none', '-trim', '-rotate',
    orientation === 6 ? '270' : '90', source], { maxBuffer: 64 * 1024 * 1024 });
  const tiff = Buffer.from([0x49, 0x49, 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0,
    orientation, 0, 0, 0, 0, 0, 0, 0]);
  const payload = Buffer.concat([Buffer.from('Exif\0\0', 'latin1'), tiff]);
  const segment = Buffer.concat([Buffer.from([0xff, 0xe1, (payload.length + 2) >> 8,
    (payload.length + 2) & 0xff]), payload]);
  fs.writeFileSync(target, Buffer.concat([turned.subarray(0, 2), segment, turned.subarray(2)]));
}

test('grid and viewer over real photos', TIMEOUT, async () => {
  let home;
  const folder = () => path.join(home, 'Pictures/Grid');
  // The trash the program uses is the home's: the test's home, never the real one.
  delete process.env.XDG_DATA_HOME;
  await withProgram({
    service: true,
    beforeStart: ({ home: userHome, programDir }) => {
      home = userHome;
      fs.mkdirSync(folder(), { recursive: true });
      const real = path.join(PHOTOS, 'real');
      for (const name of fs.readdirSync(real).filter((n) => /\.jpg$/i.test(n))) {
        fs.copyFileSync(path.join(real, name), path.join(folder(), name));
      }
      turnedCopy(path.join(real, 'Bridge_by_Sander_Klootwijk.jpg'), path.join(folder(), 'turned6.jpg'), 6);
      turnedCopy(path.join(real, 'sunset_by_Aitzol_Berasategi.jpg'), path.join(folder(), 'turned8.jpg'), 8);
      fs.copyFileSync(path.join(real, 'Wine_by_Jakkub_Mede.jpg'), path.join(folder(), HOSTILE));
      // A sub-folder makes "Grid" a branch of the tree, shown under the expanded 图片收藏.
      fs.mkdirSync(path.join(folder(), 'sub'));
      fs.copyFileSync(path.join(real, 'Wine_by_Jakkub_Mede.jpg'), path.join(folder(), 'sub/one.jpg'));
      fs.writeFileSync(path.join(programDir, 'SetPathCfg.dat'), utf16File('%mypic%Grid/\n'));
    },
  }, async (program, page) => {
    const main = await windowFrame(page, 'Tavopix');
    const cells = main.locator('#photo_list > .loc');
    const cell = (name) => main.locator(`#photo_list > .loc[title="${name.replaceAll('"', '\\"')}"]`);
    const count = fs.readdirSync(folder()).filter((n) => n.endsWith('.jpg')).length;

    // Open the folder: one cell per picture, every one with its thumbnail.
    const grid = main.locator('#tree_view caption[path="%mypic%Grid/"] .cp');
    await grid.waitFor({ timeout: 60_000 });
    await grid.click();
    await until(() => cells.count(), (n) => n === count, 'the grid cells');
    await until(() => main.locator('#photo_list picture').count(), (n) => n === count, 'the thumbnails', 60_000);

    // The turned JPEGs stand upright, as their originals do.
    for (const name of ['turned6.jpg', 'turned8.jpg']) {
      const [w, h] = await shownSize(cell(name));
      assert.ok(w > h, `${name} is shown ${w} x ${h}`);
    }
    // The hostile name is the cell's text attributes, nothing more.
    assert.equal(await cell(HOSTILE).getAttribute('path'), `%mypic%Grid/${HOSTILE}`);
    assert.equal(await main.locator('#photo_list [onmouseover]').count(), 0);
    await screenshot(page, 'grid.png');

    // Click, Shift-click, rubber band.
    const selected = () => cells.evaluateAll((all) => all.flatMap((c, i) => (c.getAttribute('sel') === 'true' ? [i] : [])));
    const status = () => main.locator('#hsk_st').textContent();
    await cells.nth(0).locator('picture').click();
    await until(selected, (s) => s.join() === '0', 'the clicked cell');
    await until(status, (t) => /尺寸：\d+x\d+/.test(t), 'the picture\'s facts');
    await cells.nth(3).locator('picture').click({ modifiers: ['Shift'] });
    await until(selected, (s) => s.join() === '0,1,2,3', 'the Shift range');
    await until(status, (t) => t === '已选择 4 张图片', 'the count');
    const first = await cells.nth(1).boundingBox();
    const last = await cells.nth(2).boundingBox();
    // Boxes are in the page's viewport, where the mouse moves.
    await page.mouse.move(first.x + first.width / 2, first.y + first.height / 2);
    await page.mouse.down();
    await page.mouse.move(first.x + first.width / 2 + 10, first.y + first.height / 2 + 5, { steps: 2 });
    await page.mouse.move(last.x + last.width / 2, last.y + last.height / 2, { steps: 4 });
    await screenshot(page, 'grid-band.png');
    await page.mouse.up();
    await until(selected, (s) => s.join() === '1,2', 'the band selection');

    // Ctrl+A and Ctrl+D reach the grid from the browser's keyboard; the page's text stays unselected.
    await page.keyboard.press('Control+A');
    await until(selected, (s) => s.length === count, 'every cell selected');
    await until(status, (t) => t === `已选择 ${count} 张图片`, 'the count of all');
    assert.equal(await main.evaluate(() => String(getSelection())), '');
    await page.keyboard.press('Control+D');
    await until(selected, (s) => s.length === 0, 'no cell selected');

    // The hostile name in the status line, as text.
    await cell(HOSTILE).locator('picture').click();
    await until(status, (t) => t.startsWith(`${HOSTILE} 尺寸：`), 'the hostile name as text');

    // Mark: the cell gets its mark and "op_mark" counts it.
    await cells.nth(0).locator('picture').click();
    await main.locator('#btn_mark').click();
    await cells.nth(0).locator('p.mark').waitFor({ state: 'attached' });
    await until(() => main.locator('#op_mark .num').textContent(), (t) => t === '(1)', 'the mark count');

    // Rotate in the grid: the picture's address changes and it now stands the other way.
    const turnedCell = cells.nth(0);
    const [w0, h0] = await shownSize(turnedCell);
    const before = await turnedCell.locator('picture').getAttribute('src');
    await main.locator('#btn_cw').click();
    await until(() => turnedCell.locator('picture').getAttribute('src'), (s) => s !== before, 'the new thumbnail address');
    await until(() => shownSize(turnedCell), (s) => s.join() === `${h0},${w0}`, 'the turned thumbnail');

    // The viewer: double click, the facts line, then the thirds past both ends.
    await cells.nth(count - 2).locator('picture').dblclick();
    const detail = main.locator('#img_detail');
    await until(() => detail.evaluate((d) => d.style.left), (l) => l === '1px', 'the viewer shown');
    assert.match(await main.locator('#tt_imginfo').textContent(), /^尺寸： \d+x\d+， 文件长度： [\d.]+KB， 修改时间： \d{4}-/);
    const names = await cells.evaluateAll((all) => all.map((c) => c.getAttribute('title')));
    const shownName = () => main.locator('#tt_filename').textContent();
    const third = async (which) => {
      const box = await main.locator('#dtl_img_border').boundingBox();
      const x = which === 'left' ? box.x + box.width / 6 : box.x + box.width * 5 / 6;
      await page.mouse.click(x, box.y + box.height / 2);
    };
    await until(shownName, (n) => n === names[count - 2], 'the double-clicked picture');
    await third('right');
    await until(shownName, (n) => n === names[count - 1], 'the last picture');
    await third('right');
    await main.locator('#dtl_last').waitFor({ state: 'attached' });
    await screenshot(page, 'viewer-hint.png');
    assert.equal(await shownName(), names[count - 1]);
    await third('right');
    await until(shownName, (n) => n === names[0], 'the wrap to the first picture');
    await main.locator('#dtl_last').waitFor({ state: 'detached' });
    await third('left');
    await main.locator('#dtl_first').waitFor({ state: 'attached' });
    await third('left');
    await until(shownName, (n) => n === names[count - 1], 'the wrap to the last picture');
    await main.locator('#dtl_first').waitFor({ state: 'detached' });

    // Rotate in the viewer: the shown picture swaps its sides at once.
    const [vw, vh] = await detail.evaluate((d) => [d.getAttribute('w'), d.getAttribute('h')]);
    const viewed = await main.locator('#pic').getAttribute('src');
    await main.locator('#btn_cw').click();
    await until(() => main.locator('#pic').getAttribute('src'), (s) => s !== viewed, 'the viewer\'s new address');
    await until(() => detail.evaluate((d) => [d.getAttribute('w'), d.getAttribute('h')]),
      (s) => s.join() === `${vh},${vw}`, 'the turned picture\'s size');
    await screenshot(page, 'viewer.png');
    await main.locator('#idt_btn_close').click();
    await until(() => detail.evaluate((d) => d.style.left), (l) => l === '-10px', 'the viewer hidden');

    // Delete one into the trash: the question, the file and its .trashinfo.
    const victim = names[0];
    await cell(victim).locator('picture').click();
    await main.locator('#btn_delete').click();
    const question = await windowFrame(page, '删除确认');
    assert.equal((await question.locator('#text_div').textContent()).trim(), '确定要删除所选的图片吗?');
    await question.locator('button[btn_id="16"]').click();
    await until(() => cells.count(), (n) => n === count - 1, 'the cell removed');
    assert.equal(fs.existsSync(path.join(folder(), victim)), false);
    const trash = path.join(home, '.local/share/Trash');
    assert.ok(fs.existsSync(path.join(trash, 'files', victim)));
    const info = fs.readFileSync(path.join(trash, 'info', `${victim}.trashinfo`), 'utf8');
    assert.match(info, /^\[Trash Info\]\nPath=\/.*Grid\/.*\nDeletionDate=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\n$/);
    await until(() => main.locator('#op_mark .num').textContent(), (t) => t === '(0)', 'the mark count');

    // The zoom slider resizes every cell.
    await main.locator('#img_size').evaluate((slider) => {
      slider.value = '200';
      slider.dispatchEvent(new Event('input', { bubbles: true }));
    });
    await until(() => cells.evaluateAll((all) => all.every((c) => c.style.width === '208px')), Boolean,
      'every cell 208 pixels wide');
    await screenshot(page, 'grid-zoomed.png');
  }, { width: 1400, height: 900 });
});
