// The page's encoder: frame lengths and layout, the check bytes' rule, the icon byte by product, and a list
// without an entry refused. The frames themselves are compared with the program's golden frames and with
// the program's own encoder in the cross-implementation check.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { encode, sendFrames, toHex } from '../src/lib/encoder.js';
import { findEntry, tables } from '../src/lib/lists.js';

const gprmc = (extra = {}) => ({ location: 3, talker: findEntry(tables.talkers, 'GP'), sentence: findEntry(tables.sentences, 'RMC'), field: 5, type: -1, instrument: null, icon: findEntry(tables.icons, 'KT'), ...extra });

test('ten repetitions: "$", the location digit, seven body bytes, the icon byte where the product takes one, a check byte', () => {
  for (const [product, length] of [[0, 10], [1, 10], [2, 11]]) {
    const frames = sendFrames(gprmc(), product);
    assert.equal(frames.length, 10);
    for (const f of frames) {
      assert.equal(f.length, length);
      assert.equal(f[0], 0x24);
      assert.equal(f[1], 0x32); // location 3 is sent as "2"
      assert.deepEqual(Array.from(f.slice(2, 7)), Array.from('GPRMC', (c) => c.charCodeAt(0)));
      assert.equal(f[7], 5);
      assert.equal(f[8], 0x35);
    }
    // Only the check byte differs between the first repetition and the others.
    assert.deepEqual(frames[0].slice(0, -1), frames[1].slice(0, -1));
    for (const f of frames.slice(2)) assert.deepEqual(f, frames[1]);
  }
});

test('the first check byte is the body xor the icon byte; the repeat check adds the location key', () => {
  for (let location = 1; location <= 10; ++location) {
    const [first, repeat] = sendFrames(gprmc({ location }), 2);
    let x = 0;
    for (const b of first.slice(2, -1)) x ^= b;
    assert.equal(first.at(-1), x);
    assert.equal(repeat.at(-1), x ^ (24 + 4 * (location - 1)));
  }
});

test('an XDR location sends its type letter where the field count stands', () => {
  const f = sendFrames(gprmc({ sentence: findEntry(tables.sentences, 'XDR'), type: findEntry(tables.typeLetters, 'P'), field: 9 }), 0)[0];
  assert.equal(String.fromCharCode(f[7]), 'P');
  assert.equal(String.fromCharCode(f[8]), '9');
});

test('GGA is sent as CGA, and "None" on an MD90 1.3 is the byte FF', () => {
  const f = sendFrames(gprmc({ sentence: findEntry(tables.sentences, 'GGA'), icon: 0 }), 2)[0];
  assert.equal(toHex(f.slice(4, 7)), '43 47 41');
  assert.equal(f[9], 0xff);
});

test('a list without an entry is named and nothing is composed', () => {
  assert.deepEqual(encode(gprmc({ talker: -1 }), 0), { missing: 'Talker' });
  assert.deepEqual(encode(gprmc({ sentence: 500 }), 0), { missing: 'Identifier' });
  assert.deepEqual(encode(gprmc({ field: 26 }), 0), { missing: 'Commas' });
  assert.deepEqual(encode(gprmc({ sentence: findEntry(tables.sentences, 'XDR'), type: -1 }), 0), { missing: 'Xdr' });
  assert.deepEqual(encode(gprmc({ location: 11 }), 0), { missing: 'MemoryLocation1' });
  assert.deepEqual(encode({ location: 0, instrument: 2, icon: 0 }, 0), { missing: 'MemoryLocation2' });
  assert.deepEqual(encode({ location: 1, instrument: 12, icon: 0 }, 0), { missing: 'Instrument' });
  assert.throws(() => sendFrames(gprmc({ field: 0 }), 0), /Commas/);
});
