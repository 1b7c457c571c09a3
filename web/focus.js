// Keyboard focus inside one program window, as desktop users expect of a dialog: it opens with
// its first field focused (or, without fields, its default button), Tab and Shift+Tab go round
// its own controls and never leave it, and the focus it had comes back when a window it owned
// closes.

// What the keyboard can reach, in the order Tab visits it.
const REACHABLE = 'a[href],button,input,select,textarea,tvx-select,[tabindex]';
// Fields a user types or chooses in; the first one takes the focus when a dialog opens.
const FIELD = 'input:not([type=checkbox]):not([type=radio]):not([type=range]):not([type=hidden]),' +
  'textarea,select,tvx-select';

function isShown(el) {
  if (!el.isConnected || el.getClientRects().length === 0) return false;
  return el.ownerDocument.defaultView.getComputedStyle(el).visibility !== 'hidden';
}

export function canFocus(el) {
  return Boolean(el) && !el.disabled && !el.hasAttribute('hl-disabled') && el.tabIndex >= 0 &&
    isShown(el);
}

// The elements Tab visits in `d`: those with a positive tabindex first, then document order.
export function tabOrder(d) {
  const all = [...d.querySelectorAll(REACHABLE)].filter(canFocus);
  const ordered = all.filter((el) => el.tabIndex > 0).sort((a, b) => a.tabIndex - b.tabIndex);
  return ordered.concat(all.filter((el) => el.tabIndex === 0));
}

// The element a dialog opens with: its first field that takes text or a choice, else its
// default button (the skin marks it "primary"; a message box's first button), else the first
// control that is not a caption button.
export function firstFocus(d) {
  const order = tabOrder(d);
  const field = order.find((el) => el.matches(FIELD) && !el.readOnly);
  if (field) return field;
  const button = [...d.querySelectorAll('button.primary,button.hsk_btn')].find(canFocus);
  return button ?? order.find((el) => !el.closest('#hsk_cp') && !el.matches('.win-btn')) ?? null;
}

// Moves the focus to the next (or, backwards, the previous) reachable element of `d`, round
// from the last to the first; false when `d` has none.
export function cycleFocus(d, backwards) {
  const order = tabOrder(d);
  if (order.length === 0) return false;
  const at = order.indexOf(d.activeElement);
  let next;
  if (backwards) next = at <= 0 ? order.length - 1 : at - 1;
  else next = at < 0 || at === order.length - 1 ? 0 : at + 1;
  order[next].focus();
  return true;
}
