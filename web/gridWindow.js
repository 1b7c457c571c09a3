// The photo grid's window: of a grid's cells, only those near its view are built in the page.
// A folder of tens of thousands of pictures built whole cost the browser a gigabyte and seconds
// before its first screen; the view only ever shows a few screens of it.
//
// The mirror keeps every cell as a snapshot (as the program sent it) and applies the program's
// changes to the snapshots whether the cell is built or not, so a cell built later shows its
// latest state. Built are the rows in view and a few screens above and below; two spacers of
// whole rows ("tvx-spacer", present only when not empty) stand for the rest, so every built cell
// sits where it would in the whole grid and the scroll bar keeps its length. The rows follow the
// arithmetic of the grid's layout: every cell the same size, as many to a row as fit the content
// width, rows one cell pitch apart from the content's origin.

import { editSnapshot } from './snapshotEdits.js';

const GRID_ID = 'photo_list';
// Rows built beyond the view, on each side: whichever is more of these screens or these cells.
const SPARE_SCREENS = 3;
const SPARE_CELLS = 300;

function isGrid(snap) {
  return (snap.a || []).some(([name, value]) => name === 'id' && value === GRID_ID);
}

function px(style, property) {
  return parseFloat(style.getPropertyValue(property)) || 0;
}

export class GridWindow {
  constructor(mirror) {
    this.mirror = mirror;
    this.clear();
  }

  clear() {
    this.resizes?.disconnect();
    this.grid = null;
    this.cells = [];          // every cell's snapshot, in the program's order
    this.held = new Map();    // uid -> { snap, list, cell } for every cell and element inside one
    this.shown = [];          // the snapshots of the built cells, in order
    this.window = null;       // the rows built: { columns, rows, first, last }
    this.layout = null;       // { pitchX, pitchY, left, top, right }
    this.changed = false;     // cells came or went since the last build
    this.resized = false;     // a cell's size may have changed
    this.top = null;          // the spacers above and below the built rows, while not empty
    this.bottom = null;
  }

  // Takes the children of `el` (built from `snap`) when it is the grid: true when it did.
  adopt(el, snap) {
    if (this.grid || !isGrid(snap)) return false;
    this.grid = el;
    this.uid = snap.u;
    this.cells = [...(snap.c || [])];
    for (const cell of this.cells) this.register(cell, this.cells, cell);
    this.changed = true;
    el.addEventListener('scroll', () => this.settle(), { passive: true });
    const view = el.ownerDocument.defaultView;
    this.resizes = new view.ResizeObserver(() => this.settle());
    this.resizes.observe(el);
    return true;
  }

  holdsChildrenOf(el) {
    return el === this.grid;
  }

  register(snap, list, cell) {
    this.held.set(snap.u, { snap, list, cell });
    for (const child of snap.c || []) this.register(child, snap.c, cell);
  }

  unregister(snap) {
    this.held.delete(snap.u);
    for (const child of snap.c || []) this.unregister(child);
  }

  // The grid left the page.
  release(el) {
    if (el === this.grid) this.clear();
  }

  // Applies a batch's changes to the cells' snapshots, before the mirror applies them to the
  // built elements (inserts into the grid itself are left to the window).
  record(ops) {
    if (!this.grid) return;
    for (const op of ops) {
      const [kind, uid] = op;
      if (uid === this.uid) {
        if (kind === 'ins') {
          this.cells.splice(Math.min(op[2], this.cells.length), 0, op[3]);
          this.register(op[3], this.cells, op[3]);
          this.changed = true;
        }
        continue;
      }
      const entry = this.held.get(uid);
      if (!entry) continue;
      if (kind === 'rm') {
        // Searched from the end: a grid is emptied from its last cell.
        const i = entry.list.lastIndexOf(entry.snap);
        if (i >= 0) entry.list.splice(i, 1);
        this.unregister(entry.snap);
        if (entry.snap === entry.cell) this.changed = true;
      } else if (kind === 'ins') {
        // A copy: the mirror builds the snapshot it was sent into a built cell, and later
        // changes in the batch must not reach that snapshot twice.
        this.register(editSnapshot(entry.snap, op, structuredClone(op[3])), entry.snap.c, entry.cell);
      } else {
        editSnapshot(entry.snap, op);
        if (entry.snap === entry.cell &&
            (kind === 'style' || (kind === 'attr' && (op[2] === 'style' || op[2] === 'class')))) {
          this.resized = true;
        }
      }
    }
  }

  // Measures the cell pitch on a cell (a built one, or one built aside for it) and the grid's
  // content box.
  measure() {
    const grid = this.grid;
    const view = grid.ownerDocument.defaultView;
    const built = this.shown.map((snap) => this.mirror.nodes.get(snap.u))
      .find((el) => el && el.parentNode === grid);
    const cell = built || this.buildAside(this.cells[0], 0, 0);
    const box = cell.getBoundingClientRect();
    const style = view.getComputedStyle(cell);
    const frame = view.getComputedStyle(grid);
    this.layout = {
      pitchX: box.width + px(style, 'margin-left') + px(style, 'margin-right'),
      pitchY: box.height + px(style, 'margin-top') + px(style, 'margin-bottom'),
      left: px(frame, 'padding-left'), top: px(frame, 'padding-top'), right: px(frame, 'padding-right'),
    };
    if (!built) this.dropAside(cell);
    this.resized = false;
  }

  // The rows in view and those to build around them. Cells without a size (a skin that hides
  // them) leave nothing to count rows by: then every cell is built, one to a row.
  wanted() {
    const { pitchX, pitchY, left, top, right } = this.layout;
    const grid = this.grid;
    if (!(pitchX > 0 && pitchY > 0)) {
      const rows = this.cells.length;
      return { columns: 1, rows, spare: rows, inView: 0, inViewLast: rows - 1, first: 0, last: rows - 1 };
    }
    const columns = Math.max(1, Math.floor((grid.clientWidth - left - right) / pitchX + 1e-6));
    const rows = Math.ceil(this.cells.length / columns);
    const screen = Math.max(1, Math.ceil(grid.clientHeight / pitchY));
    const spare = Math.max(SPARE_SCREENS * screen, Math.ceil(SPARE_CELLS / columns));
    const inView = Math.min(rows - 1, Math.max(0, Math.floor((grid.scrollTop - top) / pitchY)));
    return {
      columns, rows, spare, inView, inViewLast: Math.min(rows - 1, inView + screen),
      first: Math.max(0, inView - spare), last: Math.min(rows - 1, inView + screen + spare),
    };
  }

  // True while the built rows still reach half the spare beyond the view.
  covers(want) {
    const w = this.window;
    return w !== null && w.columns === want.columns && w.rows === want.rows &&
      w.first <= Math.max(0, want.inView - want.spare / 2) &&
      w.last >= Math.min(want.rows - 1, want.inViewLast + want.spare / 2);
  }

  // Brings the built cells in line with the cells and the view: after a batch of changes, a
  // scroll, a resize.
  settle() {
    const grid = this.grid;
    if (!grid || !grid.isConnected) return;
    if (grid.getAttribute('tvx-cells') !== String(this.cells.length)) {
      grid.setAttribute('tvx-cells', this.cells.length);
    }
    if (this.cells.length === 0) {
      if (this.shown.length || this.top || this.bottom) this.show(null);
      return;
    }
    if (this.resized || this.changed || !this.layout) this.measure();
    const want = this.wanted();
    if (!this.changed && this.covers(want)) return;
    this.show(want);
  }

  show(want) {
    const grid = this.grid;
    const mirror = this.mirror;
    const cells = want ? this.cells.slice(want.first * want.columns, (want.last + 1) * want.columns) : [];
    const keep = new Set(cells);
    for (const snap of this.shown) {
      const el = keep.has(snap) ? null : mirror.nodes.get(snap.u);
      if (el && el.parentNode === grid) {
        mirror.tails.get(el)?.remove();
        el.remove();
        mirror.forget(el);
      }
    }
    // In order after the upper spacer: built cells stay (moved if they must), the others are
    // built in runs and go in at once.
    this.top = this.spacer(this.top, want ? want.first * this.layout.pitchY : 0);
    if (this.top && this.top !== grid.firstElementChild) grid.insertBefore(this.top, grid.firstElementChild);
    let next = this.top ? this.top.nextSibling : grid.firstElementChild;
    let block = null;
    const flush = () => {
      if (block) grid.insertBefore(block, next);
      block = null;
    };
    for (const snap of cells) {
      const el = mirror.nodes.get(snap.u);
      if (el && el.parentNode === grid) {
        flush();
        const tail = mirror.tails.get(el);
        if (el !== next) {
          grid.insertBefore(el, next);
          if (tail) grid.insertBefore(tail, next);
        } else {
          next = (tail || el).nextSibling;
        }
      } else {
        mirror.appendBuilt(block || (block = grid.ownerDocument.createDocumentFragment()), snap);
      }
    }
    flush();
    this.bottom = this.spacer(this.bottom, want ? (want.rows - 1 - want.last) * this.layout.pitchY : 0);
    if (this.bottom && this.bottom !== grid.lastElementChild) grid.appendChild(this.bottom);
    this.shown = cells;
    this.window = want;
    this.changed = false;
  }

  // A spacer of `height` pixels (made from `spacer` or anew), or none for no height.
  spacer(spacer, height) {
    if (height <= 0) {
      spacer?.remove();
      return null;
    }
    const el = spacer || this.grid.ownerDocument.createElement('tvx-spacer');
    el.style.cssText = `display:block;flex:0 0 100%;margin:0;padding:0;border:0;height:${height}px`;
    return el;
  }

  // Cell `snap` built hidden at row `row`, column `column` of the grid, out of its flow.
  buildAside(snap, row, column) {
    const cell = this.mirror.build(snap);
    const x = (this.layout?.left ?? 0) + column * (this.layout?.pitchX ?? 0);
    const y = (this.layout?.top ?? 0) + row * (this.layout?.pitchY ?? 0);
    Object.assign(cell.style, { position: 'absolute', visibility: 'hidden', left: `${x}px`, top: `${y}px` });
    this.grid.appendChild(cell);
    return cell;
  }

  dropAside(cell) {
    cell.remove();
    this.mirror.forget(cell);
  }

  // The location of an element of a cell that is not built, as the mirror answers it for built
  // ones: measured on a copy of its cell placed where the grid's arithmetic puts the cell. Null
  // when the window does not hold `uid`.
  locationOfHeld(uid, area) {
    const entry = this.held.get(uid);
    if (!entry || !this.grid?.isConnected || !this.layout) return null;
    const index = this.cells.indexOf(entry.cell);
    if (index < 0) return null;
    const { columns } = this.wanted();
    const cell = this.buildAside(entry.cell, Math.floor(index / columns), index % columns);
    const box = this.mirror.nodes.get(uid)?.isConnected ? this.mirror.location(uid, area) : null;
    this.dropAside(cell);
    return box;
  }
}
