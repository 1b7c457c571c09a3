#!/usr/bin/env node
// The photo grid of the real program with 5,000 and with 20,000 pictures, in headless Chromium:
//   1. grid built and drawn: from the press on the folder (its listing included) to every cell
//      in the grid (in the page, or held by the mirror's grid window) and the next frame drawn;
//   2. band over all: from the release of a rubber band over every cell in view to their
//      selection drawn;
//   3. Ctrl+A: from the key to every cell selected, the status line saying so, drawn;
//   4. zoom step: from the slider's change to the cells in the page restyled and drawn.
// Beside each, what the browser alone takes for the same change of its page, done by a script in
// the page (the floor of any design that draws in this browser): the same cells inserted as
// markup, the same attributes and styles set; and the ratio of the two medians.
//
// Usage: node bench/grid-bench.mjs [BUILD_DIR] [RUNS]   (run `npm ci` in e2e/ first)
//   BUILD_DIR  holds bin/tavopix and bin/albumd (default build/release)
//   RUNS       runs of each (default 5)
//   TAVOPIX_BENCH_SHORT=1  500 cells, 2 runs: a check that every figure is measured (status 1
//                          when one is not)
// Needs TAVOPIX_PHOTOS (scripts/get-photos.sh): one real photo is linked 25,000 times.
// Goal: each within 1.3 x the browser alone.

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const repo = path.resolve(here, '..');
process.env.TAVOPIX_BUILD = path.resolve(process.argv[2] ?? path.join(repo, 'build/release'));
const SHORT = process.env.TAVOPIX_BENCH_SHORT === '1';
const RUNS = SHORT ? 2 : Math.max(3, Number(process.argv[3] ?? 5));
const SIZES = SHORT ? [500] : [5000, 20000];
const PHOTOS = process.env.TAVOPIX_PHOTOS;
if (!PHOTOS) throw new Error('TAVOPIX_PHOTOS must name the folder scripts/get-photos.sh filled');

const { openBrowser, windowFrame } = await import('../e2e/lib/browser.js');
const { startProgram } = await import('../e2e/lib/program.js');
const { percentile } = await import('./percentile.mjs');

function progress(what, run, samples) {
  console.error(`${what} ${run + 1}/${RUNS}: ${samples.at(-1).toFixed(1)} ms`);
}

const median = (samples) => percentile([...samples].sort((a, b) => a - b), 50);
let unmeasured = 0;

function summary(label, samples, floor) {
  const s = [...samples].sort((a, b) => a - b);
  if (s.length === 0 || !s.every(Number.isFinite)) {
    console.log(`${label.padEnd(44)} not measured`);
    unmeasured++;
    return;
  }
  const f = (v) => v.toFixed(1).padStart(7);
  const ratio = floor ? `  ${(median(s) / median(floor)).toFixed(2)} x the browser alone` : '';
  console.log(`${label.padEnd(44)} n=${String(s.length).padStart(2)}  median ${f(percentile(s, 50))} ms` +
    `  p99 ${f(percentile(s, 99))} ms${ratio}`);
}

// In the main window's page: arm(done) starts the clock and watches the page's changes until
// done() holds, then waits for the next frame to be drawn; took() answers the time. Arming before
// the input, in its own round trip, leaves no change unseen.
function instrument() {
  window.gridBench = {
    arm(done, what) {
      this.pending = new Promise((resolve, reject) => {
        const start = performance.now();
        const timer = setTimeout(() => {
          observer.disconnect();
          reject(new Error(`${what}: not seen within 60 s`));
        }, 60_000);
        const observer = new MutationObserver(() => {
          if (!done()) return;
          observer.disconnect();
          clearTimeout(timer);
          requestAnimationFrame(() => requestAnimationFrame(() => resolve(performance.now() - start)));
        });
        observer.observe(document.body, { subtree: true, childList: true, attributes: true, characterData: true });
      });
      this.pending.catch(() => {});
    },
    took() {
      return this.pending;
    },
    // The cells the grid holds, in the page or in the mirror's grid window (which says it in
    // "tvx-cells").
    cells() {
      const grid = document.getElementById('photo_list');
      return Number(grid.getAttribute('tvx-cells') ?? grid.querySelectorAll(':scope > .loc').length);
    },
  };
}

// One size: the four timings of the program and the browser alone's, printed with their ratios.
async function measure(page, main, cells) {
  const folder = (name) => main.locator(`#tree_view caption[path="%mypic%${name}/"] .cp`);
  const open = (name) => folder(name).click();
  const big = `Big${cells}`;
  await folder(big).waitFor({ timeout: 120_000 });

  // 1. Built and drawn, alternating with a folder of one picture.
  const built = [];
  for (let run = 0; run < RUNS; run++) {
    await open('Small');
    await main.waitForFunction(() => window.gridBench.cells() === 1, null, { timeout: 120_000 });
    await main.evaluate((n) => window.gridBench.arm(() => window.gridBench.cells() === n, 'the built grid'), cells);
    await open(big);
    built.push(await main.evaluate(() => window.gridBench.took()));
    progress(`built ${cells}`, run, built);
  }
  // The cells in view get their thumbnails before anything is selected by the band.
  await main.waitForFunction(() => document.querySelectorAll('#photo_list picture').length >= 20,
    null, { timeout: 120_000 });
  await page.waitForTimeout(1000);

  // 2. Band over every cell in view, 3. Ctrl+A; Ctrl+D between runs.
  const grid = await main.locator('#photo_list').boundingBox();
  const band = [];
  const all = [];
  let inView = 0;
  for (let run = 0; run < RUNS; run++) {
    await page.keyboard.press('Control+D');
    await main.waitForFunction(() => document.querySelectorAll('#photo_list > .loc[sel]').length === 0);
    // Boxes are in the page's viewport, where the mouse moves.
    await page.mouse.move(grid.x + 6, grid.y + 6);
    await page.mouse.down();
    await page.mouse.move(grid.x + 30, grid.y + 30, { steps: 2 });
    await page.mouse.move(grid.x + grid.width - 20, grid.y + grid.height - 8, { steps: 3 });
    await main.waitForFunction(() => document.getElementById('sel_rect').getBoundingClientRect().height > 700);
    // The cells whose picture the band as drawn meets are the ones it selects.
    inView = await main.evaluate(`(${() => {
      const b = document.getElementById('sel_rect').getBoundingClientRect();
      const count = [...document.querySelectorAll('#photo_list picture')].filter((p) => {
        const r = p.getBoundingClientRect();
        return r.left <= b.right && b.left <= r.right && r.top <= b.bottom && b.top <= r.bottom;
      }).length;
      window.gridBench.arm(() => document.querySelectorAll('#photo_list > .loc[sel="true"]').length === count,
        'the band');
      return count;
    }})()`);
    await page.mouse.up();
    band.push(await main.evaluate(() => window.gridBench.took()));
    progress(`band ${cells}`, run, band);

    // Every cell in the page selected and the status line counting all of them.
    await main.evaluate((n) => window.gridBench.arm(() =>
      document.getElementById('hsk_st').textContent === `已选择 ${n} 张图片` &&
      [...document.querySelectorAll('#photo_list > .loc')].every((c) => c.getAttribute('sel') === 'true'),
    'Ctrl+A'), cells);
    await page.keyboard.press('Control+A');
    all.push(await main.evaluate(() => window.gridBench.took()));
    progress(`Ctrl+A ${cells}`, run, all);
  }

  // 4. Zoom steps between 160 and 170, from whichever the slider is at.
  const zoom = [];
  for (let run = 0; run < RUNS; run++) {
    const now = await main.evaluate(() => Number(document.getElementById('img_size').value));
    const side = now === 170 ? 160 : 170;
    await main.evaluate((s) => window.gridBench.arm(() => {
      const width = `${s + 8}px`;
      const shown = document.querySelectorAll('#photo_list > .loc');
      return shown.length > 0 && [...shown].every((c) => c.style.width === width);
    }, 'the zoom'), side);
    await main.evaluate((s) => {
      const slider = document.getElementById('img_size');
      slider.value = String(s);
      slider.dispatchEvent(new Event('input', { bubbles: true }));
    }, side);
    zoom.push(await main.evaluate(() => window.gridBench.took()));
    progress(`zoom ${cells}`, run, zoom);
  }
  const inPage = await main.evaluate(() => document.querySelectorAll('#photo_list > .loc').length);

  // The browser alone, in the same page: markup inserted, attributes and styles set.
  const floor = await main.evaluate(async ({ cells: n, runs }) => {
    const drawn = () => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
    const host = document.createElement('div');
    host.style.cssText = 'position:absolute;inset:0;overflow:auto;visibility:visible;z-index:-1';
    document.getElementById('right_top').appendChild(host);
    let html = '';
    for (let i = 0; i < n; i++) {
      html += `<div class="loc" it="${i}" style="width:168px;height:168px;" path="%mypic%Big/IMG_${i}.jpg">` +
        '<div class="icon" style="width:160px; height:160px; "></div> </div>';
    }
    const out = { build: [], select: [], restyle: [] };
    for (let run = 0; run < runs; run++) {
      host.replaceChildren();
      await drawn();
      let t = performance.now();
      host.innerHTML = html;
      await drawn();
      out.build.push(performance.now() - t);
      t = performance.now();
      for (const c of host.children) c.setAttribute('sel', 'true');
      await drawn();
      out.select.push(performance.now() - t);
      t = performance.now();
      for (const c of host.children) {
        c.style.width = '178px';
        c.style.height = '178px';
        c.firstChild.style.cssText = 'width:170px; height:127px; margin-left:0px; margin-top:21px;';
      }
      await drawn();
      out.restyle.push(performance.now() - t);
      for (const c of host.children) c.removeAttribute('sel');
    }
    host.remove();
    return out;
  }, { cells, runs: RUNS });

  console.log(`${cells} cells (${inPage} of them in the page), ${RUNS} runs each, median and p99:`);
  summary('grid built and drawn (listing included)', built, floor.build);
  summary('  browser alone: markup inserted, drawn', floor.build);
  summary(`band over all ${inView} cells in view, drawn`, band);
  summary(`Ctrl+A, ${cells} selected and drawn`, all, floor.select);
  summary(`  browser alone: ${cells} attributes set, drawn`, floor.select);
  summary('zoom step, cells restyled and drawn', zoom, floor.restyle);
  summary(`  browser alone: ${cells} cells restyled, drawn`, floor.restyle);
  if (inView === 0) {
    console.log('the band met no cell: not measured');
    unmeasured++;
  }
}

async function main() {
  const program = await startProgram({
    service: true,
    beforeStart: ({ home, programDir }) => {
      const photo = path.join(PHOTOS, 'real/Wine_by_Jakkub_Mede.jpg');
      const folders = [...SIZES.map((n) => `Big${n}`), 'Small'];
      for (const name of folders) {
        const folder = path.join(home, 'Pictures', name);
        fs.mkdirSync(folder, { recursive: true });
        // A sub-folder each makes every folder a branch of the tree, shown under the expanded
        // 图片收藏.
        fs.mkdirSync(path.join(folder, 'sub'));
        fs.copyFileSync(photo, path.join(folder, 'sub/one.jpg'));
      }
      fs.copyFileSync(photo, path.join(home, 'Pictures/Small/one.jpg'));
      for (const n of SIZES) {
        for (let i = 0; i < n; i++) {
          fs.linkSync(photo, path.join(home, 'Pictures', `Big${n}`, `IMG_${String(i).padStart(5, '0')}.jpg`));
        }
      }
      fs.writeFileSync(path.join(programDir, 'SetPathCfg.dat'), Buffer.concat([Buffer.from([0xff, 0xfe]),
        Buffer.from(folders.map((name) => `%mypic%${name}/\n`).join(''), 'utf16le')]));
    },
  });
  const browser = await openBrowser({ width: 1400, height: 900 });
  const { page } = browser;
  try {
    await page.goto(program.url);
    const main = await windowFrame(page, 'Tavopix', 30_000);
    await main.evaluate(instrument);
    for (const cells of SIZES) await measure(page, main, cells);
  } finally {
    await browser.close();
    await program.stop();
  }
  if (unmeasured > 0) {
    console.error(`${unmeasured} figure(s) not measured`);
    process.exit(1);
  }
}

await main();
