// The account dialogs in headless Chromium against a real albumd: an account registered on
// albumd's own page, a wrong password, a remembered automatic login that comes back after a
// restart without typing, feedback that albumd keeps, the feedback dialog resized, the about
// dialog, and logging out.

import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';
import { test } from 'node:test';
import { exitWithin, openBrowser, windowBoxOf, windowFrame } from '../lib/browser.js';
import { mainWindow, openMenu, until, windowGone } from '../lib/flows.js';
import { albumdBinary, startProgram } from '../lib/program.js';

const TIMEOUT = { timeout: 180_000 };
const USER = 'e2e_user';
const PASSWORD = 'correct-horse-1';

// Starts the program again in the same folder (same UserInfo.dat, same albumd) after it ended.
async function restart(program) {
  const home = path.join(path.dirname(program.programDir), 'home');
  const child = spawn(path.join(program.programDir, 'tavopix'), [], {
    cwd: program.programDir,
    stdio: ['ignore', 'pipe', 'pipe'],
    env: { ...process.env, HOME: home, XDG_CONFIG_HOME: path.join(home, '.config') },
  });
  const exited = new Promise((resolve) => child.once('exit', (code, signal) => resolve({ code, signal })));
  const url = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('no "Tavopix UI" line after the restart')), 30_000);
    readline.createInterface({ input: child.stdout }).on('line', (line) => {
      const m = /^Tavopix UI: (http:\/\/\S+)$/.exec(line);
      if (m) { clearTimeout(timer); resolve(m[1]); }
    });
  });
  child.stderr.resume();
  return { child, exited, url };
}

function feedbackList(program) {
  const data = path.join(path.dirname(program.programDir), 'albumd-data');
  return execFileSync(albumdBinary(), ['--data', data, 'feedback', 'list'], { encoding: 'utf8' });
}

test('register, log in, come back by ticket after a restart, send feedback, log out', TIMEOUT, async () => {
  const program = await startProgram({ service: true });
  let browser;
  let second;
  try {
    browser = await openBrowser();
    const page = browser.page;
    await page.goto(program.url);
    let main = await mainWindow(page, 3000);
    assert.equal(await main.locator('#username_hint').textContent(), '');

    // The login dialog from the menu; its link opens albumd's registration page in a new tab.
    await openMenu(main, 'menu_login');
    let login = await windowFrame(page, '用户登入');
    const [tab] = await Promise.all([browser.context.waitForEvent('page'), login.locator('#link_reg').click()]);
    await tab.waitForLoadState();
    const returnUrl = encodeURIComponent(`${program.albumdAddress}login`);
    assert.equal(tab.url(), `${program.albumdAddress}ovklogin/register.php?appid=2&returnurl=${returnUrl}&style=album`);
    await tab.locator('#username').fill(USER);
    await tab.locator('#password').fill(PASSWORD);
    await tab.locator('#password2').fill(PASSWORD);
    await tab.locator('button[type=submit]').click();
    await tab.getByText('注册成功').first().waitFor({ timeout: 10_000 });
    await tab.close();

    // A wrong password first, then the right one with both boxes checked; Enter logs in.
    assert.equal(await login.locator('#pswd').getAttribute('type'), 'password');
    await login.locator('#username').fill(USER);
    await login.locator('#pswd').fill('wrong-password');
    await login.locator('#btn_login').click();
    await until(() => login.locator('#info').textContent(), (t) => t === '登录失败,密码错误', 'the failure text');
    await login.locator('#pswd').fill(PASSWORD);
    await login.locator('#rcd_pswd').click();
    await login.locator('#auto_login').click();
    await until(() => login.locator('#auto_login').getAttribute('hl-checked'), (v) => v !== null, 'auto_login checked');
    await login.locator('#pswd').focus();
    await page.keyboard.press('Enter');
    await windowGone(page, login);
    await until(() => main.locator('#username_hint').textContent(), (t) => t === `${USER} (已登录)`, 'the login hint');

    const remembered = fs.readFileSync(path.join(program.programDir, 'UserInfo.dat'));
    assert.deepEqual([...remembered.subarray(0, 2)], [0xff, 0xfe]);
    const text = remembered.subarray(2).toString('utf16le');
    assert.match(text, new RegExp(`^11${USER}\\t[A-Za-z0-9_-]{43}\\r\\n$`));
    assert.equal(fs.statSync(path.join(program.programDir, 'UserInfo.dat')).mode & 0o777, 0o600);

    // Feedback that albumd keeps; the dialog grows with its grip and the message box follows.
    await openMenu(main, 'menu_advice');
    const advice = await windowFrame(page, '意见与反馈');
    const message = '界面 "清爽" & <好用>\n第二行';
    await advice.locator('#adv_msg').fill(message);
    await advice.locator('#btn_send').click();
    await until(() => advice.locator('#req_info').textContent(), (t) => t === '谢谢,已提交成功!', 'the feedback result');
    assert.ok(feedbackList(program).includes('界面 "清爽" & <好用>'));
    const grip = await advice.locator('#hsk_corner').boundingBox();
    await page.mouse.move(grip.x + grip.width / 2, grip.y + grip.height / 2);
    await page.mouse.down();
    await page.mouse.move(grip.x + 140, grip.y + 120, { steps: 8 });
    await page.mouse.up();
    const fits = () => advice.locator('#adv_msg').evaluate((el) => {
      const client = el.ownerDocument.defaultView.innerHeight;
      return { client, box: Math.round(el.getBoundingClientRect().height) };
    });
    const sized = await until(fits, (s) => s.client > 300 && s.box === s.client - 115, 'adv_msg following the window');
    assert.equal(sized.box, sized.client - 115);
    await page.keyboard.press('Escape');
    await windowGone(page, advice);

    // The about dialog shows the version; Enter closes it.
    await openMenu(main, 'menu_about');
    const about = await windowFrame(page, '关于');
    assert.equal(await about.locator('#version').textContent(), '0.1.1.0');
    await about.locator('#btn_close').focus();
    await page.keyboard.press('Enter');
    await windowGone(page, about);

    // A restart: the login dialog logs in by itself with the remembered ticket.
    await main.locator('#hsk_btn_close').click();
    await exitWithin(program.exited);
    second = await restart(program);
    await page.goto(second.url);
    main = await mainWindow(page, 3000);
    await openMenu(main, 'menu_login');
    await until(() => main.locator('#username_hint').textContent(), (t) => t === `${USER} (已登录)`,
      'the login hint after the ticket login');
    assert.equal(page.frames().filter((f) => f !== page.mainFrame()).length, 1);

    // Logging out with "remember" on keeps the file; the menu offers the login again.
    await openMenu(main, 'menu_logout');
    await until(() => main.locator('#username_hint').textContent(), (t) => t === '', 'the hint after logout');
    assert.deepEqual(fs.readFileSync(path.join(program.programDir, 'UserInfo.dat')), remembered);
    await main.locator('#hsk_btn_menu').click();
    await main.locator('#main_menu #menu_login').waitFor({ state: 'visible', timeout: 5000 });
    assert.equal(await main.locator('#main_menu #menu_logout').isVisible(), false);
    await page.keyboard.press('Escape');
    await main.locator('#hsk_btn_close').click();
    await exitWithin(second.exited);
  } catch (error) {
    error.message += `\n--- program stderr ---\n${program.stderr()}`;
    throw error;
  } finally {
    await browser?.close();
    if (second && second.child.exitCode === null) second.child.kill('SIGKILL');
    await program.stop();
  }
});
