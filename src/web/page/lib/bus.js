// The bus as the board hears it: the table of talkers and sentences, and the fields of the chosen row, each
// of which can be taken into a location.
import { $, answerBy, element, showRow, takesType } from './rows.js';

function busRowKey(r) { return r.talker + r.sentence; }

// The speed to try when the bus looks like the wrong speed: the other of the server's speeds.
function otherSpeed(speeds, baud) { return speeds[0] === String(baud) ? speeds[1] : speeds[0]; }

export function showBus(state, bus) {
  state.bus = bus;
  const parts = [];
  parts.push(bus.listening ? 'Listening at ' + bus.baud + ' baud.' : (bus.paused ? 'Paused while a send holds the device.' : 'Not listening.'));
  if (bus.failure) parts.push(bus.failure + '.');
  if (bus.wrongSpeed) parts.push('This looks like the wrong speed: try ' + otherSpeed(state.lists.speeds, bus.baud) + '.');
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
    b.addEventListener('click', () => { state.busKey = busRowKey(r); showBus(state, state.bus); });
    li.appendChild(b);
    list.appendChild(li);
  }
  const chosen = (bus.rows || []).find((r) => busRowKey(r) === state.busKey);
  $('busfields').hidden = !chosen;
  if (chosen) showFields(state, chosen);
}

function showFields(state, r) {
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
      const about = (lists.sentenceFields || {})[r.sentence];
      li.appendChild(element('span', '', 'Field ' + (about ? about.captions[i] : n) + ' = ' + (value === '' ? '(empty)' : value)));
      const b = element('button', '', 'Use');
      b.type = 'button';
      let type = '';
      if (takesType(state, r.sentence)) {
        const letter = v.fields[Math.floor(i / 4) * 4];
        const t = lists.typeLetters.indexOf(letter);
        type = t >= 0 ? lists.types[t] : '';
      }
      const reason = !r.listed ? r.reason : (takesType(state, r.sentence) && !type ? 'this transducer type is not in the list' : '');
      b.disabled = Boolean(reason);
      b.setAttribute('aria-label', 'Use field ' + n + ' in the chosen location' + (reason ? ' (not possible: ' + reason + ')' : ''));
      b.title = reason || '';
      b.addEventListener('click', () => {
        const row = state.rows[Number($('uselocation').value) - 1];
        Object.assign(row, { kind: 'standard', talker: r.talker, sentence: r.sentence, field: n, type });
        const taken = r.talker + ' ' + r.sentence + ' field ' + n + (type ? ', ' + type : '');
        row.view.shows.textContent = 'Taken from the bus: ' + taken + '.';
        showRow(state, row);
        state.onEdit();
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

// The bus controls, where the line can listen (the board); elsewhere the section is not shown.
export function wireBus(state, line) {
  if (!line.busStart) { $('bus-section').hidden = true; return; }
  // The speeds are the server's, the first its default.
  for (const speed of state.lists.speeds) $('baud').appendChild(element('option', '', speed));
  line.onBus((bus) => showBus(state, bus));
  $('busstart').addEventListener('click', async () => {
    const { status, data } = await line.busStart(Number($('baud').value));
    if (status !== 200) $('busstatus').textContent = data.error || 'The bus view did not start.';
  });
  $('busstop').addEventListener('click', () => line.busStop());
}
