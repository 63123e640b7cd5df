// The page's own plan send on a fake adapter and clock: locations in order with the gap between them, the
// question before each, a stop after the byte on the wire, resuming where it stopped, an unready adapter.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { LocalJobs } from '../src/lib/jobs.js';
import { readPlan } from '../src/lib/plan.js';

const { plan } = readPlan('product = 0\n[location.2]\ninstrument = 1\n[location.5]\ntalker = "GP"\nsentence = "RMC"\nfield = 3\n[location.7]\ninstrument = 4\n');

function setup({ ready = '', onWrite = () => {} } = {}) {
  const page = { hidden: false };
  let t = 0;
  const clock = { now: () => t, sleepUntil: async (d) => { t = Math.max(t, d); await null; } };
  const writes = [];
  const states = [];
  const jobs = new LocalJobs({ clock, onChange: (s) => states.push(s), line: {
    ready: () => ready,
    hidden: () => page.hidden,
    write: async (b) => { writes.push({ b, t }); onWrite(writes.length, jobs, page); },
  } });
  return { jobs, writes, states, page };
}

test('a whole plan goes out location after location, a second apart', async () => {
  const { jobs, writes, states } = setup();
  assert.equal(jobs.start({ plan }), true);
  assert.equal(jobs.start({ plan }), false, 'one send at a time');
  await jobs.finished;
  assert.equal(writes.length, 300);
  assert.equal(writes[100].t - writes[99].t, 50 + 1000 + 100);
  const end = states.at(-1);
  assert.deepEqual([end.state, end.sent, end.notSent, end.done, end.total], ['done', [2, 5, 7], [], 30, 30]);
  assert.equal(states.find((s) => s.location === 5).shows, 'GP RMC field 3');
});

test('a hidden page stops the send after the byte on the wire; it resumes from that location', async () => {
  const { jobs, writes, states } = setup({ onWrite: (n, j, page) => { if (n === 140) page.hidden = true; } });
  jobs.start({ plan });
  await jobs.finished;
  assert.equal(writes.length, 140);
  const end = states.at(-1);
  assert.equal(end.state, 'stopped');
  assert.deepEqual([end.sent, end.notSent, end.resumeFrom, end.cut], [[2], [5, 7], 5, 5]);
  assert.equal(end.failure, 'stopped after 40 of 100 bytes: keep this page in front while it sends');

  const again = setup();
  again.jobs.start({ plan, from: 5 });
  await again.jobs.finished;
  assert.deepEqual([again.states.at(-1).sent, again.states.at(-1).skipped, again.writes.length], [[5, 7], [2], 200]);
});

test('asked before each location, it waits for Continue, and Stop while it waits sends nothing more', async () => {
  const { jobs, writes, states } = setup();
  jobs.start({ plan, ask: true });
  await new Promise((r) => setTimeout(r, 0));
  assert.equal(jobs.state().state, 'waiting');
  assert.equal(writes.length, 0);
  jobs.proceed();
  while (jobs.state().location !== 5 || jobs.state().state !== 'waiting') await new Promise((r) => setTimeout(r, 0));
  jobs.stop();
  await jobs.finished;
  assert.equal(writes.length, 100);
  assert.deepEqual([states.at(-1).state, states.at(-1).failure, states.at(-1).cut], ['stopped', 'interrupted before location 5', undefined]);
});

test('Stop in the middle of a location says how far it got in it; an unplugged adapter is a failure', async () => {
  let run = setup({ onWrite: (n, j) => { if (n === 7) j.stop(); } });
  run.jobs.start({ plan });
  await run.jobs.finished;
  assert.deepEqual([run.states.at(-1).state, run.states.at(-1).failure, run.states.at(-1).cut], ['stopped', 'interrupted after 7 of 100 bytes of location 2', 2]);
  run = setup({ onWrite: (n, j) => { if (n === 107) j.stop('gone'); } });
  run.jobs.start({ plan });
  await run.jobs.finished;
  assert.deepEqual([run.states.at(-1).state, run.states.at(-1).failure, run.states.at(-1).sent], ['failed', 'location 5 failed: the adapter was unplugged after 7 of 100 bytes', [2]]);
});

test('without an adapter nothing is sent and the reason is given', async () => {
  const { jobs, writes, states } = setup({ ready: 'no adapter is connected' });
  jobs.start({ plan });
  await jobs.finished;
  assert.equal(writes.length, 0);
  assert.deepEqual([states.at(-1).state, states.at(-1).failure, states.at(-1).notSent], ['failed', 'no adapter is connected', [2, 5, 7]]);
});

test('a page hidden while it waits for Continue stops nothing; hidden when the gap ends, nothing more is sent', async () => {
  const { jobs, writes, states, page } = setup({ onWrite: (n, j, p) => { if (n === 100) p.hidden = true; } });
  jobs.start({ plan, ask: true });
  await new Promise((r) => setTimeout(r, 0));
  page.hidden = true;
  await new Promise((r) => setTimeout(r, 0));
  assert.equal(jobs.state().state, 'waiting');
  page.hidden = false;
  jobs.proceed();
  await jobs.finished;
  assert.equal(writes.length, 100);
  assert.equal(states.at(-1).failure, 'stopped before location 5: keep this page in front while it sends');
});
