// The configuration frame of one memory location, as the program composes it: the record's bytes, the icon
// byte a product takes, the two check bytes and the ten repetitions of a send. A configuration holds list
// positions: { location, talker, sentence, field, type, instrument (null for a standard sentence), icon }.
import { tables } from './lists.js';

function code(codes, position) {
  return Number.isInteger(position) && position >= 0 && position < codes.length && codes[position] ? codes[position] : null;
}

const letter = (text, i) => text.charCodeAt(i);

// The record without its check bytes, or { missing } naming the list with no entry chosen, as the program
// names it; nothing half-composed is ever returned.
export function encode(c, product) {
  const isLocation = Number.isInteger(c.location) && c.location >= 1 && c.location <= tables.locations;
  const p = tables.products[product] || tables.products[tables.products.length - 1];
  const iconCode = p.icons ? (tables.iconCodes[c.icon] ?? tables.iconCodes[0]) : 0;
  let body;
  if (c.instrument !== null && c.instrument !== undefined) {
    const values = tables.instrumentValues[c.instrument];
    if (!Number.isInteger(c.instrument) || !values) return { missing: 'Instrument' };
    if (!isLocation) return { missing: 'MemoryLocation2' };
    body = [letter('P', 0), letter('V', 0), letter('L', 0), letter('M', 0), ...values];
  } else {
    const talker = code(tables.talkerCodes, c.talker);
    if (!talker) return { missing: 'Talker' };
    const sentence = code(tables.sentenceCodes, c.sentence);
    if (!sentence) return { missing: 'Identifier' };
    if (!Number.isInteger(c.field) || c.field < 1 || c.field > tables.fields) return { missing: 'Commas' };
    const xdr = tables.sentences[c.sentence] === tables.xdrSentence;
    const type = xdr ? code(tables.typeLetters, c.type) : '';
    if (type === null) return { missing: 'Xdr' };
    if (!isLocation) return { missing: 'MemoryLocation1' };
    // The comma count byte, or for XDR the type letter; then the field as a character from "1".
    body = [letter(talker, 0), letter(talker, 1), letter(sentence, 0), letter(sentence, 1), letter(sentence, 2),
      xdr ? letter(type, 0) : c.field, 48 + c.field];
  }
  let first = 0;
  for (const b of body) first ^= b;
  if (iconCode !== 0) first ^= iconCode;
  const memoryKey = tables.memoryKeys[c.location - 1];
  return { memoryChar: 48 + c.location - 1, body, iconCode, firstCheck: first, repeatCheck: first ^ memoryKey };
}

// Repetition r (1 to 10) as it goes on the wire.
export function repetition(record, r) {
  const bytes = [tables.frameStart, record.memoryChar, ...record.body];
  if (record.iconCode !== 0) bytes.push(record.iconCode);
  bytes.push(r === 1 ? record.firstCheck : record.repeatCheck);
  return Uint8Array.from(bytes);
}

// The ten repetitions of a send; throws for a configuration with a list left without an entry.
export function sendFrames(c, product) {
  const record = encode(c, product);
  if (record.missing) throw new Error('no entry is chosen in the list ' + record.missing);
  const frames = [];
  for (let r = 1; r <= tables.repetitions; ++r) frames.push(repetition(record, r));
  return frames;
}

// Bytes as installers read them: "24 32 47 ...".
export function toHex(bytes) {
  return Array.from(bytes, (b) => b.toString(16).toUpperCase().padStart(2, '0')).join(' ');
}
