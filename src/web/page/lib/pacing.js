// The display's pacing in a browser: ten repetitions, each after a pause, one byte per slot. A slot is timed
// from the byte's own write, never from a fixed grid, so a late wake-up delays what follows and
// is never made up for by a short slot. The clock is given: the page's own, or a test's.
import { tables } from './lists.js';

// How early a timer is set before a deadline: a browser's timers fire a few milliseconds late when the
// machine is busy, so the last stretch is waited out in short hops through a message channel instead.
const EarlyMs = 3;

// The page's clock: milliseconds on the monotonic clock, and a wait that never returns before its deadline
// and that wake() cuts short (the page was hidden: its timers would crawl).
export function browserClock(now = () => performance.now()) {
  let wakeUp = null;
  const channel = new MessageChannel();
  let hop = null;
  channel.port1.onmessage = () => hop && hop();
  return {
    now,
    sleepUntil(deadline) {
      return new Promise((resolve) => {
        let timer = null;
        const done = () => { clearTimeout(timer); hop = null; wakeUp = null; resolve(); };
        const again = () => {
          const left = deadline - now();
          if (left <= 0) return done();
          if (left > EarlyMs) {
            timer = setTimeout(again, left - EarlyMs);
          } else {
            hop = again;
            channel.port2.postMessage(null);
          }
        };
        wakeUp = done;
        again();
      });
    },
    wake() { if (wakeUp) wakeUp(); },
    close() { channel.port1.close(); },
  };
}

// Writes the frames byte by byte. stop() is asked before every byte: a reason ends the send there, after the
// byte before it has had its slot (or at once, when the reason says the page was hidden). Returns how far it
// got: { sent, total, repetitions, stopped (the reason, or ''), error ('' unless a write failed) }.
export async function transmit(frames, { write, clock, stop = () => '', onRepetition = () => {},
  slotMs = tables.byteSlotMs, pauseMs = tables.repetitionPauseMs }) {
  const total = frames.reduce((n, f) => n + f.length, 0);
  const result = { sent: 0, total, repetitions: 0, stopped: '', error: '' };
  for (const frame of frames) {
    await clock.sleepUntil(clock.now() + pauseMs);
    for (const byte of frame) {
      const reason = stop();
      if (reason) {
        result.stopped = reason;
        return result;
      }
      // The slot is timed from the moment the byte is handed to the port, which happens as write() is
      // called: a pause of the page between reading the clock and the hand-over cannot shorten it.
      const written = write(byte);
      const deadline = clock.now() + slotMs;
      try {
        await written;
      } catch (e) {
        result.error = e && e.message ? e.message : String(e);
        return result;
      }
      ++result.sent;
      await clock.sleepUntil(deadline);
    }
    ++result.repetitions;
    onRepetition(result.repetitions);
  }
  // An adapter pulled out while the last slot ran out may not have passed on the last byte.
  if (stop() === 'gone') result.stopped = 'gone';
  return result;
}
