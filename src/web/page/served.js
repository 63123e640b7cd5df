// The page the board serves to phones: it reaches the display through the board.
import { startPage } from './lib/page.js';
import { ServerLine } from './lib/serverline.js';

document.addEventListener('DOMContentLoaded', () => {
  startPage(new ServerLine({ status: (text) => { document.getElementById('connection').textContent = text; } }));
});
