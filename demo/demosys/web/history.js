// Undo and redo as operations on the demo: every change the page makes is recorded with
// the operations that make it again and the ones that take it back, and both go through
// the API like any other change (the demo holds the one true timeline).
//
// An operation: {op: "set", body: {...POST /api/keys body}} or {op: "delete", track, row}.

export class History {
  constructor(run) {
    this.run = run; // async (operation) => the API's answer
    this.done = [];
    this.undone = [];
    this.busy = false;
  }

  // A change already made: forward makes it again, backward takes it back.
  record(label, forward, backward) {
    this.done.push({ label, forward, backward });
    this.undone.length = 0;
    if (this.done.length > 500) this.done.shift();
  }

  clear() {
    this.done.length = 0;
    this.undone.length = 0;
  }

  canUndo() { return this.done.length > 0 && !this.busy; }
  canRedo() { return this.undone.length > 0 && !this.busy; }

  // Both answer the entry's label, or throw the API's error: the entry is dropped then
  // (the timeline changed under it in a way it cannot be replayed on).
  // A press while the previous one is on its way waits for it.
  undo() { return this.after(() => this.step(this.done, this.undone, "backward")); }
  redo() { return this.after(() => this.step(this.undone, this.done, "forward")); }

  after(fn) {
    const p = (this.pending || Promise.resolve()).then(fn, fn);
    this.pending = p.catch(() => {});
    return p;
  }

  async step(from, to, which) {
    if (from.length === 0) return null;
    const entry = from.pop();
    this.busy = true;
    try {
      for (const operation of entry[which]) await this.run(operation);
      to.push(entry);
      return entry.label;
    } finally {
      this.busy = false;
    }
  }
}
