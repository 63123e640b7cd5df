// The page's plan reader and writer: clean plans read into locations, faults named by location and key,
// values TOML gives that the program refuses, the writer's text read back alike, the page's rows checked.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { checkPage, pageOf, planText, readPlan } from '../src/lib/plan.js';

const helm = `product = 2
[location.1]
note = "speed over ground"
talker = "gp"
sentence = "RMC"
field = 7
icon = "KT"
[location.4]
instrument = 11
[location.2]
talker = "II"
sentence = "XDR"
field = 2
type = "c"
`;

test('a clean plan gives its locations in order, any case, with numbers for instruments', () => {
  const { plan, faults } = readPlan(helm);
  assert.deepEqual(faults, []);
  assert.equal(plan.product, 2);
  assert.deepEqual(plan.locations.map((l) => l.location), [1, 2, 4]);
  assert.deepEqual(plan.locations[0], { location: 1, talker: 15, sentence: 59, field: 7, type: -1, instrument: null, icon: 9, note: 'speed over ground' });
  assert.equal(plan.locations[1].type, 1);
  assert.equal(plan.locations[2].instrument, 10);
});

const faultRows = [
  ['an unknown talker', 'product = 0\n[location.3]\ntalker = "QQ"\nsentence = "RMC"\nfield = 1\n', [[3, 'talker']]],
  ['a float is not a field', 'product = 0\n[location.2]\ntalker = "GP"\nsentence = "RMC"\nfield = 5.0\n', [[2, 'field']]],
  ['field 26', 'product = 0\n[location.2]\ntalker = "GP"\nsentence = "RMC"\nfield = 26\n', [[2, 'field']]],
  ['type without XDR', 'product = 0\n[location.1]\ntalker = "GP"\nsentence = "RMC"\nfield = 1\ntype = "C"\n', [[1, 'type']]],
  ['XDR without type', 'product = 0\n[location.1]\ntalker = "GP"\nsentence = "XDR"\nfield = 1\n', [[1, 'type']]],
  ['instrument and talker', 'product = 0\n[location.5]\ninstrument = 1\ntalker = "GP"\n', [[5, 'talker']]],
  ['a note alone', 'product = 0\n[location.6]\nnote = "x"\n', [[6, '']]],
  ['a note over two lines', 'product = 0\n[location.7]\ninstrument = 2\nnote = "a\\nb"\n', [[7, 'note']]],
  ['an icon for a product without', 'product = 1\n[location.8]\ninstrument = 2\nicon = "KT"\n', [[8, 'icon']]],
  ['location 11', 'product = 0\n[location.11]\ninstrument = 2\n', [[0, 'location']]],
  ['location 1 twice', 'product = 0\n[location.1]\ninstrument = 2\n[location."01"]\ninstrument = 3\n', [[1, '']]],
  ['no product', '[location.1]\ninstrument = 2\n', [[0, 'product']]],
  ['a date for a product', 'product = 1979-05-27\n', [[0, 'product']]],
  ['an unknown key', 'product = 0\ncolour = "red"\n[location.2]\ninstrument = 1\nsize = 3\n', [[0, 'colour'], [2, 'size']]],
];

for (const [name, text, expected] of faultRows) {
  test(`fault: ${name}`, () => {
    const { faults } = readPlan(text);
    assert.deepEqual(faults.map((f) => [f.location, f.key]).sort(), expected.sort(), JSON.stringify(faults));
    for (const f of faults) assert.ok(f.message.length > 10);
  });
}

test('a syntax error is one fault of the plan with its line', () => {
  const { faults } = readPlan('product = 0\n[location.1\n');
  assert.equal(faults.length, 1);
  assert.equal(faults[0].location, 0);
  assert.equal(faults[0].line, 2);
  assert.match(faults[0].message, /^TOML syntax error: /);
});

test('the writer writes what the reader reads back, notes with quotes and controls escaped', () => {
  const { plan } = readPlan(helm);
  plan.locations[0].note = 'say "hi" \\ there';
  const text = planText(plan);
  assert.match(text, /^# Display plan for mdconfig-cli/);
  assert.match(text, /\nproduct = 2 {17}# MD90 {2}Ver 1.3 \+\n/);
  assert.match(text, /\[location.2\]\ntalker = "II"\nsentence = "XDR"\nfield = 2\ntype = "C"\n/);
  const again = readPlan(text);
  assert.deepEqual(again.faults, []);
  assert.deepEqual(again.plan, plan);
});

test('the page rows are checked as a plan value, each fault on its row', () => {
  const page = { product: 0, locations: [
    { location: 1, talker: 'GP', sentence: 'RMC', field: 5, type: null, instrument: null, icon: null, note: null },
    { location: 3, talker: 'GP', sentence: 'XDR', field: 2, type: null, instrument: null, icon: null, note: null },
    { location: 4, talker: null, sentence: null, field: null, type: null, instrument: 'NX20/40 ENGINE RPM', icon: 'KT', note: 'rpm' },
  ] };
  const checked = checkPage(page);
  assert.equal(checked.clean, false);
  assert.deepEqual(checked.faults.map((f) => f.location).sort(), [3, 4]);
  page.locations[1].type = 'C - Temperature, Degrees C';
  page.locations[2].icon = 'None';
  const clean = checkPage(page);
  assert.deepEqual(clean.faults, []);
  assert.equal(clean.shows[3], 'GP XDR field 2 type C - Temperature, Degrees C');
  assert.deepEqual(readPlan(clean.text).plan, clean.plan);
});

test('a plan file loads as the board answers: texts as the lists show them, or the faults with file and line', () => {
  const loaded = pageOf(helm, 'helm.toml');
  assert.equal(loaded.product, 2);
  assert.deepEqual(loaded.locations[1], { location: 2, kind: 'xdr', talker: 'II', sentence: 'XDR', field: 2,
    type: 'C - Temperature, Degrees C', instrument: null, icon: 'None', shows: 'II XDR field 2 type C - Temperature, Degrees C, icon None', note: '' });
  assert.match(pageOf('product = [', 'bad.toml').faults[0], /^bad\.toml:1:\d+: TOML syntax error/);
});

test('a note with half of a UTF-16 pair is a fault on its row; a whole pair is kept', () => {
  const row = { location: 6, instrument: 'NX20/40 ENGINE RPM', note: 'fuel \u26FD \uD83D\uDE80' };
  assert.equal(checkPage({ product: 0, locations: [row] }).clean, true);
  row.note = 'broken \uD83D';
  const checked = checkPage({ product: 0, locations: [row] });
  assert.deepEqual(checked.faults.map((f) => [f.location, f.key]), [[6, 'note']]);
});
