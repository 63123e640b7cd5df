// The page's pacing on a fake clock: slots from each write, the pause before each repetition, late wake-ups
// never followed by a short slot, and a stop that ends the send after the byte on the wire.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { stoppedText } from '../src/lib/jobs.js';
import { browserClock, transmit } from '../src/lib/pacing.js';

// A clock that only moves when slept on; late(n) says how late the n-th wake-up is.
function fakeClock(late = () => 0) {
  let t = 0;
  let sleeps = 0;
  return { now: () => t, sleepUntil: async (deadline) => { t = Math.max(t, deadline) + late(++sleeps); } };
}

function frames(count, length) {
  return Array.from({ length: count }, (_, r) => Uint8Array.from({ length }, (_, i) => (r * length + i) & 0xff));
}

async function run(clock, options = {}) {
  const writes = [];
  const result = await transmit(frames(10, 11), { clock, write: async (b) => { writes.push({ b, t: clock.now() }); }, ...options });
  return { writes, result };
}

test('each byte has a 50 ms slot and each repetition a 100 ms pause before it', async () => {
  const { writes, result } = await run(fakeClock());
  assert.equal(result.sent, 110);
  assert.equal(result.repetitions, 10);
  assert.deepEqual(writes.map((w) => w.b), frames(10, 11).flatMap((f) => Array.from(f)));
  assert.equal(writes[0].t, 100);
  for (let i = 1; i < writes.length; ++i) {
    const gap = writes[i].t - writes[i - 1].t;
    assert.equal(gap, i % 11 === 0 ? 150 : 50, `gap before byte ${i}`);
  }
});

test('a late wake-up delays what follows and is not made up for', async () => {
  // The 5th sleep (the slot of the 4th byte) wakes 30 ms late, the 20th 7 ms late.
  const clock = fakeClock((n) => (n === 5 ? 30 : n === 20 ? 7 : 0));
  const { writes } = await run(clock);
  const gaps = writes.slice(1).map((w, i) => w.t - writes[i].t);
  assert.equal(gaps[3], 80);
  assert.equal(gaps[4], 50, 'no short catch-up slot after a late one');
  for (const [i, gap] of gaps.entries()) assert.ok(gap >= 50, `byte ${i + 1} came ${gap} ms after the one before`);
  assert.equal(writes.at(-1).t, 100 + 109 * 50 + 9 * 100 + 30 + 7);
});

test('a stop ends the send after the byte on the wire and says how far it got', async () => {
  const clock = fakeClock();
  let hidden = false;
  const writes = [];
  const result = await transmit(frames(10, 11), {
    clock,
    stop: () => (hidden ? 'hidden' : ''),
    write: async (b) => { writes.push(b); if (writes.length === 37) hidden = true; },
  });
  assert.equal(writes.length, 37);
  assert.equal(result.sent, 37);
  assert.equal(result.repetitions, 3);
  assert.equal(stoppedText(result.stopped, result.sent, result.total),
    'stopped after 37 of 110 bytes: keep this page in front while it sends');
});

test('a failed write ends the send at once with the reason', async () => {
  let n = 0;
  const result = await transmit(frames(10, 10), {
    clock: fakeClock(),
    write: async () => { if (++n === 12) throw new Error('The device has been lost.'); },
  });
  assert.equal(result.sent, 11);
  assert.equal(result.total, 100);
  assert.equal(result.error, 'The device has been lost.');
});

test("the page's clock never wakes before its deadline, and wake() cuts a wait short", async () => {
  const clock = browserClock();
  try {
    for (const ms of [1, 2, 5, 13, 50]) {
      const deadline = clock.now() + ms;
      await clock.sleepUntil(deadline);
      assert.ok(clock.now() >= deadline, `woke ${deadline - clock.now()} ms early`);
    }
    const start = clock.now();
    const long = clock.sleepUntil(start + 10000);
    setTimeout(() => clock.wake(), 20);
    await long;
    assert.ok(clock.now() - start < 5000);
  } finally {
    clock.close();
  }
});
