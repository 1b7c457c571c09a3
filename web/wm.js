// The window manager: every program window is an in-page window (a positioned box holding an
// iframe with its page). The program decides where windows are and what state they have; the
// window manager only shows that, and lets the user drag and resize a window where the
// program's hit test says so, reporting the result back. Positions are desktop pixels, where
// the program's windows live: the view's, and under the main window (which the desktop scrolls
// when the view is smaller than it) that window's own.
//
// A modal dialog that is minimised takes the windows under it along (they wait for it and
// take no input): each has its taskbar button, labelled with the caption its page shows, and
// any of them brings the whole chain back. The keyboard follows the active window: a dialog
// opens with its first field or default button focused, and a window that becomes active again
// gets back the element it had focused.
//
// The main window is the browser window itself (its state says "fill"): its box covers the whole
// view, never smaller than the window's minimum size (the view scrolls then), and the program is
// told the size it has. Its maximise acts on the browser window where a page may resize its
// window (an app window); its dialogs float over it, centred, as the program places them.

// Hit-test codes the program answers a mouse press with.
import { canFocus, firstFocus } from './focus.js';

const HTCAPTION = 2;
const RESIZE_EDGES = {
  10: 'w', 11: 'e', 12: 'n', 13: 'nw', 14: 'ne', 15: 's', 16: 'sw', 17: 'se',
};

export class WindowManager {
  constructor(desktop, send) {
    this.desktop = desktop;
    this.send = send;
    this.windows = new Map();  // id -> {box, iframe, state}
    this.taskbar = document.createElement('div');
    this.taskbar.id = 'taskbar';
    document.body.appendChild(this.taskbar);
    this.drag = null;
    // Whether the main button is down: a drag the program starts after the release (its answer
    // came late) never begins.
    this.pressed = false;
    // The browser window's size before the main window maximised it, to go back to.
    this.restoreSize = null;
    window.addEventListener('mousedown', () => { this.pressed = true; }, true);
    window.addEventListener('mousemove', (e) => {
      const [x, y] = this.desktopPoint(null, e.clientX, e.clientY);
      this.onDragMove(x, y, e.buttons);
    });
    window.addEventListener('mouseup', () => { this.pressed = false; this.endDrag(); });
    window.addEventListener('resize', () => {
      for (const w of this.windows.values()) if (w.state.fill) this.layout(w);
    });
  }

  get(id) { return this.windows.get(id); }

  // A point of the browser's viewport, or of the iframe in `box`, in desktop pixels: the
  // window's own position plus the point in it. The main window scrolls with the desktop when
  // the view is smaller than it; the other windows stay put in the view.
  desktopPoint(box, clientX, clientY) {
    const left = box ? parseFloat(box.style.left) || 0 : 0;
    const top = box ? parseFloat(box.style.top) || 0 : 0;
    return [Math.round(left + clientX), Math.round(top + clientY)];
  }

  // A press or release in any window's page.
  notePress(down) {
    this.pressed = down;
    if (!down) this.endDrag();
  }

  // The element of window `id` that has the focus, given back when the window is active again.
  noteFocus(id, el) {
    const w = this.windows.get(id);
    if (w) w.lastFocus = el;
  }

  // Puts the keyboard in window `w`: on the element it had, or, for a dialog, on its first
  // field or default button. Its page may not be there yet; it calls again once it is.
  focusWindow(w) {
    const d = w.iframe.contentDocument;
    if (!d || !w.state.active || !w.state.visible) return;
    const inside = d.activeElement && d.activeElement !== d.body;
    if (document.activeElement === w.iframe && inside) return;
    const target = canFocus(w.lastFocus) && w.lastFocus.ownerDocument === d ? w.lastFocus
      : w.state.owner && d.body ? firstFocus(d) : null;
    if (document.activeElement !== w.iframe) w.iframe.focus();
    target?.focus({ preventScroll: true });
  }

  // Forgets every window: the page starts again from the program's whole state.
  clear() {
    this.endDrag();
    for (const w of this.windows.values()) w.box.remove();
    this.windows.clear();
    this.refreshTaskbar();
  }

  // A hidden box with an iframe for a page; a page is built (and measured) in it before the
  // program shows its window.
  createBox() {
    const box = document.createElement('div');
    box.className = 'tvx-window';
    box.toggleAttribute('data-hidden', true);
    Object.assign(box.style, { left: '0px', top: '0px', width: '400px', height: '300px' });
    const iframe = document.createElement('iframe');
    box.appendChild(iframe);
    this.desktop.appendChild(box);
    return { box, iframe };
  }

  // Creates or updates a window from the program's description of it, showing it in `page`'s
  // box (a new one when the window has no page).
  place(state, page) {
    let w = this.windows.get(state.id);
    const wasActive = w?.state.active ?? false;
    if (!w) {
      const { box, iframe } = page || this.createBox();
      w = { box, iframe, state };
      this.windows.set(state.id, w);
    }
    const wasShownMinimised = this.shownMinimised(w);
    w.state = state;
    // A change of a window's minimised state shows or hides the windows under it.
    if (wasShownMinimised !== this.shownMinimised(w)) {
      for (const other of this.windows.values()) this.layout(other);
    } else {
      this.layout(w);
    }
    this.restack();
    this.refreshTaskbar();
    // Keys go to the active window: a dialog that opens takes the keyboard, and its owner gets
    // it back once the dialog has gone.
    const restored = wasShownMinimised && !this.shownMinimised(w);
    if (state.active && state.visible && (!wasActive || restored)) this.focusWindow(w);
    return w;
  }

  // True for a window the desktop shows minimised: it is, or a window it owns (a modal dialog
  // running over it) is.
  shownMinimised(w) {
    if (!w.state.visible) return false;
    if (w.state.show === 'min') return true;
    for (const other of this.windows.values()) {
      if (other !== w && other.state.owner === w.state.id && this.shownMinimised(other)) return true;
    }
    return false;
  }

  // The windows related to `w` by ownership, the owners first.
  chainOf(w) {
    let top = w;
    while (top.state.owner && this.windows.has(top.state.owner)) top = this.windows.get(top.state.owner);
    const chain = [];
    const visit = (x) => {
      chain.push(x);
      for (const other of this.windows.values()) if (other.state.owner === x.state.id) visit(other);
    };
    visit(top);
    return chain;
  }

  // The caption a window's page shows (what the user knows it by), else its title.
  captionOf(w) {
    const d = w.iframe.contentDocument;
    const caption = d?.querySelector('#hsk_cp_txt, #hsk_cp .caption-title')?.textContent.trim();
    return caption || w.state.title?.trim() || 'Tavopix';
  }

  layout(w) {
    if (w.state.fill) {
      this.layoutFilling(w);
      return;
    }
    const s = w.state;
    const box = w.box;
    const maximized = s.show === 'max';
    box.classList.toggle('maximized', maximized);
    box.classList.toggle('disabled', !s.enabled);
    box.toggleAttribute('data-hidden', !s.visible || this.shownMinimised(w));
    const r = maximized ? [0, 0, s.workW, s.workH] : [s.x, s.y, s.x + s.w, s.y + s.h];
    Object.assign(box.style, {
      left: r[0] + 'px', top: r[1] + 'px', width: (r[2] - r[0]) + 'px', height: (r[3] - r[1]) + 'px',
    });
    w.iframe.setAttribute('title', s.title || '');
    if (s.active) document.title = s.title?.trim() || 'Tavopix';
  }

  layoutFilling(w) {
    const s = w.state;
    const box = w.box;
    if (s.show === 'max') {
      // The program's maximise is the browser window's: toggled there, the window itself stays
      // as it was (it fills the view either way).
      this.toggleBrowserMaximised();
      this.send({ t: 'sys', win: s.id, cmd: 'restore' });
    }
    box.classList.add('filling');
    box.classList.toggle('disabled', !s.enabled);
    box.toggleAttribute('data-hidden', !s.visible || this.shownMinimised(w));
    const width = Math.max(window.innerWidth, s.minW || 0);
    const height = Math.max(window.innerHeight, s.minH || 0);
    Object.assign(box.style, { left: '0px', top: '0px', width: width + 'px', height: height + 'px' });
    this.desktop.classList.toggle('scrolls', width > window.innerWidth || height > window.innerHeight);
    w.iframe.setAttribute('title', s.title || '');
    if (s.active) document.title = s.title?.trim() || 'Tavopix';
    if (s.visible && s.show === 'normal' && (s.x !== 0 || s.y !== 0 || s.w !== width || s.h !== height)) {
      Object.assign(s, { x: 0, y: 0, w: width, h: height });
      this.send({ t: 'move', win: s.id, x: 0, y: 0, w: width, h: height });
    }
  }

  // Maximises the browser window on the screen's work area, or gives it back its size. Only a
  // window without tabs (an app window) lets a page do that; in a tab nothing happens.
  toggleBrowserMaximised() {
    const scr = window.screen;
    if (this.restoreSize) {
      const r = this.restoreSize;
      this.restoreSize = null;
      window.resizeTo(r.w, r.h);
      window.moveTo(r.x, r.y);
      return;
    }
    const area = { x: scr.availLeft ?? 0, y: scr.availTop ?? 0, w: scr.availWidth, h: scr.availHeight };
    if (window.outerWidth >= area.w && window.outerHeight >= area.h) return;
    this.restoreSize = { x: window.screenX, y: window.screenY, w: window.outerWidth, h: window.outerHeight };
    window.moveTo(area.x, area.y);
    window.resizeTo(area.w, area.h);
  }

  remove(id) {
    const w = this.windows.get(id);
    if (!w) return;
    w.box.remove();
    this.windows.delete(id);
    this.refreshTaskbar();
  }

  // Owned windows above their owners; the active window's chain on top.
  restack() {
    const depth = (w) => {
      let d = 0;
      for (let s = w.state; s && s.owner; s = this.windows.get(s.owner)?.state) d++;
      return d;
    };
    for (const w of this.windows.values()) {
      w.box.style.zIndex = String(10 + depth(w) * 10 + (w.state.active ? 5 : 0));
    }
  }

  refreshTaskbar() {
    this.taskbar.replaceChildren();
    for (const w of this.windows.values()) {
      if (!this.shownMinimised(w)) continue;
      const b = document.createElement('button');
      b.textContent = this.captionOf(w);
      b.title = b.textContent;
      // Any window of a minimised chain brings the chain back, owners first.
      b.addEventListener('click', () => {
        for (const x of this.chainOf(w)) {
          if (x.state.show === 'min') this.send({ t: 'sys', win: x.state.id, cmd: 'restore' });
        }
      });
      this.taskbar.appendChild(b);
    }
  }

  // The program answered a press with a non-client code: drag or resize from here, while the
  // button is still down. A window that fills the view is never dragged.
  beginDrag(id, code, screenX, screenY) {
    const w = this.windows.get(id);
    if (!w || w.state.show === 'max' || w.state.fill || !this.pressed) return;
    const edge = RESIZE_EDGES[code];
    if (code !== HTCAPTION && !edge) return;
    const s = w.state;
    this.drag = { w, edge, startX: screenX, startY: screenY, rect: [s.x, s.y, s.w, s.h] };
    w.box.classList.add('dragging');
    document.body.style.cursor = edge ? edge + '-resize' : 'move';
  }

  // Positions are desktop pixels (the shell's viewport); moves inside a window's iframe arrive
  // here too, converted.
  onDragMove(screenX, screenY, buttons = 1) {
    const d = this.drag;
    if (!d) return false;
    // The release happened where this page did not see it (outside the browser window).
    if ((buttons & 1) === 0) {
      this.endDrag();
      return true;
    }
    const s = d.w.state;
    const dx = screenX - d.startX;
    const dy = screenY - d.startY;
    let [x, y, w, h] = d.rect;
    if (!d.edge) {
      x += dx; y += dy;
    } else {
      const clampW = (v) => Math.min(Math.max(v, s.minW || 1), s.maxW > 0 ? s.maxW : 1e6);
      const clampH = (v) => Math.min(Math.max(v, s.minH || 1), s.maxH > 0 ? s.maxH : 1e6);
      if (d.edge.includes('e')) w = clampW(w + dx);
      if (d.edge.includes('s')) h = clampH(h + dy);
      if (d.edge.includes('w')) { const nw = clampW(w - dx); x += w - nw; w = nw; }
      if (d.edge.includes('n')) { const nh = clampH(h - dy); y += h - nh; h = nh; }
    }
    Object.assign(d.w.box.style, { left: x + 'px', top: y + 'px', width: w + 'px', height: h + 'px' });
    d.current = [x, y, w, h];
    return true;
  }

  endDrag() {
    const d = this.drag;
    if (!d) return;
    this.drag = null;
    d.w.box.classList.remove('dragging');
    document.body.style.cursor = '';
    if (d.current) {
      const [x, y, w, h] = d.current;
      Object.assign(d.w.state, { x, y, w, h });
      this.send({ t: 'move', win: d.w.state.id, x, y, w, h });
    }
  }
}
