// Names and values from the disk and from the service reach the browser as data: whatever a
// file name holds, the mirror shows it as text and never lets it run.

import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { openBrowser } from '../lib/browser.js';
import { node, openMirrorPage } from '../lib/mirrorPage.js';

const HOSTILE_NAME = 'a"b<img src=x onerror="top.pwned=\'text\'">&amp; onmouseover=top.pwned=1 \'.jpg';
const RUN = "top.pwned='ran'";

let browser;
let page;

before(async () => {
  browser = await openBrowser();
  page = browser.page;
  await openMirrorPage(page);
  page.on('dialog', (dialog) => dialog.dismiss());
});

after(async () => { await browser?.close(); });

// Moves over and clicks every element of the mirrored page, then reports whether anything ran.
async function pokeEverything() {
  const frame = page.frames().find((f) => f !== page.mainFrame());
  const count = await frame.locator('body *').count();
  for (let i = 0; i < count; i++) {
    const element = frame.locator('body *').nth(i);
    if (!(await element.isVisible())) continue;
    await element.hover({ timeout: 1000, force: true }).catch(() => {});
    await element.click({ timeout: 1000, force: true, noWaitAfter: true }).catch(() => {});
  }
  return page.evaluate(() => window.pwned ?? null);
}

function hostilePage() {
  return node(1, 'html', { c: [node(2, 'body', { c: [
    node(3, 'div', { a: [['class', 'item'], ['title', HOSTILE_NAME], ['path', HOSTILE_NAME]],
      x: HOSTILE_NAME, l: HOSTILE_NAME, c: [] }),
    node(4, 'p', { a: [['onmouseover', RUN], ['onclick', RUN], ['ONMOUSEMOVE', RUN], ['class', 'name']],
      x: 'hover me' }),
    node(5, 'a', { a: [['href', 'javascript:' + RUN]], x: 'link' }),
    node(6, 'a', { a: [['href', ' JaVa\tScRiPt:' + RUN]], x: 'link 2' }),
    node(7, 'iframe', { a: [['srcdoc', `<script>${RUN}</script>`]] }),
    node(8, 'script', { x: RUN }),
    node(9, 'picture', { a: [['id', 'pic'], ['src', 'x.jpg"); background: url("javascript:' + RUN]] }),
    node(10, 'img', { a: [['src', 'javascript:' + RUN], ['onerror', RUN]] }),
    node(11, 'svg', { a: [['onload', RUN]] }),
    node(12, 'form', { a: [['action', 'javascript:' + RUN]], c: [
      node(13, 'button', { a: [['formaction', 'javascript:' + RUN], ['value', HOSTILE_NAME]] }),
    ] }),
    node(14, 'div', { a: [['is', 'x-y'], ['style', 'width:10px']], x: 'styled' }),
    node(15, 'meta', { a: [['http-equiv', 'refresh'], ['content', '0;url=javascript:' + RUN]] }),
    node(16, 'a', { a: [['href', 'data:text/html,<script>' + RUN + '</script>']], x: 'data link' }),
  ] })] });
}

test('hostile names and attributes from a snapshot show as text and never run', async () => {
  await page.evaluate((root) => window.mirror.reset(root, []), hostilePage());
  const frame = page.frames().find((f) => f !== page.mainFrame());

  const item = frame.locator('div.item');
  assert.equal(await item.getAttribute('title'), HOSTILE_NAME);
  assert.equal(await item.getAttribute('path'), HOSTILE_NAME);
  assert.equal(await item.evaluate((el) => el.firstChild.data), HOSTILE_NAME);
  assert.equal(await item.evaluate((el) => el.nextSibling.data), HOSTILE_NAME);
  assert.equal(await item.evaluate((el) => el.children.length), 0);
  assert.equal(await frame.locator('button').textContent(), HOSTILE_NAME);

  const attributes = await frame.locator('body').evaluate((body) => {
    const found = [];
    for (const el of body.querySelectorAll('*')) {
      for (const attr of el.attributes) found.push([el.localName, attr.name, attr.value]);
    }
    return found;
  });
  for (const [tag, name, value] of attributes) {
    assert.ok(!/^on/i.test(name), `${tag} kept ${name}`);
    assert.ok(!['srcdoc', 'is'].includes(name), `${tag} kept ${name}`);
    assert.ok(!/^\s*javascript:/i.test(value.replace(/[\u0000-\u0020]/g, '')),
      `${tag} ${name}="${value}"`);
    assert.ok(!/^data:text\/html/i.test(value), `${tag} ${name}="${value}"`);
  }
  assert.equal(await frame.locator('body script, body iframe, body meta').count(), 0);
  assert.equal(await frame.locator('img[src]').count(), 0);

  assert.equal(await pokeEverything(), null);
});

test('hostile changes in a batch are refused the same way', async () => {
  await page.evaluate(() => { window.pwned = undefined; });
  await page.evaluate(({ root, name, run }) => {
    window.mirror.reset(root, []);
    window.mirror.apply([
      ['attr', 3, 'onmouseover', run],
      ['attr', 3, 'title', name],
      ['attr', 4, 'href', 'javascript:' + run],
      ['text', 3, name],
      ['tail', 3, name],
      ['ins', 2, 1, { u: 20, g: 'script', a: [], s: [], st: 0, x: run, l: '', c: [] }],
      ['ins', 2, 2, { u: 21, g: 'img', a: [['src', 'nothing.png'], ['onerror', run]], s: [], st: 0,
        x: '', l: name, c: [] }],
      ['ins', 2, 3, { u: 22, g: 'x" onmouseover="' + run, a: [], s: [], st: 0, x: 'odd tag', l: '', c: [] }],
      ['style', 3, 'background-image', 'url("javascript:' + run + '")'],
      ['value', 3, name],
    ]);
  }, {
    root: node(1, 'html', { c: [node(2, 'body', { c: [node(3, 'div', { x: 'cell' }), node(4, 'a', { x: 'a' })] })] }),
    name: HOSTILE_NAME,
    run: RUN,
  });
  const frame = page.frames().find((f) => f !== page.mainFrame());
  const cell = frame.locator('body > div').first();
  assert.equal(await cell.getAttribute('title'), HOSTILE_NAME);
  assert.equal(await cell.getAttribute('onmouseover'), null);
  assert.equal(await cell.evaluate((el) => el.firstChild.data), HOSTILE_NAME);
  assert.equal(await frame.locator('a').getAttribute('href'), null);
  assert.equal(await frame.locator('script').count(), 0);
  assert.equal(await frame.locator('img').getAttribute('onerror'), null);
  assert.equal(await frame.locator('tvx-unknown').textContent(), 'odd tag');
  // Give the picture's error event its chance to fire.
  await page.waitForTimeout(200);
  assert.equal(await pokeEverything(), null);
});

test('state bits become attributes the skin can select', async () => {
  await page.evaluate((root) => window.mirror.reset(root, []), node(1, 'html', { c: [node(2, 'body', { c: [
    node(3, 'li', { st: 0x200 | 0x40, x: 'folder' }),
    node(4, 'input', { a: [['type', 'checkbox']], st: 0x40 | 0x80 }),
  ] })] }));
  const frame = page.frames().find((f) => f !== page.mainFrame());
  const li = frame.locator('li');
  assert.equal(await li.getAttribute('hl-expanded'), '');
  assert.equal(await li.getAttribute('hl-checked'), '');
  assert.equal(await li.getAttribute('hl-collapsed'), null);
  const box = frame.locator('input');
  assert.equal(await box.isChecked(), true);
  assert.equal(await box.isDisabled(), true);
  await page.evaluate(() => window.mirror.apply([['state', 3, 0x400], ['state', 4, 0]]));
  assert.equal(await li.getAttribute('hl-expanded'), null);
  assert.equal(await li.getAttribute('hl-collapsed'), '');
  assert.equal(await box.isChecked(), false);
});
