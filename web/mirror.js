// The mirror of one program page inside its window's iframe. The program's DOM is the truth:
// it sends the whole tree once and then batches of changes naming elements by uid; the mirror
// builds plain DOM from them and never lets markup from the program's data run as code.
//
// Text model: an element's leading text (before its first child element) and its tail (the
// text after it, up to the next sibling element) are separate text nodes.

// The engine's state bits the skin styles, each mirrored as an "hl-<name>" attribute. They are
// engine/ElementState.h's STATE_<NAME> values; a test of the browser view checks they agree.
export const STATE_BITS = {
  hover: 0x2, focus: 0x8, current: 0x20, checked: 0x40, disabled: 0x80, readonly: 0x100,
  expanded: 0x200, collapsed: 0x400, busy: 0x80000, pressed: 0x4000000, popup: 0x8000000,
};

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

// Pages use few distinct names; each is checked once.
const nameChecks = new Map();
function validName(name) {
  let ok = nameChecks.get(name);
  if (ok === undefined) {
    ok = /^[A-Za-z_][A-Za-z0-9_:.-]*$/.test(name);
    if (nameChecks.size < 4096) nameChecks.set(name, ok);
  }
  return ok;
}

export class PageMirror {
  constructor(iframe, doc, onReady) {
    this.iframe = iframe;
    this.docId = doc;
    this.nodes = new Map();  // uid -> Element (or a detached stand-in for skipped elements)
    this.runtimeStyles = new Map();  // uid -> Map(property -> value)
    this.onReady = onReady;
  }

  get document() { return this.iframe.contentDocument; }

  // Builds the whole page from a snapshot of its root.
  reset(root, sheets) {
    const d = this.document;
    this.nodes.clear();
    this.runtimeStyles.clear();
    d.open();
    d.write('<!doctype html><html><head><meta charset="utf-8"></head><body></body></html>');
    d.close();
    for (const sheet of sheets) {
      if (sheet.href) {
        const link = d.createElement('link');
        link.rel = 'stylesheet';
        link.href = sheet.href;
        d.head.appendChild(link);
      } else if (sheet.text) {
        const style = d.createElement('style');
        style.textContent = sheet.text;
        d.head.appendChild(style);
      }
    }
    const mirrorStyle = d.createElement('style');
    // What the page dialect means and a browser does not know: pictures show their source,
    // popups stay hidden until the program opens one at its anchor.
    mirrorStyle.textContent = 'picture{display:inline-block;background:center/contain no-repeat}' +
      'popup:not([hl-popup]),menu.popup:not([hl-popup]),menu.context:not([hl-popup]){display:none}' +
      '[hl-popup]{display:block;position:absolute;z-index:1000}';
    d.head.appendChild(mirrorStyle);
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
    for (const child of root.c || []) if (child.g === 'head') this.registerDetached(child);
    this.onReady?.();
  }

  // Records an existing element (html, body) for a snapshot and gives it the attributes.
  adopt(snap, el) {
    this.nodes.set(snap.u, el);
    el.__tvxUid = snap.u;
    for (const [name, value] of snap.a || []) this.setAttribute(el, snap.u, name, value);
    this.applyState(el, snap.st || 0);
  }

  registerDetached(snap) {
    const stand = this.document.createElement('tvx-skipped');
    stand.__tvxUid = snap.u;
    this.nodes.set(snap.u, stand);
    for (const c of snap.c || []) this.registerDetached(c);
  }

  fillChildren(el, snap) {
    if (snap.x) el.appendChild(this.document.createTextNode(snap.x));
    for (const child of snap.c || []) this.appendBuilt(el, child);
  }

  appendBuilt(parent, snap, before = null) {
    const el = this.build(snap);
    parent.insertBefore(el, before);
    if (snap.l) this.tailOf(el).data = snap.l;
    return el;
  }

  build(snap) {
    const d = this.document;
    let tag = String(snap.g || 'div').toLowerCase();
    if (!validName(tag)) tag = 'tvx-unknown';
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
    el.__tvxUid = snap.u;
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
    if (!validName(name) || isUnsafeAttribute(name, value)) return;
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
    if ('disabled' in el) el.disabled = (bits & STATE_BITS.disabled) !== 0;
  }

  setValue(el, value) {
    if (el.localName === 'progress' || el.localName === 'input' || el.localName === 'textarea' ||
        el.localName === 'select') {
      if (el.type === 'checkbox' || el.type === 'radio') return;
      if (el.value !== value) el.value = value;
    }
  }

  // The text node after `el` that holds its tail, made when the element first has one.
  tailOf(el) {
    if (!el.__tvxTail) {
      el.__tvxTail = this.document.createTextNode('');
      el.after(el.__tvxTail);
    }
    return el.__tvxTail;
  }

  leadingText(el) {
    const first = el.firstChild;
    if (first && first.nodeType === Node.TEXT_NODE) return first;
    const text = this.document.createTextNode('');
    el.insertBefore(text, first);
    return text;
  }

  // Applies one batch of changes, each [kind, uid, ...].
  apply(ops) {
    for (let i = 0; i < ops.length; ++i) {
      const op = ops[i];
      const [kind, uid] = op;
      if (kind === 'reset') continue;
      const el = this.nodes.get(uid);
      if (!el) continue;
      switch (kind) {
        case 'ins': {
          // Inserts into one parent at following positions (a grid filled cell by cell) are
          // built apart and go into the page at once. Skipped elements keep their slot, so
          // indexes match the program's.
          const index = op[2];
          const block = this.document.createDocumentFragment();
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
          el.__tvxTail?.remove();
          el.remove();
          this.forget(el);
          break;
        case 'attr': this.setAttribute(el, uid, op[2], op[3]); break;
        case 'style': this.setStyle(el, uid, op[2], op[3]); break;
        case 'state': this.applyState(el, op[2]); break;
        case 'text': this.leadingText(el).data = op[2] || ''; break;
        case 'tail':
          this.tailOf(el).data = op[2] || '';
          break;
        case 'value': this.setValue(el, op[2] || ''); break;
      }
    }
  }

  // Forgets a removed element and everything below it.
  forget(el) {
    for (const node of [el, ...el.querySelectorAll('*')]) {
      if (node.__tvxUid !== undefined && this.nodes.get(node.__tvxUid) === node) {
        this.nodes.delete(node.__tvxUid);
        this.runtimeStyles.delete(node.__tvxUid);
      }
    }
  }

  // The uid of the innermost program element at or above `node`; 0 for none.
  uidOf(node) {
    for (let n = node; n; n = n.parentNode) {
      if (n.__tvxUid !== undefined && this.nodes.get(n.__tvxUid) === n) return n.__tvxUid;
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
    if (!el || !el.isConnected) return [0, 0, 0, 0];
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

  // The widest word and the whole text on one line, measured on a hidden copy.
  intrinsicWidths(uid) {
    const el = this.nodes.get(uid);
    if (!el || !el.isConnected) return [0, 0];
    const measure = (whiteSpace, width) => {
      const clone = el.cloneNode(true);
      Object.assign(clone.style, { position: 'absolute', visibility: 'hidden', left: '-10000px',
        top: '0', width, whiteSpace, display: 'block' });
      el.parentNode.appendChild(clone);
      const w = clone.getBoundingClientRect().width;
      const scroll = clone.scrollWidth;
      clone.remove();
      return Math.ceil(Math.max(w, scroll));
    };
    return [measure('normal', 'min-content'), measure('nowrap', 'max-content')];
  }

  intrinsicHeight(uid, width) {
    const el = this.nodes.get(uid);
    if (!el || !el.isConnected) return 0;
    const clone = el.cloneNode(true);
    Object.assign(clone.style, { position: 'absolute', visibility: 'hidden', left: '-10000px',
      top: '0', width: width + 'px', height: 'auto', boxSizing: 'border-box', display: 'block' });
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
