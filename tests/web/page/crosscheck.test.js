// The page's encoder and plan reader against the program's own: the golden frames of the one golden table,
// 1,200 random configurations through both encoders, the example plans through both readers and encoders,
// and a corpus of bad plans that both refuse, naming the same locations.
// The program's side: MDCONFIG_EXPORTER (golden frames, frames of configurations) and MDCONFIG_CLI (plan
// check, plan frames); MDCONFIG_EXAMPLES and MDCONFIG_BAD_PLANS name the plan folders.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { sendFrames, toHex } from '../src/lib/encoder.js';
import { findEntry, shows, showsIcons, tables } from '../src/lib/lists.js';
import { readPlan } from '../src/lib/plan.js';

const { MDCONFIG_EXPORTER: exporter, MDCONFIG_CLI: cli, MDCONFIG_EXAMPLES: examples, MDCONFIG_BAD_PLANS: badPlans } = process.env;

function run(program, args, input) {
  const r = spawnSync(program, args, { input, encoding: 'utf8', maxBuffer: 64 << 20 });
  if (r.error) throw r.error;
  return r;
}

// A configuration as positions, from the texts the program's JSON uses.
function fromTexts(o) {
  const standard = !o.instrument;
  return {
    location: o.location,
    talker: standard ? findEntry(tables.talkers, o.talker) : -1,
    sentence: standard ? findEntry(tables.sentences, o.sentence) : -1,
    field: standard ? o.field : 0,
    type: o.type ? findEntry(tables.types, o.type) : -1,
    instrument: standard ? null : findEntry(tables.instruments, o.instrument),
    icon: o.icon ? findEntry(tables.icons, o.icon) : 0,
  };
}

const hexFrames = (c, product) => sendFrames(c, product).map(toHex);

test('the golden frames', () => {
  const rows = JSON.parse(run(exporter, ['golden']).stdout);
  assert.ok(rows.length >= 20);
  for (const g of rows) {
    const c = fromTexts(g);
    const frames = hexFrames(c, g.product);
    assert.equal(frames[0], g.first, g.name);
    for (const f of frames.slice(1)) assert.equal(f, g.repeat, g.name);
    assert.equal(shows(c, showsIcons(g.product)), g.shows, g.name);
  }
});

// A small seeded generator, so a failure can be run again as it was.
function random(seed) {
  return () => {
    seed = (seed + 0x6d2b79f5) | 0;
    let t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

test('1,200 random configurations give the same frames from both encoders', () => {
  const next = random(20261208);
  const pick = (list) => list[Math.floor(next() * list.length)];
  const rows = [];
  for (let i = 0; i < 1200; ++i) {
    const row = { product: Math.floor(next() * tables.products.length), location: 1 + Math.floor(next() * tables.locations), icon: pick(tables.icons) };
    if (next() < 0.25) {
      row.instrument = pick(tables.instruments);
    } else {
      // One in five an XDR sentence, which the list holds only once.
      row.talker = pick(tables.talkers);
      row.sentence = next() < 0.2 ? tables.xdrSentence : pick(tables.sentences);
      row.field = 1 + Math.floor(next() * tables.fields);
      if (row.sentence === tables.xdrSentence) row.type = pick(tables.types);
    }
    rows.push(row);
  }
  const answers = run(exporter, ['frames'], rows.map((r) => JSON.stringify(r)).join('\n') + '\n').stdout.trim().split('\n').map((l) => JSON.parse(l));
  assert.equal(answers.length, rows.length);
  rows.forEach((row, i) => {
    assert.ok(answers[i].frames, JSON.stringify([row, answers[i]]));
    const c = fromTexts(row);
    assert.deepEqual(hexFrames(c, row.product), answers[i].frames, JSON.stringify(row));
    assert.equal(shows(c, showsIcons(row.product)), answers[i].shows);
  });
});

test('the example plans read alike and give the same frames', () => {
  const files = readdirSync(examples).filter((f) => f.endsWith('.mdplan.toml'));
  assert.ok(files.length >= 2);
  for (const file of files) {
    const path = join(examples, file);
    const program = run(cli, ['plan', 'frames', '--json', path]);
    assert.equal(program.status, 0, program.stderr);
    const theirs = program.stdout.trim().split('\n').map((l) => JSON.parse(l));
    const { plan, faults } = readPlan(readFileSync(path, 'utf8'));
    assert.deepEqual(faults, [], file);
    assert.deepEqual(plan.locations.map((l) => l.location), theirs.map((t) => t.location), file);
    plan.locations.forEach((l, i) => {
      assert.deepEqual(hexFrames(l, plan.product), theirs[i].frames, `${file} location ${l.location}`);
      assert.equal(l.note, theirs[i].note ?? '');
    });
  }
});

// The locations a fault names: "location 3: ..." or "location 3 has an icon ...", as both word them.
const named = (message) => Number((/^location (\d+)\b/.exec(message) || [])[1] || 0);

test('bad plans are refused by both, with faults on the same locations', () => {
  const files = readdirSync(badPlans).filter((f) => f.endsWith('.mdplan.toml'));
  assert.ok(files.length >= 20);
  for (const file of files) {
    const path = join(badPlans, file);
    const program = run(cli, ['plan', 'check', '--json', path]);
    assert.equal(program.status, 2, `${file}: the program took it`);
    assert.equal(JSON.parse(program.stdout).clean, false);
    const theirs = program.stderr.split('\n').filter((l) => l.startsWith(path + ':'))
      .map((l) => named(l.slice(path.length + 1).replace(/^\d+:\d+: /, '')));
    const ours = readPlan(readFileSync(path, 'utf8')).faults.map((f) => f.location);
    assert.ok(ours.length > 0, `${file}: the page took it`);
    const set = (list) => [...new Set(list)].sort((a, b) => a - b);
    assert.deepEqual(set(ours), set(theirs), file);
  }
});
