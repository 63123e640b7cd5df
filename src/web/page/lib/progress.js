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
  const sent = job.sent || [];
  if (job.state === 'idle') text.textContent = 'Nothing is being sent.';
  else if (job.state === 'sending')
    text.textContent = 'Sending location ' + job.location + ' (' + job.index + ' of ' + job.count + '), repetition ' + (job.repetition || 0) + ' of ' + state.lists.repetitions + '.';
  else if (job.state === 'waiting')
    text.textContent = state.lists.programmingPrompt.replace('{location}', job.location);
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
