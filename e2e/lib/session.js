// The program as startProgram starts it, with a browser on its page for the length of one test.

import { openBrowser } from './browser.js';
import { startProgram } from './program.js';

// Runs `body(program, page, browser)` with the page opened on the program; the program's error
// output is added to any failure, and the browser and the program end afterwards.
export async function withProgram(options, body, browserOptions) {
  const program = await startProgram(options);
  let browser;
  try {
    browser = await openBrowser(browserOptions);
    await browser.page.goto(program.url);
    await body(program, browser.page, browser);
  } catch (error) {
    error.message += `\n--- program stderr ---\n${program.stderr()}`;
    throw error;
  } finally {
    await browser?.close();
    await program.stop();
  }
}
