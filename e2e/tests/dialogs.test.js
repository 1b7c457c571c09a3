// Dialogs as a keyboard user and a small screen meet them, in headless Chromium against the
// real program: the first start's folder dialog opened long after the program started is
// centred in the view and stays so when the view is resized; Tab never leaves a modal window;
// a minimised dialog's taskbar button; message boxes answer Enter and Escape and fit their
// text; at 800 x 600 every dialog shows all its buttons; at 700 x 500 a press on the main
// window after scrolling the view hits what it is on.
//
// Needs TAVOPIX_PHOTOS (the folder scripts/get-photos.sh fills; the test command sets it).

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { openBrowser, windowBoxOf, windowFrame } from '../lib/browser.js';
import {
  addAlbumdUser, folderCaption, linkPhotos, logIn, openMenu, passingPhotos, until, windowGone,
} from '../lib/flows.js';
import { startProgram } from '../lib/program.js';

const PHOTOS = process.env.TAVOPIX_PHOTOS;
const TIMEOUT = { timeout: 300_000, skip: PHOTOS ? false : 'TAVOPIX_PHOTOS is not set' };
// The program waits this long for a page at start; a page opened later finds the first
// windows placed without it.
const LATE_PAGE_MS = 20_000;

const cells = (main) => main.locator('#photo_list > .loc');

// The in-page box of a window: {x, y, width, height} in the view.
async function boxOf(frame) {
  return (await windowBoxOf(frame)).evaluate((box) => {
    const r = box.getBoundingClientRect();
    return { x: r.x, y: r.y, width: r.width, height: r.height };
  });
}

async function assertCentred(page, frame, what) {
  const view = page.viewportSize();
  await until(() => boxOf(frame), (b) =>
    Math.abs(b.x - (view.width - b.width) / 2) <= 1 && Math.abs(b.y - (view.height - b.height) / 2) <= 1 &&
    b.x >= 0 && b.y >= 0 && b.x + b.width <= view.width && b.y + b.height <= view.height,
  `${what} centred in ${view.width} x ${view.height}`, 10_000);
}

// Every button `ids` of the window in `frame` is shown, inside the window and inside the view.
async function assertButtonsShown(page, frame, ids, what) {
  const view = page.viewportSize();
  const box = await boxOf(frame);
  for (const id of ids) {
    const button = frame.locator(`#${id}`);
    assert.ok(await button.isVisible(), `${what}: #${id} is shown`);
    const b = await button.boundingBox();
    const inside = (outer) => b.x >= outer.x - 0.5 && b.y >= outer.y - 0.5 &&
      b.x + b.width <= outer.x + outer.width + 0.5 && b.y + b.height <= outer.y + outer.height + 0.5;
    assert.ok(inside(box), `${what}: #${id} ${JSON.stringify(b)} inside the window ${JSON.stringify(box)}`);
    assert.ok(inside({ x: 0, y: 0, ...view }), `${what}: #${id} inside the view`);
  }
}

// The window that holds the keyboard, as the shell sees it, and the element focused in it.
async function keyboardAt(page) {
  return page.evaluate(() => {
    const iframe = document.activeElement;
    const d = iframe?.contentDocument;
    const inner = d?.activeElement;
    return {
      caption: d?.querySelector('#hsk_cp_txt, #hsk_cp .caption-title')?.textContent ?? null,
      focused: inner && inner !== d.body ? (inner.id || inner.getAttribute('value') || inner.localName) : null,
    };
  });
}

// Presses Tab (and then Shift+Tab) `times` times; the keyboard stays in the window `caption`.
async function assertTabStaysIn(page, caption, times = 14) {
  for (const key of ['Tab', 'Shift+Tab']) {
    for (let i = 0; i < times; i++) {
      await page.keyboard.press(key);
      const at = await keyboardAt(page);
      assert.equal(at.caption, caption, `${key} #${i + 1} stays in ${caption}`);
      assert.ok(at.focused, `${key} #${i + 1} focuses a control of ${caption}`);
    }
  }
}

// Presses Tab until the element `id` of `frame` has the keyboard.
async function tabTo(page, frame, id) {
  for (let i = 0; i < 30; i++) {
    if (await frame.evaluate(() => document.activeElement?.id) === id) return;
    await page.keyboard.press('Tab');
  }
  throw new Error(`Tab never reached #${id}`);
}

// Moves the tree's current node with the arrow keys (down, then up) until `isIt` holds for the
// text that `describe` reads of it; each key's move is waited for.
async function arrowTo(page, frame, describe, isIt, what) {
  const current = () => frame.evaluate(describe);
  for (const key of ['ArrowDown', 'ArrowUp']) {
    for (let i = 0; i < 20 && !isIt(await current()); i++) {
      const before = await current();
      await page.keyboard.press(key);
      await until(current, (now) => now !== before, 'the move', 1000).catch(() => {});
    }
    if (isIt(await current())) return;
  }
  throw new Error(`the arrows never reached ${what}: at ${await current()}`);
}

const dialogNode = () => document.querySelector('#ele_tree_path [hl-current]')?.getAttribute('path') ?? '';
const mainNode = () => document.querySelector('#tree_view [hl-current] > caption .tl')?.textContent ?? '';

test('a late page: the first-start folder dialog centred, resized, modal to Tab, minimised', TIMEOUT, async () => {
  const program = await startProgram({ service: true });
  let browser;
  try {
    await new Promise((r) => setTimeout(r, LATE_PAGE_MS));
    browser = await openBrowser({ width: 1280, height: 800 });
    const { page } = browser;
    await page.goto(program.url);
    const folders = await windowFrame(page, '设置目录');
    await folders.locator('#btn_ok').waitFor();
    await assertCentred(page, folders, 'the folder dialog');
    await page.setViewportSize({ width: 1024, height: 700 });
    await assertCentred(page, folders, 'the folder dialog after the resize');

    await until(() => keyboardAt(page), (at) => at.caption === '设置目录' && at.focused, 'the dialog taking the keyboard');
    await assertTabStaysIn(page, '设置目录');

    // Minimised, it takes the main window along; each taskbar button has its own caption,
    // and either brings both back, the dialog still modal.
    await folders.locator('#hsk_btn_min').click();
    const taskbar = page.locator('#taskbar button');
    await until(() => taskbar.allTextContents(), (t) => t.includes('设置目录') && t.includes('Tavopix'), 'the taskbar');
    const main = await windowFrame(page, 'Tavopix');
    assert.equal(await (await windowBoxOf(main)).evaluate((b) => b.hasAttribute('data-hidden')), true,
      'the main window waits hidden with its dialog');
    await page.screenshot({ path: '/tmp/tavopix-minimised-dialog.png' });
    await taskbar.filter({ hasText: 'Tavopix' }).click();
    // The program restores the two windows one after the other: the taskbar empties once both
    // are back.
    await until(() => taskbar.count(), (n) => n === 0, 'the taskbar emptied');
    await until(() => boxOf(folders), (b) => b.width > 0, 'the dialog back');
    await assertCentred(page, folders, 'the restored folder dialog');
    assert.equal(await (await windowBoxOf(main)).evaluate((b) => b.classList.contains('disabled')), true);

    // A press and release on the caption faster than the program answers it leaves the dialog
    // where it is: the drag its answer starts comes after the release.
    const before = await boxOf(folders);
    const caption = await folders.locator('#hsk_cp').boundingBox();
    await page.mouse.move(caption.x + 40, caption.y + caption.height / 2);
    await page.mouse.down();
    await page.mouse.up();
    await page.waitForTimeout(500);
    await page.mouse.move(caption.x + 240, caption.y + 140, { steps: 5 });
    assert.deepEqual(await boxOf(folders), before, 'the dialog stays after the release');
    // A drag held down moves it, and it stays where it was let go.
    await page.mouse.move(caption.x + 40, caption.y + caption.height / 2);
    await page.mouse.down();
    await page.mouse.move(caption.x + 100, caption.y + 60, { steps: 8 });
    await until(() => boxOf(folders), (b) => b.x !== before.x, 'the dialog following the drag');
    await page.mouse.up();
    const dropped = await boxOf(folders);
    await page.mouse.move(caption.x + 300, caption.y + 200, { steps: 5 });
    assert.deepEqual(await boxOf(folders), dropped, 'the dialog stays where it was let go');

    await page.keyboard.press('Escape');
    await windowGone(page, folders);
    assert.equal(await (await windowBoxOf(main)).evaluate((b) => b.classList.contains('disabled')), false);

    // The main window fills the view: its caption does not drag it.
    const mainCaption = await main.locator('#hsk_cp .caption-fill').boundingBox();
    await page.mouse.move(mainCaption.x + mainCaption.width / 2, mainCaption.y + 10);
    await page.mouse.down();
    await page.mouse.move(mainCaption.x + 200, mainCaption.y + 150, { steps: 8 });
    await page.waitForTimeout(300);
    assert.deepEqual(await boxOf(main), { x: 0, y: 0, width: 1024, height: 700 }, 'the main window stays');
    await page.mouse.up();
  } finally {
    await browser?.close();
    await program.stop();
  }
});

test('message boxes take Enter and Escape and fit their text; every dialog fits 800 x 600', TIMEOUT, async () => {
  const photos = passingPhotos(PHOTOS);
  // More than 100 pictures in one folder (the question before a folder upload), and a few in
  // another.
  const many = [];
  for (let i = 0; many.length <= 100; i++) many.push(photos[i % photos.length]);
  const program = await startProgram({
    service: true,
    beforeStart: ({ home }) => {
      linkPhotos(many, path.join(home, 'Pictures/Many'), (i, file) => `p${String(i).padStart(3, '0')}${path.extname(file)}`);
      linkPhotos(photos.slice(0, 3), path.join(home, 'Pictures/Few'));
    },
  });
  addAlbumdUser(program.programDir, 'box_user', 'box-pass-1');
  let browser;
  try {
    browser = await openBrowser({ width: 800, height: 600 });
    const { page } = browser;
    await page.goto(program.url);
    const folderDialog = await windowFrame(page, '设置目录');
    await assertButtonsShown(page, folderDialog, ['btn_ok', 'btn_cancel', 'hsk_btn_close'], 'the folder dialog');
    // The folders chosen with the keyboard alone: Tab to the tree, arrows to move and open,
    // Space to check, Enter to confirm.
    await folderDialog.locator('[path="%mypic%"]').waitFor();
    await tabTo(page, folderDialog, 'ele_tree_path');
    await arrowTo(page, folderDialog, dialogNode, (p) => p === '%mypic%', '图片收藏');
    await page.keyboard.press('ArrowRight');
    await folderDialog.locator('[path="%mypic%Many/"]').waitFor();
    for (const name of ['Few', 'Many']) {
      await arrowTo(page, folderDialog, dialogNode, (p) => p === `%mypic%${name}/`, name);
      await page.keyboard.press('Space');
    }
    await until(() => folderDialog.locator('[path="%mypic%"]').getAttribute('check'), (c) => c === 'on', 'both checked');
    await page.keyboard.press('Enter');
    await windowGone(page, folderDialog);
    const main = await windowFrame(page, 'Tavopix');

    // A short notice: 确定 has the keyboard, Tab stays in the box, Enter closes it.
    await main.locator('#btn_upload').click();
    let box = await windowFrame(page, '提示');
    await until(() => keyboardAt(page), (at) => at.caption === '提示' && at.focused === '确定', 'the box focused');
    await assertButtonsShown(page, box, ['hsk_btn_close'], 'the short box');
    await page.screenshot({ path: '/tmp/tavopix-msgbox-short.png' });
    await assertTabStaysIn(page, '提示', 4);
    await page.keyboard.press('Enter');
    await windowGone(page, box);
    // The keyboard is back on what it was on in the main window.
    await until(() => keyboardAt(page), (at) => at.caption === 'Tavopix' && at.focused === 'btn_upload', 'the focus back');

    // The longest question: one line of text at most a few, never a word cut, buttons inside;
    // Escape says no.
    const manyNode = folderCaption(main, '%mypic%Many/');
    await until(() => manyNode.locator('.num').textContent().catch(() => null), (t) => t === `(${many.length})`, 'the count');
    await manyNode.locator('.cp').click({ button: 'right' });
    const uploadEntry = main.locator('#tv_cmenu #tvmu_upload');
    await uploadEntry.waitFor({ state: 'visible', timeout: 5000 });
    await until(() => uploadEntry.getAttribute('hl-disabled'), (v) => v === null, 'tvmu_upload enabled');
    await uploadEntry.click();
    box = await windowFrame(page, '提示');
    await until(() => keyboardAt(page), (at) => at.caption === '提示' && at.focused === '确定', 'the question shown');
    const shape = await box.evaluate(() => {
      const text = document.getElementById('text_div');
      const buttons = [...document.querySelectorAll('button.hsk_btn')].map((b) => b.getBoundingClientRect());
      return {
        lines: Math.round((text.scrollHeight - 44) / parseFloat(getComputedStyle(text).lineHeight)),
        width: innerWidth,
        buttonsInside: buttons.every((r) => r.left >= 0 && r.right <= innerWidth && r.bottom <= innerHeight),
        texts: [...document.querySelectorAll('button.hsk_btn')].map((b) => b.textContent),
      };
    });
    assert.deepEqual(shape.texts, ['确定', '取消']);
    assert.ok(shape.buttonsInside, 'the buttons inside the box');
    assert.ok(shape.lines <= 2, `the question in ${shape.lines} lines at ${shape.width} px`);
    await page.screenshot({ path: '/tmp/tavopix-msgbox-long.png' });
    await page.keyboard.press('Escape');
    await windowGone(page, box);
    assert.equal(page.frames().length, 2, 'no other window opened');

    // The delete question: Escape keeps the picture, Enter deletes it.
    // The main window's tree by keyboard: Enter opens the folder the arrows are on.
    await tabTo(page, main, 'tree_view');
    await arrowTo(page, main, mainNode, (t) => t === 'Few', 'Few');
    await page.keyboard.press('Enter');
    await until(() => cells(main).count(), (n) => n === 3, 'the pictures of the folder');
    await cells(main).first().locator('picture').click();
    const first = await cells(main).first().getAttribute('path');
    const fewFolder = path.join(program.home, 'Pictures/Few');
    await main.locator('#btn_delete').click();
    box = await windowFrame(page, '删除确认');
    await page.keyboard.press('Escape');
    await windowGone(page, box);
    assert.equal(fs.readdirSync(fewFolder).length, 3, 'Escape deleted nothing');
    await main.locator('#btn_delete').click();
    box = await windowFrame(page, '删除确认');
    await page.keyboard.press('Enter');
    await windowGone(page, box);
    await until(() => fs.readdirSync(fewFolder).length, (n) => n === 2, `Enter deleted ${first}`);

    // The account dialogs.
    await openMenu(main, 'menu_login');
    const login = await windowFrame(page, '用户登入');
    await until(() => keyboardAt(page), (at) => at.focused === 'username', 'the login dialog focused on 用户名');
    await assertButtonsShown(page, login, ['btn_login', 'btn_cancel'], 'the login dialog');
    await assertTabStaysIn(page, '用户登入', 10);
    await logIn(page, 'box_user', 'box-pass-1');
    await openMenu(main, 'menu_advice');
    const advice = await windowFrame(page, '意见与反馈');
    await assertButtonsShown(page, advice, ['btn_send', 'btn_close'], 'the feedback dialog');
    await page.keyboard.press('Escape');
    await windowGone(page, advice);
    await openMenu(main, 'menu_about');
    const about = await windowFrame(page, '关于 Tavopix');
    await assertButtonsShown(page, about, ['btn_close'], 'the about dialog');
    await page.keyboard.press('Escape');
    await windowGone(page, about);

    // The album dialog at its tallest: a new album visible to those who answer a question.
    await cells(main).first().locator('picture').click();
    await main.locator('#btn_upload').click();
    const albums = await windowFrame(page, '选择相册开始上传');
    await albums.locator('#create_album').click();
    await albums.locator('#tp_qa').click();
    await albums.locator('#quest').waitFor({ state: 'visible' });
    await until(() => boxOf(albums), (b) => b.height >= 400, 'the dialog grown');
    await assertButtonsShown(page, albums, ['btn_upload', 'btn_cancel', 'btn_cancel_create'], 'the album dialog');
    await page.screenshot({ path: '/tmp/tavopix-album-800x600.png' });
    await albums.locator('#albname').fill('小屏幕');
    await albums.locator('#quest').fill('问题');
    await albums.locator('#answer').fill('答案');
    await albums.locator('#btn_upload').click();
    await windowGone(page, albums);
    const upload = await windowFrame(page, '图片上传中', 30_000);
    await assertButtonsShown(page, upload, ['btn_cmpl', 'hsk_btn_close'], 'the upload dialog');
    await until(() => upload.locator('#info_upload').textContent().catch(() => ''),
      (text) => text.startsWith('所有图片已上传成功'), 'the end of the upload', 60_000);
    await page.keyboard.press('Enter');
    await windowGone(page, upload);

    // The uploaded view from the keyboard: Tab reaches it and Enter opens it.
    await tabTo(page, main, 'op_uped');
    await page.keyboard.press('Enter');
    await until(() => main.locator('#op_uped .cp').getAttribute('sel'), (v) => v === 'true', 'the uploaded view');
    await until(() => cells(main).count(), (n) => n === 1, 'the uploaded picture');

    // The update dialog.
    await openMenu(main, 'menu_check_update');
    const update = await windowFrame(page, '更新Tavopix');
    await update.locator('#info').filter({ hasText: '已是最新版本' }).waitFor({ timeout: 30_000 });
    await assertButtonsShown(page, update, ['btn_close', 'hsk_btn_close'], 'the update dialog');
    await page.keyboard.press('Escape');
    await windowGone(page, update);

    // Below the main window's smallest size the view scrolls; a press after scrolling hits the
    // button under it (the folder button opens the folder dialog, not a drag of the window).
    await page.setViewportSize({ width: 700, height: 500 });
    await page.evaluate(() => document.getElementById('desktop').scrollTo(100, 30));
    const setDir = main.locator('#btn_set_dir');
    const b = await setDir.boundingBox();
    assert.ok(b.y >= 0 && b.x >= 0 && b.y + b.height <= 500, `the folder button is in view: ${JSON.stringify(b)}`);
    await setDir.click();
    const again = await windowFrame(page, '设置目录');
    await assertButtonsShown(page, again, ['btn_ok', 'btn_cancel', 'hsk_btn_close'], 'the folder dialog at 700 x 500');
    await page.keyboard.press('Escape');
    await windowGone(page, again);
  } finally {
    await browser?.close();
    await program.stop();
  }
});
