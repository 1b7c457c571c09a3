// The typical upload end to end in headless Chromium, with real photos and a real albumd: a new
// user's first start (folder dialog, the tree growing, thumbnails, three pictures chosen, an
// account registered on albumd's page, a new album, the upload dialog, the uploaded flags and
// view, albumd's album page) and the next start (tree from the cache, login from the ticket, the
// registry's file); the question before a folder upload of more than 100 pictures; kill -9 at
// seeded moments of that flow never leaves a data file the next start cannot read.
//
// Needs TAVOPIX_PHOTOS (the folder scripts/get-photos.sh fills; the test command sets it).

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { exitWithin, openBrowser, windowFrame } from '../lib/browser.js';
import {
  addAlbumdUser, chooseFolders, createAlbum, finishUpload, folderCaption, linkPhotos, logIn, passingPhotos,
  registerFromLogin, registryPaths, seededRandom, until, utf16File, windowGone,
} from '../lib/flows.js';
import { startProgram } from '../lib/program.js';
import { withProgram } from '../lib/session.js';

const PHOTOS = process.env.TAVOPIX_PHOTOS;
const TIMEOUT = { timeout: 240_000, skip: PHOTOS ? false : 'TAVOPIX_PHOTOS is not set' };
const USER = 'new_user';
const PASSWORD = 'photo-pass-1';
const KILL_SEED = 20261208;

const cells = (main) => main.locator('#photo_list > .loc');
const cellPaths = (locator) => locator.evaluateAll((all) => all.map((cell) => cell.getAttribute('path')));
const flagged = (main) => main.locator('#photo_list > .loc:has(> p.uped)');
const DATA_FILES = ['SetPathCfg.dat', 'searchPathCache.dat', 'uploadedImg.dat', 'UserInfo.dat', 'ImgFilterCfg.dat'];

test('the typical upload as a new user does it, and the next start', TIMEOUT, async () => {
  const photos = passingPhotos(PHOTOS);
  const program = await startProgram({
    service: true,
    beforeStart: ({ home }) => linkPhotos(photos, path.join(home, 'Pictures/Photos')),
  });
  const file = (name) => path.join(program.programDir, name);
  let browser;
  let second;
  try {
    browser = await openBrowser({ width: 1280, height: 860 });
    const { page } = browser;
    await page.goto(program.url);

    // A first start: no data files, so the folder dialog asks; the tree grows with the count.
    // (The main window writes the default filter, ImgFilterCfg.dat, as it is made.)
    for (const name of DATA_FILES.filter((n) => n !== 'ImgFilterCfg.dat')) {
      assert.equal(fs.existsSync(file(name)), false, name);
    }
    await chooseFolders(page, ['Photos']);
    const main = await windowFrame(page, 'Tavopix');
    const photosNode = folderCaption(main, '%mypic%Photos/');
    await until(() => photosNode.locator('.num').textContent().catch(() => null),
      (t) => t === `(${photos.length})`, 'the count of the photo folder');

    // The folder's thumbnails; three pictures chosen by a click and a Shift-click.
    await photosNode.locator('.cp').click();
    await until(() => main.locator('#photo_list > .loc picture[src]').count(), (n) => n === photos.length,
      'the thumbnails', 60_000);
    await cells(main).nth(1).locator('picture').click();
    await cells(main).nth(3).locator('picture').click({ modifiers: ['Shift'] });
    const selected = main.locator('#photo_list > .loc[sel="true"]');
    await until(() => selected.count(), (n) => n === 3, 'three selected');
    const chosen = (await cellPaths(selected)).sort();

    // Upload: a login first, with an account registered on albumd's own page; a new album.
    await main.locator('#btn_upload').click();
    const login = await windowFrame(page, '用户登入');
    const tab = await registerFromLogin(browser.context, login, USER, PASSWORD);
    await logIn(page, USER, PASSWORD);
    await finishUpload(page, await createAlbum(page, '春天 & "旅行"'));

    // The three cells carry the flag; the uploaded view lists exactly them.
    await until(() => flagged(main).count(), (n) => n === 3, 'the uploaded flags');
    assert.deepEqual((await cellPaths(flagged(main))).sort(), chosen);
    await main.locator('#op_uped .cp').click();
    await until(() => cells(main).count(), (n) => n === 3, 'the uploaded view');
    assert.deepEqual((await cellPaths(cells(main))).sort(), chosen);
    assert.equal(await main.locator('#op_uped .num').textContent(), '(3)');

    // albumd's album page shows the three pictures.
    await tab.goto(`${program.albumdAddress}u/${USER}`);
    await tab.locator('a.album').first().click();
    await until(() => tab.locator('figure.photo img').count(), (n) => n === 3, 'the pictures on the album page');
    await tab.close();

    await main.locator('#hsk_btn_close').click();
    assert.equal((await exitWithin(program.exited)).code, 2);
    assert.deepEqual(registryPaths(program.programDir).sort(), chosen);

    // The next start: the tree from the cache (a count only the cache holds stays), the login
    // from the ticket, the flags from the registry.
    fs.writeFileSync(file('searchPathCache.dat'), utf16File('"%mypic%Photos/" 99\r\n'));
    second = await program.restart();
    await page.goto(second.url);
    const again = await windowFrame(page, 'Tavopix');
    await until(() => folderCaption(again, '%mypic%Photos/').locator('.num').textContent().catch(() => null),
      (t) => t === '(99)', 'the tree from the cache');
    assert.equal(await again.locator('#op_uped .num').textContent(), '(3)');
    await folderCaption(again, '%mypic%Photos/').locator('.cp').click();
    await until(() => flagged(again).count(), (n) => n === 3, 'the flags after the restart');
    // An upload needs no login dialog: the ticket logs in and the album dialog comes at once.
    await cells(again).first().locator('picture').click();
    await again.locator('#btn_upload').click();
    const albums = await windowFrame(page, '选择相册开始上传');
    assert.equal(await again.locator('#username_hint').textContent(), `${USER} (已登录)`);
    await albums.locator('#btn_cancel').click();
    await windowGone(page, albums);
    await again.locator('#hsk_btn_close').click();
    assert.equal((await exitWithin(second.exited)).code, 2);
    assert.deepEqual(registryPaths(program.programDir).sort(), chosen);
  } catch (error) {
    if (process.env.TAVOPIX_SCREENSHOTS) await browser?.page.screenshot({ path: path.join(process.env.TAVOPIX_SCREENSHOTS, 'typical-failure.png') });
    error.message += `\n--- program stderr ---\n${program.stderr()}${second ? second.stderr() : ''}`;
    throw error;
  } finally {
    await browser?.close();
    await program.stop();
  }
});

test('a folder upload of 101 pictures asks first and 取消 ends it; 100 pictures do not ask', TIMEOUT, async () => {
  const [photo] = passingPhotos(PHOTOS);
  const copies = (count) => new Array(count).fill(photo);
  const name = (i) => `p${String(i).padStart(3, '0')}.jpg`;
  await withProgram({
    service: true,
    beforeStart: ({ home, programDir }) => {
      linkPhotos(copies(100), path.join(home, 'Pictures/Many100'), name);
      linkPhotos(copies(101), path.join(home, 'Pictures/Many101'), name);
      fs.writeFileSync(path.join(programDir, 'SetPathCfg.dat'), utf16File('%mypic%Many100/\n%mypic%Many101/\n'));
    },
  }, async (program, page) => {
    const main = await windowFrame(page, 'Tavopix');
    const uploadFolder = async (folder) => {
      const node = folderCaption(main, `%mypic%${folder}/`);
      await until(() => node.locator('.num').textContent().catch(() => null), (t) => t !== null, `the folder ${folder}`);
      await node.locator('.cp').click({ button: 'right' });
      const entry = main.locator('#tv_cmenu #tvmu_upload');
      await entry.waitFor({ state: 'visible', timeout: 5000 });
      await until(() => entry.getAttribute('hl-disabled'), (v) => v === null, 'tvmu_upload enabled');
      await entry.click();
    };

    await uploadFolder('Many101');
    const question = await windowFrame(page, '提示');
    assert.equal(await question.locator('#text_div').textContent(), '所选目录图片超过100张, 确定要一次性上传这些图片吗?');
    await question.locator('button.hsk_btn[value="取消"]').click();
    await windowGone(page, question);

    // 取消 ended the command: the next folder's upload goes straight to the login.
    await uploadFolder('Many100');
    const login = await windowFrame(page, '用户登入');
    assert.equal(page.frames().filter((f) => f !== page.mainFrame()).length, 2, 'only the main window and the login');
    await login.locator('#btn_cancel').click();
    await windowGone(page, login);
  }, { width: 1100, height: 760 });
});

// Every data file as the next start reads it: whole UTF-16 text with its mark and whole lines
// (the filter is a 20-byte record), and no temporary file left beside them.
function assertDataFilesWhole(programDir) {
  for (const name of [...DATA_FILES, 'tavopix.ini']) {
    const file = path.join(programDir, name);
    if (!fs.existsSync(file)) continue;
    const bytes = fs.readFileSync(file);
    if (name === 'ImgFilterCfg.dat') {
      assert.equal(bytes.length, 20, name);
      continue;
    }
    if (name === 'UserInfo.dat') {
      assert.ok(bytes.length > 0, name);
      continue;
    }
    assert.deepEqual([...bytes.subarray(0, 2)], [0xff, 0xfe], `${name} starts with its mark`);
    assert.equal(bytes.length % 2, 0, `${name} holds whole UTF-16 units`);
    const text = bytes.subarray(2).toString('utf16le');
    assert.ok(text === '' || text.endsWith('\n'), `${name} ends with a whole line`);
  }
  assert.deepEqual(fs.readdirSync(programDir).filter((n) => /\.(tmp|new|part)$/.test(n)), [], 'temporary files');
}

test('kill -9 during the search, the thumbnails and an upload leaves files the next start reads', TIMEOUT, async () => {
  const random = seededRandom(KILL_SEED);
  const photos = passingPhotos(PHOTOS);
  const name = (i, file) => `p${String(i).padStart(3, '0')}${path.extname(file)}`;
  const program = await startProgram({
    service: true,
    beforeStart: ({ home, programDir }) => {
      // Enough folders for the search to be caught running.
      for (let i = 0; i < 120; i++) linkPhotos(photos, path.join(home, `Pictures/Trip${i}`), name);
      linkPhotos(new Array(40).fill(photos).flat().slice(0, 40), path.join(home, 'Pictures/Big'), name);
      fs.writeFileSync(path.join(programDir, 'SetPathCfg.dat'), utf16File('%mypic%\n'));
      addAlbumdUser(programDir, USER, PASSWORD);
    },
  });
  let browser;
  let run = program;
  const big = (main) => folderCaption(main, '%mypic%Big/');
  // Kills the program after a seeded wait of up to `spreadMs`, checks the files and starts again.
  const killAfter = async (spreadMs) => {
    const wait = Math.floor(random() * spreadMs);
    await new Promise((r) => setTimeout(r, wait));
    run.kill('SIGKILL');
    assert.equal((await run.exited).signal, 'SIGKILL');
    assertDataFilesWhole(program.programDir);
    run = await program.restart();
    await browser.page.goto(run.url);
    const main = await windowFrame(browser.page, 'Tavopix');
    await until(() => big(main).count(), (n) => n === 1, 'the tree after the restart', 60_000);
    return main;
  };
  const openBig = async (main) => {
    await big(main).locator('.cp').click();
    await until(() => cells(main).count(), (n) => n === 40, 'the grid');
  };
  try {
    browser = await openBrowser({ width: 1100, height: 760 });
    const { page } = browser;
    await page.goto(program.url);
    await windowFrame(page, 'Tavopix');
    // During the search, which starts with the window.
    let main = await killAfter(400);
    // During the thumbnails of the opened folder.
    await openBig(main);
    main = await killAfter(300);
    // During an upload of the folder's pictures.
    await openBig(main);
    await cells(main).first().locator('picture').click();
    await cells(main).nth(11).locator('picture').click({ modifiers: ['Shift'] });
    await until(() => main.locator('#photo_list > .loc[sel="true"]').count(), (n) => n === 12, 'twelve selected');
    await main.locator('#btn_upload').click();
    await logIn(page, USER, PASSWORD);
    const upload = await createAlbum(page, 'kill');
    const sent = 1 + Math.floor(random() * 5);
    await until(() => upload.locator('#done_list > *').count().catch(() => 0), (n) => n >= sent, 'pictures sent', 120_000);
    main = await killAfter(200);
    // The upload that was cut off is offered at the next start; given up here.
    const offer = await windowFrame(page, '继续上传', 30_000);
    await offer.locator('button.hsk_btn[value="放弃"]').click();
    await windowGone(page, offer);

    // The next start works: the tree, the registry's count, a clean close.
    const stored = fs.existsSync(path.join(program.programDir, 'uploadedImg.dat')) ? registryPaths(program.programDir) : [];
    for (const entry of stored) assert.match(entry, /^%mypic%Big\/p\d{3}\.jpe?g$/);
    assert.equal(await main.locator('#op_uped .num').textContent(), `(${stored.length})`);
    await main.locator('#hsk_btn_close').click();
    assert.equal((await exitWithin(run.exited)).code, 2);
    assertDataFilesWhole(program.programDir);
  } catch (error) {
    error.message += `\n--- program stderr ---\n${run.stderr()}`;
    throw error;
  } finally {
    await browser?.close();
    await program.stop();
  }
});
