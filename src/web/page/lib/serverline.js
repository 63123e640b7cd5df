// The page served by the board reaches the display through the board: the access token from the address's
// fragment (never sent in a query, except to the push stream, which cannot send headers), the API, and the
// push stream of the job's and the bus's changes.

function readToken() {
  const m = /(?:^|[#&])token=([0-9a-fA-F]{32})(?:&|$)/.exec(location.hash);
  if (m) {
    sessionStorage.setItem('mdconfig-token', m[1]);
    // Off the screen and out of the history, where a passer-by or a screenshot would see it.
    history.replaceState(null, '', location.pathname);
  }
  return sessionStorage.getItem('mdconfig-token') || '';
}

export class ServerLine {
  constructor({ status = () => {} } = {}) {
    this.kind = 'server';
    this.status = status;
    this.token = '';
    this.connected = false;
    this.retry = 1000;
    this.adapter = null;
    this.jobWatchers = [];
    this.busWatchers = [];
  }

  async api(method, path, body) {
    const options = { method, headers: { Authorization: 'Bearer ' + this.token }, cache: 'no-store' };
    if (method === 'POST') {
      options.headers['Content-Type'] = 'application/json';
      options.body = JSON.stringify(body || {});
    }
    const response = await fetch(path, options);
    let data = {};
    try { data = await response.json(); } catch (e) { data = {}; }
    return { status: response.status, data };
  }

  // The board's lists, or null with the reason said.
  async start() {
    this.token = readToken();
    if (!this.token) {
      document.getElementById('notoken').hidden = false;
      this.status('No access token.');
      return null;
    }
    const { status, data } = await this.api('GET', '/api/lists');
    if (status !== 200) { this.status('The board refused the token (' + status + ').'); return null; }
    this.listen();
    return data;
  }

  // "Connected" says what a send needs: the board, and the adapter on it.
  showConnection() {
    const a = this.adapter;
    let text = 'Connection lost; trying again…';
    if (this.connected && (!a || a.present)) text = 'Connected to the board' + (a ? ' and its adapter ' + a.device : '') + '.';
    else if (this.connected) text = 'Connected to the board, but its adapter ' + a.device + ' is missing: plug it in.';
    this.status(text);
  }

  // The browser retries a stream that broke, but gives up for good after one answer other than 200 (a board
  // restarting, too many streams): then a new stream is opened here, after a wait that doubles up to 30 s.
  listen() {
    const events = new EventSource('/api/events?token=' + encodeURIComponent(this.token));
    events.addEventListener('job', (e) => this.jobWatchers.forEach((w) => w(JSON.parse(e.data))));
    events.addEventListener('bus', (e) => this.busWatchers.forEach((w) => w(JSON.parse(e.data))));
    events.addEventListener('adapter', (e) => { this.adapter = JSON.parse(e.data); this.showConnection(); });
    events.onopen = () => { this.connected = true; this.retry = 1000; this.showConnection(); };
    events.onerror = () => {
      this.connected = false;
      this.showConnection();
      if (events.readyState !== EventSource.CLOSED) return;
      const wait = this.retry;
      this.retry = Math.min(2 * wait, 30000);
      setTimeout(() => this.listen(), wait);
    };
  }

  onJob(watch) { this.jobWatchers.push(watch); }
  onBus(watch) { this.busWatchers.push(watch); }

  async check(page) { return (await this.api('POST', '/api/plan/check', page)).data; }
  load(text, name) { return this.api('POST', '/api/plan/load', { text, name }); }
  send(request) { return this.api('POST', '/api/send', request); }
  stop() { return this.api('POST', '/api/stop'); }
  proceed() { return this.api('POST', '/api/continue'); }
  busStart(baud) { return this.api('POST', '/api/bus/start', { baud }); }
  busStop() { return this.api('POST', '/api/bus/stop'); }
}
