// The upload dialog on its own (the upload-dialog-show test program, which starts its own
// albumd): the pictures it is given are uploaded while the dialog is served to a browser.

import { spawn } from 'node:child_process';
import path from 'node:path';
import readline from 'node:readline';
import { buildDir } from './program.js';

// Starts upload-dialog-show on `files` with `env` added to the environment; resolves once it
// prints its interface's address, with {url, exited (resolves with its exit code), output (the
// lines it printed so far), stderr(), stop()}.
export async function startUploadDialogShow(files, env = {}) {
  const show = spawn(path.join(buildDir(), 'bin', 'upload-dialog-show'), files,
    { stdio: ['ignore', 'pipe', 'pipe'], env: { ...process.env, ...env } });
  const exited = new Promise((resolve) => show.once('exit', (code) => resolve(code)));
  let stderr = '';
  show.stderr.on('data', (c) => { stderr += c; });
  const output = [];
  const url = await new Promise((resolve, reject) => {
    readline.createInterface({ input: show.stdout }).on('line', (line) => {
      output.push(line);
      const m = /^Tavopix UI: (\S+)$/.exec(line);
      if (m) resolve(m[1]);
    });
    show.once('exit', () => reject(new Error(`upload-dialog-show ended early:\n${stderr}`)));
  });
  return {
    url,
    exited,
    output,
    stderr: () => stderr,
    // Ends it unless it has ended by itself.
    stop: () => {
      if (show.exitCode === null) show.kill('SIGTERM');
    },
  };
}
