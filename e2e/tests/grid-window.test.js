// The photo grid's window in the mirror: of 20,000 cells only those near the view are in the
// page, yet the grid scrolls, places and answers for every cell as a grid holding all of them
// does. The same snapshot and changes go to a second mirror whose grid has another id, so it
// builds every cell: that whole grid is the measure of the windowed one.

import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { openBrowser } from '../lib/browser.js';
import { node, openMirrorPage } from '../lib/mirrorPage.js';

const CELLS = 20000;
const BORDER_BOX = 0x21;
// The skin's grid, reduced to what places its cells.
const SHEET = '.grid{position:absolute;inset:0;overflow-y:auto;overflow-x:hidden;box-sizing:border-box;' +
  'padding:1px 0 12px 13px;display:flex;flex-wrap:wrap;align-content:flex-start}' +
  '.loc{position:relative;box-sizing:border-box;margin:0 10px 10px 0;padding:3px;border:1px solid;flex:none}' +
  '.icon{display:block}';
const cellUid = (i) => 10 + 2 * i;
const iconUid = (i) => 11 + 2 * i;

let browser;
let tab;

before(async () => {
  browser = await openBrowser();
  tab = browser.page;
  await openMirrorPage(tab);
  // Made in the page: 20,000 snapshots sent from here took seconds of the test's time.
  await tab.evaluate(([count, sheet]) => {
    const node = (u, g, a, c = []) => ({ u, g, a, c });
    const page = (gridId) => {
      const cells = [];
      for (let i = 0; i < count; ++i) {
        cells.push(node(10 + 2 * i, 'div', [['class', 'loc'], ['it', String(i)], ['style', 'width:88px;height:88px;']],
          [node(11 + 2 * i, 'div', [['class', 'icon'], ['style', 'width:80px;height:80px;']])]));
      }
      return node(1, 'html', [], [node(2, 'body', [], [node(3, 'div', [['id', gridId], ['class', 'grid']], cells)])]);
    };
    const frame = document.createElement('iframe');
    frame.style.cssText = 'position:absolute;left:0;top:0;width:1200px;height:760px;border:0;visibility:hidden';
    document.body.append(frame);
    window.whole = new window.PageMirror(frame, 2);
    window.mirror.reset(page('photo_list'), [{ text: sheet }]);
    window.whole.reset(page('whole'), [{ text: sheet }]);
  }, [CELLS, SHEET]);
});

after(async () => { await browser?.close(); });

// Both grids in one figure each: [windowed, whole].
const both = (read, arg) => tab.evaluate(([source, a]) => {
  const fn = new Function('grid', 'mirror', 'a', source);
  const grid = (m) => m.document.querySelector('.grid');
  return [fn(grid(window.mirror), window.mirror, a), fn(grid(window.whole), window.whole, a)];
}, [read, arg]);
const apply = (ops) => tab.evaluate((o) => {
  window.mirror.apply(structuredClone(o));
  window.whole.apply(structuredClone(o));
}, ops);
const nextFrame = () => tab.evaluate(() => new Promise((r) => requestAnimationFrame(() => r())));

test('20,000 cells: only those near the view are built; scrolls, places and answers as the whole grid', async () => {
  const [built, all] = await both("return grid.querySelectorAll(':scope > .loc').length");
  assert.equal(all, CELLS);
  assert.ok(built > 0 && built < 2000, `${built} cells built`);
  assert.deepEqual(...await both('return grid.scrollHeight'));
  assert.equal((await both("return grid.getAttribute('tvx-cells')"))[0], String(CELLS));

  // Changes to cells far from the view, and to one in it; a removal near the top moves every
  // later cell by one place.
  const far = 15000;
  await apply([['attr', cellUid(far), 'sel', 'true'], ['ins', iconUid(far), 0, node(900001, 'b', { x: 'new' })],
    ['attr', cellUid(0), 'sel', 'true'], ['rm', cellUid(3)]]);
  assert.deepEqual(...await both('return mirror.location(a, 0x21)', iconUid(far)));
  assert.deepEqual(...await both('return mirror.location(a, 0x11)', 900001));

  // Scrolled to the far cell: built in its latest state, where the whole grid has it.
  await both(`grid.scrollTop = mirror.location(a, ${BORDER_BOX})[1] - 300`, cellUid(far));
  await nextFrame();
  const farCell = `const c = grid.querySelector('.loc[it="${far}"]');` +
    "return c && [c.getAttribute('sel'), c.textContent, JSON.stringify(c.getBoundingClientRect())];";
  const [windowed, whole] = await both(farCell);
  assert.deepEqual(windowed, ['true', 'new', whole[2]]);

  // Scrolled two screens a frame, from the end back to the top: every frame's view is covered by
  // built cells, and every built cell sits where the whole grid has it.
  const gaps = await tab.evaluate(() => new Promise((resolve) => {
    const grid = window.mirror.document.querySelector('.grid');
    const whole = window.whole.document.querySelector('.grid');
    const found = [];
    grid.scrollTop = whole.scrollTop = grid.scrollHeight;
    const step = () => {
      const view = grid.getBoundingClientRect();
      const cells = grid.querySelectorAll(':scope > .loc');
      const first = cells[0].getBoundingClientRect();
      const last = cells[cells.length - 1].getBoundingClientRect();
      const sample = cells[Math.floor(cells.length / 2)];
      const same = whole.querySelector(`.loc[it="${sample.getAttribute('it')}"]`);
      const blankAbove = first.top > view.top && cells[0].previousElementSibling;
      const blankBelow = last.bottom < view.bottom - 30 && cells[cells.length - 1].nextElementSibling;
      const moved = JSON.stringify(sample.getBoundingClientRect()) !== JSON.stringify(same.getBoundingClientRect());
      if (blankAbove || blankBelow || moved) {
        found.push(grid.scrollTop);
      }
      if (grid.scrollTop === 0) return resolve(found);
      grid.scrollTop = whole.scrollTop = Math.max(0, grid.scrollTop - 2 * grid.clientHeight);
      requestAnimationFrame(step);
    };
    requestAnimationFrame(step);
  }));
  assert.deepEqual(gaps, []);

  // Emptied, the grid holds nothing, spacers included, so its empty-state text can show.
  await tab.evaluate((count) => {
    const ops = [];
    for (let i = count - 1; i >= 0; --i) if (i !== 3) ops.push(['rm', 10 + 2 * i]);
    window.mirror.apply(structuredClone(ops));
    window.whole.apply(ops);
  }, CELLS);
  assert.deepEqual(await both('return grid.childElementCount'), [0, 0]);
});
