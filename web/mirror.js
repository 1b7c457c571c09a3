// The mirror of one program page inside its window's iframe. The program's DOM is the truth:
// it sends the whole tree once and then batches of changes naming elements by uid; the mirror
// builds plain DOM from them and never lets markup from the program's data run as code.
//
// Text model: an element's leading text (before its first child element) and its tail (the
// text after it, up to the next sibling element) are separate text nodes.

import { GridWindow } from './gridWindow.js';

// The engine's state bits the skin styles, each mirrored as an "hl-<name>" attribute. They are
// engine/ElementState.h's STATE_<NAME> values; a test of the browser view checks they agree.
export const STATE_BITS = {
  hover: 0x2, focus: 0x8, current: 0x20, checked: 0x40, disabled: 0x80, readonly: 0x100,
  expanded: 0x200, collapsed: 0x400, busy: 0x80000, pressed: 0x4000000, popup: 0x8000000,
};

import { CollapsedBranches } from './collapsedBranches.js';

// Elements that could load or run something of their own are never created.
const BLOCKED_TAGS = new Set(['script', 'iframe', 'frame', 'frameset', 'object', 'embed', 'base',
  'meta', 'link', 'style', 'template', 'applet', 'portal']);
const URL_ATTRIBUTES = new Set(['href', 'src', 'action', 'formaction', 'xlink:href', 'background',
  'poster', 'data', 'srcset', 'ping', 'cite', 'longdesc']);

// True for an attribute the browser must not receive: event handlers and script addresses.
export function isUnsafeAttribute(name, value) {
  const n = name.toLowerCase();
  if (n.startsWith('on') || n === 'srcdoc' || n === 'is') return true;
  if (URL_ATTRIBUTES.has(n) && value != null) {
    const compact = String(value).replace(/[\u0000-\u0020\u007f-\u009f]/g, '').toLowerCase();
    if (/^(javascript|vbscript|data:text\/html)/.test(compact)) return true;
  }
  return false;
}

// What the page dialect means and a browser does not know: pictures show their source, popups
// stay hidden until the program opens one at its anchor.
const MIRROR_STYLE = 'picture{display:inline-block;background:center/contain no-repeat}' +
  'popup:not([hl-popup]),menu.popup:not([hl-popup]),menu.context:not([hl-popup]){display:none}' +
  '[hl-popup]{display:block;position:absolute;z-index:1000}';

// `text` (a style sheet) with its relative url() references resolved against `base`; addresses
// with a scheme (data:, http:) and fragments stay as they are.
function withAbsoluteUrls(text, base) {
  return text.replace(/url\(\s*(?:"([^"]*)"|'([^']*)'|([^"'()\s]*))\s*\)/g, (whole, dq, sq, bare) => {
    const reference = dq ?? sq ?? bare;
    if (reference === '' || reference.startsWith('#') || /^[a-z][a-z0-9+.-]*:/i.test(reference)) return whole;
    return `url("${new URL(reference, base).href}")`;
  });
}

// The selectors of the rules that give elements a behaviour ("behavior: name"), which a browser
// drops from a sheet's rules: the program's behaviours (a tree, a grid) take keys, so the
// elements they drive are reached with Tab like the controls.
function behaviourSelectors(sheets) {
  const selectors = [];
  for (const sheet of sheets) {
    if (typeof sheet.text !== 'string') continue;
    const text = sheet.text.replace(/\/\*[\s\S]*?\*\//g, '');
    for (const m of text.matchAll(/([^{}]+)\{[^{}]*\bbehavior\s*:/g)) selectors.push(m[1].trim());
  }
  return selectors;
}

// Pages use few distinct names (and tens of thousands of elements): each name is judged once.
const NOT_A_NAME = 0, PLAIN = 1, ADDRESS = 2, NEVER = 3;
const nameKinds = new Map();
function nameKind(name) {
  let kind = nameKinds.get(name);
  if (kind === undefined) {
    if (!/^[A-Za-z_][A-Za-z0-9_:.-]*$/.test(name)) kind = NOT_A_NAME;
    else if (isUnsafeAttribute(name, null)) kind = NEVER;
    else kind = URL_ATTRIBUTES.has(name.toLowerCase()) ? ADDRESS : PLAIN;
    if (nameKinds.size < 4096) nameKinds.set(name, kind);
  }
  return kind;
}

// The element name to create for a snapshot's tag.
const tagNames = new Map();
function tagOf(g) {
  let tag = tagNames.get(g);
  if (tag === undefined) {
    tag = String(g || 'div').toLowerCase();
    if (nameKind(tag) === NOT_A_NAME) tag = 'tvx-unknown';
    if (tagNames.size < 4096) tagNames.set(g, tag);
  }
  return tag;
}

export class PageMirror {
  constructor(iframe, doc, onReady) {
    this.iframe = iframe;
    this.docId = doc;
    this.nodes = new Map();  // uid -> Element (or a detached stand-in for skipped elements)
    // Element -> uid, and element -> the text node of its tail: kept beside the elements, as
    // properties added to tens of thousands of elements cost more than the maps.
    this.uids = new WeakMap();
    this.tails = new WeakMap();
    this.runtimeStyles = new Map();  // uid -> Map(property -> value)
    // Fields: the number of the user's last edit sent to the program, and those in the middle
    // of a composition.
    this.edits = new WeakMap();
    this.composed = new WeakSet();
    // Told (uid, edit) when a value of the program names the user's edit it followed.
    this.onAnswer = null;
    this.onReady = onReady;
    this.branches = new CollapsedBranches(this);
    this.grid = new GridWindow(this);
  }

  // Numbers a new edit of field `el` by the user; returns its number.
  noteEdit(el) {
    const n = (this.edits.get(el) || 0) + 1;
    this.edits.set(el, n);
    return n;
  }

  composing(el, on) {
    if (on) this.composed.add(el);
    else this.composed.delete(el);
  }

  isComposing(el) { return this.composed.has(el); }

  get document() { return this.iframe.contentDocument; }

  // Builds the whole page from a snapshot of its root.
  reset(root, sheets) {
    const d = this.document;
    this.doc = d;
    this.nodes.clear();
    this.runtimeStyles.clear();
    this.branches.clear();
    this.grid.clear();
    d.open();
    d.write('<!doctype html><html><head><meta charset="utf-8"></head><body></body></html>');
    d.close();
    // The sheets come with their text and apply at once, in page order, the mirror's own last:
    // the page is never laid out unstyled, and the program's first questions about its
    // geometry are answered from the styled page. The addresses inside a sheet are made
    // absolute against the sheet's own address, as a linked sheet would resolve them.
    const view = d.defaultView;
    const sheetOf = (text, href) => {
      const sheet = new view.CSSStyleSheet();
      sheet.replaceSync(href ? withAbsoluteUrls(text, new URL(href, d.baseURI).href) : text);
      return sheet;
    };
    d.adoptedStyleSheets = [
      ...sheets.filter((sheet) => typeof sheet.text === 'string').map((sheet) => sheetOf(sheet.text, sheet.href)),
      sheetOf(MIRROR_STYLE),
    ];
    if (!root) return;
    this.adopt(root, d.documentElement);
    const body = root.c ? root.c.find((c) => c.g === 'body') : null;
    // Built apart and inserted once, so the page is laid out once.
    const content = d.createDocumentFragment();
    if (body) {
      this.adopt(body, d.body);
      this.fillChildren(content, body);
    } else {
      // A page without body: its top-level elements go into the body.
      for (const child of root.c || []) if (child.g !== 'head') this.appendBuilt(content, child);
    }
    d.body.appendChild(content);
    this.grid.settle();
    for (const child of root.c || []) if (child.g === 'head') this.registerDetached(child);
    for (const selector of behaviourSelectors(sheets)) {
      let driven = [];
      try { driven = d.querySelectorAll(selector); } catch { /* the page dialect's own syntax */ }
      for (const el of driven) if (!el.hasAttribute('tabindex')) el.tabIndex = 0;
    }
    this.onReady?.();
  }

  // Records an existing element (html, body) for a snapshot and gives it the attributes.
  adopt(snap, el) {
    this.nodes.set(snap.u, el);
    this.uids.set(el, snap.u);
    for (const [name, value] of snap.a || []) this.setAttribute(el, snap.u, name, value);
    this.applyState(el, snap.st || 0);
  }

  registerDetached(snap) {
    const stand = this.doc.createElement('tvx-skipped');
    this.uids.set(stand, snap.u);
    this.nodes.set(snap.u, stand);
    for (const c of snap.c || []) this.registerDetached(c);
  }

  fillChildren(el, snap) {
    if (snap.x) el.appendChild(this.doc.createTextNode(snap.x));
    if (this.grid.adopt(el, snap)) return;
    const built = this.branches.builtCount(snap);
    for (let i = 0; i < built; ++i) this.appendBuilt(el, snap.c[i]);
    if (built < (snap.c?.length ?? 0)) this.branches.hold(el, snap, built);
  }

  appendBuilt(parent, snap, before = null) {
    const el = this.build(snap);
    parent.insertBefore(el, before);
    if (snap.l) {
      const tail = this.doc.createTextNode(snap.l);
      this.tails.set(el, tail);
      parent.insertBefore(tail, before);
    }
    return el;
  }

  build(snap) {
    const d = this.doc;
    const tag = tagOf(snap.g);
    if (BLOCKED_TAGS.has(tag)) {
      this.registerDetached(snap);
      return d.createElement('tvx-skipped');
    }
    // The dialect's drop-down select holds its own caption and popup elements, which a
    // browser's select would not show: it is built as a plain element the skin styles. So is a
    // tree node's <option> with elements inside (its caption): a browser draws an option from
    // its text alone and gives its children no box.
    const richOption = tag === 'option' && (snap.c || []).some((child) => child && child.g);
    const el = d.createElement(tag === 'select' ? 'tvx-select' : richOption ? 'tvx-option' : tag);
    this.nodes.set(snap.u, el);
    this.uids.set(el, snap.u);
    for (const [name, value] of snap.a || []) this.setAttribute(el, snap.u, name, value);
    for (const [name, value] of snap.s || []) this.setStyle(el, snap.u, name, value);
    if (snap.st) this.applyState(el, snap.st);
    this.fillChildren(el, snap);
    if (snap.v != null) this.setValue(el, snap.v);
    this.finish(el);
    return el;
  }

  // Presentation the page dialect implies and a browser lacks.
  finish(el) {
    const tag = el.localName;
    if (tag === 'button' && !el.firstElementChild && !el.textContent.trim()) {
      el.textContent = el.getAttribute('value') || '';
    }
    if (tag === 'picture') this.showPicture(el);
  }

  showPicture(el) {
    const src = el.getAttribute('src');
    el.style.backgroundImage = src ? `url("${src.replace(/["\\\n]/g, '')}")` : '';
  }

  setAttribute(el, uid, name, value) {
    const kind = nameKind(name);
    if (kind === NOT_A_NAME || kind === NEVER || (kind === ADDRESS && isUnsafeAttribute(name, value))) return;
    if (value == null) el.removeAttribute(name);
    else el.setAttribute(name, value);
    if (name === 'style') this.reapplyRuntimeStyles(el, uid);
    if (name === 'src' && el.localName === 'picture') this.showPicture(el);
    if (name === 'value' && el.localName === 'button' && !el.firstElementChild) {
      el.textContent = value || '';
    }
  }

  setStyle(el, uid, name, value) {
    let styles = this.runtimeStyles.get(uid);
    if (!styles) this.runtimeStyles.set(uid, styles = new Map());
    if (value == null) {
      styles.delete(name);
      el.style.removeProperty(name);
    } else {
      styles.set(name, value);
      el.style.setProperty(name, value);
    }
  }

  reapplyRuntimeStyles(el, uid) {
    for (const [name, value] of this.runtimeStyles.get(uid) || []) el.style.setProperty(name, value);
    if (el.localName === 'picture') this.showPicture(el);
  }

  applyState(el, bits) {
    for (const [name, bit] of Object.entries(STATE_BITS)) el.toggleAttribute('hl-' + name, (bits & bit) !== 0);
    if ('checked' in el && (el.type === 'checkbox' || el.type === 'radio')) {
      el.checked = (bits & STATE_BITS.checked) !== 0;
    }
    if ('disabled' in el) {
      const disabled = (bits & STATE_BITS.disabled) !== 0;
      const d = el.ownerDocument;
      // A control disabled while it has the focus (a button pressed to start some work) gets
      // it back when it is enabled again and nothing else took it meanwhile.
      if (disabled && !el.disabled && d.activeElement === el) this.disabledWithFocus = el;
      el.disabled = disabled;
      if (!disabled && this.disabledWithFocus === el) {
        this.disabledWithFocus = null;
        if (d.hasFocus() && (!d.activeElement || d.activeElement === d.body)) el.focus();
      }
    }
  }

  // The program's value for `el`, made after it had taken the user's edit `seen` of it: shown
  // unless the user has edited the field since (the program's next answer includes that edit)
  // or is composing in it.
  setValue(el, value, seen = 0) {
    if (el.localName === 'progress' || el.localName === 'input' || el.localName === 'textarea' ||
        el.localName === 'select') {
      if (el.type === 'checkbox' || el.type === 'radio') return;
      if (seen < (this.edits.get(el) || 0) || this.composed.has(el)) return;
      if (el.value !== value) el.value = value;
    }
  }

  programValue(el, uid, value, seen) {
    if (seen) this.onAnswer?.(uid, seen);
    this.setValue(el, value, seen);
  }

  // The text node after `el` that holds its tail, made when the element first has one.
  tailOf(el) {
    let tail = this.tails.get(el);
    if (!tail) {
      tail = this.doc.createTextNode('');
      this.tails.set(el, tail);
      el.after(tail);
    }
    return tail;
  }

  leadingText(el) {
    const first = el.firstChild;
    if (first && first.nodeType === Node.TEXT_NODE) return first;
    const text = this.doc.createTextNode('');
    el.insertBefore(text, first);
    return text;
  }

  // Applies one batch of changes, each [kind, uid, ...].
  apply(ops) {
    this.doc = this.document;
    this.grid.record(ops);
    for (let i = 0; i < ops.length; ++i) {
      const op = ops[i];
      const [kind, uid] = op;
      if (kind === 'reset') continue;
      const el = this.nodes.get(uid);
      if (!el) {
        this.branches.applyHeld(op);
        continue;
      }
      switch (kind) {
        case 'ins': {
          if (this.grid.holdsChildrenOf(el) || this.branches.insert(el, op[2], op[3])) break;
          // Inserts into one parent at following positions (a grid filled cell by cell) are
          // built apart and go into the page at once. Skipped elements keep their slot, so
          // indexes match the program's.
          const index = op[2];
          const block = this.doc.createDocumentFragment();
          let next = i;
          while (next < ops.length && ops[next][0] === 'ins' && ops[next][1] === uid &&
                 ops[next][2] === index + (next - i)) {
            this.appendBuilt(block, ops[next][3]);
            ++next;
          }
          el.insertBefore(block, el.children[index] || null);
          i = next - 1;
          break;
        }
        case 'rm':
          this.tails.get(el)?.remove();
          el.remove();
          this.forget(el);
          break;
        case 'attr': this.setAttribute(el, uid, op[2], op[3]); break;
        case 'style': this.setStyle(el, uid, op[2], op[3]); break;
        case 'state':
          this.applyState(el, op[2]);
          this.branches.stateChanged(el);
          break;
        case 'text':
          this.leadingText(el).data = op[2] || '';
          // A text area shows its text as its value once the user has typed in it.
          if (el.localName === 'textarea') this.programValue(el, uid, op[2] || '', op[3] || 0);
          break;
        case 'tail':
          this.tailOf(el).data = op[2] || '';
          break;
        case 'value': this.programValue(el, uid, op[2] || '', op[3] || 0); break;
      }
    }
    this.grid.settle();
  }

  // Forgets a removed element and everything below it.
  forget(el) {
    for (const node of [el, ...el.querySelectorAll('*')]) {
      const uid = this.uids.get(node);
      if (uid !== undefined && this.nodes.get(uid) === node) {
        this.nodes.delete(uid);
        this.runtimeStyles.delete(uid);
      }
      this.branches.release(node);
      this.grid.release(node);
    }
  }

  // The uid of the innermost program element at or above `node`; 0 for none.
  uidOf(node) {
    for (let n = node; n; n = n.parentNode) {
      const uid = this.uids.get(n);
      if (uid !== undefined && this.nodes.get(uid) === n) return uid;
    }
    return 0;
  }

  showPopup(uid, x, y) {
    const el = this.nodes.get(uid);
    if (!el) return;
    el.style.left = x + 'px';
    el.style.top = y + 'px';
  }

  // ---- Geometry answers ----------------------------------------------------------------------
  location(uid, area) {
    const el = this.nodes.get(uid);
    if (!el || !el.isConnected) return this.grid.locationOfHeld(uid, area) ?? [0, 0, 0, 0];
    const r = el.getBoundingClientRect();
    const view = this.document.defaultView;
    let left = r.left + view.scrollX, top = r.top + view.scrollY;
    let right = r.right + view.scrollX, bottom = r.bottom + view.scrollY;
    if ((area & 0xF0) !== 0x20) {  // content box: strip border and padding
      const cs = view.getComputedStyle(el);
      const px = (p) => parseFloat(cs.getPropertyValue(p)) || 0;
      left += px('border-left-width') + px('padding-left');
      top += px('border-top-width') + px('padding-top');
      right -= px('border-right-width') + px('padding-right');
      bottom -= px('border-bottom-width') + px('padding-bottom');
    }
    return [Math.round(left), Math.round(top), Math.round(right), Math.round(bottom)];
  }

  // The widest word and the whole text on one line, measured on one hidden copy (a page's
  // copy can be tens of thousands of elements).
  intrinsicWidths(uid) {
    const el = this.nodes.get(uid);
    if (!el || !el.isConnected) return [0, 0];
    const clone = el.cloneNode(true);
    Object.assign(clone.style, { position: 'absolute', visibility: 'hidden', left: '-10000px',
      top: '0', display: 'block' });
    el.parentNode.appendChild(clone);
    const measure = (whiteSpace, width) => {
      Object.assign(clone.style, { width, whiteSpace });
      return Math.ceil(Math.max(clone.getBoundingClientRect().width, clone.scrollWidth));
    };
    const widths = [measure('normal', 'min-content'), measure('nowrap', 'max-content')];
    clone.remove();
    return widths;
  }

  intrinsicHeight(uid, width) {
    const el = this.nodes.get(uid);
    if (!el || !el.isConnected) return 0;
    const clone = el.cloneNode(true);
    // The height the content needs, whatever its style caps it at (a text that scrolls).
    Object.assign(clone.style, { position: 'absolute', visibility: 'hidden', left: '-10000px',
      top: '0', width: width + 'px', height: 'auto', maxHeight: 'none', boxSizing: 'border-box',
      display: 'block' });
    el.parentNode.appendChild(clone);
    const h = clone.getBoundingClientRect().height;
    clone.remove();
    return Math.ceil(h);
  }

  scrollInfo(uid) {
    const el = this.nodes.get(uid);
    if (!el || !el.isConnected) return [0, 0, 0, 0, 0, 0, 0, 0];
    const [l, t] = this.location(uid, 0x21);
    return [el.scrollLeft, el.scrollTop, l, t, l + el.clientWidth, t + el.clientHeight,
      el.scrollWidth, el.scrollHeight];
  }

  setScroll(uid, x, y, smooth) {
    const el = this.nodes.get(uid);
    el?.scrollTo({ left: x, top: y, behavior: smooth ? 'smooth' : 'instant' });
  }
}
