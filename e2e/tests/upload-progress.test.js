// A large picture on a slow line, as a user sends it: the program reaches albumd through a
// relay that forwards what the program sends at a fixed rate, a little at a time (it never holds
// the whole request), and the upload dialog's bar, percentage and speed move while the one
// picture is on its way. Needs python3 for the relay.
//
// The picture is a real photo padded after its end to PROGRESS_MB megabytes (default 6), sent
// at PROGRESS_KBPS kilobytes per second (default 300) as the original, so it is not shrunk
// first. Needs TAVOPIX_PHOTOS. TAVOPIX_SCREENSHOTS, when set, names a folder for a screenshot.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import { spawn } from 'node:child_process';
import path from 'node:path';
import readline from 'node:readline';
import { test } from 'node:test';
import { openBrowser, windowFrame } from '../lib/browser.js';
import { addAlbumdUser, chooseFolders, folderCaption, logIn, passingPhotos, until, windowGone } from '../lib/flows.js';
import { sdkConfigText, startProgram } from '../lib/program.js';

const PHOTOS = process.env.TAVOPIX_PHOTOS;
const SHOTS = process.env.TAVOPIX_SCREENSHOTS;
const MEGABYTES = Number(process.env.PROGRESS_MB ?? 6);
const RATE = Number(process.env.PROGRESS_KBPS ?? 300) * 1024;
const TIMEOUT = { timeout: 120_000 + (MEGABYTES * 1024 * 1024 / RATE) * 2000, skip: PHOTOS ? false : 'TAVOPIX_PHOTOS is not set' };

// A slow line: a relay that forwards every connection to `target` (host:port), passing what the
// client sends at `rate` bytes per second in tenth-of-a-second slices, replies at once. Its
// sockets take small fixed receive buffers, so the relay's own system does not take megabytes
// of the request off the program before the line has carried them (a real slow line ahead of
// the server does not either). Python, for the socket options Node does not offer.
const RELAY = `
import socket, sys, threading, time
target_host, target_port, rate = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 32768)
listener.bind(('127.0.0.1', 0))
listener.listen()
print(listener.getsockname()[1], flush=True)
def close(*sockets):
    for s in sockets:
        try: s.shutdown(socket.SHUT_RDWR)
        except OSError: pass
def slow(client, upstream):
    try:
        while True:
            started = time.monotonic()
            budget = rate // 10
            while budget > 0:
                data = client.recv(min(budget, 16384))
                if not data: return close(client, upstream)
                upstream.sendall(data)
                budget -= len(data)
            time.sleep(max(0, 0.1 - (time.monotonic() - started)))
    except OSError: close(client, upstream)
def fast(upstream, client):
    try:
        while data := upstream.recv(65536): client.sendall(data)
    except OSError: pass
    close(client, upstream)
while True:
    client, _ = listener.accept()
    upstream = socket.create_connection((target_host, target_port))
    threading.Thread(target=slow, args=(client, upstream), daemon=True).start()
    threading.Thread(target=fast, args=(upstream, client), daemon=True).start()
`;

function startRelay(target, rate) {
  const [host, port] = target.split(':');
  const child = spawn('python3', ['-c', RELAY, host, port, String(rate)], { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    child.once('exit', (code) => reject(new Error(`the relay ended (${code})`)));
    readline.createInterface({ input: child.stdout }).once('line', (line) => resolve({
      address: `http://127.0.0.1:${line.trim()}/`,
      close: () => child.kill('SIGKILL'),
    }));
  });
}

// A real photo followed by zeros up to `bytes`: decoders stop at the photo's end.
function paddedPhoto(source, target, bytes) {
  const photo = fs.readFileSync(source);
  fs.writeFileSync(target, Buffer.concat([photo, Buffer.alloc(Math.max(0, bytes - photo.length))]));
}

test('a large picture on a slow line moves the upload dialog\'s bar, percentage and speed', TIMEOUT, async () => {
  let relay;
  const options = {
    service: true,
    beforeStart: async ({ albumdAddress, home }) => {
      relay = await startRelay(new URL(albumdAddress).host, RATE);
      options.sdkConfig = sdkConfigText(relay.address);
      fs.mkdirSync(path.join(home, 'Pictures/Big'), { recursive: true });
      paddedPhoto(passingPhotos(PHOTOS)[0], path.join(home, 'Pictures/Big/large.jpg'), MEGABYTES * 1024 * 1024);
    },
  };
  const program = await startProgram(options);
  let browser;
  try {
    addAlbumdUser(program.programDir, 'slowline', 'slow-line-pw');
    browser = await openBrowser({ width: 1280, height: 800 });
    const { page } = browser;
    await page.goto(program.url);
    await chooseFolders(page, ['Big']);
    const main = await windowFrame(page, 'Tavopix');
    await folderCaption(main, '%mypic%Big/').locator('.cp').click();
    await main.locator('#photo_list > .loc picture').click();
    await main.locator('#btn_upload').click();
    await logIn(page, 'slowline', 'slow-line-pw');

    const albums = await windowFrame(page, '选择相册开始上传');
    await albums.locator('#create_album').click();
    await albums.locator('#albname').fill('慢速');
    await albums.locator('#size_raw').click();
    await until(() => albums.locator('#size_raw').getAttribute('hl-checked'), (v) => v !== null, 'the original size chosen');
    await albums.locator('#btn_upload').click();
    await windowGone(page, albums);
    const upload = await windowFrame(page, '图片上传中', 30_000);

    // What the dialog shows, every 100 ms, until the picture is through.
    const bar = upload.locator('#pro_upload');
    const seen = [];
    const started = Date.now();
    let shotTaken = false;
    await until(async () => {
      // Both at one moment: the page may change between two reads.
      const [value, text] = await upload.evaluate(() => [document.querySelector('#pro_upload').value,
        document.querySelector('#info_upload').textContent]).catch(() => [null, '']);
      const m = /已完成: (\d+)%, 速度:([\d.]+)KB\/s/.exec(text);
      if (m) seen.push({ ms: Date.now() - started, bar: value, percent: Number(m[1]), speed: Number(m[2]) });
      if (!shotTaken && m && Number(m[1]) >= 40) {
        shotTaken = true;
        if (SHOTS) await page.screenshot({ path: path.join(SHOTS, 'upload-progress.png') });
      }
      return text;
    }, (text) => text.startsWith('所有图片已上传成功'), 'the upload', TIMEOUT.timeout - 60_000);

    const percentages = [...new Set(seen.map((s) => s.percent))].filter((p) => p > 0 && p < 100);
    const speeds = seen.map((s) => s.speed).filter((s) => s > 0);
    const median = speeds.sort((a, b) => a - b)[Math.floor(speeds.length / 2)] ?? 0;
    console.log(`${MEGABYTES} MB at ${RATE / 1024} KB/s: ${percentages.length} distinct percentages ` +
      `(${percentages.join(' ')}) over ${((Date.now() - started) / 1000).toFixed(1)} s; median speed ${median} KB/s`);
    assert.ok(percentages.length >= 5, JSON.stringify(seen));
    // The bar shows what the text says, and the speed is the line's, not the disk's.
    assert.ok(seen.every((s) => s.bar === s.percent), JSON.stringify(seen));
    assert.ok(median > RATE / 1024 / 2 && median < RATE / 1024 * 2, `median speed ${median}`);
    assert.equal(await bar.evaluate((el) => el.value), 100);
    await upload.locator('#btn_cmpl').click();
  } catch (error) {
    error.message += `\n--- program stderr ---\n${program.stderr()}`;
    throw error;
  } finally {
    await browser?.close();
    relay?.close();
    await program.stop();
  }
});
