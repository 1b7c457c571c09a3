// The program's changes applied to a snapshot of an element ({u, g, a, s, st, x, l, v, c}, as the
// program sends them) instead of to a built element: for the parts of a page the mirror holds
// back from the browser and builds later in their latest state.

// Sets or removes `name` in a snapshot's list of [name, value] pairs.
function setPair(pairs, name, value) {
  const i = pairs.findIndex(([n]) => n === name);
  if (value == null) {
    if (i >= 0) pairs.splice(i, 1);
  } else if (i >= 0) {
    pairs[i] = [name, value];
  } else {
    pairs.push([name, value]);
  }
}

// Applies change `op` ([kind, uid, ...]) to `snap`, the snapshot of element uid. An insert puts
// `inserted` (op's snapshot, or a copy of it) among the children and returns it; a removal is the
// caller's, who knows the list holding the element.
export function editSnapshot(snap, op, inserted = op[3]) {
  switch (op[0]) {
    case 'ins': {
      const children = snap.c || (snap.c = []);
      children.splice(Math.min(op[2], children.length), 0, inserted);
      return inserted;
    }
    case 'attr': setPair(snap.a || (snap.a = []), op[2], op[3]); break;
    case 'style': setPair(snap.s || (snap.s = []), op[2], op[3]); break;
    case 'state': snap.st = op[2]; break;
    case 'text': snap.x = op[2] || ''; break;
    case 'tail': snap.l = op[2] || ''; break;
    case 'value': snap.v = op[2] || ''; break;
  }
  return null;
}
