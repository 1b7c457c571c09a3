// A page that holds one iframe and the shell's page mirror (web/mirror.js), and nothing of the
// program: tests and benchmarks hand it crafted snapshots and batches directly. It is served by
// Playwright's request routing under a made-up origin, so no server runs.

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const WEB_DIR = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../web');
const ORIGIN = 'http://mirror.test';

const PAGE = `<!doctype html>
<html><head><meta charset="utf-8"><title>mirror</title></head>
<body style="margin:0">
<iframe id="frame" style="width:1200px;height:760px;border:0"></iframe>
<script type="module">
import { PageMirror, isUnsafeAttribute } from '/web/mirror.js';
window.PageMirror = PageMirror;
window.isUnsafeAttribute = isUnsafeAttribute;
window.mirror = new PageMirror(document.getElementById('frame'), 1);
window.mirrorReady = true;
</script>
</body></html>`;

// Opens the page in `page`; afterwards window.mirror is a PageMirror on the iframe.
export async function openMirrorPage(page) {
  await page.route(`${ORIGIN}/**`, async (route) => {
    const url = new URL(route.request().url());
    if (url.pathname === '/') {
      await route.fulfill({ contentType: 'text/html; charset=utf-8', body: PAGE });
      return;
    }
    const name = url.pathname.startsWith('/web/') ? path.basename(url.pathname) : '';
    const file = path.join(WEB_DIR, name);
    if (name && fs.existsSync(file)) {
      await route.fulfill({ contentType: 'text/javascript; charset=utf-8', body: fs.readFileSync(file) });
    } else {
      await route.fulfill({ status: 404, body: 'not found' });
    }
  });
  await page.goto(`${ORIGIN}/`);
  await page.waitForFunction(() => window.mirrorReady === true);
}

// A page snapshot in the program's node form: {u, g, a, s, st, x, l, c}.
export function node(u, g, { a = [], s = [], st = 0, x = '', l = '', c = [] } = {}) {
  return { u, g, a, s, st, x, l, c };
}
