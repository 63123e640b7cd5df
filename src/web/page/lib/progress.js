// The job's progress: the bar, the line that says what is being sent, the buttons a send allows, and what
// became of each row, in words.
import { $ } from './rows.js';

export function showJob(state, job) {
  state.job = job;
  const text = $('progresstext');
  const busy = job.state === 'sending' || job.state === 'waiting';
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
    text.textContent = 'Done: sent locations ' + (job.sent || []).join(', ') + '.';
  else if (job.state === 'failed') {
    text.textContent = 'Stopped: ' + job.failure + '. Sent: ' + ((job.sent || []).join(', ') || 'none') + '. Not sent: ' + (job.notSent || []).join(', ') + '.';
    if (job.resumeFrom) $('from').value = String(job.resumeFrom);
  }
  for (const r of state.rows) {
    if ((job.sent || []).includes(r.number)) r.view.status.textContent = 'Sent.';
    else if (busy && job.location === r.number) r.view.status.textContent = job.state === 'waiting' ? 'Waiting for Continue.' : 'Sending…';
    else if (job.state === 'failed' && (job.notSent || []).includes(r.number)) r.view.status.textContent = 'Failed: ' + job.failure + '.';
  }
}
