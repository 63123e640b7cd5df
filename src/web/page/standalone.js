// The page on its own (mdconfig-page.html, opened from disk or any https address): it reaches the display
// through a USB serial adapter with Web Serial, and holds no token and talks to no server.
import { startPage } from './lib/page.js';
import { AdapterLine, webSerialMissing } from './lib/serialline.js';

document.addEventListener('DOMContentLoaded', async () => {
  const say = (text) => { document.getElementById('connection').textContent = text; };
  const missing = webSerialMissing();
  const line = new AdapterLine({ serial: missing ? null : navigator.serial, status: say });
  window.mdconfigPage = await startPage(line);
  const connect = document.getElementById('connect');
  if (missing) {
    connect.disabled = true;
    document.getElementById('noserial').textContent = missing;
    say('No adapter can be reached from this browser.');
  }
  connect.addEventListener('click', () => line.connect());
});
