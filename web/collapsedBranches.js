// The collapsed branches of a page's trees, held back from the browser. A tree of tens of
// thousands of folders shows only its expanded part; building and styling every hidden node
// made a tree's first state and every growth of it cost the whole tree. A collapsed branch
// (an "options" node whose first child is its caption) gets its caption built; the nodes after
// it stay as the program sent them (snapshots) until the branch is expanded. The program's
// changes to held elements edit their snapshots, so an expanded branch shows the latest state.

import { STATE_BITS } from './mirror.js';
import { editSnapshot } from './snapshotEdits.js';

function isCollapsedBranch(snap) {
  return snap.g === 'options' && (snap.st & STATE_BITS.expanded) === 0 &&
    snap.c?.[0]?.g === 'caption';
}

export class CollapsedBranches {
  constructor(mirror) {
    this.mirror = mirror;
    this.heldOf = new Map();  // built branch element -> its held child snapshots, in order
    this.held = new Map();    // uid -> { snap, list }: a held element and the list holding it
  }

  clear() {
    this.heldOf.clear();
    this.held.clear();
  }

  // How many of `snap`'s children the mirror builds now: all, or a collapsed branch's caption.
  builtCount(snap) {
    const count = snap.c?.length ?? 0;
    return count > 1 && isCollapsedBranch(snap) ? 1 : count;
  }

  // Keeps the children `snap.c[from..]` of the built element `el` unbuilt.
  hold(el, snap, from) {
    const list = snap.c.slice(from);
    this.heldOf.set(el, list);
    for (const child of list) this.register(child, list);
  }

  register(snap, list) {
    this.held.set(snap.u, { snap, list });
    for (const child of snap.c || []) this.register(child, snap.c);
  }

  unregister(snap) {
    this.held.delete(snap.u);
    for (const child of snap.c || []) this.unregister(child);
  }

  // Forgets what the removed element `el` held.
  release(el) {
    const list = this.heldOf.get(el);
    if (!list) return;
    this.heldOf.delete(el);
    for (const snap of list) this.unregister(snap);
  }

  // An insert into the built element `el` at the program's `index`: true when it went among the
  // held nodes (its place is past the built ones).
  insert(el, index, snap) {
    const list = this.heldOf.get(el);
    if (!list || index < el.children.length) return false;
    list.splice(Math.min(index - el.children.length, list.length), 0, snap);
    this.register(snap, list);
    return true;
  }

  // A change to an element the mirror has not built; false when `uid` is not held either.
  applyHeld(op) {
    const [kind, uid] = op;
    const entry = this.held.get(uid);
    if (!entry) return false;
    const { snap, list } = entry;
    if (kind === 'rm') {
      const i = list.indexOf(snap);
      if (i >= 0) list.splice(i, 1);
      this.unregister(snap);
    } else if (editSnapshot(snap, op)) {
      this.register(op[3], snap.c);
    }
    return true;
  }

  // The built element `el` changed state: an expanded branch gets its held nodes built.
  stateChanged(el) {
    const list = this.heldOf.get(el);
    if (!list || !el.hasAttribute('hl-expanded')) return;
    this.heldOf.delete(el);
    for (const snap of list) this.unregister(snap);
    const block = el.ownerDocument.createDocumentFragment();
    for (const snap of list) this.mirror.appendBuilt(block, snap);
    el.appendChild(block);
  }
}
