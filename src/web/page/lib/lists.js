// The program's lists and the facts the page's own encoder and plan reader key on, from the tables written at
// build time from the C++ tables (tables.js): the entries, the products and what a location shows.
import { tables } from './tables.js';

export { tables };

// The lists answer, as the board gives it at /api/lists: what the page offers in its controls.
export const lists = Object.freeze(Object.fromEntries(tables.listKeys.map((key) => [key, tables[key]])));

// The position of the entry equal to the text, case aside, as the program's lists are searched; -1 for none.
export function findEntry(entries, text) {
  const wanted = String(text).toLowerCase();
  return entries.findIndex((e) => e.toLowerCase() === wanted);
}

export function showsIcons(product) {
  const p = tables.products[product];
  return p ? p.icons : false;
}

function entryText(entries, position) {
  return position >= 0 && position < entries.length ? entries[position] : '?';
}

// What a configuration shows, as the program says it: "GP RMC field 7, icon KT", "II XDR field 3 type C -
// Temperature, Degrees C", or an instrument's name.
export function shows(c, withIcon) {
  let what;
  if (c.instrument !== null && c.instrument !== undefined) {
    what = entryText(tables.instruments, c.instrument);
  } else {
    what = entryText(tables.talkers, c.talker) + ' ' + entryText(tables.sentences, c.sentence) + ' field ' + c.field;
    if (tables.sentences[c.sentence] === tables.xdrSentence) what += ' type ' + entryText(tables.types, c.type);
  }
  if (withIcon) what += ', icon ' + entryText(tables.icons, c.icon);
  return what;
}
