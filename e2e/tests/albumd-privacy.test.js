// A question album shared the way a user shares it: the program uploads two real photographs into
// a new album visible to those who answer its question, 复制链接 copies the first picture's
// address, and a fresh browser that opens that address is asked the question, refused a wrong
// answer, shown the picture after the right one (any case, spaces around it), steps through the
// album with the arrow keys, opens the original with a click and sees the album's thumbnail grid
// and the public index; a browser that never answered gets neither the page nor the file.
// Screenshots of the question page, the picture page, the album and the index go to /tmp (and to
// TAVOPIX_SCREENSHOTS when it names a folder).
//
// Needs TAVOPIX_PHOTOS (the folder scripts/get-photos.sh fills; the test command sets it).

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { openBrowser, windowFrame } from '../lib/browser.js';
import { addAlbumdUser, until, utf16File, windowGone } from '../lib/flows.js';
import { startProgram } from '../lib/program.js';

const PHOTOS = process.env.TAVOPIX_PHOTOS;
const TIMEOUT = { timeout: 240_000, skip: PHOTOS ? false : 'TAVOPIX_PHOTOS is not set' };
const USER = 'family';
const PASSWORD = 'family-pass-1';
const QUESTION = '我们家的猫叫什么名字?';

async function shoot(page, name) {
  await page.screenshot({ path: `/tmp/albumd-${name}.png` });
  const dir = process.env.TAVOPIX_SCREENSHOTS;
  if (dir) await page.screenshot({ path: path.join(dir, `albumd-${name}.png`) });
}

// Whether every image of the page matched by `selector` has loaded with pixels.
const imagesLoaded = (page, selector) => page.locator(selector).evaluateAll(
  (images) => images.length > 0 && images.every((image) => image.complete && image.naturalWidth > 0));

test('a question album\'s copied link asks its question in a fresh browser', TIMEOUT, async () => {
  const program = await startProgram({
    service: true,
    beforeStart: ({ home, programDir }) => {
      addAlbumdUser(programDir, USER, PASSWORD);
      const folder = path.join(home, 'Pictures', 'Cat');
      fs.mkdirSync(folder, { recursive: true });
      const real = path.join(PHOTOS, 'real');
      const jpegs = fs.readdirSync(real).filter((n) => /\.jpe?g$/i.test(n)).sort().slice(0, 2);
      jpegs.forEach((name, i) => fs.copyFileSync(path.join(real, name), path.join(folder, `cat-${i + 1}.jpg`)));
      fs.writeFileSync(path.join(programDir, 'SetPathCfg.dat'), utf16File('%mypic%Cat/\n'));
    },
  });
  let owner;
  let visitor;
  let stranger;
  try {
    // The owner uploads both pictures into a new question album and copies the first one's link.
    owner = await openBrowser({ width: 1280, height: 860 });
    await owner.context.grantPermissions(['clipboard-read', 'clipboard-write']);
    const { page } = owner;
    await page.goto(program.url);
    const main = await windowFrame(page, 'Tavopix');
    const folder = main.locator('#tree_view caption[path="%mypic%Cat/"] .cp');
    await folder.waitFor({ timeout: 60_000 });
    await folder.click();
    const cells = main.locator('#photo_list > .loc');
    await until(() => cells.count(), (n) => n === 2, 'the two pictures', 60_000);
    await cells.nth(0).locator('picture').click();
    await cells.nth(1).locator('picture').click({ modifiers: ['Shift'] });
    await main.locator('#btn_upload').click();
    const login = await windowFrame(page, '用户登入');
    await login.locator('#username').fill(USER);
    await login.locator('#pswd').fill(PASSWORD);
    await login.locator('#btn_login').click();
    await windowGone(page, login);
    const albums = await windowFrame(page, '选择相册开始上传');
    await albums.locator('#create_album').waitFor({ state: 'visible' });
    await until(() => albums.locator('#info').textContent(), (text) => text === '', 'the album list');
    await albums.locator('#create_album').click();
    await albums.locator('#tp_qa').click();
    await albums.locator('#quest').waitFor({ state: 'visible' });
    await albums.locator('#albname').fill('小猫');
    await albums.locator('#albdesc').fill('家里的猫, 只给认识它的人看。');
    await albums.locator('#quest').fill(QUESTION);
    await albums.locator('#answer').fill('Mimi');
    await albums.locator('#btn_upload').click();
    await windowGone(page, albums);
    const upload = await windowFrame(page, '图片上传中', 30_000);
    await until(() => upload.locator('#info_upload').textContent(), (text) => text.startsWith('所有图片已上传成功'),
      'the end of the upload', 120_000);
    const links = upload.locator('.txt_link');
    await until(() => links.count(), (n) => n === 2, 'both links');
    // The done list shows the last picture first: the first picture's link is the last one.
    await links.last().click();
    const link = await until(() => page.evaluate(() => navigator.clipboard.readText()),
      (text) => /^http:\/\/127\.0\.0\.1:\d+\/u\/family\/\d+\/\d+$/.test(text), 'the copied link');
    assert.equal(link, await links.last().getAttribute('url'));
    const album = link.slice(0, link.lastIndexOf('/'));

    // A fresh browser opening the link is asked the question.
    visitor = await openBrowser({ width: 800, height: 600 });
    const tab = visitor.page;
    await tab.goto(link);
    await tab.getByRole('heading', { name: '回答问题后查看' }).waitFor();
    assert.equal(await tab.locator('.question').textContent(), QUESTION);
    assert.equal(await tab.locator('img').count(), 0);
    await shoot(tab, 'question');
    // A wrong answer is refused; the right one, typed with other letter case and spaces, opens.
    await tab.keyboard.type('Tom');
    await tab.keyboard.press('Enter');
    await tab.locator('.error', { hasText: '答案不对' }).waitFor();
    await tab.locator('#answer').focus();
    await tab.keyboard.type(' mimi ');
    await tab.keyboard.press('Enter');
    await tab.waitForURL(link);
    await until(() => imagesLoaded(tab, '.viewer img'), (loaded) => loaded, 'the picture');
    assert.equal(await tab.locator('a[rel=prev]').count(), 0);
    await shoot(tab, 'photo');

    // The arrow keys step through the album; the original is a click away.
    await tab.keyboard.press('ArrowRight');
    await tab.waitForURL((url) => url.href !== link && url.href.startsWith(`${album}/`));
    await until(() => imagesLoaded(tab, '.viewer img'), (loaded) => loaded, 'the second picture');
    await tab.keyboard.press('ArrowLeft');
    await tab.waitForURL(link);
    const [original] = await Promise.all([tab.waitForResponse((r) => r.url().includes('/photos/')),
      tab.locator('.viewer .frame').click()]);
    assert.equal(original.status(), 200);
    assert.equal(original.headers()['content-type'], 'image/jpeg');
    const fileAddress = original.url();

    // The album's grid of thumbnails, and the index, which now lists the album for this browser.
    await tab.goto(album);
    await until(() => imagesLoaded(tab, 'figure.photo img'), (loaded) => loaded, 'the thumbnails');
    const thumbnailWidths = await tab.locator('figure.photo img').evaluateAll((all) => all.map((i) => i.naturalWidth));
    assert.equal(thumbnailWidths.length, 2);
    assert.ok(thumbnailWidths.every((w) => w > 0 && w <= 480), `thumbnails ${thumbnailWidths}`);
    await shoot(tab, 'album');
    await tab.goto(album.slice(0, album.indexOf('/u/') + 1));
    await tab.locator('a.album', { hasText: '小猫' }).waitFor();
    await until(() => imagesLoaded(tab, 'a.album img'), (loaded) => loaded, 'the index covers');
    await shoot(tab, 'index');

    // Another browser that did not answer gets neither the page nor the file.
    stranger = await openBrowser({ width: 800, height: 600 });
    const refused = await stranger.page.goto(fileAddress);
    assert.equal(refused.status(), 403);
    const page403 = await stranger.page.goto(link);
    assert.equal(page403.status(), 403);
    await stranger.page.getByText(QUESTION).waitFor();
  } catch (error) {
    if (visitor) await visitor.page.screenshot({ path: '/tmp/albumd-privacy-failure.png' }).catch(() => {});
    error.message += `\n--- program stderr ---\n${program.stderr()}`;
    throw error;
  } finally {
    await stranger?.close();
    await visitor?.close();
    await owner?.close();
    await program.stop();
  }
});
