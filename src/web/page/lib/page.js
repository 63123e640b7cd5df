// The page, whichever way it reaches the display: the line (the board's API, or a USB adapter through Web
// Serial) gives the lists, checks, loads and sends; the rows, the progress and the plan file are the same.
import { wireBus } from './bus.js';
import { showJob } from './progress.js';
import { $, buildLocations, element, loadRows, option, pagePlan, showFaults, showRow } from './rows.js';

async function check(state, line) {
  const data = await line.check(pagePlan(state));
  showFaults(state, data.faults, data.shows);
  if (data.clean) $('planfaults').textContent = '';
  return data;
}

async function startSend(state, line, extra) {
  const body = Object.assign(pagePlan(state), { ask: $('ask').checked }, extra);
  const { status, data } = await line.send(body);
  if (status === 202) return;
  if (data.faults) showFaults(state, data.faults);
  $('progresstext').textContent = data.error || ('The send was refused (' + status + ').');
}

async function loadFile(state, line) {
  const file = $('load').files[0];
  if (!file) return;
  if (file.size > 60000) { $('filestatus').textContent = 'That file is too large to be a plan.'; return; }
  const text = await file.text();
  const { status, data } = await line.load(text, file.name);
  if (status !== 200) { $('filestatus').textContent = 'Not loaded: ' + (data.faults || [data.error]).join(' '); return; }
  loadRows(state, data);
  $('filestatus').textContent = 'Loaded ' + file.name + '.';
}

async function saveFile(state, line) {
  const data = await check(state, line);
  if (!data.clean) { $('filestatus').textContent = 'Mend the faults first; nothing was saved.'; return; }
  const url = URL.createObjectURL(new Blob([data.text], { type: 'text/plain' }));
  const a = element('a');
  a.href = url;
  a.download = 'display-plan.mdplan.toml';
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
  $('filestatus').textContent = 'Saved as display-plan.mdplan.toml.';
}

export async function startPage(line) {
  const state = { lists: null, rows: [], job: null, bus: null, busKey: '' };
  // What only one way of reaching the display offers is shown by that way alone.
  for (const e of document.querySelectorAll('[data-line]')) e.hidden = e.dataset.line !== line.kind;
  const lists = await line.start();
  if (!lists) return null;
  state.lists = lists;
  for (const p of lists.products) option($('product'), p.index, p.caption);
  $('product').value = String(lists.products.length - 1);
  for (let n = 1; n <= lists.locations; ++n) { option($('from'), n); option($('uselocation'), n); }
  buildLocations(state, (n) => startSend(state, line, { only: n }));
  $('product').addEventListener('change', () => state.rows.forEach((r) => showRow(state, r)));
  $('check').addEventListener('click', () => check(state, line));
  $('sendall').addEventListener('click', () => startSend(state, line, {}));
  $('resume').addEventListener('click', () => startSend(state, line, { from: Number($('from').value) }));
  $('stop').addEventListener('click', () => line.stop());
  $('continue').addEventListener('click', () => line.proceed());
  $('load').addEventListener('change', () => loadFile(state, line));
  $('save').addEventListener('click', () => saveFile(state, line));
  line.onJob((job) => showJob(state, job));
  wireBus(state, line);
  return state;
}
