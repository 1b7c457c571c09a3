// Starts Tavopix for a test the way a user's machine would hold it: the program with its skin/
// and web/ folders copied into a fresh program folder, a tavopix.ini that keeps it from opening
// a browser of its own, and, when the test needs the album service, an albumd on loopback named
// in ovkCfg.ini. The program prints the address of its interface, which the test opens in
// headless Chromium. stop() always ends both processes and removes the folder.

import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';

const STARTUP_TIMEOUT_MS = 30_000;

export function buildDir() {
  const dir = process.env.TAVOPIX_BUILD;
  if (!dir) throw new Error('TAVOPIX_BUILD must name the build folder (scripts/e2e.sh sets it)');
  return path.resolve(dir);
}

// TAVOPIX_ALBUMD may name another build's albumd (the service need not carry the sanitizers).
export function albumdBinary() {
  return process.env.TAVOPIX_ALBUMD ?? path.join(buildDir(), 'bin', 'albumd');
}

// tavopix.ini as the program keeps it: UTF-16LE with a byte-order mark, "key = value" lines
// ending in CR LF.
export function settingsFileBytes(settings) {
  let text = '';
  for (const [key, value] of Object.entries(settings)) text += `${key} = ${value}\r\n`;
  return Buffer.concat([Buffer.from([0xff, 0xfe]), Buffer.from(text, 'utf16le')]);
}

// ovkCfg.ini naming the album service at `address`.
export function sdkConfigText(address) {
  return `[service]\r\nalbum_service = ${address}\r\n[timeouts]\r\nconnect_ms = 5000\r\n`;
}

// The first line of `stream` that `pattern` matches, its match; rejects when the stream ends or
// the time runs out first.
function firstMatch(stream, pattern, what, child) {
  return new Promise((resolve, reject) => {
    const lines = readline.createInterface({ input: stream });
    const timer = setTimeout(() => fail(new Error(`no "${what}" line within ${STARTUP_TIMEOUT_MS} ms`)),
      STARTUP_TIMEOUT_MS);
    const onExit = (code, signal) => fail(new Error(`${what}: the process ended first (${code ?? signal})`));
    child.once('exit', onExit);
    function fail(error) {
      clearTimeout(timer);
      child.off('exit', onExit);
      reject(error);
    }
    lines.on('line', (line) => {
      const m = pattern.exec(line);
      if (!m) return;
      clearTimeout(timer);
      child.off('exit', onExit);
      resolve(m);
    });
  });
}

function exitOf(child) {
  return new Promise((resolve) => {
    if (child.exitCode !== null || child.signalCode !== null) {
      resolve({ code: child.exitCode, signal: child.signalCode });
      return;
    }
    child.once('exit', (code, signal) => resolve({ code, signal }));
  });
}

async function kill(child, exited) {
  if (child.exitCode !== null || child.signalCode !== null) return;
  child.kill('SIGTERM');
  const ended = await Promise.race([exited, new Promise((r) => setTimeout(() => r(null), 3000))]);
  if (!ended) child.kill('SIGKILL');
  await exited;
}

// Keeps what a process wrote, for the message of a failing test.
function collect(stream) {
  const chunks = [];
  stream.on('data', (c) => chunks.push(c));
  return () => Buffer.concat(chunks).toString('utf8');
}

async function startAlbumd(dataDir) {
  const child = spawn(albumdBinary(), ['--data', dataDir, '--listen', '127.0.0.1:0'],
    { stdio: ['ignore', 'pipe', 'pipe'] });
  const stderr = collect(child.stderr);
  const exited = exitOf(child);
  try {
    const m = await firstMatch(child.stdout, /^albumd listening on (http:\/\/127\.0\.0\.1:\d+)/,
      'albumd listening', child);
    child.stdout.resume();
    return { child, exited, address: m[1] + '/' };
  } catch (error) {
    await kill(child, exited);
    throw new Error(`${error.message}\n${stderr()}`);
  }
}

// Options: service (start albumd and write ovkCfg.ini), sdkConfig (write this text as
// ovkCfg.ini instead), settings (more tavopix.ini keys), cwd (the working folder to start the
// program in; its program folder by default), beforeStart (with a service: runs
// with {albumdCommand(words), albumdAddress, home, programDir} before the program starts; home
// is the user's home folder the program sees, with an empty Pictures folder). The result's
// restart() starts the program again on the same folders.
export async function startProgram(options = {}) {
  const bin = path.join(buildDir(), 'bin');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tavopix-e2e-'));
  const programDir = path.join(dir, 'program');
  const home = path.join(dir, 'home');
  fs.mkdirSync(programDir);
  fs.mkdirSync(path.join(home, 'Pictures'), { recursive: true });
  const processes = [];
  const stop = async () => {
    for (const p of processes.reverse()) await kill(p.child, p.exited);
    fs.rmSync(dir, { recursive: true, force: true });
  };
  try {
    fs.copyFileSync(path.join(bin, 'tavopix'), path.join(programDir, 'tavopix'));
    fs.chmodSync(path.join(programDir, 'tavopix'), 0o755);
    for (const folder of ['skin', 'web']) {
      fs.cpSync(path.join(bin, folder), path.join(programDir, folder), { recursive: true });
    }
    fs.writeFileSync(path.join(programDir, 'tavopix.ini'),
      settingsFileBytes({ auto_check_update: 'false', ...options.settings, ui_browser: 'none' }));

    let albumd = null;
    if (options.service) {
      fs.mkdirSync(path.join(dir, 'albumd-data'));
      albumd = await startAlbumd(path.join(dir, 'albumd-data'));
      processes.push(albumd);
    }
    if (albumd && options.beforeStart) {
      // Operator commands on the running service's data, before the program asks it anything.
      const albumdCommand = (words) => execFileSync(albumdBinary(),
        ['--data', path.join(dir, 'albumd-data'), ...words], { stdio: ['ignore', 'pipe', 'pipe'] });
      await options.beforeStart({ albumdCommand, albumdAddress: albumd.address, home, programDir });
    }
    const sdkConfig = options.sdkConfig ?? (albumd ? sdkConfigText(albumd.address) : null);
    if (sdkConfig !== null) fs.writeFileSync(path.join(programDir, 'ovkCfg.ini'), sdkConfig);

    // Starts the program in its folder and waits for the address of its interface.
    const launch = async () => {
      const child = spawn(path.join(programDir, 'tavopix'), [], {
        cwd: options.cwd ?? programDir,
        stdio: ['ignore', 'pipe', 'pipe'],
        // The special folders of a user with nothing in them, so no test reads the real home.
        env: {
          ...process.env, HOME: home, XDG_CONFIG_HOME: path.join(home, '.config'),
          XDG_CACHE_HOME: path.join(home, '.cache'),
        },
      });
      const run = { child, exited: exitOf(child) };
      processes.push(run);
      const stderr = collect(child.stderr);
      let url;
      try {
        url = (await firstMatch(child.stdout, /^Tavopix UI: (http:\/\/\S+)$/, 'Tavopix UI', child))[1];
      } catch (error) {
        throw new Error(`${error.message}\n${stderr()}`);
      }
      child.stdout.resume();
      return {
        url,
        pid: child.pid,
        // Resolves with {code, signal} once the program has ended.
        exited: run.exited,
        stderr,
        kill: (signal = 'SIGKILL') => child.kill(signal),
      };
    };
    const first = await launch();
    return {
      ...first,
      programDir,
      home,
      albumdAddress: albumd?.address ?? null,
      // The program once more in the same program folder and home, as a user starts it again
      // (after the last run ended): {url, pid, exited, stderr, kill}. stop() ends it too.
      restart: launch,
      stop,
    };
  } catch (error) {
    await stop();
    throw error;
  }
}
