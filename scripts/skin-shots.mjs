// Screenshots of every window of the program, for telling what a change of the skin changes on
// screen: take them with the skin before and after, then compare them pixel by pixel.
//
//   node scripts/skin-shots.mjs shoot <skin folder> <screenshot folder>
//   node scripts/skin-shots.mjs compare <screenshot folder> <screenshot folder>
//
// "shoot" runs the program of TAVOPIX_BUILD (its bin/tavopix, albumd and web/) over the given
// skin folder, with the first pictures of TAVOPIX_PHOTOS, and walks the windows in one fixed
// order: folder dialog, main window, viewer, message box, about, feedback, update, login, album
// dialog (list and new album), upload dialog. The same skin gives the same pixels, so any
// difference "compare" counts comes from the skin. Run it from e2e/'s packages (npm ci there).

import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { openBrowser, shownSize, windowFrame } from '../e2e/lib/browser.js';
import {
  addAlbumdUser, chooseFolders, linkPhotos, logIn, openMenu, passingPhotos, until, windowGone,
} from '../e2e/lib/flows.js';
import { startProgram } from '../e2e/lib/program.js';

const PICTURES = 8;

// A build folder holding the given skin beside the real build's program, service and shell.
function buildWithSkin(skin) {
  const build = process.env.TAVOPIX_BUILD;
  if (!build) throw new Error('TAVOPIX_BUILD must name the build folder');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tavopix-skin-shots-'));
  fs.mkdirSync(path.join(dir, 'bin'));
  for (const name of ['tavopix', 'albumd', 'web']) {
    fs.symlinkSync(path.resolve(build, 'bin', name), path.join(dir, 'bin', name));
  }
  fs.cpSync(skin, path.join(dir, 'bin', 'skin'), {
    recursive: true, filter: (file) => !/(CMakeLists\.txt|\.cmake)$/.test(file),
  });
  return dir;
}

async function shoot(skin, out) {
  const photos = passingPhotos(process.env.TAVOPIX_PHOTOS).slice(0, PICTURES);
  const build = buildWithSkin(skin);
  process.env.TAVOPIX_BUILD = build;
  fs.mkdirSync(out, { recursive: true });
  const program = await startProgram({
    service: true,
    beforeStart: ({ home }) => linkPhotos(photos, path.join(home, 'Pictures', 'Trip'), (i) => `p${i}.jpg`),
  });
  const browser = await openBrowser({ width: 1280, height: 800 });
  const { page } = browser;
  // The mouse is parked in the view's corner and the page given time to finish its transitions.
  const shot = async (name) => {
    await page.mouse.move(1279, 799);
    await page.waitForTimeout(700);
    await page.screenshot({ path: path.join(out, `${name}.png`), animations: 'disabled', caret: 'hide' });
  };
  const cells = () => main.locator('#photo_list > .loc');
  let main;
  try {
    await page.goto(program.url);
    const folders = await windowFrame(page, '设置目录');
    await folders.locator('[path="%mypic%"]').waitFor();
    await shot('01-folder-dialog');
    await chooseFolders(page, ['Trip']);
    main = await windowFrame(page, 'Tavopix');
    await main.locator('#tree_view caption:has-text("Trip")').first().click();
    await until(() => main.locator('#photo_list > .loc picture[src]').count(), (n) => n === photos.length,
      'every thumbnail shown');
    await shot('02-main');

    await cells().first().dblclick();
    await main.locator('#dtl_img_border picture').waitFor();
    await shownSize(main.locator('#dtl_img_border'));
    await shot('03-viewer');
    await page.keyboard.press('Escape');
    await main.locator('#dtl_img_border picture').waitFor({ state: 'detached' }).catch(() => {});

    await cells().nth(1).click();
    await main.locator('#btn_delete').click();
    const box = await windowFrame(page, '删除确认');
    await shot('04-message-box');
    await page.keyboard.press('Escape');
    await windowGone(page, box);

    for (const [entry, caption, name] of [['menu_about', '关于 Tavopix', '05-about'],
      ['menu_advice', '意见与反馈', '06-feedback'], ['menu_check_update', '更新Tavopix', '07-update']]) {
      await openMenu(main, entry);
      const dialog = await windowFrame(page, caption);
      if (entry === 'menu_check_update') {
        await until(() => dialog.locator('#info').textContent(), (text) => !text.startsWith('正在检查'), 'the check');
      }
      await shot(name);
      await dialog.locator('#hsk_btn_close').click();
      await windowGone(page, dialog);
    }

    addAlbumdUser(program.programDir, 'shots', 'shots-password');
    await openMenu(main, 'menu_login');
    await windowFrame(page, '用户登入');
    await shot('08-login');
    await logIn(page, 'shots', 'shots-password');

    await cells().first().click();
    await main.locator('#btn_upload').click();
    const albums = await windowFrame(page, '选择相册开始上传');
    await albums.locator('#create_album').waitFor();
    await shot('09-album');
    await albums.locator('#create_album').click();
    await albums.locator('#albname').fill('Trip');
    await shot('10-album-new');
    await albums.locator('#btn_upload').click();
    await windowGone(page, albums);
    const upload = await windowFrame(page, '图片上传中', 30_000);
    await until(() => upload.locator('#info_upload').textContent(), (text) => text.startsWith('所有图片已上传成功'),
      'the end of the upload', 120_000);
    await shot('11-upload');
  } catch (error) {
    error.message += `\n--- program stderr ---\n${program.stderr()}`;
    throw error;
  } finally {
    await browser.close();
    await program.stop();
    fs.rmSync(build, { recursive: true, force: true });
  }
}

// Prints, for each screenshot of `a`, how many pixels differ from the one of the same name in
// `b` and by how much at most in a channel (0 to 255).
async function compare(a, b) {
  const browser = await openBrowser();
  try {
    for (const name of fs.readdirSync(a).filter((n) => n.endsWith('.png')).sort()) {
      if (!fs.existsSync(path.join(b, name))) {
        console.log(`${name}: only in ${a}`);
        continue;
      }
      const [one, two] = [a, b].map((dir) => fs.readFileSync(path.join(dir, name)).toString('base64'));
      const result = await browser.page.evaluate(async ([one, two]) => {
        const pixels = async (data) => {
          const image = new Image();
          image.src = `data:image/png;base64,${data}`;
          await image.decode();
          const canvas = new OffscreenCanvas(image.naturalWidth, image.naturalHeight);
          const context = canvas.getContext('2d');
          context.drawImage(image, 0, 0);
          return context.getImageData(0, 0, canvas.width, canvas.height);
        };
        const [p, q] = [await pixels(one), await pixels(two)];
        if (p.width !== q.width || p.height !== q.height) return null;
        let count = 0;
        let most = 0;
        for (let i = 0; i < p.data.length; i += 4) {
          let d = 0;
          for (let k = 0; k < 4; k++) d = Math.max(d, Math.abs(p.data[i + k] - q.data[i + k]));
          if (d > 0) count++;
          most = Math.max(most, d);
        }
        return { count, most };
      }, [one, two]);
      console.log(result ? `${name}: ${result.count} pixels differ, by at most ${result.most}`
        : `${name}: the sizes differ`);
    }
  } finally {
    await browser.close();
  }
}

const [command, first, second] = process.argv.slice(2);
if (command === 'shoot' && first && second) await shoot(first, second);
else if (command === 'compare' && first && second) await compare(first, second);
else {
  console.error('usage: skin-shots.mjs shoot <skin folder> <screenshot folder>\n' +
    '       skin-shots.mjs compare <screenshot folder> <screenshot folder>');
  process.exitCode = 2;
}
