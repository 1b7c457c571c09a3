// The window manager: every program window is an in-page window (a positioned box holding an
// iframe with its page). The program decides where windows are and what state they have; the
// window manager only shows that, and lets the user drag and resize a window where the
// program's hit test says so, reporting the result back.
//
// The main window is the browser window itself (its state says "fill"): its box covers the whole
// view, never smaller than the window's minimum size (the view scrolls then), and the program is
// told the size it has. Its maximise acts on the browser window where a page may resize its
// window (an app window); its dialogs float over it, centred, as the program places them.

// Hit-test codes the program answers a mouse press with.
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
    // The browser window's size before the main window maximised it, to go back to.
    this.restoreSize = null;
    window.addEventListener('mousemove', (e) => this.onDragMove(e.clientX, e.clientY));
    window.addEventListener('mouseup', () => this.endDrag());
    window.addEventListener('resize', () => {
      for (const w of this.windows.values()) if (w.state.fill) this.layout(w);
    });
  }

  get(id) { return this.windows.get(id); }

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
    w.state = state;
    this.layout(w);
    this.restack();
    this.refreshTaskbar();
    // Keys go to the active window: a dialog that opens takes the keyboard, and its owner gets
    // it back once the dialog has gone.
    if (state.active && state.visible && !wasActive && document.activeElement !== w.iframe) {
      w.iframe.focus();
    }
    return w;
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
    box.toggleAttribute('data-hidden', !s.visible || s.show === 'min');
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
    box.toggleAttribute('data-hidden', !s.visible || s.show === 'min');
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
    for (const [id, w] of this.windows) {
      if (w.state.show !== 'min' || !w.state.visible) continue;
      const b = document.createElement('button');
      b.textContent = w.state.title?.trim() || 'Tavopix';
      b.addEventListener('click', () => this.send({ t: 'sys', win: id, cmd: 'restore' }));
      this.taskbar.appendChild(b);
    }
  }

  // The program answered a press with a non-client code: drag or resize from here.
  beginDrag(id, code, screenX, screenY) {
    const w = this.windows.get(id);
    if (!w || w.state.show === 'max') return;
    const edge = RESIZE_EDGES[code];
    if (code !== HTCAPTION && !edge) return;
    const s = w.state;
    this.drag = { w, edge, startX: screenX, startY: screenY, rect: [s.x, s.y, s.w, s.h] };
    w.box.classList.add('dragging');
    document.body.style.cursor = edge ? edge + '-resize' : 'move';
  }

  // Positions are desktop pixels (the shell's viewport); moves inside a window's iframe arrive
  // here too, converted.
  onDragMove(screenX, screenY) {
    const d = this.drag;
    if (!d) return false;
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
