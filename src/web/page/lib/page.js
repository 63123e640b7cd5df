// The page, whichever way it reaches the display: the line (the board's API, or a USB adapter through Web
// Serial) gives the lists, checks, loads and sends; the rows, the progress, the plan file and the plan kept
// over a reload are the same.
import { showBus, wireBus } from './bus.js';
import { showJob } from './progress.js';
import { $, answerBy, buildLocations, element, faultSummary, loadRows, option, pagePlan, showFaults, showRow } from './rows.js';

const PlanKey = 'mdconfig-plan';

async function check(state, line) {
  const data = await line.check(pagePlan(state));
  showFaults(state, data.faults, data.shows);
  if (data.clean) $('planfaults').textContent = '';
  const faults = data.faults || [];
  if (data.clean) answerBy($('checkanswer'), 'Clean.');
  else if (faults.length) { const s = faultSummary(state, faults); answerBy($('checkanswer'), s.text, s.first); }
  else answerBy($('checkanswer'), data.error || 'The board did not check the plan.');
  return data;
}

async function startSend(state, line, extra) {
  const body = Object.assign(pagePlan(state), { ask: $('ask').checked }, extra);
  const { status, data } = await line.send(body);
  if (status === 202) return;
  if (data.faults) showFaults(state, data.faults);
  $('progresstext').textContent = data.error || ('The send was refused (' + status + ').');
}

// The plan on the page outlives a reload (in this tab's session storage), with whether it was saved.
function edited(state) {
  state.edited = true;
  keepPlan(state);
}

function keepPlan(state) {
  const rows = state.rows.map((r) => ({ number: r.number, kind: r.kind, talker: r.talker, sentence: r.sentence, field: r.field, type: r.type, instrument: r.instrument, icon: r.icon, note: r.note }));
  sessionStorage.setItem(PlanKey, JSON.stringify({ product: $('product').value, rows, edited: Boolean(state.edited), name: state.name || '' }));
}

function restorePlan(state) {
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
  state.rows.forEach((r) => showRow(state, r));
}

// The name a saved plan takes: the loaded file's, else the display's, always ending in .mdplan.toml.
function planFileName(state) {
  const stem = (state.name || '').replace(/(\.mdplan)?\.toml$|\.mdplan$/i, '');
  return (stem || 'display') + '.mdplan.toml';
}

async function loadFile(state, line) {
  const file = $('load').files[0];
  if (!file) return;
  if (file.size > 60000) { $('filestatus').textContent = 'That file is too large to be a plan.'; return; }
  if (state.edited && !confirm('The plan on this page has changes that were not saved. Replace it with ' + file.name + '?')) {
    $('load').value = '';
    $('filestatus').textContent = 'Not loaded: the plan on the page is kept.';
    return;
  }
  const text = await file.text();
  const { status, data } = await line.load(text, file.name);
  if (status !== 200) { $('filestatus').textContent = 'Not loaded: ' + (data.faults || [data.error]).join(' '); return; }
  loadRows(state, data);
  state.edited = false;
  state.name = file.name;
  keepPlan(state);
  $('filestatus').textContent = 'Loaded ' + file.name + '.';
}

async function saveFile(state, line) {
  const data = await check(state, line);
  if (!data.clean) { $('filestatus').textContent = 'Mend the faults first; nothing was saved.'; return; }
  const url = URL.createObjectURL(new Blob([data.text], { type: 'text/plain' }));
  const a = element('a');
  a.href = url;
  const name = planFileName(state);
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
  state.edited = false;
  keepPlan(state);
  $('filestatus').textContent = 'Saved as ' + name + '.';
}

export async function startPage(line) {
  const state = { lists: null, rows: [], job: null, bus: null, busKey: '', edited: false, name: '' };
  state.onEdit = () => edited(state);
  // What only one way of reaching the display offers is shown by that way alone.
  for (const e of document.querySelectorAll('[data-line]')) e.hidden = e.dataset.line !== line.kind;
  const lists = await line.start();
  if (!lists) return null;
  state.lists = lists;
  for (const p of lists.products) option($('product'), p.index, p.caption);
  $('product').value = String(lists.products.length - 1);
  for (let n = 1; n <= lists.locations; ++n) { option($('from'), n); option($('uselocation'), n); }
  buildLocations(state, (n) => startSend(state, line, { only: n }), state.onEdit);
  restorePlan(state);
  $('product').addEventListener('change', () => { state.rows.forEach((r) => showRow(state, r)); state.onEdit(); });
  $('check').addEventListener('click', () => check(state, line));
  $('sendall').addEventListener('click', () => startSend(state, line, {}));
  $('resume').addEventListener('click', () => startSend(state, line, { from: Number($('from').value) }));
  $('stop').addEventListener('click', () => line.stop());
  $('continue').addEventListener('click', () => line.proceed());
  $('load').addEventListener('change', () => loadFile(state, line));
  $('save').addEventListener('click', () => saveFile(state, line));
  line.onJob((job) => showJob(state, job));
  wireBus(state, line);
  // What a person (or a test) may call from the browser's console: the page's state and its two views of the
  // board's answers.
  return { state, check: () => check(state, line), showBus: (bus) => showBus(state, bus) };
}
