// A plan send run by the page itself, location after location on the adapter it holds, with the same states
// the board's job reports (idle, sending, waiting, done, failed, stopped), so one progress view shows either.
import { sendFrames } from './encoder.js';
import { shows, showsIcons, tables } from './lists.js';
import { transmit } from './pacing.js';

// How a stopped or failed send is told, as the program tells it, with the page's own reasons.
export function stoppedText(reason, sent, total) {
  if (reason === 'hidden') return `stopped after ${sent} of ${total} bytes: keep this page in front while it sends`;
  if (reason === 'gone') return `the adapter was unplugged after ${sent} of ${total} bytes`;
  return `interrupted after ${sent} of ${total} bytes`;
}

function failedAfter(why, repetitions) {
  if (repetitions <= 0) return why;
  return `${why.trim().replace(/\.+$/, '')} after ${repetitions} of ${tables.repetitions} repetitions; the display may have taken the location`;
}

export class LocalJobs {
  // line: { write(byte) → Promise, ready() → '' or why nothing can be sent }; clock as pacing.js takes it.
  constructor({ line, clock, onChange = () => {}, gapMs = tables.locationGapMs }) {
    Object.assign(this, { line, clock, onChange, gapMs });
    this.current = { state: 'idle' };
    this.running = false;
    this.reason = '';
    this.waiter = null;
  }

  state() { return this.current; }
  busy() { return this.running; }

  set(change) {
    this.current = { ...this.current, ...change };
    this.onChange(this.current);
  }

  // Starts a send of the plan's locations from `from` on; false while one runs.
  start({ plan, from = 1, ask = false }) {
    if (this.running) return false;
    this.running = true;
    this.reason = '';
    const count = plan.locations.filter((l) => l.location >= from).length;
    this.current = { state: 'sending', count, index: 0, done: 0, total: count * tables.repetitions, sent: [] };
    this.onChange(this.current);
    this.finished = this.run(plan, from, ask).finally(() => { this.running = false; });
    return true;
  }

  // Ends the send after the byte on the wire: 'stop' (the Stop button) or 'gone' (the adapter).
  stop(reason = 'stop') {
    if (!this.running) return false;
    if (!this.reason || reason !== 'stop') this.reason = reason;
    if (reason !== 'stop') this.clock.wake?.();
    if (this.waiter) this.waiter(false);
    return true;
  }

  // Why the send is to end now: a stop asked for, or a hidden page, whose timers a browser slows. A page
  // hidden while it waits for Continue stops nothing: nothing is timed then.
  stopReason() {
    return this.reason || (this.line.hidden && this.line.hidden() ? 'hidden' : '');
  }

  proceed() {
    if (!this.waiter) return false;
    this.waiter(true);
    return true;
  }

  async run(plan, from, ask) {
    const sent = [];
    const notSent = [];
    const skipped = plan.locations.filter((l) => l.location < from).map((l) => l.location);
    const toSend = plan.locations.filter((l) => l.location >= from);
    let failure = '';
    let stopped = false; // by the person or a hidden page, not by a fault
    let cut = 0; // the location a stop or a fault cut in the middle: the display may hold a part of it
    let done = 0;
    const stopAt = (i, why) => {
      for (const l of toSend.slice(i)) notSent.push(l.location);
      failure = why;
    };
    const notReady = this.line.ready();
    if (notReady) stopAt(0, notReady);
    for (let i = 0; i < toSend.length && !failure; ++i) {
      const l = toSend[i];
      if (i > 0) {
        const end = this.clock.now() + this.gapMs;
        while (this.clock.now() < end && !this.stopReason()) await this.clock.sleepUntil(Math.min(end, this.clock.now() + 50));
      }
      if (!this.stopReason() && ask) {
        this.set({ state: 'waiting', location: l.location });
        const go = await new Promise((resolve) => { this.waiter = resolve; });
        this.waiter = null;
        if (!go && !this.reason) this.reason = 'stop';
      }
      const reason = this.stopReason();
      if (reason) {
        stopped = reason !== 'gone';
        stopAt(i, reason === 'hidden' ? `stopped before location ${l.location}: keep this page in front while it sends`
          : `interrupted before location ${l.location}`);
        break;
      }
      this.set({ state: 'sending', location: l.location, index: i + 1, repetition: 0, shows: shows(l, showsIcons(plan.product)) });
      const result = await transmit(sendFrames(l, plan.product), {
        write: (b) => this.line.write(b),
        clock: this.clock,
        stop: () => this.stopReason(),
        onRepetition: (r) => { ++done; this.set({ repetition: r, done }); },
      });
      if (result.stopped || result.error) {
        cut = result.sent > 0 ? l.location : 0;
        stopped = Boolean(result.stopped) && result.stopped !== 'gone';
        // As the board says it: a stop with the location it cut, a fault as the location's failure.
        if (result.stopped === 'stop') stopAt(i, `${stoppedText(result.stopped, result.sent, result.total)} of location ${l.location}`);
        else if (stopped) stopAt(i, stoppedText(result.stopped, result.sent, result.total));
        else stopAt(i, `location ${l.location} failed: ${result.error ? failedAfter(result.error, result.repetitions) : stoppedText(result.stopped, result.sent, result.total)}`);
        break;
      }
      sent.push(l.location);
      this.set({ sent: [...sent] });
    }
    const end = { state: !notSent.length ? 'done' : stopped ? 'stopped' : 'failed', sent, notSent, skipped, failure };
    if (notSent.length) end.resumeFrom = notSent[0];
    if (cut) end.cut = cut;
    this.current = { ...this.current, ...end };
    if (!notSent.length) delete this.current.resumeFrom;
    if (!cut) delete this.current.cut;
    this.onChange(this.current);
  }
}
