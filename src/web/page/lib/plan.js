// Display plans in the page: read from TOML text (smol-toml) into a plan value, checked as a value with each
// fault naming its location and key, turned into plan text as the program's plan writer keeps it, and the
// page's own rows read as a plan value too, so no text is written only to be parsed again.
import { parse, TomlError } from 'smol-toml';
import { findEntry, shows, showsIcons, tables } from './lists.js';

const MaxNoteLength = tables.noteLength;
// A TOML value that is neither text nor a whole number (a float, a date, a boolean, an array, a table).
const Other = Symbol('another kind of value');

function integerText(text, first, last) {
  const t = text.trim();
  if (!/^[+-]?\d+$/.test(t)) return null;
  const n = Number(t);
  return n >= first && n <= last ? n : null;
}

function valueText(v) {
  if (typeof v === 'string') return v;
  if (typeof v === 'bigint') return v.toString();
  if (typeof v === 'number' && Number.isInteger(v)) return String(v);
  return null;
}

const simplified = (s) => s.trim().replace(/\s+/g, ' ').toLowerCase();

// The position (or number) a plan key's text names, as the program looks it up; null when it names none.
export function lookup(key, raw) {
  const text = String(raw).trim();
  let p = -1;
  switch (key) {
    case 'product': {
      const n = integerText(text, 0, tables.products.length - 1);
      if (n !== null) return n;
      p = tables.products.findIndex((x) => simplified(x.caption) === simplified(text));
      break;
    }
    case 'talker': p = findEntry(tables.talkers, text); break;
    case 'sentence': p = findEntry(tables.sentences, text); break;
    case 'field': return integerText(text, 1, tables.fields);
    case 'type':
      p = findEntry(tables.typeLetters, text);
      if (p < 0) p = findEntry(tables.types, text);
      break;
    case 'instrument': {
      const n = integerText(text, 1, tables.instruments.length);
      p = n !== null ? n - 1 : findEntry(tables.instruments, text);
      break;
    }
    case 'icon': p = findEntry(tables.icons, text); break;
    case 'location': return integerText(text, 1, tables.locations);
    default: break;
  }
  return p >= 0 ? p : null;
}

// A text from the plan as a message shows it: quoted, anything but printable ASCII escaped.
function shown(text) {
  const escaped = Array.from(String(text), (ch) => {
    const u = ch.codePointAt(0);
    if (u >= 0x20 && u < 0x7f) return ch === '"' ? '\\"' : ch;
    return u <= 0xffff ? '\\u' + u.toString(16).padStart(4, '0') : '\\U' + u.toString(16).padStart(8, '0');
  }).join('');
  return '"' + escaped + '"';
}

// Why a note cannot be kept as it is; null when it can.
export function noteProblem(note) {
  if (/[\u0000-\u001f\u007f]/.test(note)) return 'a note is one line of text, without line breaks or control characters';
  if (note.length > MaxNoteLength) return `a note is at most ${MaxNoteLength} characters; this one has ${note.length}`;
  return null;
}

const isTable = (v) => v !== null && typeof v === 'object' && v !== Other && !Array.isArray(v) && !(v instanceof Date);

// Checks a plan value ({ product, location: { "1": { talker, ... } } }, texts or whole numbers as TOML
// gives them) as the program's plan reader does. Returns the plan's clean locations and every fault, each
// with the location it belongs to (0: the plan as a whole) and its key.
export function checkPlan(root) {
  const faults = [];
  const plan = { product: -1, locations: [] };
  const fault = (location, key, message) => faults.push({ location, key, message });
  const value = (key, v, where, location) => {
    const text = valueText(v);
    const found = text === null ? null : lookup(key, text);
    if (found === null) {
      fault(location, key, `${where}${key}: ${text === null ? 'this kind of value' : shown(text)} is not valid; valid values: ${tables.briefValues[key]}`);
    }
    return found;
  };
  const icons = [];
  const seen = new Set();
  for (const [name, v] of Object.entries(root)) {
    if (name === 'product') {
      const p = value('product', v, '', 0);
      if (p !== null) plan.product = p;
    } else if (name === 'location') {
      if (!isTable(v)) {
        fault(0, 'location', 'location is a group of tables [location.1] to [location.10], not a value');
        continue;
      }
      for (const [key, fields] of Object.entries(v)) {
        const n = integerText(key, 1, tables.locations);
        if (n === null) {
          fault(0, 'location', `location ${shown(key)} is out of range; valid locations: 1 to ${tables.locations}`);
        } else if (!isTable(fields)) {
          fault(n, '', `location ${n} is a table of keys ([location.${n}]), not a value`);
        } else if (seen.has(n)) {
          fault(n, '', `location ${n} is given twice; each location is given at most once`);
        } else {
          seen.add(n);
          const l = checkLocation(n, fields, value, fault);
          if (l.icon) icons.push(n);
          if (l.ok) plan.locations.push(l.location);
        }
      }
    } else {
      fault(0, name, `unknown key ${shown(name)}; valid keys here: product, [location.N] tables`);
    }
  }
  if (!('product' in root)) fault(0, 'product', 'product is missing; valid values: ' + tables.validValues.product);
  if (plan.product >= 0 && !showsIcons(plan.product)) {
    for (const n of icons) {
      fault(n, 'icon', `location ${n} has an icon, but product ${plan.product} (${tables.products[plan.product].caption}) shows none; icons are for product ${tables.iconProducts} only`);
    }
  }
  plan.locations.sort((a, b) => a.location - b.location);
  return { plan, faults };
}

const StandardKeys = ['talker', 'sentence', 'field', 'type'];

function checkLocation(n, fields, value, fault) {
  const where = `location ${n}: `;
  const l = { location: n, talker: -1, sentence: -1, field: 0, type: -1, instrument: null, icon: 0, note: '' };
  let ok = true;
  let icon = false;
  let standardKey = null;
  let instrumentKey = null;
  const has = {};
  for (const [key, v] of Object.entries(fields)) {
    if (StandardKeys.includes(key)) {
      standardKey = standardKey || key;
      has[key] = v;
      if (key === 'type') continue; // judged once the sentence is known
      const found = value(key, v, where, n);
      ok = found !== null && ok;
      l[key] = found === null ? (key === 'field' ? 0 : -1) : found;
    } else if (key === 'instrument') {
      instrumentKey = key;
      const found = value(key, v, where, n);
      ok = found !== null && ok;
      l.instrument = found === null ? -1 : found;
    } else if (key === 'note') {
      const problem = typeof v === 'string' ? noteProblem(v) : 'a note is text in quotes';
      if (problem) {
        ok = false;
        fault(n, 'note', `${where}note: ${problem}`);
      } else {
        l.note = v;
      }
    } else if (key === 'icon') {
      const found = value(key, v, where, n);
      ok = found !== null && ok;
      l.icon = found === null ? 0 : found;
      icon = found !== null && found !== 0;
    } else {
      ok = false;
      fault(n, key, `${where}unknown key ${shown(key)}; valid keys: talker, sentence, field, type (XDR only), icon, note, or instrument, icon, note`);
    }
  }
  if (instrumentKey && standardKey) {
    const keys = Object.keys(fields);
    const [earlier, later] = keys.indexOf(instrumentKey) < keys.indexOf(standardKey) ? [instrumentKey, standardKey] : [standardKey, instrumentKey];
    fault(n, later, `${where}${later} cannot be given with ${earlier}; a location shows either a standard sentence (talker, sentence, field) or an instrument`);
    return { ok: false, icon, location: l };
  }
  if (!instrumentKey) {
    if (!standardKey) {
      // A note alone names a location but shows nothing on it.
      fault(n, '', `${where}shows nothing; give talker, sentence and field, or instrument`);
      return { ok: false, icon, location: l };
    }
    for (const key of ['talker', 'sentence', 'field']) {
      if (!(key in has)) {
        ok = false;
        fault(n, key, `${where}${key} is missing; valid values: ${tables.briefValues[key]}`);
      }
    }
    const xdr = tables.sentences[l.sentence] === tables.xdrSentence;
    if ('type' in has && 'sentence' in has && l.sentence >= 0 && !xdr) {
      ok = false;
      fault(n, 'type', `${where}type applies only to the sentence XDR, not ${tables.sentences[l.sentence]}`);
    } else if ('type' in has) {
      const found = value('type', has.type, where, n);
      ok = found !== null && ok;
      l.type = found === null ? -1 : found;
    } else if (xdr) {
      ok = false;
      fault(n, 'type', `${where}type is missing; valid values: ${tables.briefValues.type}`);
    }
  }
  return { ok, icon, location: l };
}

// A float, a date or another value that is neither text nor a whole number, marked so the check refuses it
// as the program's reader does (smol-toml gives 5.0 as the number 5).
function marked(v) {
  if (typeof v === 'number' || typeof v === 'boolean' || v instanceof Date || Array.isArray(v)) return Other;
  if (isTable(v)) {
    const out = Object.create(null);
    for (const [k, x] of Object.entries(v)) out[k] = marked(x);
    return out;
  }
  return v;
}

// Reads plan text: its plan and its faults. Syntax errors and texts past the program's limits are one fault
// of the plan as a whole (location 0), with the line and column where the reader stopped.
export function readPlan(text) {
  if (new TextEncoder().encode(text).length > tables.maxPlanBytes) {
    return { plan: { product: -1, locations: [] }, faults: [{ location: 0, key: '', message: `the plan goes on past ${tables.maxPlanBytes} bytes (1 MB); a plan is at most that long, and a whole display takes under 1 KB` }] };
  }
  let root;
  try {
    root = parse(text, { integersAsBigInt: true, maxDepth: 32 });
  } catch (e) {
    if (!(e instanceof TomlError)) throw e;
    const first = String(e.message).split('\n')[0].replace(/^Invalid TOML document: /, '');
    return { plan: { product: -1, locations: [] }, faults: [{ location: 0, key: '', line: e.line, column: e.column, message: 'TOML syntax error: ' + first }] };
  }
  return checkPlan(marked(root));
}

// A TOML basic string: quotes and backslashes escaped, control characters as \uXXXX.
function quoted(text) {
  return '"' + String(text).replace(/[\\"\u0000-\u001f\u007f]/g, (c) => {
    if (c === '\\' || c === '"') return '\\' + c;
    return '\\u' + c.charCodeAt(0).toString(16).padStart(4, '0');
  }) + '"';
}

// Plan text as the program's plan writer keeps it: the product line, then each location's table in order.
export function planText(plan) {
  let t = `# Display plan for mdconfig-cli: check it with "mdconfig-cli plan check FILE"\nproduct = ${plan.product}                 # ${tables.products[plan.product].caption}\n`;
  const sorted = [...plan.locations].sort((a, b) => a.location - b.location);
  for (const l of sorted) {
    t += `\n[location.${l.location}]\n`;
    if (l.note) t += `note = ${quoted(l.note)}\n`;
    if (l.instrument !== null && l.instrument !== undefined) {
      t += `instrument = ${quoted(tables.instruments[l.instrument] ?? '')}\n`;
    } else {
      t += `talker = ${quoted(tables.talkers[l.talker] ?? '')}\n`;
      t += `sentence = ${quoted(tables.sentences[l.sentence] ?? '')}\n`;
      t += `field = ${l.field}\n`;
      if (tables.sentences[l.sentence] === tables.xdrSentence) t += `type = ${quoted(tables.typeLetters[l.type] ?? '')}\n`;
    }
    if (showsIcons(plan.product) && l.icon !== 0) t += `icon = ${quoted(tables.icons[l.icon])}\n`;
  }
  return t;
}

// A value of the page's JSON as the reader judges it: whole numbers stay numbers, anything else is text.
function pageValue(v) {
  if (typeof v === 'number' && Number.isInteger(v) && v > -1e9 && v < 1e9) return v;
  return typeof v === 'number' ? String(v) : String(v ?? '');
}

// The page's plan ({ product, locations: [{ location, talker, sentence, field, type, instrument, icon,
// note }] }) checked as a plan value, as the board checks it: each fault on its location's row.
export function checkPage(page) {
  const root = Object.create(null);
  root.product = pageValue(page.product);
  const locations = Object.create(null);
  const twice = [];
  for (const row of page.locations || []) {
    const n = Math.trunc(Number(row.location)) || 0;
    const keys = row.instrument ? ['instrument', 'icon', 'note'] : ['talker', 'sentence', 'field', 'type', 'icon', 'note'];
    const fields = Object.create(null);
    for (const key of keys) {
      const v = row[key];
      if (v === undefined || v === null || v === '' || (key === 'icon' && v === tables.rowDefaults.icon)) continue;
      fields[key] = key === 'note' ? String(v) : pageValue(v);
    }
    if (String(n) in locations) twice.push(n);
    locations[String(n)] = fields;
  }
  root.location = locations;
  const checked = checkPlan(root);
  // Half of a UTF-16 pair without the other half is no character at all, and no plan can keep it.
  for (const row of page.locations || []) {
    for (const [key, v] of Object.entries(row)) {
      if (typeof v === 'string' && /[\uD800-\uDBFF](?![\uDC00-\uDFFF])|(?<![\uD800-\uDBFF])[\uDC00-\uDFFF]/.test(v)) {
        checked.faults.push({ location: Math.trunc(Number(row.location)) || 0, key, message: `${key} holds a broken character (half of a UTF-16 pair); type it again` });
      }
    }
  }
  for (const n of twice) checked.faults.push({ location: n, key: '', message: `location ${n} is given twice; each location is given at most once` });
  const withIcon = showsIcons(checked.plan.product);
  const clean = checked.faults.length === 0;
  const shownBy = {};
  if (clean) for (const l of checked.plan.locations) shownBy[l.location] = shows(l, withIcon);
  return { clean, faults: checked.faults, shows: shownBy, plan: checked.plan, text: clean ? planText(checked.plan) : '' };
}

// A location as the program's JSON gives it: texts as the lists show them, null where they do not apply.
export function locationJson(l, withIcon) {
  const standard = l.instrument === null || l.instrument === undefined;
  const xdr = standard && tables.sentences[l.sentence] === tables.xdrSentence;
  return {
    location: l.location,
    kind: standard ? (xdr ? 'xdr' : 'standard') : 'proprietary',
    talker: standard ? tables.talkers[l.talker] ?? null : null,
    sentence: standard ? tables.sentences[l.sentence] ?? null : null,
    field: standard && l.field > 0 ? l.field : null,
    type: xdr ? tables.types[l.type] ?? null : null,
    instrument: standard ? null : tables.instruments[l.instrument] ?? null,
    icon: withIcon ? tables.icons[l.icon] ?? null : null,
    shows: shows(l, withIcon),
  };
}

// A plan file's text as the page's plan, as the board's /api/plan/load answers: its product and locations
// with their notes, or its faults as lines to show.
export function pageOf(text, fileName) {
  const { plan, faults } = readPlan(text);
  if (faults.length) {
    return { faults: faults.map((f) => (f.line ? `${fileName}:${f.line}:${f.column}: ` : `${fileName}: `) + f.message) };
  }
  const withIcon = showsIcons(plan.product);
  return { product: plan.product, locations: plan.locations.map((l) => ({ ...locationJson(l, withIcon), note: l.note })) };
}
