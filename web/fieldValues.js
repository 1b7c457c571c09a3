// The values the user gives text fields, on their way to the program. Each value of a field goes
// as it is made while the program keeps up; while one is unanswered, newer ones of that field
// wait and only the newest goes once the program answers (its value op naming that edit), or
// after ANSWER_WAIT_MS when no answer comes (a value the program already had changes nothing
// and is not answered). So a program that falls behind a fast typist gets one value per answer,
// not one per key, and its backlog never grows with the length of the text.
// Whatever else the page sends first sends the waiting values, so the program always reads a
// field's newest value before a key that acts on it (Enter, Tab, a shortcut), a click, a move of
// a window or the page's goodbye; only the keys of typed characters pass them.

const ANSWER_WAIT_MS = 100;
const CTRL = 1, ALT = 4;

export class FieldValues {
  constructor(sendNow) {
    this.sendNow = sendNow;
    this.unanswered = new Map();  // "window:uid" -> the edit number sent last
    this.waiting = new Map();  // "window:uid" -> the newest value message not yet sent
    this.timer = 0;
  }

  // A value message `{t:'in', k:'value', win, u, v, n}` of the user's.
  offer(message) {
    const key = `${message.win}:${message.u}`;
    if (this.unanswered.has(key)) {
      this.waiting.set(key, message);
      if (!this.timer) this.timer = setTimeout(() => this.flush(), ANSWER_WAIT_MS);
      return;
    }
    this.unanswered.set(key, message.n);
    this.sendNow(message);
  }

  // Any other message of the page, after the waiting values unless it may overtake them.
  send(message) {
    if (!this.mayOvertake(message)) this.flush();
    this.sendNow(message);
  }

  // The program's value of field `uid` of window `win`, made after it took edit `seen`.
  answered(win, uid, seen) {
    const key = `${win}:${uid}`;
    if (!(seen >= this.unanswered.get(key))) return;
    this.unanswered.delete(key);
    const next = this.waiting.get(key);
    if (next) {
      this.waiting.delete(key);
      this.offer(next);
    }
  }

  // Whether `message` may go ahead of the waiting values: the keys of a typed character, and
  // the page's own bookkeeping (answers to questions, applied batches).
  mayOvertake(message) {
    if (message.t === 'a' || message.t === 'applied') return true;
    if (message.t !== 'in' || (message.m & (CTRL | ALT))) return false;
    if (message.k === 'char') return true;
    return (message.k === 'keydown' || message.k === 'keyup') && [...(message.key ?? '')].length === 1;
  }

  // Sends every waiting value now.
  flush() {
    const waiting = [...this.waiting.values()];
    this.dropWaiting();
    for (const message of waiting) {
      this.unanswered.set(`${message.win}:${message.u}`, message.n);
      this.sendNow(message);
    }
  }

  // The socket ended: the pages are built afresh from the program's state.
  reset() {
    this.dropWaiting();
    this.unanswered.clear();
  }

  dropWaiting() {
    clearTimeout(this.timer);
    this.timer = 0;
    this.waiting.clear();
  }
}
