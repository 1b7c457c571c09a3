// The library as a new user meets it, in headless Chromium over real photos: the first folder
// dialog shows the start filter as it is (JPG alone, so 全部 unticked); folders come in name
// order (case-insensitive, a before B, Day1 before Day2) in the dialog, the tree and the list
// view, also after 刷新; a folder whose name holds quotes, blanks and markup characters is kept in
// the search cache and is there after a restart and in the list view; 相册主页 opens albumd's
// home page in a new tab; the empty grid says why it is empty; the viewer steps by keys and
// wheel with the end hints, shows previous/next arrows on hover, and the status line and the
// grid's selection follow the picture viewed.
//
// Needs TAVOPIX_PHOTOS. TAVOPIX_SCREENSHOTS, when set, names a folder for screenshots.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { exitWithin, screenshot, windowFrame } from '../lib/browser.js';
import { linkPhotos, openMenu, passingPhotos, pressIcon, until, windowGone } from '../lib/flows.js';
import { withProgram } from '../lib/session.js';

const PHOTOS = process.env.TAVOPIX_PHOTOS;
const TIMEOUT = { timeout: 240_000, skip: PHOTOS ? false : 'TAVOPIX_PHOTOS is not set' };
const QUOTED = 'it\'s "quoted" <&> dir';
// In the order a case-insensitive file system lists them.
const FOLDERS = ['a', 'B', 'Day1', 'Day2', QUOTED];

// The stored paths of the tree's captions below Trip, in document order.
function captionPaths(main) {
  return main.locator('#tree_view caption[path^="%mypic%Trip/"]').evaluateAll((all) =>
    all.map((c) => c.getAttribute('path')).filter((p) => p !== '%mypic%Trip/'));
}

async function expandTrip(main) {
  const trip = main.locator('#tree_view options:has(> caption[path="%mypic%Trip/"])');
  if ((await trip.getAttribute('hl-expanded')) === null) {
    await main.locator('#tree_view caption[path="%mypic%Trip/"]').click({ position: { x: 8, y: 12 } });
  }
  await main.locator('#tree_view caption[path="%mypic%Trip/Day1/"] .cp').waitFor();
}

// The folders below Trip, in document order, once there are all of them: Trip, a collapsed
// branch at first, is expanded, since the page builds a branch's folders when it is opened.
async function tripFolders(main, what) {
  await until(() => main.locator('#tree_view caption[path^="%mypic%Trip/"]').count(), (n) => n > 0, what);
  if (await main.locator('#tree_view options:has(> caption[path="%mypic%Trip/"])').count()) await expandTrip(main);
  return until(() => captionPaths(main), (p) => p.length === FOLDERS.length, what);
}

// Runs `action`, which rebuilds the tree, and waits for the new tree's folders below Trip.
async function rebuilt(main, action, what) {
  await main.locator('#tree_view caption').evaluateAll((all) => all.forEach((c) => { c.dataset.old = '1'; }));
  await action();
  await until(() => main.locator('#tree_view caption[data-old]').count(), (n) => n === 0, what);
  return tripFolders(main, what);
}

const inTrip = (names) => names.map((name) => `%mypic%Trip/${name}/`);

// The text the empty grid shows.
function emptyText(main) {
  return main.locator('#photo_list').evaluate((grid) =>
    grid.childElementCount === 0 ? getComputedStyle(grid, '::before').content : '(cells)');
}

const viewerShown = (main) => main.locator('#img_detail').evaluate((d) => d.style.left !== '-10px');

test('folders in name order, a quoted folder kept, the home page, empty states and viewer keys', TIMEOUT, async () => {
  const photos = passingPhotos(PHOTOS);
  let trip;
  await withProgram({
    service: true,
    beforeStart: ({ home }) => {
      trip = path.join(home, 'Pictures/Trip');
      // Made in name order: a folder that keeps its entries newest first lists them backwards.
      FOLDERS.forEach((name, i) => linkPhotos(photos.slice(i * 2, i * 2 + (name === 'Day1' ? 3 : 2)),
        path.join(trip, name)));
      // A picture no decoder can read, large enough for the start filter.
      fs.writeFileSync(path.join(trip, 'B', 'broken.jpg'), Buffer.alloc(30 * 1024, 0x5a));
    },
  }, async (program, page, { context }) => {
    // The first dialog: the start filter is JPG with middle and large, so neither 全部 is ticked.
    const dialog = await windowFrame(page, '设置目录');
    await dialog.locator('[path="%mypic%"]').waitFor();
    const checked = (id) => dialog.locator(`#${id}`).getAttribute('hl-checked').then((v) => v !== null);
    assert.deepEqual([await checked('tp_all'), await checked('tp_jpg'), await checked('tp_png')], [false, true, false]);
    assert.deepEqual([await checked('sz_all'), await checked('sz_middle'), await checked('sz_large')], [false, true, true]);
    await pressIcon(dialog, '%mypic%', 'expander');
    await dialog.locator('[path="%mypic%Trip/"]').waitFor();
    await pressIcon(dialog, '%mypic%Trip/', 'expander');
    const dialogChildren = dialog.locator('[path="%mypic%Trip/"] > [path]');
    await until(() => dialogChildren.count(), (n) => n === FOLDERS.length, 'the dialog\'s folders');
    assert.deepEqual(await dialogChildren.evaluateAll((all) => all.map((n) => n.getAttribute('path'))), inTrip(FOLDERS));
    await screenshot(page, 'order-dialog.png');
    await pressIcon(dialog, '%mypic%Trip/', 'box');
    await dialog.locator('#btn_ok').click();
    await windowGone(page, dialog);

    // The tree, in name order; the same after 刷新.
    const main = await windowFrame(page, 'Tavopix');
    assert.deepEqual(await tripFolders(main, 'the tree\'s folders'), inTrip(FOLDERS));
    const cache = path.join(program.programDir, 'searchPathCache.dat');
    await until(() => fs.existsSync(cache), Boolean, 'the search cache');
    const cacheText = fs.readFileSync(cache).subarray(2).toString('utf16le');
    assert.ok(cacheText.includes(`"%mypic%Trip/${QUOTED}/" 2\r\n`), cacheText);
    assert.deepEqual(await rebuilt(main, async () => {
      await main.locator('#tree_view').click({ button: 'right' });
      await main.locator('#tv_cmenu #tvmu_refresh').click();
    }, 'the tree after 刷新'), inTrip(FOLDERS));
    assert.deepEqual(await rebuilt(main, () => main.locator('#btn_view_list').click(), 'the list view'),
      inTrip(FOLDERS));
    await rebuilt(main, () => main.locator('#btn_view_tree').click(), 'the tree again');
    await main.locator('#hsk_btn_close').click();
    await exitWithin(program.exited);

    // The next start shows the tree from the cache, the quoted folder included.
    const second = await program.restart();
    await page.goto(second.url);
    const again = await windowFrame(page, 'Tavopix');
    assert.deepEqual(await tripFolders(again, 'the tree from the cache'), inTrip(FOLDERS));
    await screenshot(page, 'order-tree.png');
    assert.deepEqual(await rebuilt(again, () => again.locator('#btn_view_list').click(), 'the list view from the cache'),
      inTrip(FOLDERS));
    await screenshot(page, 'order-list.png');

    // 相册主页: albumd's home page in a new tab.
    const [tab] = await Promise.all([context.waitForEvent('page'), openMenu(again, 'menu_home_url')]);
    await tab.waitForLoadState();
    assert.ok(tab.url().startsWith(program.albumdAddress), tab.url());
    await tab.close();

    // The empty grid says why: nothing opened yet, an empty marked view, a folder without
    // pictures of its own.
    assert.match(await emptyText(again), /在左侧打开一个文件夹/);
    await rebuilt(again, () => again.locator('#btn_view_tree').click(), 'the tree view');
    await expandTrip(again);
    await screenshot(page, 'empty-nothing-open.png');
    await again.locator('#op_mark').click();
    await until(() => emptyText(again), (t) => /还没有标记的图片/.test(t), 'the empty marked view');
    await screenshot(page, 'empty-marked.png');
    await again.locator('#op_uped').click();
    await until(() => emptyText(again), (t) => /还没有上传过图片/.test(t), 'the empty uploaded view');
    await screenshot(page, 'empty-uploaded.png');
    await again.locator('#tree_view caption[path="%mypic%Trip/"] .cp').click();
    await until(() => emptyText(again), (t) => /没有符合筛选条件的图片/.test(t), 'the folder without pictures');
    await screenshot(page, 'empty-folder.png');

    // The viewer by keys and wheel, over Day1's three pictures.
    await again.locator('#tree_view caption[path="%mypic%Trip/Day1/"] .cp').click();
    const cells = again.locator('#photo_list > div.loc');
    await until(() => cells.count(), (n) => n === 3, 'Day1\'s cells');
    const names = await cells.evaluateAll((all) => all.map((c) => c.getAttribute('path').split('/').pop()));
    const shown = () => again.locator('#tt_filename').textContent();
    const status = () => again.locator('#hsk_st').textContent();
    const showsAll = async (name) => (await shown()) === name && (await status()).startsWith(`${name} 尺寸：`);
    const expect = (i, what) => until(() => showsAll(names[i]), Boolean, what);
    await cells.nth(0).locator('picture').waitFor();
    await cells.nth(0).locator('picture').dblclick();
    await until(() => viewerShown(again), Boolean, 'the viewer');
    await expect(0, 'the first picture with its status line');
    await page.keyboard.press('PageDown');
    await expect(1, 'PageDown to the second');
    await page.keyboard.press('End');
    await expect(2, 'End to the last');
    await page.keyboard.press('ArrowRight');
    await again.locator('#dtl_last').waitFor({ state: 'attached' });
    assert.equal(await shown(), names[2]);
    await page.keyboard.press('Space');
    await expect(0, 'Space past the hint wraps to the first');
    await again.locator('#dtl_last').waitFor({ state: 'detached' });
    await page.keyboard.press('PageUp');
    await again.locator('#dtl_first').waitFor({ state: 'attached' });
    await page.keyboard.press('ArrowLeft');
    await expect(2, 'ArrowLeft past the hint wraps to the last');
    await page.keyboard.press('Home');
    await expect(0, 'Home to the first');
    const display = await again.locator('#dtl_dsp').boundingBox();
    await page.mouse.move(display.x + display.width / 2, display.y + display.height / 2);
    await page.mouse.wheel(0, 100);
    await expect(1, 'the wheel towards the user to the next');

    // The arrows appear while the mouse is over the viewer, and step.
    const next = again.locator('#dtl_next');
    await until(() => next.evaluate((b) => getComputedStyle(b).opacity), (o) => o === '1', 'the arrows on hover');
    await screenshot(page, 'viewer-hover.png');
    await next.click();
    await expect(2, 'the next arrow');
    // Space after a press on the arrow steps once, not once more through the arrow.
    await page.keyboard.press('Space');
    await again.locator('#dtl_last').waitFor({ state: 'attached' });
    await page.waitForTimeout(300);
    assert.equal(await shown(), names[2]);

    // Closing leaves the picture last viewed selected, and the status line on it.
    await page.keyboard.press('Escape');
    await until(() => viewerShown(again), (v) => !v, 'the viewer closed');
    assert.deepEqual(await cells.evaluateAll((all) => all.map((c) => c.getAttribute('sel'))), [null, null, 'true']);
    assert.ok((await status()).startsWith(`${names[2]} 尺寸：`));

    // A picture that cannot be decoded: the error picture at its own size, in the middle.
    await again.locator('#tree_view caption[path="%mypic%Trip/B/"] .cp').click();
    const broken = again.locator('#photo_list > div.loc[path$="/broken.jpg"] picture');
    await broken.waitFor();
    await broken.dblclick();
    await until(() => again.locator('#dtl_img_border').evaluate((b) => [b.style.width, b.style.height]),
      (size) => size.join() === '160px,115px', 'the error picture at 160 x 115');
    const frame = await again.locator('#dtl_img_border').boundingBox();
    const area = await again.locator('#dtl_dsp').boundingBox();
    assert.ok(Math.abs(frame.x + frame.width / 2 - (area.x + area.width / 2)) < 3, JSON.stringify({ frame, area }));
    await screenshot(page, 'viewer-error-picture.png');
  }, { width: 1280, height: 800 });
});
