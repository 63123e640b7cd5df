// The ten locations of the page: one card each with its lists, note, state and send button; the plan they
// make, as the board and the page's own plan reader take it; faults shown on their rows.
// The rows know the lists from the line's lists answer alone (the board's, or the page's own tables).
export const $ = (id) => document.getElementById(id);

// Only the sentence XDR takes a transducer type.
export function takesType(state, sentence) {
  return sentence === state.lists.xdrSentence;
}

// A new row of the page: unused, and offering the first entries when it is put to use.
function rowDefaults(number, lists) {
  return { number, kind: 'unused', ...lists.rowDefaults, type: '', note: '' };
}

export function option(select, value, text) {
  const o = document.createElement('option');
  o.value = String(value);
  o.textContent = text === undefined ? String(value) : text;
  select.appendChild(o);
  return o;
}

export function element(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = text;
  return e;
}

function labelled(card, id, caption, control) {
  const wrap = element('div');
  const label = element('label', '', caption);
  label.htmlFor = id;
  control.id = id;
  wrap.append(label, control);
  card.appendChild(wrap);
  return wrap;
}

function fillSelect(select, entries) {
  select.textContent = '';
  for (const e of entries) option(select, e);
}

export function productShowsIcons(state) {
  const p = state.lists.products[Number($('product').value)];
  return p ? p.icons : false;
}

function card(n, lists) {
  const card = element('div', 'location');
  card.id = 'location-' + n;
  card.setAttribute('role', 'group');
  card.setAttribute('aria-labelledby', 'location-' + n + '-heading');
  const heading = element('h3', '', 'Location ' + n);
  heading.id = 'location-' + n + '-heading';
  card.appendChild(heading);
  const kind = document.createElement('select');
  option(kind, 'unused', 'Not used');
  option(kind, 'standard', 'Standard sentence');
  option(kind, 'instrument', "Maker's instrument");
  labelled(card, 'kind-' + n, 'What location ' + n + ' shows', kind);
  const talker = document.createElement('select'); fillSelect(talker, lists.talkers);
  const sentence = document.createElement('select'); fillSelect(sentence, lists.sentences);
  const field = document.createElement('select');
  for (let f = 1; f <= lists.fields; ++f) option(field, f);
  const type = document.createElement('select'); fillSelect(type, lists.types);
  const instrument = document.createElement('select'); fillSelect(instrument, lists.instruments);
  const icon = document.createElement('select'); fillSelect(icon, lists.icons);
  const note = document.createElement('input');
  note.type = 'text';
  note.maxLength = lists.noteLength;
  note.autocomplete = 'off';
  const parts = {
    talker: labelled(card, 'talker-' + n, 'Talker ID', talker),
    sentence: labelled(card, 'sentence-' + n, 'Sentence', sentence),
    field: labelled(card, 'field-' + n, 'Field (Commas)', field),
    type: labelled(card, 'type-' + n, 'Transducer type (XDR)', type),
    instrument: labelled(card, 'instrument-' + n, 'Instrument', instrument),
    icon: labelled(card, 'icon-' + n, 'Icon', icon),
    note: labelled(card, 'note-' + n, 'Note (your name for location ' + n + ')', note),
  };
  // The row's summary: its number and its note, as the plan window lists them.
  const summary = element('p', 'summary');
  summary.id = 'summary-' + n;
  card.insertBefore(summary, heading.nextSibling);
  const shows = element('p', 'shows status');
  shows.id = 'shows-' + n;
  const fault = element('p', 'fault');
  fault.id = 'fault-' + n;
  fault.setAttribute('role', 'alert');
  const warning = element('p', 'warning');
  warning.id = 'warning-' + n;
  const status = element('p', 'status', 'Not sent.');
  status.id = 'status-' + n;
  status.setAttribute('aria-live', 'polite');
  const send = element('button', '', 'Send location ' + n);
  send.type = 'button';
  send.id = 'send-' + n;
  card.append(shows, fault, warning, status, send);
  const controls = { kind, talker, sentence, field, type, instrument, icon };
  return { card, view: { controls, parts, shows, fault, warning, status, send, summary, note } };
}

// Builds the cards; sendOne(n) sends location n, edited() hears every change a person makes.
export function buildLocations(state, sendOne, edited) {
  const lists = state.lists;
  const holder = $('locations');
  for (let n = 1; n <= lists.locations; ++n) {
    const row = rowDefaults(n, lists);
    state.rows.push(row);
    const built = card(n, lists);
    holder.appendChild(built.card);
    row.view = built.view;
    const { controls, shows, fault, note } = row.view;
    note.addEventListener('input', () => { row.note = note.value; showSummary(row); edited(); });
    for (const [key, control] of Object.entries(controls)) {
      control.addEventListener('change', () => {
        row[key] = key === 'field' ? Number(control.value) : control.value;
        if (key === 'sentence' && !takesType(state, control.value)) row.type = '';
        if (key === 'sentence' && takesType(state, control.value) && !row.type) row.type = controls.type.value;
        shows.textContent = '';
        fault.textContent = '';
        showRow(state, row);
        edited();
      });
    }
    row.view.send.addEventListener('click', () => sendOne(n));
    showRow(state, row);
  }
}

export function showSummary(row) {
  row.view.summary.textContent = row.kind !== 'unused' && row.note ? 'Note: ' + row.note : '';
}

export function showRow(state, row) {
  const v = row.view;
  const c = v.controls;
  c.kind.value = row.kind;
  c.talker.value = row.talker;
  c.sentence.value = row.sentence;
  c.field.value = String(row.field);
  if (row.type) c.type.value = row.type;
  c.instrument.value = row.instrument;
  c.icon.value = row.icon || state.lists.rowDefaults.icon;
  v.note.value = row.note || '';
  const standard = row.kind === 'standard';
  v.parts.talker.hidden = v.parts.sentence.hidden = v.parts.field.hidden = !standard;
  v.parts.type.hidden = !standard || !takesType(state, row.sentence);
  v.parts.instrument.hidden = row.kind !== 'instrument';
  v.parts.icon.hidden = row.kind === 'unused' || !productShowsIcons(state);
  // A plan keeps a note only on a location that shows something, so an unused row offers none to lose.
  v.parts.note.hidden = row.kind === 'unused';
  showSummary(row);
  showFieldAdvice(state, row);
  v.send.hidden = row.kind === 'unused';
  v.status.hidden = row.kind === 'unused';
  if (row.kind === 'unused') v.shows.textContent = 'Not used.';
}

// The field list names each field of the chosen sentence, and the row warns as `plan check` does: the
// sentence alternates, or the field is past its last.
function showFieldAdvice(state, row) {
  const about = (state.lists.sentenceFields || {})[row.sentence];
  const options = row.view.controls.field.options;
  for (let f = 1; f <= options.length; ++f) options[f - 1].textContent = about ? about.captions[f - 1] : String(f);
  const warnings = row.kind === 'standard' && about ? [about.alternates, about.count && row.field > about.count ? about.pastLast : ''] : [];
  row.view.warning.textContent = warnings.filter(Boolean).map((w) => w + '.').join(' ');
}

// The card of a location, brought to the thumb with its first control focused.
export function jumpTo(n) {
  const card = $('location-' + n);
  card.scrollIntoView({ block: 'start' });
  card.querySelector('select').focus();
}

// A line under the button that was pressed, so the answer is where the thumb is, with a jump to the row.
export function answerBy(line, text, location) {
  line.textContent = text;
  if (!location) return;
  const jump = element('button', '', 'Go to location ' + location);
  jump.type = 'button';
  jump.addEventListener('click', () => jumpTo(location));
  line.append(' ', jump);
}

export function faultSummary(state, faults) {
  const rows = [...new Set(faults.filter((f) => state.rows[f.location - 1]).map((f) => f.location))].sort((a, b) => a - b);
  const where = [];
  if (rows.length) where.push((rows.length > 1 ? 'locations ' : 'location ') + rows.join(', '));
  if (faults.some((f) => !state.rows[f.location - 1])) where.push('the plan');
  return { text: faults.length + (faults.length > 1 ? ' faults: ' : ' fault: ') + where.join(' and '), first: rows[0] };
}

// The plan as the board takes it: each used location with the keys every front end shares (location, talker,
// sentence, field, type, instrument, icon) and its note; unused locations are left out.
export function pagePlan(state) {
  const icons = productShowsIcons(state);
  return {
    product: Number($('product').value),
    locations: state.rows.filter((r) => r.kind !== 'unused').map((r) => {
      const standard = r.kind === 'standard';
      return {
        location: r.number,
        talker: standard ? r.talker : null,
        sentence: standard ? r.sentence : null,
        field: standard ? r.field : null,
        type: standard && takesType(state, r.sentence) ? r.type : null,
        instrument: standard ? null : r.instrument,
        icon: icons ? r.icon : null,
        note: r.note || null,
      };
    }),
  };
}

export function showFaults(state, faults, shows) {
  const general = [];
  for (const r of state.rows) { r.view.fault.textContent = ''; }
  for (const f of faults || []) {
    const row = state.rows[f.location - 1];
    if (row) row.view.fault.textContent += (row.view.fault.textContent ? ' ' : '') + f.message;
    else general.push(f.message);
  }
  $('planfaults').textContent = general.length ? 'Fault: ' + general.join(' ') : '';
  for (const r of state.rows) {
    if (shows && shows[r.number]) r.view.shows.textContent = 'Shows: ' + shows[r.number];
  }
}

// A loaded plan ({ product, locations } as the board's load answer gives it) put into the rows.
export function loadRows(state, data) {
  $('product').value = String(data.product);
  for (const row of state.rows) {
    const l = data.locations.find((x) => x.location === row.number);
    if (l && l.instrument) Object.assign(row, { kind: 'instrument', instrument: l.instrument });
    else if (l) Object.assign(row, { kind: 'standard', talker: l.talker, sentence: l.sentence, field: l.field, type: l.type || '' });
    else row.kind = 'unused';
    if (l) row.icon = l.icon || state.lists.rowDefaults.icon;
    row.note = l ? l.note || '' : '';
    row.view.shows.textContent = l ? 'Shows: ' + l.shows : '';
    row.view.fault.textContent = '';
    showRow(state, row);
  }
}
