// Steps a user takes in the program that several end-to-end tests share: waiting for a state,
// the main window and its menu, choosing folders in the folder dialog, registering on albumd's
// page, logging in, creating an album and following an upload; and the program's data files read
// back as the next start reads them.

import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { windowFrame } from './browser.js';
import { albumdBinary } from './program.js';

// Polls `read` until `done(value)` holds; fails with the last value after `timeout` ms.
export async function until(read, done, what, timeout = 30_000) {
  const deadline = Date.now() + timeout;
  let value;
  while (Date.now() < deadline) {
    value = await read();
    if (done(value)) return value;
    await new Promise((r) => setTimeout(r, 50));
  }
  throw new Error(`${what}: still ${JSON.stringify(value)} after ${timeout} ms`);
}

// A text file as the program keeps its data: UTF-16LE with a byte-order mark.
export function utf16File(text) {
  return Buffer.concat([Buffer.from([0xff, 0xfe]), Buffer.from(text, 'utf16le')]);
}

// A small deterministic generator (mulberry32): the same seed gives the same moments.
export function seededRandom(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

// The JPEG photos of `photos`/real the start filter passes (20 KB to 50 MB).
export function passingPhotos(photos) {
  const folder = path.join(photos, 'real');
  return fs.readdirSync(folder).sort()
    .filter((name) => /\.jpe?g$/i.test(name) && fs.statSync(path.join(folder, name)).size >= 20480)
    .map((name) => path.join(folder, name));
}

// Hard links to `files` in `to` (named as given by `nameOf(index, file)`); a copy where links fail.
export function linkPhotos(files, to, nameOf = (i, file) => path.basename(file)) {
  fs.mkdirSync(to, { recursive: true });
  files.forEach((file, i) => {
    const target = path.join(to, nameOf(i, file));
    try {
      fs.linkSync(file, target);
    } catch {
      fs.copyFileSync(file, target);
    }
  });
}

// Adds an account straight into the data of the albumd a program of startProgram uses.
export function addAlbumdUser(programDir, user, password) {
  execFileSync(albumdBinary(), ['--data', path.join(path.dirname(programDir), 'albumd-data'), 'user', 'add', user],
    { input: `${password}\n`, stdio: ['pipe', 'ignore', 'pipe'] });
}

export async function windowGone(page, frame, timeout = 30_000) {
  await until(() => page.frames().includes(frame), (present) => !present, 'the window closing', timeout);
}

// Opens the main menu and clicks the entry `id`.
export async function openMenu(main, id) {
  await main.locator('#hsk_btn_menu').click();
  const entry = main.locator(`#main_menu #${id}`);
  await entry.waitFor({ state: 'visible', timeout: 5000 });
  await entry.click();
}

// The main window once it is up, with the first start's folder dialog cancelled if it comes
// within `timeout` ms.
export async function mainWindow(page, timeout = 5000) {
  const main = await windowFrame(page, 'Tavopix');
  const folders = await windowFrame(page, '设置目录', timeout).catch(() => null);
  if (folders) {
    await folders.locator('#btn_cancel').click();
    await windowGone(page, folders);
  }
  return main;
}

// Presses a node's expander or check box in the folder dialog; both are drawn in the caption's
// left padding, the expander first.
export async function pressIcon(dialog, nodePath, which) {
  const caption = dialog.locator(`[path="${nodePath}"] > caption`);
  // Playwright gives the box in the page's viewport, where the mouse moves.
  const box = await caption.boundingBox();
  const x = box.x + (which === 'expander' ? 10 : 37);
  const y = box.y + box.height / 2;
  await dialog.page().mouse.click(x, y);
}

// Checks the folders `names` under 图片收藏 in the folder dialog and confirms.
export async function chooseFolders(page, names) {
  const dialog = await windowFrame(page, '设置目录');
  await dialog.locator('[path="%mypic%"]').waitFor();
  await pressIcon(dialog, '%mypic%', 'expander');
  for (const name of names) {
    await dialog.locator(`[path="%mypic%${name}/"]`).waitFor();
    await pressIcon(dialog, `%mypic%${name}/`, 'box');
  }
  await dialog.locator('#btn_ok').click();
  await windowGone(page, dialog);
}

// The caption of a folder of the main window's tree, by its stored path.
export function folderCaption(main, storedPath) {
  return main.locator(`#tree_view caption[path="${storedPath}"]`);
}

// Registers an account on albumd's own page, reached by the login dialog's link; returns the tab.
export async function registerFromLogin(context, login, user, password) {
  const [tab] = await Promise.all([context.waitForEvent('page'), login.locator('#link_reg').click()]);
  await tab.waitForLoadState();
  await tab.locator('#username').fill(user);
  await tab.locator('#password').fill(password);
  await tab.locator('#password2').fill(password);
  await tab.locator('button[type=submit]').click();
  await tab.getByText('注册成功').first().waitFor({ timeout: 10_000 });
  return tab;
}

// Logs in through the open login dialog, remembered for an automatic login next time.
export async function logIn(page, user, password) {
  const login = await windowFrame(page, '用户登入');
  await login.locator('#username').fill(user);
  await login.locator('#pswd').fill(password);
  await login.locator('#rcd_pswd').click();
  await login.locator('#auto_login').click();
  await until(() => login.locator('#auto_login').getAttribute('hl-checked'), (v) => v !== null, 'auto_login checked');
  await login.locator('#btn_login').click();
  await windowGone(page, login);
}

// Creates an album in the album dialog, which starts the upload; returns the upload dialog.
export async function createAlbum(page, name) {
  const albums = await windowFrame(page, '选择相册开始上传');
  await albums.locator('#create_album').click();
  await albums.locator('#albname').fill(name);
  await albums.locator('#btn_upload').click();
  await windowGone(page, albums);
  return windowFrame(page, '图片上传中', 30_000);
}

// Waits for the upload dialog to report every picture sent, then closes it.
export async function finishUpload(page, upload) {
  await until(() => upload.locator('#info_upload').textContent().catch(() => ''),
    (text) => text.startsWith('所有图片已上传成功'), 'the end of the upload', 120_000);
  await upload.locator('#btn_cmpl').click();
  await windowGone(page, upload);
}

// The stored paths uploadedImg.dat lists, read as the next start reads it.
export function registryPaths(programDir) {
  const bytes = fs.readFileSync(path.join(programDir, 'uploadedImg.dat'));
  assert.deepEqual([...bytes.subarray(0, 2)], [0xff, 0xfe], 'uploadedImg.dat starts with its mark');
  const text = bytes.subarray(2).toString('utf16le');
  assert.ok(text === '' || text.endsWith('\r\n'), 'every line of uploadedImg.dat ends with CR LF');
  return text.split('\r\n').filter(Boolean);
}
