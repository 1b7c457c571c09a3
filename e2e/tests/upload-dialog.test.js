// The upload dialog's page in headless Chromium: the dialog (tests/upload/UploadDialogShow.cpp)
// uploads real photographs and one unreadable file to a real albumd behind a slow relay, and the
// test looks at what a user sees: the progress bar and the status line with speed and
// percentage during a transfer, an item's tooltip on hover, the done list's thumbnails and
// links, and the complete button closing the window. Screenshots go to TAVOPIX_SCREENSHOTS when
// it names a folder.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { test } from 'node:test';
import { openBrowser, windowFrame } from '../lib/browser.js';
import { until } from '../lib/flows.js';
import { startUploadDialogShow } from '../lib/uploadDialogShow.js';

const TIMEOUT = { timeout: 180_000 };

function photos() {
  const dir = process.env.TAVOPIX_PHOTOS;
  if (!dir) return null;
  const real = path.join(dir, 'real');
  return fs.readdirSync(real).sort().map((name) => path.join(real, name));
}

async function shoot(page, name) {
  const dir = process.env.TAVOPIX_SCREENSHOTS;
  if (dir) await page.screenshot({ path: path.join(dir, `${name}.png`) });
}

test('the upload dialog shows its progress, status, tooltips and done list', TIMEOUT, async (t) => {
  const pictures = photos();
  if (!pictures) {
    t.skip('TAVOPIX_PHOTOS is not set');
    return;
  }
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'tavopix-upload-e2e-'));
  const broken = path.join(scratch, 'broken.jpg');
  fs.writeFileSync(broken, Buffer.alloc(2048, 0x5a));
  const files = [...pictures.slice(0, 3), broken, ...pictures.slice(3, 8)];
  const show = await startUploadDialogShow(files);
  const browser = await openBrowser();
  try {
    const { page } = browser;
    await page.goto(show.url);
    const dialog = await windowFrame(page, '图片上传中');
    const info = dialog.locator('#info_upload');

    // A transfer under way: progress bar, speed and percentage.
    await until(() => info.textContent(), (text) => /速度:\d+\.\d\dKB\/s/.test(text) && !/速度:0\.00/.test(text),
      'a status line with a speed', 60_000);
    assert.match(await info.textContent(), /^正在上传, 已完成: \d+%, 速度:\d+\.\d\dKB\/s\.$/);
    const bar = dialog.locator('#pro_upload');
    assert.ok(await bar.isVisible());
    assert.equal(await dialog.locator('#task_list .item .txt_uping').count(), 1);
    await shoot(page, 'upload-during-transfer');

    // The unreadable picture's tooltip, on hover.
    const failed = dialog.locator('#task_list .item', { has: dialog.locator('.txt_error') });
    await until(() => failed.count(), (n) => n === 1, 'the error item', 60_000);
    await failed.hover();
    assert.equal(await failed.getAttribute('title'), '图片文件扩展名或文件数据错误');
    const bubble = await failed.evaluate((el) => {
      const style = getComputedStyle(el, '::after');
      return { content: style.content, color: style.color, background: style.backgroundColor };
    });
    assert.equal(bubble.content, '"图片文件扩展名或文件数据错误"');
    await shoot(page, 'upload-error-tooltip');

    // The end: everything readable uploaded, the error left, the buttons gone.
    await until(() => info.textContent(), (text) => text.startsWith('上传完成'), 'the end of the run', 150_000);
    assert.equal(await dialog.locator('#done_title').textContent(), '已完成(8)');
    assert.equal(await dialog.locator('#task_title').textContent(), '未完成(1)');
    assert.equal(await bar.evaluate((el) => el.value), 88);
    const done = dialog.locator('#done_list .item');
    assert.equal(await done.count(), 8);
    const images = await done.locator('picture').evaluateAll((els) => els.map((el) => getComputedStyle(el).backgroundImage));
    assert.ok(images.every((image) => image.startsWith('url(')), images.join('\n'));
    assert.ok(await dialog.locator('#btn_pause').isHidden());
    assert.ok(await dialog.locator('#btn_ctn').isHidden());
    await dialog.locator('#done_list .item').first().hover();
    await shoot(page, 'upload-finished');

    await dialog.locator('#btn_cmpl').click();
    assert.equal(await Promise.race([show.exited, new Promise((r) => setTimeout(() => r('timeout'), 20_000))]), 0);
    assert.ok(show.output.includes('result 1'), show.output.join('\n'));
  } finally {
    await browser.close();
    show.stop();
    fs.rmSync(scratch, { recursive: true, force: true });
  }
});
