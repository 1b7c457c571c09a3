// The desktop shell: one socket to the program, the window manager, a mirror per page, the
// input the user gives those pages, and the answers to the program's geometry questions.

import { FieldValues } from './fieldValues.js';
import { cycleFocus } from './focus.js';
import { PageMirror } from './mirror.js';
import { WindowManager } from './wm.js';

const desktop = document.getElementById('desktop');
const notice = document.getElementById('notice');
let socket = null;
let closing = false;

const fieldValues = new FieldValues((message) => {
  if (socket && socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify(message));
});
const send = (message) => fieldValues.send(message);

const wm = new WindowManager(desktop, send);
// Pages by document id: {box, iframe, mirror, win}. A page has its box from its first
// message on; the window that shows it adopts that box.
const pages = new Map();

function pageOf(docId) {
  let page = pages.get(docId);
  if (!page) {
    const { box, iframe } = wm.createBox();
    page = { box, iframe, win: 0 };
    page.mirror = new PageMirror(iframe, docId);
    page.mirror.onAnswer = (uid, edit) => fieldValues.answered(page.win, uid, edit);
    pages.set(docId, page);
  }
  return page;
}

function reportScreen() {
  send({ t: 'screen', w: window.innerWidth, h: window.innerHeight });
}
window.addEventListener('resize', reportScreen);

// ---- Input ------------------------------------------------------------------------------------
// Buttons and keys as the program counts them.
const MAIN_BUTTON = 1, PROP_BUTTON = 2, MIDDLE_BUTTON = 4;
function buttonsOf(e) {
  return (e.buttons & 1 ? MAIN_BUTTON : 0) | (e.buttons & 2 ? PROP_BUTTON : 0) |
    (e.buttons & 4 ? MIDDLE_BUTTON : 0);
}
function buttonOf(e) {
  return [MAIN_BUTTON, MIDDLE_BUTTON, PROP_BUTTON][e.button] || MAIN_BUTTON;
}
function keysOf(e) {
  return (e.ctrlKey ? 1 : 0) | (e.shiftKey ? 2 : 0) | (e.altKey ? 4 : 0);
}

const ARROW_KEYS = new Set(['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight']);
// The photo grid, or a tree: an element whose first child is a tree node.
function drivesArrows(el) {
  return el.id === 'photo_list' || /^(OPTIONS|OPTION|TVX-OPTION)$/.test(el.firstElementChild?.tagName);
}
// The keys the picture viewer steps with. The grid keeps the focus while the viewer covers it
// (the program parks the closed viewer at left -10px), so they reach the grid and would scroll it.
const VIEWER_KEYS = new Set(['PageUp', 'PageDown', 'Home', 'End', ' ']);
function viewerCovers(el) {
  const viewer = el.id === 'photo_list' ? el.ownerDocument.getElementById('img_detail') : null;
  return viewer !== null && viewer.style.left !== '-10px';
}

function attachInput(page) {
  const mirror = page.mirror;
  const d = mirror.document;
  const view = d.defaultView;
  let pendingMove = null;
  // Positions: in the page (x, y), in the target's border box (ex, ey), and on the desktop
  // (sx, sy), which is where the program's windows live: the desktop scrolled under a main
  // window larger than the view keeps its own coordinates.
  const mouse = (kind, e, button) => {
    const [sx, sy] = wm.desktopPoint(wm.get(page.win)?.box, e.clientX, e.clientY);
    const target = e.target.nodeType === Node.ELEMENT_NODE ? e.target : e.target.parentElement;
    const r = target?.getBoundingClientRect() || { left: 0, top: 0 };
    const message = {
      t: 'in', win: page.win, k: kind, u: mirror.uidOf(e.target), x: Math.round(e.pageX),
      y: Math.round(e.pageY), ex: Math.round(e.clientX - r.left), ey: Math.round(e.clientY - r.top),
      sx, sy, b: button ?? buttonsOf(e), m: keysOf(e),
    };
    // A press left of the target's content lands on the icon the skin draws in its padding
    // (a tree's expander, a check box drawn as a picture).
    if (target && (kind === 'down' || kind === 'dblclick')) {
      const cs = view.getComputedStyle(target);
      const contentLeft = (parseFloat(cs.borderLeftWidth) || 0) + (parseFloat(cs.paddingLeft) || 0);
      if (contentLeft > 0 && message.ex < contentLeft) message.i = 1;
    }
    return message;
  };
  d.addEventListener('mousemove', (e) => {
    const [sx, sy] = wm.desktopPoint(wm.get(page.win)?.box, e.clientX, e.clientY);
    if (wm.onDragMove(sx, sy, e.buttons)) return;
    // Coalesced: the latest position once per frame, so a fast mouse cannot flood the program.
    if (!pendingMove) view.requestAnimationFrame(() => { send(pendingMove); pendingMove = null; });
    pendingMove = mouse('move', e);
  }, true);
  // A second press in quick succession is the double click itself, as the program expects
  // (down, up, double click, up); the browser's own dblclick event then adds nothing.
  d.addEventListener('mousedown', (e) => {
    if (e.button === 0) wm.notePress(true);
    send(mouse(e.detail === 2 ? 'dblclick' : 'down', e, buttonOf(e)));
  }, true);
  d.addEventListener('mouseup', (e) => {
    if (e.button === 0) wm.notePress(false);
    send(mouse('up', e, buttonOf(e)));
  }, true);
  d.addEventListener('mouseover', (e) => send(mouse('over', e)), true);
  d.addEventListener('mouseleave', (e) => send(mouse('leave', e)), true);
  d.addEventListener('wheel', (e) => {
    const message = mouse('wheel', e);
    message.dy = Math.sign(e.deltaY) * -1;
    send(message);
  }, { capture: true, passive: true });
  d.addEventListener('contextmenu', (e) => {
    e.preventDefault();
    send(mouse('context', e, PROP_BUTTON));
  }, true);
  d.addEventListener('click', (e) => {
    // Check boxes, radios and links change only when the program says so.
    const el = e.target.closest?.('input[type=checkbox],input[type=radio],a[href]');
    if (el) e.preventDefault();
  }, true);
  for (const kind of ['keydown', 'keyup']) {
    d.addEventListener(kind, (e) => {
      send({ t: 'in', win: page.win, k: kind === 'keydown' ? 'keydown' : 'keyup',
        u: mirror.uidOf(e.target), code: e.keyCode, key: e.key, m: keysOf(e) });
      // The program's keys, not the browser's: F5 refreshes the program's view, not the shell.
      if ((e.altKey && (e.key === '?' || e.key === '/')) || e.key === 'F5') e.preventDefault();
      // Ctrl+A and Ctrl+D select in the program's grid: not the browser's select-all (a text
      // field keeps it) nor its bookmark.
      const editable = e.target.isContentEditable || /^(INPUT|TEXTAREA)$/.test(e.target.tagName);
      if (e.ctrlKey && !e.altKey && (e.keyCode === 68 || (e.keyCode === 65 && !editable))) e.preventDefault();
      // The arrow keys move the grid's selection and a tree's current node, and the program
      // scrolls that into view: the browser's own scroll step on top would move the view as well.
      if (kind === 'keydown' && ARROW_KEYS.has(e.key) && drivesArrows(e.target)) e.preventDefault();
      if (kind === 'keydown' && VIEWER_KEYS.has(e.key) && viewerCovers(e.target)) e.preventDefault();
      // Tab goes round the window's own controls: it never reaches the shell, the window under
      // a dialog or the browser's own bar.
      if (kind === 'keydown' && e.key === 'Tab' && !e.ctrlKey && !e.altKey) {
        e.preventDefault();
        cycleFocus(d, e.shiftKey);
      }
    }, true);
  }
  d.addEventListener('keypress', (e) => {
    send({ t: 'in', win: page.win, k: 'char', u: mirror.uidOf(e.target), ch: e.key, m: keysOf(e) });
  }, true);
  // Each value the user makes is numbered per field; the program's answers name the last
  // number they saw, so an answer older than the field's text never replaces it. A value in
  // the middle of a composition (an input method's unfinished syllables) is not one: the
  // composed text goes when the composition ends.
  const sendValue = (el) => {
    // The program takes at most 64 Ki characters of a value.
    fieldValues.offer({ t: 'in', win: page.win, k: 'value', u: mirror.uidOf(el),
      v: String(el.value ?? '').slice(0, 65536), n: mirror.noteEdit(el) });
  };
  d.addEventListener('input', (e) => {
    const el = e.target;
    if (el.type === 'checkbox' || el.type === 'radio') return;
    if (e.isComposing || mirror.isComposing(el)) return;
    sendValue(el);
  }, true);
  d.addEventListener('compositionstart', (e) => mirror.composing(e.target, true), true);
  d.addEventListener('compositionend', (e) => {
    mirror.composing(e.target, false);
    if ('value' in e.target) sendValue(e.target);
  }, true);
  d.addEventListener('focusin', (e) => {
    wm.noteFocus(page.win, e.target);
    send({ t: 'in', win: page.win, k: 'focus', u: mirror.uidOf(e.target) });
  }, true);
  d.addEventListener('scroll', (e) => {
    const el = e.target === d ? d.scrollingElement : e.target;
    send({ t: 'in', win: page.win, k: 'scroll', u: mirror.uidOf(el), x: el.scrollLeft, y: el.scrollTop });
  }, true);
}

// ---- Program messages -------------------------------------------------------------------------
function placeWindow(state) {
  const page = state.doc ? pageOf(state.doc) : null;
  if (page) page.win = state.id;
  wm.place(state, page);
}

function resetDocument(message) {
  const page = pageOf(message.doc);
  page.mirror.reset(message.root, message.sheets || []);
  attachInput(page);
  const w = wm.get(page.win);
  if (w) {
    wm.refreshTaskbar();  // its caption may be new
    wm.focusWindow(w);
  }
}

function closeDocument(docId) {
  const page = pages.get(docId);
  if (!page) return;
  pages.delete(docId);
  if (!page.win) page.box.remove();  // a window that still shows it removes it when it closes
}

function answer(query) {
  const mirror = pages.get(query.doc)?.mirror;
  let r = null;
  if (query.what === 'screen') {
    r = [window.innerWidth, window.innerHeight];
  } else if (mirror) {
    switch (query.what) {
      case 'loc': r = mirror.location(query.u, query.area); break;
      case 'iw': r = mirror.intrinsicWidths(query.u); break;
      case 'ih': r = mirror.intrinsicHeight(query.u, query.width); break;
      case 'scroll': r = mirror.scrollInfo(query.u); break;
    }
  }
  if (query.what === 'locs') {
    // Many elements, possibly of several pages, in one answer.
    r = (query.items || []).map(([doc, u]) =>
      pages.get(doc)?.mirror.location(u, query.area) ?? [0, 0, 0, 0]);
  }
  send({ t: 'a', id: query.id, r });
}

// A page of the web (an account page) in a tab of its own, which can reach nothing of ours.
function openTab(url) {
  let address;
  try { address = new URL(url); } catch { return; }
  if (address.protocol !== 'http:' && address.protocol !== 'https:') return;
  window.open(address.href, '_blank', 'noopener,noreferrer');
}

function handle(message) {
  switch (message.t) {
    case 'hello':
      notice.hidden = true;
      break;
    case 'win': placeWindow(message); break;
    case 'winclose': {
      wm.remove(message.id);
      for (const [doc, page] of pages) if (page.win === message.id) pages.delete(doc);
      break;
    }
    case 'doc': resetDocument(message); break;
    case 'docclose': closeDocument(message.doc); break;
    case 'ops': pages.get(message.doc)?.mirror.apply(message.ops); send({ t: 'applied', seq: message.seq }); break;
    case 'q': answer(message); break;
    case 'scrollto': pages.get(message.doc)?.mirror.setScroll(message.u, message.x, message.y, message.smooth); break;
    case 'popup': pages.get(message.doc)?.mirror.showPopup(message.u, message.x, message.y); break;
    case 'hidepopup': break;  // the popup's state already hides it
    case 'drag': wm.beginDrag(message.win, message.code, message.sx, message.sy); break;
    case 'clip': navigator.clipboard?.writeText(message.text).catch(() => {}); break;
    case 'open': openTab(message.url); break;
    case 'takeover':
      // The program hears this page until it ends the socket, so what was sent before arrives.
      closing = true;
      socket.close();
      notice.textContent = 'Tavopix 已在另一个浏览器窗口中打开。';
      notice.hidden = false;
      break;
    case 'quit':
      closing = true;
      notice.textContent = 'Tavopix 已退出。';
      notice.hidden = false;
      desktop.replaceChildren();
      window.close();
      break;
  }
}

function connect() {
  // The socket lives beside the shell page, under the address that holds the capability.
  const address = new URL('ws', location.href);
  address.protocol = location.protocol === 'https:' ? 'wss:' : 'ws:';
  socket = new WebSocket(address.href);
  // The program places its first windows once it knows the screen.
  socket.addEventListener('open', reportScreen);
  socket.addEventListener('message', (e) => {
    const batch = JSON.parse(e.data);
    for (const message of Array.isArray(batch) ? batch : [batch]) handle(message);
  });
  socket.addEventListener('close', () => {
    fieldValues.reset();
    if (closing) return;
    // The program sends its whole state to the next socket: what this page holds is dropped,
    // so nothing it missed (a window closed meanwhile, changes it never got) stays on screen.
    wm.clear();
    for (const page of pages.values()) page.box.remove();
    pages.clear();
    notice.textContent = '正在重新连接…';
    notice.hidden = false;
    setTimeout(connect, 500);
  });
}

window.addEventListener('beforeunload', () => { if (!closing) send({ t: 'bye' }); });
connect();
