// The folder side of the real program in headless Chromium: the first start without chosen
// folders opens the folder dialog; folders of real photos are checked there; the tree grows with
// counts and the search's cache is written; the next start shows the tree from the cache without
// searching; the list view and back; opening a folder shows its pictures' thumbnails.
//
// Needs TAVOPIX_PHOTOS (the folder scripts/get-photos.sh fills; the test command sets it).
// TAVOPIX_SCREENSHOTS, when set, names a folder for screenshots of the dialog and the tree.

import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';
import { test } from 'node:test';
import { exitWithin, openBrowser, screenshot, windowFrame } from '../lib/browser.js';
import { folderCaption, pressIcon, until, utf16File } from '../lib/flows.js';
import { startProgram } from '../lib/program.js';

const PHOTOS = process.env.TAVOPIX_PHOTOS;
const TIMEOUT = { timeout: 180_000, skip: PHOTOS ? false : 'TAVOPIX_PHOTOS is not set' };

// The pictures the start filter passes (JPEG, 20 KB to 50 MB) among the files of `folder`.
function passing(folder) {
  return fs.readdirSync(folder).filter((name) => {
    const size = fs.statSync(path.join(folder, name)).size;
    return /\.jpe?g$/i.test(name) && size >= 20480 && size <= 52428800;
  }).length;
}

function copyFolder(from, to) {
  fs.mkdirSync(to, { recursive: true });
  for (const name of fs.readdirSync(from)) fs.copyFileSync(path.join(from, name), path.join(to, name));
}

// Opens the collapsed branch Trips by its expander; the page builds a branch's folders when it
// is opened, with their counts as they are by then.
async function openTrips(main) {
  const trips = main.locator('#tree_view options:has(> caption[path="%mypic%Trips/"])');
  if ((await trips.getAttribute('hl-expanded')) === null) {
    await folderCaption(main, '%mypic%Trips/').click({ position: { x: 8, y: 12 } });
  }
  await folderCaption(main, '%mypic%Trips/Spring/').waitFor({ state: 'attached' });
}

// The program once more in the same program folder, as a user starts it again.
async function restart(programDir, home) {
  const child = spawn(path.join(programDir, 'tavopix'), [], {
    cwd: programDir,
    stdio: ['ignore', 'pipe', 'pipe'],
    env: { ...process.env, HOME: home, XDG_CONFIG_HOME: path.join(home, '.config') },
  });
  const exited = new Promise((resolve) => child.once('exit', (code, signal) => resolve({ code, signal })));
  const url = await new Promise((resolve, reject) => {
    const lines = readline.createInterface({ input: child.stdout });
    lines.on('line', (line) => {
      const m = /^Tavopix UI: (http:\/\/\S+)$/.exec(line);
      if (m) resolve(m[1]);
    });
    child.once('exit', () => reject(new Error('the program ended before printing its address')));
  });
  child.stdout.resume();
  child.stderr.resume();
  return { url, exited, kill: () => child.kill('SIGKILL') };
}

test('folders chosen in the dialog grow the tree, which the next start shows from the cache', TIMEOUT, async () => {
  let home;
  const program = await startProgram({
    service: true,
    beforeStart: ({ home: userHome }) => {
      home = userHome;
      copyFolder(path.join(PHOTOS, 'real'), path.join(home, 'Pictures/Trips/Spring'));
      copyFolder(path.join(PHOTOS, 'baseline'), path.join(home, 'Pictures/Trips/Autumn'));
      fs.mkdirSync(path.join(home, 'Pictures/Trips/Empty & <odd> "名字"'), { recursive: true });
    },
  });
  const spring = passing(path.join(home, 'Pictures/Trips/Spring'));
  const autumn = passing(path.join(home, 'Pictures/Trips/Autumn'));
  const programFile = (name) => path.join(program.programDir, name);
  let browser;
  let second;
  try {
    browser = await openBrowser({ width: 1400, height: 900 });
    const { page } = browser;
    await page.goto(program.url);

    // No SetPathCfg.dat: the search asks for folders.
    assert.equal(fs.existsSync(programFile('SetPathCfg.dat')), false);
    const dialog = await windowFrame(page, '设置目录');
    const top = dialog.locator('#ele_tree_path > [path]');
    await until(() => top.count(), (n) => n >= 4, 'the top level of the dialog tree');
    assert.deepEqual((await top.allTextContents()).slice(0, 3), ['桌面', '我的文档', '图片收藏']);
    assert.deepEqual(await top.evaluateAll((nodes) => [...new Set(nodes.map((n) => n.getAttribute('check')))]), ['off']);

    await pressIcon(dialog, '%mypic%', 'expander');
    await dialog.locator('[path="%mypic%Trips/"]').waitFor();
    await pressIcon(dialog, '%mypic%Trips/', 'expander');
    await dialog.locator('[path="%mypic%Trips/Spring/"]').waitFor();
    // The odd name shows as text.
    assert.equal(await dialog.locator('[path="%mypic%Trips/Empty & <odd> \\"名字\\"/"] > caption').textContent(),
      'Empty & <odd> "名字"');
    await pressIcon(dialog, '%mypic%Trips/Spring/', 'box');
    await pressIcon(dialog, '%mypic%Trips/Autumn/', 'box');
    await until(() => dialog.locator('[path="%mypic%Trips/"]').getAttribute('check'), (c) => c === 'mixed',
      'the parent of two of three checked folders');
    assert.equal(await dialog.locator('[path="%mypic%"]').getAttribute('check'), 'mixed');
    await screenshot(page, 'folder-dialog.png');
    await dialog.locator('#btn_ok').click();

    // The files, byte for byte: sorted LF-only folders, the 20-byte filter.
    await until(() => fs.existsSync(programFile('SetPathCfg.dat')), Boolean, 'SetPathCfg.dat');
    assert.deepEqual(fs.readFileSync(programFile('SetPathCfg.dat')),
      utf16File('%mypic%Trips/Autumn/\n%mypic%Trips/Spring/\n'));
    assert.deepEqual([...fs.readFileSync(programFile('ImgFilterCfg.dat'))],
      [1, 0, 0, 0, 6, 0, 0, 0, ...new Array(12).fill(0)]);

    // The tree grows with its counts, and the finished search writes its cache.
    const main = await windowFrame(page, 'Tavopix');
    await until(() => folderCaption(main, '%mypic%').locator('.num').textContent().catch(() => null),
      (t) => t === `(${spring + autumn})`, 'the count of 图片收藏');
    await openTrips(main);
    assert.equal(await folderCaption(main, '%mypic%Trips/Spring/').locator('.num').textContent(), `(${spring})`);
    assert.equal(await folderCaption(main, '%mypic%Trips/Autumn/').locator('.tl').textContent(), 'Autumn');
    const cacheBytes = utf16File(`"%mypic%Trips/Autumn/" ${autumn}\r\n"%mypic%Trips/Spring/" ${spring}\r\n`);
    await until(() => fs.existsSync(programFile('searchPathCache.dat')) && fs.readFileSync(programFile('searchPathCache.dat')),
      (bytes) => bytes && bytes.equals(cacheBytes), 'searchPathCache.dat');
    await screenshot(page, 'folder-tree.png');

    await main.locator('#hsk_btn_close').click();
    assert.equal((await exitWithin(program.exited)).code, 2);

    // The next start shows what the cache says, without searching: a count only the cache holds
    // stays.
    fs.writeFileSync(programFile('searchPathCache.dat'),
      utf16File(`"%mypic%Trips/Autumn/" ${autumn}\r\n"%mypic%Trips/Spring/" 99\r\n`));
    second = await restart(program.programDir, home);
    await page.goto(second.url);
    const again = await windowFrame(page, 'Tavopix');
    await openTrips(again);
    assert.equal(await folderCaption(again, '%mypic%Trips/Spring/').locator('.num').textContent(), '(99)');
    await page.waitForTimeout(1500);
    assert.equal(await folderCaption(again, '%mypic%Trips/Spring/').locator('.num').textContent(), '(99)');

    // The list view: one flat node per folder with pictures; and back to the tree.
    await again.locator('#btn_view_list').click();
    await until(() => again.locator('#tree_view > :is(option, tvx-option)').count(), (n) => n === 2, 'the list view');
    assert.equal(await again.locator('#tree_view options').count(), 0);
    assert.equal(await again.locator('#btn_view_list').getAttribute('sel'), 'true');
    await screenshot(page, 'folder-list.png');
    await again.locator('#btn_view_tree').click();
    await until(() => again.locator('#tree_view > options').count(), (n) => n === 1, 'the tree view');
    await openTrips(again);

    // Opening a folder lists it (its count is refreshed) and its thumbnails appear.
    await folderCaption(again, '%mypic%Trips/Spring/').locator('.cp').click();
    await until(() => folderCaption(again, '%mypic%Trips/Spring/').locator('.num').textContent(),
      (t) => t === `(${spring})`, 'the count after listing the folder');
    assert.equal(await folderCaption(again, '%mypic%Trips/Spring/').locator('.cp').getAttribute('sel'), 'true');
    await until(() => again.locator('#photo_list > *').count(), (n) => n === spring, 'the grid cells');
    // The page shows a picture as its background: its source must load as an image.
    await until(() => again.locator('#photo_list picture[src]').evaluateAll(async (pictures) => {
      let loaded = 0;
      for (const picture of pictures.slice(0, 4)) {
        const image = new Image();
        image.src = picture.getAttribute('src');
        loaded += await image.decode().then(() => (image.naturalWidth > 0 ? 1 : 0), () => 0);
      }
      return loaded;
    }), (n) => n >= 4, 'thumbnails in the first cells');
    await screenshot(page, 'folder-opened.png');
  } catch (error) {
    error.message += `\n--- program stderr ---\n${program.stderr()}`;
    throw error;
  } finally {
    await browser?.close();
    second?.kill();
    await program.stop();
  }
});
