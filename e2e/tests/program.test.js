// The program itself in headless Chromium: start-up failure, the main window, moving it by its
// caption, a reload, and closing.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { exitWithin, openBrowser, windowBoxOf, windowFrame } from '../lib/browser.js';
import { until, utf16File } from '../lib/flows.js';
import { startProgram } from '../lib/program.js';
import { withProgram } from '../lib/session.js';

const TIMEOUT = { timeout: 90_000 };
// A service and chosen folders, so no first-start folder dialog covers the main window.
const WITH_FOLDERS = {
  service: true,
  beforeStart: ({ programDir }) => fs.writeFileSync(path.join(programDir, 'SetPathCfg.dat'), utf16File('%mypic%\n')),
};

async function boxOf(frame) {
  const box = await windowBoxOf(frame);
  return box.evaluate((el) => {
    const r = el.getBoundingClientRect();
    return { x: Math.round(r.left), y: Math.round(r.top), w: Math.round(r.width), h: Math.round(r.height) };
  });
}

test('without ovkCfg.ini a box names the failure and its one button ends the program with 0', TIMEOUT, async () => {
  await withProgram({}, async (program, page) => {
    const box = await windowFrame(page, '初始化错误');
    const text = await box.locator('#text_div').textContent();
    assert.match(text, /^OVK_SDK_ovkSetCfg Failed,ErrorCode:\d+$/);
    const buttons = box.locator('button.hsk_btn');
    assert.equal(await buttons.count(), 1);
    assert.equal((await buttons.first().textContent()).trim(), '确定');
    assert.equal(await buttons.first().getAttribute('btn_id'), '16');

    await buttons.first().click();
    const end = await exitWithin(program.exited);
    assert.deepEqual(end, { code: 0, signal: null });
  });
});

test('a malformed ovkCfg.ini is refused the same way', TIMEOUT, async () => {
  await withProgram({ sdkConfig: '[service]\r\nalbum_service = gopher://127.0.0.1/\r\n' }, async (program, page) => {
    const box = await windowFrame(page, '初始化错误');
    assert.match(await box.locator('#text_div').textContent(), /^OVK_SDK_ovkSetCfg Failed,ErrorCode:\d+$/);
    await box.locator('button.hsk_btn').click();
    assert.deepEqual(await exitWithin(program.exited), { code: 0, signal: null });
  });
});

test('with a service the main window opens, and its close button ends the program with 2', TIMEOUT, async () => {
  await withProgram(WITH_FOLDERS, async (program, page) => {
    const main = await windowFrame(page, 'Tavopix');
    assert.match(await main.locator('#hsk_cp').textContent(), /Tavopix/);
    await until(() => page.title(), (t) => t === 'Tavopix', 'the page title');
    assert.equal(await page.locator('.tvx-window').count(), 1);
    // The fog stays hidden while no dialog is open.
    assert.equal(await main.locator('#hsk_fog').evaluate((el) => getComputedStyle(el).visibility), 'hidden');

    await main.locator('#hsk_btn_close').click();
    assert.deepEqual(await exitWithin(program.exited), { code: 2, signal: null });
  });
});

test('the main window fills the view, follows its size, and a reload shows it the same', TIMEOUT, async () => {
  await withProgram(WITH_FOLDERS, async (program, page) => {
    let main = await windowFrame(page, 'Tavopix');
    const fills = (w, h) => (box) => box.x === 0 && box.y === 0 && box.w === w && box.h === h;
    await until(() => boxOf(main), fills(1280, 800), 'the main window over the whole view');
    await page.setViewportSize({ width: 1000, height: 700 });
    await until(() => boxOf(main), fills(1000, 700), 'the main window after the view shrank');
    // Below the window's minimum size the window keeps it and the view scrolls.
    await page.setViewportSize({ width: 700, height: 500 });
    await until(() => boxOf(main), fills(800, 600), 'the main window at its minimum size');
    await page.setViewportSize({ width: 1000, height: 700 });

    const caption = await main.locator('#hsk_cp').textContent();
    await page.reload();
    main = await windowFrame(page, 'Tavopix');
    await until(() => boxOf(main), fills(1000, 700), 'the main window after the reload');
    assert.equal(await page.locator('.tvx-window').count(), 1);
    assert.equal(await main.locator('#hsk_cp').textContent(), caption);

    await main.locator('#hsk_btn_close').click();
    assert.deepEqual(await exitWithin(program.exited), { code: 2, signal: null });
  });
});

test('the failure box comes back after a reload', TIMEOUT, async () => {
  await withProgram({}, async (program, page) => {
    await windowFrame(page, '初始化错误');
    await page.reload();
    const box = await windowFrame(page, '初始化错误');
    assert.match(await box.locator('#text_div').textContent(), /^OVK_SDK_ovkSetCfg Failed,ErrorCode:\d+$/);
    await box.locator('button.hsk_btn').click();
    assert.deepEqual(await exitWithin(program.exited), { code: 0, signal: null });
  });
});

test('a second browser tab takes over and the first one is told', TIMEOUT, async () => {
  await withProgram({}, async (program, page) => {
    await windowFrame(page, '初始化错误');
    const second = await page.context().newPage();
    // The printed address worked once; the page's own address (the run's capability) opens more.
    assert.equal((await second.goto(program.url)).status(), 403);
    await second.goto(page.url());
    const box = await windowFrame(second, '初始化错误');
    await page.locator('#notice').waitFor({ state: 'visible', timeout: 5000 });
    assert.match(await page.locator('#notice').textContent(), /另一个浏览器窗口/);
    await box.locator('button.hsk_btn').click();
    assert.deepEqual(await exitWithin(program.exited), { code: 0, signal: null });
  });
});

test('when the program ends, the page says so instead of trying to reconnect', TIMEOUT, async () => {
  await withProgram(WITH_FOLDERS, async (program, page) => {
    const main = await windowFrame(page, 'Tavopix');
    await main.locator('#hsk_btn_close').click();
    assert.deepEqual(await exitWithin(program.exited), { code: 2, signal: null });
    const notice = page.locator('#notice');
    await notice.waitFor({ state: 'visible', timeout: 5000 });
    await page.waitForTimeout(700);  // past the shell's first attempt to reconnect
    assert.equal(await notice.textContent(), 'Tavopix 已退出。');
    assert.equal(await page.locator('.tvx-window').count(), 0);
  });
});

test('closing the browser closes the main window, after the grace for a reload', TIMEOUT, async () => {
  const program = await startProgram({ service: true });
  try {
    const browser = await openBrowser();
    try {
      await browser.page.goto(program.url);
      await windowFrame(browser.page, 'Tavopix');
    } finally {
      await browser.close();
    }
    const closedAt = Date.now();
    assert.deepEqual(await exitWithin(program.exited, 30_000), { code: 2, signal: null });
    // A reload comes back well within the grace; the program did not end at once.
    assert.ok(Date.now() - closedAt >= 1000, `ended ${Date.now() - closedAt} ms after the browser`);
  } finally {
    await program.stop();
  }
});

test('the page gets the program\'s own files and nothing else from the disk', TIMEOUT, async () => {
  await withProgram({}, async (program, page) => {
    await windowFrame(page, '初始化错误');
    const secret = path.join(path.dirname(program.programDir), 'home', 'Pictures', 'secret.jpg');
    fs.writeFileSync(secret, 'not for the page');
    const statuses = await page.evaluate(async (targets) => {
      const out = [];
      for (const target of targets) out.push((await fetch(target)).status);
      return out;
    }, [
      `f${program.programDir}/skin/res/error_img.jpg`,
      `f${program.programDir}/skin/msgBox.htm`,
      `f${secret}`,
      'f/etc/passwd',
      `f${program.programDir}/skin/`,
      'web/shell.js',
      '/web/shell.js',  // outside the capability
    ]);
    assert.deepEqual(statuses, [200, 200, 403, 403, 403, 200, 403]);

    // Another browser, without the capability (the printed address is used up): nothing at all.
    const stranger = await openBrowser();
    try {
      const base = new URL(program.url).origin;
      for (const target of [new URL(program.url).pathname + new URL(program.url).search, '/',
        '/web/shell.js', `/f${program.programDir}/skin/msgBox.htm`]) {
        const response = await stranger.page.goto(base + target);
        assert.equal(response.status(), 403, target);
      }
    } finally {
      await stranger.close();
    }
    await (await windowFrame(page, '初始化错误')).locator('button.hsk_btn').click();
    assert.deepEqual(await exitWithin(program.exited), { code: 0, signal: null });
  });
});

test('a program folder that cannot hold the thumbnail cache leaves the working folder unserved', TIMEOUT, async () => {
  // Started from "/" with a plain file where iconsdb/ would go: the cache once fell back to the
  // working folder, and the whole disk became servable.
  await withProgram({
    service: true,
    cwd: '/',
    beforeStart: ({ programDir }) => fs.writeFileSync(path.join(programDir, 'iconsdb'), 'not a folder'),
  }, async (program, page) => {
    await windowFrame(page, 'Tavopix');
    const statuses = await page.evaluate(async (targets) => {
      const out = [];
      for (const target of targets) out.push((await fetch(target)).status);
      return out;
    }, ['f/etc/passwd', `f${program.programDir}/tavopix.ini`, `f${program.programDir}/skin/msgBox.htm`]);
    assert.deepEqual(statuses, [403, 403, 200]);
    assert.ok(fs.statSync(path.join(program.home, '.cache', 'tavopix', 'iconsdb')).isDirectory());
  });
});

test('an upload with nothing chosen says so in a message box whose one button closes it', TIMEOUT, async () => {
  await withProgram(WITH_FOLDERS, async (program, page) => {
    const main = await windowFrame(page, 'Tavopix');
    await main.locator('#btn_upload').click();
    const box = await windowFrame(page, '提示');
    assert.equal((await box.locator('#text_div').textContent()).trim(), '请选择图片');
    const buttons = box.locator('button.hsk_btn');
    assert.equal(await buttons.count(), 1);
    assert.equal(await buttons.first().getAttribute('btn_id'), '16');
    await buttons.first().click();
    await until(async () => box.isDetached(), (gone) => gone, 'the box closed');
    await main.locator('#hsk_btn_close').click();
    assert.deepEqual(await exitWithin(program.exited), { code: 2, signal: null });
  });
});
