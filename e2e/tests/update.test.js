// Self-update in headless Chromium against albumd: a newer version published on the service is
// offered by the silent check at start, its package comes down with a rising percentage from a
// slow loopback host, the program exits, and the package is installed beside it with the
// user's files kept; with nothing newer published the menu's check says the program is current.

import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { test } from 'node:test';
import { exitWithin, openBrowser, windowFrame } from '../lib/browser.js';
import { until, utf16File } from '../lib/flows.js';
import { buildDir, startProgram } from '../lib/program.js';
import { withProgram } from '../lib/session.js';

const TIMEOUT = { timeout: 120_000 };

// An update package of this build's program with one file the old program lacks.
function makePackage(dir) {
  const stage = path.join(dir, 'stage');
  const bin = path.join(buildDir(), 'bin');
  fs.mkdirSync(stage);
  fs.copyFileSync(path.join(bin, 'tavopix'), path.join(stage, 'tavopix'));
  fs.chmodSync(path.join(stage, 'tavopix'), 0o755);
  for (const folder of ['skin', 'web']) fs.cpSync(path.join(bin, folder), path.join(stage, folder), { recursive: true });
  fs.writeFileSync(path.join(stage, 'skin', 'update-marker.txt'), 'installed by the update');
  const file = path.join(dir, 'tavopix-0.1.1.1.tar.gz');
  execFileSync('tar', ['-czf', file, '-C', stage, 'tavopix', 'skin', 'web']);
  return file;
}

// Serves the file `file()` names on loopback spread over about `seconds`, so the download shows
// its progress.
async function slowHost(file, seconds) {
  const server = http.createServer((request, response) => {
    const bytes = fs.readFileSync(file());
    const bytesPerSecond = Math.ceil(bytes.length / seconds);
    response.writeHead(200, { 'Content-Type': 'application/octet-stream', 'Content-Length': bytes.length });
    let sent = 0;
    const chunk = Math.ceil(bytesPerSecond / 10);
    const timer = setInterval(() => {
      response.write(bytes.subarray(sent, sent + chunk));
      sent += chunk;
      if (sent >= bytes.length) {
        clearInterval(timer);
        response.end();
      }
    }, 100);
    response.on('close', () => clearInterval(timer));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { base: `http://127.0.0.1:${server.address().port}`, close: () => server.close() };
}

// Programs started by an install run in a session of their own; the test ends them.
function endRestartedPrograms(programDir) {
  const program = path.join(programDir, 'tavopix');
  for (const pid of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    let command;
    try {
      command = fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8').split('\0')[0];
    } catch {
      continue;  // ended meanwhile
    }
    if (command === program) process.kill(Number(pid), 'SIGKILL');
  }
}

test('a newer version is offered at start, downloaded with progress and installed after exit', TIMEOUT, async () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tavopix-update-'));
  const pkg = makePackage(dir);
  // The slow host serves the package as albumd signed it into its data folder.
  let signedPackage;
  const host = await slowHost(() => signedPackage, 3);
  // The version file names the package on the slow host: albumd publishes "<base>/tavopix/packages/<name>".
  const program = await startProgram({
    service: true,
    settings: { auto_check_update: 'true' },
    beforeStart: ({ albumdCommand, programDir }) => {
      albumdCommand(['update', 'set', '0.1.1.1', pkg, '--base-url', host.base]);
      signedPackage = path.join(programDir, '..', 'albumd-data', 'packages', path.basename(pkg));
      // The operator's service signs with its own key, which the program is given.
      fs.writeFileSync(path.join(programDir, 'update-signing.pub'), albumdCommand(['update', 'key']));
    },
  });
  let browser;
  try {
    browser = await openBrowser();
    await browser.page.goto(program.url);
    const dialog = await windowFrame(browser.page, '更新Tavopix', 30_000);
    const info = dialog.locator('#info');
    assert.equal(await info.textContent(), '发现新版本V0.1.1.1,请确定开始更新!');
    assert.ok(await dialog.locator('#btn_start_update').isVisible());
    assert.ok(!(await dialog.locator('#btn_close').isVisible()));

    await dialog.locator('#btn_start_update').click();
    const seen = new Set();
    const exited = program.exited.then((end) => ({ end }));
    for (;;) {
      const done = await Promise.race([exited, new Promise((r) => setTimeout(() => r(null), 50))]);
      if (done) {
        assert.deepEqual(done.end, { code: 2, signal: null });
        break;
      }
      const text = await info.textContent({ timeout: 500 }).catch(() => null);
      const m = /^正在下载更新\((\d+)%\)\.\.\.$/.exec(text ?? '');
      if (m) seen.add(Number(m[1]));
    }
    const percentages = [...seen].sort((a, b) => a - b);
    assert.ok(percentages.length >= 3 && percentages.at(-1) > percentages[0],
      `the percentage rose: ${percentages}`);

    assert.equal(fs.readFileSync(path.join(program.programDir, 'skin', 'update-marker.txt'), 'utf8'),
      'installed by the update');
    assert.ok(fs.existsSync(path.join(program.programDir, 'tavopix.ini')));
    assert.ok(fs.existsSync(path.join(program.programDir, 'ovkCfg.ini')));
    assert.ok(!fs.existsSync(path.join(program.programDir, '.update')));
  } catch (error) {
    error.message += `\n--- program stderr ---\n${program.stderr()}`;
    throw error;
  } finally {
    await browser?.close();
    endRestartedPrograms(program.programDir);
    await program.stop();
    host.close();
    fs.rmSync(dir, { recursive: true, force: true });
  }
});

test('with nothing newer published the menu check says the program is current', TIMEOUT, async () => {
  // Folders already chosen, so no first-start folder dialog stands over the main window.
  await withProgram({
    service: true,
    beforeStart: ({ programDir }) => fs.writeFileSync(path.join(programDir, 'SetPathCfg.dat'), utf16File('%mypic%\n')),
  }, async (program, page) => {
    const main = await windowFrame(page, 'Tavopix');
    await main.locator('#hsk_btn_menu').click();
    await main.locator('#menu_check_update').click();
    const dialog = await windowFrame(page, '更新Tavopix');
    await dialog.locator('#info').filter({ hasText: '当前版本V0.1.1.0,已是最新版本!' }).waitFor({ timeout: 30_000 });
    assert.ok(await dialog.locator('#btn_close').isVisible());
    assert.ok(!(await dialog.locator('#btn_start_update').isVisible()));
    // The dialog has the keyboard without a click into it: Escape closes it.
    await page.keyboard.press('Escape');
    await until(() => dialog.isDetached(), (gone) => gone, 'the update dialog closed by Escape');
    await main.locator('#hsk_btn_close').click();
    assert.deepEqual(await exitWithin(program.exited), { code: 2, signal: null });
  });
});
