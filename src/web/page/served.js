// The page the board serves to phones: it reaches the display through the board.
import { startPage } from './lib/page.js';
import { ServerLine } from './lib/serverline.js';

document.addEventListener('DOMContentLoaded', async () => {
  const line = new ServerLine({ status: (text) => { document.getElementById('connection').textContent = text; } });
  window.mdconfigPage = await startPage(line);
});
