// The album dialog in headless Chromium, reached the way a user reaches it: a picture chosen in
// the grid and the upload button, which asks for a login first. An album with privacy 3 and a
// question is created under an awkward name, and the next upload lists it whole. The dialog's
// heights follow its views.

import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { openBrowser, windowFrame } from '../lib/browser.js';
import { buildDir, startProgram } from '../lib/program.js';

const TIMEOUT = { timeout: 240_000 };
const USER = 'album_user';
const PASSWORD = 'album-pass-1';
const NAME = 'Tom "Jerry" & <Co> 相册';

function utf16File(text) {
  return Buffer.concat([Buffer.from([0xff, 0xfe]), Buffer.from(text, 'utf16le')]);
}

async function until(read, done, what, timeout = 30_000) {
  const deadline = Date.now() + timeout;
  let value;
  while (Date.now() < deadline) {
    value = await read();
    if (done(value)) return value;
    await new Promise((r) => setTimeout(r, 50));
  }
  throw new Error(`${what}: still ${JSON.stringify(value)} after ${timeout} ms`);
}

async function shoot(page, name) {
  const dir = process.env.TAVOPIX_SCREENSHOTS;
  if (dir) await page.screenshot({ path: path.join(dir, `${name}.png`) });
}

const heightOf = (frame) => frame.evaluate(() => window.innerHeight);

async function gone(page, frame) {
  await until(() => page.frames().includes(frame), (present) => !present, 'the dialog closing', 60_000);
}

test('an album with a question is created from the upload and listed whole next time', TIMEOUT, async (t) => {
  const photos = process.env.TAVOPIX_PHOTOS;
  if (!photos) {
    t.skip('TAVOPIX_PHOTOS is not set');
    return;
  }
  const program = await startProgram({
    service: true,
    beforeStart: ({ home, programDir }) => {
      const albumd = process.env.TAVOPIX_ALBUMD ?? path.join(buildDir(), 'bin', 'albumd');
      execFileSync(albumd, ['--data', path.join(path.dirname(programDir), 'albumd-data'), 'user', 'add', USER],
        { input: `${PASSWORD}\n`, stdio: ['pipe', 'ignore', 'pipe'] });
      const folder = path.join(home, 'Pictures', 'Album');
      fs.mkdirSync(folder, { recursive: true });
      const real = path.join(photos, 'real');
      const jpeg = fs.readdirSync(real).filter((n) => /\.jpg$/i.test(n)).sort()[0];
      fs.copyFileSync(path.join(real, jpeg), path.join(folder, 'one.jpg'));
      // A sub-folder makes "Album" a branch of the tree, shown under the expanded 图片收藏.
      fs.mkdirSync(path.join(folder, 'sub'));
      fs.copyFileSync(path.join(real, jpeg), path.join(folder, 'sub', 'two.jpg'));
      fs.writeFileSync(path.join(programDir, 'SetPathCfg.dat'), utf16File('%mypic%Album/\n'));
    },
  });
  let browser;
  try {
    browser = await openBrowser({ width: 1280, height: 860 });
    const { page } = browser;
    await page.goto(program.url);
    const main = await windowFrame(page, 'Tavopix');
    const folder = main.locator('#tree_view caption[path="%mypic%Album/"] .cp');
    await folder.waitFor({ timeout: 60_000 });
    await folder.click();
    const cell = main.locator('#photo_list > .loc').first();
    await cell.waitFor({ timeout: 60_000 });
    await cell.locator('picture').click();
    await main.locator('#btn_upload').click();

    const login = await windowFrame(page, '用户登入');
    await login.locator('#username').fill(USER);
    await login.locator('#pswd').fill(PASSWORD);
    await login.locator('#btn_login').click();
    await gone(page, login);

    // The list view, then the create view with and without the question.
    let albums = await windowFrame(page, '选择相册开始上传');
    await albums.locator('#create_album').waitFor({ state: 'visible' });
    await until(() => albums.locator('#info').textContent(), (text) => text === '', 'the album list');
    assert.equal(await heightOf(albums), 215);
    await albums.locator('#create_album').click();
    await until(() => heightOf(albums), (h) => h === 350, 'the create view');
    await albums.locator('#tp_qa').click();
    await until(() => heightOf(albums), (h) => h === 425, 'the create view with the question');
    await albums.locator('#albname').fill(NAME);
    await albums.locator('#albdesc').fill('第一行\n<b>第二行</b> \\ "引号"');
    await albums.locator('#quest').fill('猫叫"什么"?');
    await albums.locator('#answer').fill('<咪咪> & \\');
    await shoot(page, 'album-create');
    await albums.locator('#btn_upload').click();
    await gone(page, albums);

    // The upload runs into the new album; its dialog is closed when it is done.
    const upload = await windowFrame(page, '图片上传中', 30_000);
    await until(() => upload.locator('#info_upload').textContent(), (text) => /^(上传完成|所有图片已上传成功)/.test(text),
      'the end of the upload', 120_000);
    await upload.locator('#btn_cmpl').click();
    await gone(page, upload);

    // The next upload lists the album under its whole name.
    await cell.locator('picture').click();
    await main.locator('#btn_upload').click();
    albums = await windowFrame(page, '选择相册开始上传');
    await until(() => albums.locator('#album_list caption').textContent(), (text) => text === NAME, 'the listed album');
    assert.equal(await albums.locator('#album_list option').count(), 1);
    assert.equal(await albums.locator('#album_list option').first().textContent(), NAME);
    assert.match(await albums.locator('#album_list caption').getAttribute('aid'), /^\d+$/);
    await albums.locator('#album_list').click();
    await albums.locator('#album_list popup').waitFor({ state: 'visible' });
    await shoot(page, 'album-list');
    await albums.locator('#album_list').click();
    await albums.locator('#album_list').focus();
    await page.keyboard.press('Escape');
    await gone(page, albums);
  } catch (error) {
    if (browser) await shoot(browser.page, 'account-album-failure');
    error.message += `\n--- program stderr ---\n${program.stderr()}`;
    throw error;
  } finally {
    await browser?.close();
    await program.stop();
  }
});
