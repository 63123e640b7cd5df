// The page: reads the access token from the address fragment (never sent in a query, except to the push
// stream, which cannot send headers), builds the ten locations from the board's lists, and drives the API.
'use strict';

const state = { token: '', lists: null, rows: [], job: null, bus: null, busKey: '', connected: false, retry: 1000, adapter: null };
const PlanKey = 'mdconfig-plan';
const $ = (id) => document.getElementById(id);

function readToken() {
  const m = /(?:^|[#&])token=([0-9a-fA-F]{32})(?:&|$)/.exec(location.hash);
  if (m) {
    sessionStorage.setItem('mdconfig-token', m[1]);
    // Off the screen and out of the history, where a passer-by or a screenshot would see it.
    history.replaceState(null, '', location.pathname);
  }
  return sessionStorage.getItem('mdconfig-token') || '';
}

async function api(method, path, body) {
  const options = { method, headers: { Authorization: 'Bearer ' + state.token }, cache: 'no-store' };
  if (method === 'POST') {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body || {});
  }
  const response = await fetch(path, options);
  let data = {};
  try { data = await response.json(); } catch (e) { data = {}; }
  return { status: response.status, data };
}

function option(select, value, text) {
  const o = document.createElement('option');
  o.value = String(value);
  o.textContent = text === undefined ? String(value) : text;
  select.appendChild(o);
  return o;
}

function element(tag, className, text) {
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

function productShowsIcons() {
  const p = state.lists.products[Number($('product').value)];
  return p ? p.icons : false;
}

function fillSelect(select, entries, blank) {
  select.textContent = '';
  if (blank) option(select, '', blank);
  for (const e of entries) option(select, e);
}

function buildLocations() {
  const lists = state.lists;
  const holder = $('locations');
  for (let n = 1; n <= lists.locations; ++n) {
    const row = { number: n, kind: 'unused', talker: 'GP', sentence: 'RMC', field: 1, type: '', instrument: lists.instruments[0], icon: 'None', note: '' };
    state.rows.push(row);
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
    holder.appendChild(card);

    const controls = { kind, talker, sentence, field, type, instrument, icon };
    row.view = { controls, parts, shows, fault, warning, status, send, summary, note };
    note.addEventListener('input', () => { row.note = note.value; showSummary(row); edited(); });
    for (const [key, control] of Object.entries(controls)) {
      control.addEventListener('change', () => {
        row[key] = key === 'field' ? Number(control.value) : control.value;
        if (key === 'sentence' && control.value !== 'XDR') row.type = '';
        if (key === 'sentence' && control.value === 'XDR' && !row.type) row.type = type.value;
        shows.textContent = '';
        fault.textContent = '';
        showRow(row);
        edited();
      });
    }
    send.addEventListener('click', () => startSend({ only: n }));
    showRow(row);
  }
}

function showSummary(row) {
  row.view.summary.textContent = row.kind !== 'unused' && row.note ? 'Note: ' + row.note : '';
}

function showRow(row) {
  const v = row.view;
  const c = v.controls;
  c.kind.value = row.kind;
  c.talker.value = row.talker;
  c.sentence.value = row.sentence;
  c.field.value = String(row.field);
  if (row.type) c.type.value = row.type;
  c.instrument.value = row.instrument;
  c.icon.value = row.icon || 'None';
  v.note.value = row.note || '';
  const standard = row.kind === 'standard';
  v.parts.talker.hidden = v.parts.sentence.hidden = v.parts.field.hidden = !standard;
  v.parts.type.hidden = !standard || row.sentence !== 'XDR';
  v.parts.instrument.hidden = row.kind !== 'instrument';
  v.parts.icon.hidden = row.kind === 'unused' || !productShowsIcons();
  // A plan keeps a note only on a location that shows something, so an unused row offers none to lose.
  v.parts.note.hidden = row.kind === 'unused';
  showSummary(row);
  showFieldAdvice(row);
  v.send.hidden = row.kind === 'unused';
  v.status.hidden = row.kind === 'unused';
  if (row.kind === 'unused') v.shows.textContent = 'Not used.';
}

// The field list names each field of the chosen sentence, and the row warns as `plan check` does: the
// sentence alternates, or the field is past its last.
function showFieldAdvice(row) {
  const about = state.lists.sentenceFields[row.sentence];
  const options = row.view.controls.field.options;
  for (let f = 1; f <= options.length; ++f) options[f - 1].textContent = about ? about.captions[f - 1] : String(f);
  const warnings = row.kind === 'standard' && about ? [about.alternates, about.count && row.field > about.count ? about.pastLast : ''] : [];
  row.view.warning.textContent = warnings.filter(Boolean).map((w) => w + '.').join(' ');
}

// The plan as the board takes it: each used location with the keys every front end shares (location, talker,
// sentence, field, type, instrument, icon) and its note; unused locations are left out.
function page() {
  const icons = productShowsIcons();
  return {
    product: Number($('product').value),
    locations: state.rows.filter((r) => r.kind !== 'unused').map((r) => {
      const standard = r.kind === 'standard';
      return {
        location: r.number,
        talker: standard ? r.talker : null,
        sentence: standard ? r.sentence : null,
        field: standard ? r.field : null,
        type: standard && r.sentence === 'XDR' ? r.type : null,
        instrument: standard ? null : r.instrument,
        icon: icons ? r.icon : null,
        note: r.note || null,
      };
    }),
  };
}

function showFaults(faults, shows) {
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

// The card of a location, brought to the thumb with its first control focused.
function jumpTo(n) {
  const card = $('location-' + n);
  card.scrollIntoView({ block: 'start' });
  card.querySelector('select').focus();
}

// A line under the button that was pressed, so the answer is where the thumb is, with a jump to the row.
function answerBy(line, text, location) {
  line.textContent = text;
  if (!location) return;
  const jump = element('button', '', 'Go to location ' + location);
  jump.type = 'button';
  jump.addEventListener('click', () => jumpTo(location));
  line.append(' ', jump);
}

function faultSummary(faults) {
  const rows = [...new Set(faults.filter((f) => state.rows[f.location - 1]).map((f) => f.location))].sort((a, b) => a - b);
  const where = [];
  if (rows.length) where.push((rows.length > 1 ? 'locations ' : 'location ') + rows.join(', '));
  if (faults.some((f) => !state.rows[f.location - 1])) where.push('the plan');
  return { text: faults.length + (faults.length > 1 ? ' faults: ' : ' fault: ') + where.join(' and '), first: rows[0] };
}

async function check() {
  const { data } = await api('POST', '/api/plan/check', page());
  showFaults(data.faults, data.shows);
  if (data.clean) $('planfaults').textContent = '';
  const faults = data.faults || [];
  if (data.clean) answerBy($('checkanswer'), 'Clean.');
  else if (faults.length) { const s = faultSummary(faults); answerBy($('checkanswer'), s.text, s.first); }
  else answerBy($('checkanswer'), data.error || 'The board did not check the plan.');
  return data;
}

async function startSend(extra) {
  const body = Object.assign(page(), { ask: $('ask').checked }, extra);
  const { status, data } = await api('POST', '/api/send', body);
  if (status === 202) return;
  if (data.faults) showFaults(data.faults);
  $('progresstext').textContent = data.error || ('The send was refused (' + status + ').');
}

function showJob(job) {
  state.job = job;
  const text = $('progresstext');
  const busy = job.state === 'sending' || job.state === 'waiting';
  const sent = job.sent || [];
  $('stop').disabled = !busy;
  $('continue').disabled = job.state !== 'waiting';
  $('sendall').disabled = $('resume').disabled = busy;
  for (const r of state.rows) r.view.send.disabled = busy;
  const progress = $('progress');
  progress.max = Math.max(1, job.total || 1);
  progress.value = job.done || 0;
  if (job.state === 'idle') text.textContent = 'Nothing is being sent.';
  else if (job.state === 'sending')
    text.textContent = 'Sending location ' + job.location + ' (' + job.index + ' of ' + job.count + '), repetition ' + (job.repetition || 0) + ' of 10.';
  else if (job.state === 'waiting')
    text.textContent = 'Put the display into programming mode (hold UP and DOWN until it shows "rdY"), then press Continue to send location ' + job.location + '.';
  else if (job.state === 'done')
    text.textContent = 'Done: sent locations ' + sent.join(', ') + '.';
  else if (job.state === 'failed' || job.state === 'stopped') {
    text.textContent = (job.state === 'stopped' ? 'Stopped: ' : 'Failed: ') + job.failure + '. Sent: ' + (sent.join(', ') || 'none') + '. Not sent: ' + (job.notSent || []).join(', ') + '.';
    if (job.resumeFrom) $('from').value = String(job.resumeFrom);
  }
  // Each row says what became of it in the last send, in words: sent, sending, cut (stopped or failed in
  // the middle of it, so the display may hold part of it), or not sent.
  for (const r of state.rows) {
    let says = 'Not sent.';
    if (sent.includes(r.number)) says = 'Sent.';
    else if (busy && job.location === r.number) says = job.state === 'waiting' ? 'Waiting for Continue.' : 'Sending…';
    else if (job.cut === r.number) says = (job.state === 'stopped' ? 'Stopped: ' : 'Failed: ') + job.failure + '; send it again.';
    r.view.status.textContent = says;
  }
}

function busRowKey(r) { return r.talker + r.sentence; }

function showBus(bus) {
  state.bus = bus;
  const parts = [];
  parts.push(bus.listening ? 'Listening at ' + bus.baud + ' baud.' : (bus.paused ? 'Paused while a send holds the device.' : 'Not listening.'));
  if (bus.failure) parts.push(bus.failure + '.');
  if (bus.wrongSpeed) parts.push('This looks like the wrong speed: try ' + (bus.baud === 4800 ? 38400 : 4800) + '.');
  if (bus.others) parts.push(bus.others + ' sentences of further kinds are counted as others.');
  $('busstatus').textContent = parts.join(' ');
  $('busstart').disabled = Boolean(bus.listening || bus.paused);
  $('busstop').disabled = !(bus.listening || bus.paused);
  const list = $('busrows');
  list.textContent = '';
  for (const r of bus.rows || []) {
    const li = element('li');
    const b = element('button', '', r.talker + ' ' + r.sentence + ', seen ' + r.count + (r.listed ? '' : ' (not in our lists)') + (r.warning ? ' (alternates)' : ''));
    b.type = 'button';
    b.setAttribute('aria-pressed', busRowKey(r) === state.busKey ? 'true' : 'false');
    b.addEventListener('click', () => { state.busKey = busRowKey(r); showBus(state.bus); });
    li.appendChild(b);
    list.appendChild(li);
  }
  const chosen = (bus.rows || []).find((r) => busRowKey(r) === state.busKey);
  $('busfields').hidden = !chosen;
  if (chosen) showFields(chosen);
}

function showFields(r) {
  $('busfieldsheading').textContent = 'Fields of ' + r.talker + ' ' + r.sentence;
  $('buswarning').textContent = r.warning || '';
  const list = $('fieldlist');
  list.textContent = '';
  const lists = state.lists;
  for (const v of r.variants) {
    if (r.variants.length > 1) list.appendChild(element('li', 'status', 'Variant ' + (v.variant || '(none)') + ': ' + v.text));
    v.fields.forEach((value, i) => {
      const n = i + 1;
      if (n > lists.fields) return;
      const li = element('li');
      const about = lists.sentenceFields[r.sentence];
      li.appendChild(element('span', '', 'Field ' + (about ? about.captions[i] : n) + ' = ' + (value === '' ? '(empty)' : value)));
      const b = element('button', '', 'Use');
      b.type = 'button';
      let type = '';
      if (r.sentence === 'XDR') {
        const letter = v.fields[Math.floor(i / 4) * 4];
        const t = lists.typeLetters.indexOf(letter);
        type = t >= 0 ? lists.types[t] : '';
      }
      const reason = !r.listed ? r.reason : (r.sentence === 'XDR' && !type ? 'this transducer type is not in the list' : '');
      b.disabled = Boolean(reason);
      b.setAttribute('aria-label', 'Use field ' + n + ' in the chosen location' + (reason ? ' (not possible: ' + reason + ')' : ''));
      b.title = reason || '';
      b.addEventListener('click', () => {
        const row = state.rows[Number($('uselocation').value) - 1];
        Object.assign(row, { kind: 'standard', talker: r.talker, sentence: r.sentence, field: n, type });
        const taken = r.talker + ' ' + r.sentence + ' field ' + n + (type ? ', ' + type : '');
        row.view.shows.textContent = 'Taken from the bus: ' + taken + '.';
        showRow(row);
        edited();
        for (const old of list.querySelectorAll('.used')) old.remove();
        const line = element('li', 'used status');
        line.setAttribute('role', 'status');
        answerBy(line, 'Location ' + row.number + ' takes ' + taken + '.', row.number);
        li.after(line);
      });
      li.appendChild(b);
      list.appendChild(li);
    });
  }
  if (!r.listed) list.appendChild(element('li', 'status', 'Not offered: ' + r.reason));
}

// "Connected" says what a send needs: the board, and the adapter on it.
function showConnection() {
  const a = state.adapter;
  let text = 'Connection lost; trying again…';
  if (state.connected && (!a || a.present)) text = 'Connected to the board' + (a ? ' and its adapter ' + a.device : '') + '.';
  else if (state.connected) text = 'Connected to the board, but its adapter ' + a.device + ' is missing: plug it in.';
  $('connection').textContent = text;
}

// The browser retries a stream that broke, but gives up for good after one answer other than 200 (a board
// restarting, too many streams): then a new stream is opened here, after a wait that doubles up to 30 s.
function listen() {
  const events = new EventSource('/api/events?token=' + encodeURIComponent(state.token));
  events.addEventListener('job', (e) => showJob(JSON.parse(e.data)));
  events.addEventListener('bus', (e) => showBus(JSON.parse(e.data)));
  events.addEventListener('adapter', (e) => { state.adapter = JSON.parse(e.data); showConnection(); });
  events.onopen = () => { state.connected = true; state.retry = 1000; showConnection(); };
  events.onerror = () => {
    state.connected = false;
    showConnection();
    if (events.readyState !== EventSource.CLOSED) return;
    const wait = state.retry;
    state.retry = Math.min(2 * wait, 30000);
    setTimeout(listen, wait);
  };
}

// The plan on the page outlives a reload (in this tab's session storage), with whether it was saved.
function edited() {
  state.edited = true;
  keepPlan();
}

function keepPlan() {
  const rows = state.rows.map((r) => ({ number: r.number, kind: r.kind, talker: r.talker, sentence: r.sentence, field: r.field, type: r.type, instrument: r.instrument, icon: r.icon, note: r.note }));
  sessionStorage.setItem(PlanKey, JSON.stringify({ product: $('product').value, rows, edited: Boolean(state.edited), name: state.name || '' }));
}

function restorePlan() {
  let kept = null;
  try { kept = JSON.parse(sessionStorage.getItem(PlanKey) || 'null'); } catch (e) { kept = null; }
  if (!kept || !Array.isArray(kept.rows)) return;
  if ([...$('product').options].some((o) => o.value === kept.product)) $('product').value = kept.product;
  for (const k of kept.rows) {
    const row = state.rows[k.number - 1];
    if (!row) continue;
    for (const key of ['kind', 'talker', 'sentence', 'field', 'type', 'instrument', 'icon', 'note']) {
      if (k[key] !== undefined) row[key] = k[key];
    }
  }
  state.edited = Boolean(kept.edited);
  state.name = kept.name || '';
  state.rows.forEach(showRow);
}

// The name a saved plan takes: the loaded file's, else the display's, always ending in .mdplan.toml.
function planFileName() {
  const stem = (state.name || '').replace(/(\.mdplan)?\.toml$|\.mdplan$/i, '');
  return (stem || 'display') + '.mdplan.toml';
}

async function loadFile() {
  const file = $('load').files[0];
  if (!file) return;
  if (file.size > 60000) { $('filestatus').textContent = 'That file is too large to be a plan.'; return; }
  if (state.edited && !confirm('The plan on this page has changes that were not saved. Replace it with ' + file.name + '?')) {
    $('load').value = '';
    $('filestatus').textContent = 'Not loaded: the plan on the page is kept.';
    return;
  }
  const text = await file.text();
  const { status, data } = await api('POST', '/api/plan/load', { text, name: file.name });
  if (status !== 200) { $('filestatus').textContent = 'Not loaded: ' + (data.faults || [data.error]).join(' '); return; }
  $('product').value = String(data.product);
  for (const row of state.rows) {
    const l = data.locations.find((x) => x.location === row.number);
    if (l && l.instrument) Object.assign(row, { kind: 'instrument', instrument: l.instrument });
    else if (l) Object.assign(row, { kind: 'standard', talker: l.talker, sentence: l.sentence, field: l.field, type: l.type || '' });
    else row.kind = 'unused';
    if (l) row.icon = l.icon || 'None';
    row.note = l ? l.note || '' : '';
    row.view.shows.textContent = l ? 'Shows: ' + l.shows : '';
    row.view.fault.textContent = '';
    showRow(row);
  }
  state.edited = false;
  state.name = file.name;
  keepPlan();
  $('filestatus').textContent = 'Loaded ' + file.name + '.';
}

async function saveFile() {
  const data = await check();
  if (!data.clean) { $('filestatus').textContent = 'Mend the faults first; nothing was saved.'; return; }
  const url = URL.createObjectURL(new Blob([data.text], { type: 'text/plain' }));
  const a = element('a');
  a.href = url;
  const name = planFileName();
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
  state.edited = false;
  keepPlan();
  $('filestatus').textContent = 'Saved as ' + name + '.';
}

async function start() {
  state.token = readToken();
  if (!state.token) { $('notoken').hidden = false; $('connection').textContent = 'No access token.'; return; }
  const { status, data } = await api('GET', '/api/lists');
  if (status !== 200) { $('connection').textContent = 'The board refused the token (' + status + ').'; return; }
  state.lists = data;
  for (const p of data.products) option($('product'), p.index, p.caption);
  $('product').value = String(data.products.length - 1);
  for (let n = 1; n <= data.locations; ++n) { option($('from'), n); option($('uselocation'), n); }
  buildLocations();
  restorePlan();
  $('product').addEventListener('change', () => { state.rows.forEach(showRow); edited(); });
  $('check').addEventListener('click', check);
  $('sendall').addEventListener('click', () => startSend({}));
  $('resume').addEventListener('click', () => startSend({ from: Number($('from').value) }));
  $('stop').addEventListener('click', () => api('POST', '/api/stop'));
  $('continue').addEventListener('click', () => api('POST', '/api/continue'));
  $('load').addEventListener('change', loadFile);
  $('save').addEventListener('click', saveFile);
  $('busstart').addEventListener('click', async () => {
    const { status, data } = await api('POST', '/api/bus/start', { baud: Number($('baud').value) });
    if (status !== 200) $('busstatus').textContent = data.error || 'The bus view did not start.';
  });
  $('busstop').addEventListener('click', () => api('POST', '/api/bus/stop'));
  listen();
}

document.addEventListener('DOMContentLoaded', start);
