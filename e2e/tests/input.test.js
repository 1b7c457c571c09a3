// Typing as fast as a keyboard can send it, in headless Chromium against the real program: the
// login dialog's user name and password and the feedback text area get 2,000 characters each
// with no delay between keys, CJK text through an input method's composition, and a paste.
// What the page shows must be what was typed, and so must what the program holds: a reload of
// the page rebuilds every window from the program's own state, and the feedback reaches albumd.
// Beside it, the page's rule for the program's values of a field, step by step on the mirror,
// and the order its sender gives a fast typist's values.

import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import path from 'node:path';
import { test } from 'node:test';
import { FieldValues } from '../../web/fieldValues.js';
import { openBrowser, windowFrame } from '../lib/browser.js';
import { addAlbumdUser, mainWindow, openMenu, until, windowGone } from '../lib/flows.js';
import { openMirrorPage } from '../lib/mirrorPage.js';
import { albumdBinary, startProgram } from '../lib/program.js';

const TIMEOUT = { timeout: 240_000 };
const USER = 'fast_typist';
const PASSWORD = 'correct horse 1';

// 2,000 characters a typist could make: words, digits, punctuation, capitals.
function typedText(seed) {
  const words = ['the', 'quick', 'brown', 'fox', 'jumps', 'over', 'lazy', 'dog', 'correct', 'horse',
    'battery', 'staple', 'Tavopix', '2024', 'x-y', 'a.b', 'QR'];
  let text = '';
  for (let i = 0; text.length < 2000; i++) text += words[(i * 7 + seed) % words.length] + ' ';
  return text.slice(0, 2000);
}

const focusedId = (frame) => frame.evaluate(() => document.activeElement?.id ?? '');

test('fast typing, composition and paste arrive whole in the page and in the program', TIMEOUT, async () => {
  const program = await startProgram({ service: true });
  addAlbumdUser(program.programDir, USER, PASSWORD);
  const browser = await openBrowser();
  try {
    const { page, context } = browser;
    await page.goto(program.url);
    let main = await mainWindow(page);

    // The login dialog opens with the user name focused; Tab goes on to the password.
    await openMenu(main, 'menu_login');
    let login = await windowFrame(page, '用户登入');
    await until(() => focusedId(login), (id) => id === 'username', 'the focus on opening');
    const name = typedText(1);
    const password = typedText(5);
    await page.keyboard.type(name);
    await page.keyboard.press('Tab');
    assert.equal(await focusedId(login), 'pswd');
    await page.keyboard.type(password);
    assert.equal(await login.locator('#username').inputValue(), name, 'the user name in the page');
    assert.equal(await login.locator('#pswd').inputValue(), password, 'the password in the page');

    // The page again, built from what the program holds.
    await page.waitForTimeout(1500);
    await page.reload();
    login = await windowFrame(page, '用户登入');
    // The program may still be taking the last keys the replaced page sent; its values follow.
    await until(() => login.locator('#username').inputValue(), (v) => v === name, 'the user name in the program');
    await until(() => login.locator('#pswd').inputValue(), (v) => v === password, 'the password in the program');

    // A refused login keeps the keyboard in the dialog, on the button that was pressed.
    await login.locator('#btn_login').click();
    await until(() => login.locator('#info').getAttribute('state'), (v) => v === 'error', 'the refusal');
    await until(() => focusedId(login), (id) => id === 'btn_login', 'the focus after the refusal');

    // The real account, typed over what is there, logs in with Enter.
    await login.locator('#username').focus();
    await page.keyboard.press('Control+A');
    await page.keyboard.type(USER);
    await page.keyboard.press('Tab');
    await page.keyboard.press('Control+A');
    await page.keyboard.type(PASSWORD);
    await page.keyboard.press('Enter');
    await windowGone(page, login);

    // The feedback text area: typed text with new lines, a composition, a paste.
    main = await windowFrame(page, 'Tavopix');
    await openMenu(main, 'menu_advice');
    let advice = await windowFrame(page, '意见与反馈');
    await until(() => focusedId(advice), (id) => id === 'adv_msg', 'the text area focused');
    const typed = typedText(3).replace(/ (?=fox)/g, '\n');
    await page.keyboard.type(typed);
    // An input method composes 你好 from keys and commits it; then 世界 the same way.
    const cdp = await context.newCDPSession(page);
    for (const [steps, committed] of [[['n', 'ni', 'nih', 'niha', 'nihao'], '你好'], [['s', 'sh', 'shi', 'shij', 'shijie'], '世界']]) {
      for (const step of steps) {
        await cdp.send('Input.imeSetComposition', { text: step, selectionStart: step.length, selectionEnd: step.length });
      }
      await cdp.send('Input.insertText', { text: committed });
    }
    // A paste of text with CJK and Latin words.
    const pasted = '粘贴的文字 pasted words 一二三';
    await context.grantPermissions(['clipboard-read', 'clipboard-write']);
    await page.evaluate((text) => navigator.clipboard.writeText(text), pasted);
    await page.keyboard.press('Control+V');
    const expected = typed + '你好世界' + pasted;
    assert.equal(await advice.locator('#adv_msg').inputValue(), expected, 'the feedback in the page');

    await page.waitForTimeout(1500);
    await page.reload();
    advice = await windowFrame(page, '意见与反馈');
    await until(() => advice.locator('#adv_msg').inputValue(), (v) => v === expected, 'the feedback in the program');
    // Sent, albumd keeps it as the program had it.
    await advice.locator('#btn_send').click();
    const data = path.join(path.dirname(program.programDir), 'albumd-data');
    await until(() => execFileSync(albumdBinary(), ['--data', data, 'feedback', 'list'], { encoding: 'utf8' }),
      (list) => list.includes('你好世界' + pasted), 'the feedback at albumd');
  } finally {
    await browser.close();
    await program.stop();
  }
});

// The rule the page follows, step by step on the mirror alone: a value of the program is shown
// unless the user has edited the field since the edit the value answers, or is composing in it.
test('a field shows a value of the program only when it answers the latest edit', TIMEOUT, async () => {
  const browser = await openBrowser();
  try {
    const { page } = browser;
    await openMirrorPage(page);
    const shown = await page.evaluate(() => {
      const { mirror } = window;
      const snap = (u, g, extra = {}) => ({ u, g, a: [], s: [], st: 0, x: '', l: '', c: [], ...extra });
      mirror.reset(snap(1, 'html', { c: [snap(2, 'body', { c: [snap(3, 'input', { v: 'start' }), snap(4, 'textarea', { x: 'note' })] })] }), []);
      const input = mirror.nodes.get(3);
      const area = mirror.nodes.get(4);
      const seen = [];
      const type = (el, text) => { el.value = text; return mirror.noteEdit(el); };
      mirror.apply([['value', 3, 'set by the program']]);
      seen.push(input.value);
      const first = type(input, 'typed');
      const second = type(input, 'typed more');
      mirror.apply([['value', 3, 'typed', first]]);  // the echo of the first edit, late
      seen.push(input.value);
      mirror.apply([['value', 3, 'typed more', second]]);
      mirror.apply([['value', 3, 'filled by a dialog', second]]);  // nothing typed since
      seen.push(input.value);
      mirror.composing(input, true);
      mirror.apply([['value', 3, 'during a composition', second]]);
      seen.push(input.value);
      mirror.composing(input, false);
      const edit = type(area, 'a text area typed');
      mirror.apply([['text', 4, 'older', edit - 1]]);
      seen.push(area.value);
      mirror.apply([['text', 4, 'cleared by the program', edit]]);
      seen.push(area.value);
      return seen;
    });
    assert.deepEqual(shown, ['set by the program', 'typed more', 'filled by a dialog', 'filled by a dialog',
      'a text area typed', 'cleared by the program']);
  } finally {
    await browser.close();
  }
});

// The order the page sends a fast typist's values in, on the shell's sender alone: one value of
// a field on its way at a time, the newest when the program answers, all of them before a key
// that acts on them; a program that never answers gets the newest after a short wait.
test('values wait for the program to answer and go before the keys that act on them', async () => {
  const sent = [];
  const values = new FieldValues((message) => sent.push(message.k === 'value' ? `${message.u}:${message.v}` : message.key));
  const value = (u, v, n) => values.offer({ t: 'in', k: 'value', win: 7, u, v, n });
  const key = (k, name, m = 0) => values.send({ t: 'in', k, win: 7, u: 1, key: name, m });
  value(1, 'a', 1);
  key('keyup', 'a');
  value(1, 'ab', 2);
  value(1, 'abc', 3);
  value(2, 'x', 1);  // another field goes at once
  values.answered(7, 1, 1);  // 'abc' goes, 'ab' never
  value(1, 'abcd', 4);
  key('keydown', 'Enter');  // acts on the field: 'abcd' first
  value(1, 'abcde', 5);
  key('keydown', 'a', 1);  // Ctrl+A
  assert.deepEqual(sent, ['1:a', 'a', '2:x', '1:abc', '1:abcd', 'Enter', '1:abcde', 'a']);
  sent.length = 0;
  value(1, 'abcdef', 6);
  await new Promise((r) => setTimeout(r, 250));
  assert.deepEqual(sent, ['1:abcdef']);
  values.reset();
});
