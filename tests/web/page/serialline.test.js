// The adapter line's start: the page is built whatever the browser does with its remembered ports.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { AdapterLine } from '../src/lib/serialline.js';

function serial(getPorts) {
  return { getPorts, addEventListener: () => {} };
}

const rows = [
  ['never answers', () => new Promise(() => {}), null],
  ['refuses', async () => { throw new Error('blocked by permissions policy'); }, /would not say which adapters.*blocked by permissions policy/],
  ['remembers none', async () => [], /No adapter is connected/],
];

for (const [name, getPorts, says] of rows) {
  test(`the lists come at once when the browser's remembered ports ${name}`, async () => {
    const said = [];
    const clock = { now: () => 0, sleepUntil: async () => {}, wake() {} };
    const line = new AdapterLine({ serial: serial(getPorts), status: (t) => said.push(t), clock, doc: null });
    const lists = await Promise.race([line.start(), new Promise((r) => setTimeout(() => r('held up'), 200))]);
    assert.ok(lists && lists.products, 'start() gave the lists');
    if (says) {
      assert.equal(await line.remembered, false);
      assert.match(said.at(-1), says);
    }
  });
}

// The page on its own answers a send it refuses in the board's words.
test('a refused send is worded as the board words it', async () => {
  const clock = { now: () => 0, sleepUntil: async () => {}, wake() {} };
  const line = new AdapterLine({ serial: serial(async () => []), status: () => {}, clock, doc: null });
  await line.start();
  const faulty = await line.send({ product: 0, locations: [{ location: 2, talker: 'GP', sentence: 'RMC', field: 99 }] });
  assert.equal(faulty.status, 422);
  assert.equal(faulty.data.error, 'the plan has faults; nothing was sent');
  const before = await line.send({ product: 0, from: 5, locations: [{ location: 2, instrument: 'NX20/40 ENGINE RPM' }] });
  assert.deepEqual([before.status, before.data.error], [422, 'no used location to send from location 5 on']);
});
