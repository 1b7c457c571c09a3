// The album dialog in headless Chromium, reached the way a user reaches it: a picture chosen in
// the grid and the upload button, which asks for a login first. An album with privacy 3 and a
// question is created under an awkward name, and the next upload lists it whole. The dialog's
// heights follow its views.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { openBrowser, screenshot, windowFrame } from '../lib/browser.js';
import { addAlbumdUser, until, utf16File, windowGone } from '../lib/flows.js';
import { startProgram } from '../lib/program.js';

const TIMEOUT = { timeout: 240_000 };
const USER = 'album_user';
const PASSWORD = 'album-pass-1';
const NAME = 'Tom "Jerry" & <Co> 相册';

const heightOf = (frame) => frame.evaluate(() => window.innerHeight);

test('an album with a question is created from the upload and listed whole next time', TIMEOUT, async (t) => {
  const photos = process.env.TAVOPIX_PHOTOS;
  if (!photos) {
    t.skip('TAVOPIX_PHOTOS is not set');
    return;
  }
  const program = await startProgram({
    service: true,
    beforeStart: ({ home, programDir }) => {
      addAlbumdUser(programDir, USER, PASSWORD);
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
    await windowGone(page, login, 60_000);

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
    await screenshot(page, 'album-create.png');
    await albums.locator('#btn_upload').click();
    await windowGone(page, albums, 60_000);

    // The upload runs into the new album; its dialog is closed when it is done.
    const upload = await windowFrame(page, '图片上传中', 30_000);
    await until(() => upload.locator('#info_upload').textContent(), (text) => /^(上传完成|所有图片已上传成功)/.test(text),
      'the end of the upload', 120_000);
    await upload.locator('#btn_cmpl').click();
    await windowGone(page, upload, 60_000);

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
    await screenshot(page, 'album-list.png');
    await albums.locator('#album_list').click();
    await albums.locator('#album_list').focus();
    await page.keyboard.press('Escape');
    await windowGone(page, albums, 60_000);
  } catch (error) {
    if (browser) await screenshot(browser.page, 'account-album-failure.png');
    error.message += `\n--- program stderr ---\n${program.stderr()}`;
    throw error;
  } finally {
    await browser?.close();
    await program.stop();
  }
});
