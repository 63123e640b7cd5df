// The page on its own reaches the display through a USB serial adapter the browser opens (Web Serial):
// "Connect adapter" lets the person pick it, it is opened at 4800 baud 8N1, the browser remembers it for
// next time, and unplugging it is noticed. Plans are checked and sent by the page's own modules.
import { LocalJobs } from './jobs.js';
import { lists, tables } from './lists.js';
import { browserClock } from './pacing.js';
import { checkPage, pageOf } from './plan.js';

export const PortOptions = Object.freeze({ baudRate: tables.lineBaud, dataBits: 8, parity: 'none', stopBits: 1, flowControl: 'none' });

// Why this browser cannot reach an adapter, with what to use instead; '' when it can.
export function webSerialMissing(nav = globalThis.navigator, secure = globalThis.isSecureContext) {
  if (!secure) {
    return 'This address is not a secure one, so the browser offers no serial port here. Open the page from a file on this computer or from an https:// address, in Chrome or Edge.';
  }
  if (!nav || !('serial' in nav)) {
    return 'This browser cannot reach a USB serial adapter (it has no Web Serial). Open this file in Chrome or Edge on Windows, macOS, ChromeOS or Linux, or use the mdconfig program or the page a board serves with mdconfig-cli serve.';
  }
  return '';
}

function adapterName(port) {
  const info = port.getInfo ? port.getInfo() : {};
  const hex = (n) => n.toString(16).toUpperCase().padStart(4, '0');
  return info.usbVendorId !== undefined ? `USB adapter ${hex(info.usbVendorId)}:${hex(info.usbProductId ?? 0)}` : 'serial adapter';
}

export class AdapterLine {
  // serial: navigator.serial; status(text): says in words what became of the adapter.
  constructor({ serial = globalThis.navigator?.serial, status = () => {}, clock = browserClock(), doc = globalThis.document } = {}) {
    Object.assign(this, { serial, status, clock, doc });
    this.kind = 'adapter';
    this.port = null;
    this.writer = null;
    this.jobWatchers = [];
    this.jobs = new LocalJobs({ line: this, clock, onChange: (job) => this.jobWatchers.forEach((w) => w(job)) });
  }

  // The lists from the program's tables; opens the adapter the browser remembers, if one is plugged in.
  async start() {
    if (!this.serial) return lists; // plans are still made, checked, loaded and saved
    this.serial.addEventListener('disconnect', (e) => this.unplugged(e.target));
    this.serial.addEventListener('connect', (e) => { if (!this.port) this.open(e.target, 'plugged in again'); });
    if (this.doc) {
      // A hidden page's timers crawl: a send stops after the byte on the wire rather than go on unevenly,
      // so the wait for the byte's slot is cut short and the send sees the page hidden.
      this.doc.addEventListener('visibilitychange', () => { if (this.doc.hidden) this.clock.wake(); });
    }
    // The page is built first: a browser slow to answer (or refusing) its remembered ports must not hold
    // up making and checking plans.
    this.remembered = this.reopenRemembered();
    return lists;
  }

  async reopenRemembered() {
    let known = [];
    try {
      known = await this.serial.getPorts();
    } catch (e) {
      this.status(`The browser would not say which adapters it remembers: ${e && e.message ? e.message : e}. Press "Connect adapter".`);
      return false;
    }
    if (known.length && !this.port) return this.open(known[0], 'remembered from last time');
    if (!this.port) this.status('No adapter is connected: plug in the USB serial adapter and press "Connect adapter".');
    return false;
  }

  // The browser's chooser; the person picks the adapter.
  async connect() {
    let port;
    try {
      port = await this.serial.requestPort();
    } catch (e) {
      this.status(this.port ? this.connectedText(this.port) : 'No adapter was chosen; nothing is connected.');
      return false;
    }
    if (this.port === port) return true;
    await this.release();
    return this.open(port, 'chosen');
  }

  connectedText(port, how = '') {
    return `Connected: ${adapterName(port)}${how ? ' (' + how + ')' : ''}, 4800 baud, 8 data bits, no parity, 1 stop bit.`;
  }

  async open(port, how) {
    try {
      await port.open(PortOptions);
    } catch (e) {
      this.status(`The adapter did not open: ${e && e.message ? e.message : e}. Another program may hold it; close that program and press "Connect adapter" again.`);
      return false;
    }
    this.port = port;
    this.writer = port.writable.getWriter();
    this.status(this.connectedText(port, how));
    return true;
  }

  unplugged(port) {
    if (!port || port !== this.port) return;
    this.port = null;
    this.writer = null;
    this.jobs.stop('gone');
    this.status('The adapter was unplugged. Plug it in again; it is opened again by itself, or press "Connect adapter".');
  }

  async release() {
    const { port, writer } = this;
    this.port = null;
    this.writer = null;
    try { writer?.releaseLock(); await port?.close(); } catch (e) { /* already gone */ }
  }

  ready() {
    if (!this.serial) return 'this browser cannot reach a USB serial adapter; open the page in Chrome or Edge';
    return this.writer ? '' : 'no adapter is connected: press "Connect adapter" and choose it';
  }

  hidden() {
    return Boolean(this.doc && this.doc.hidden);
  }

  async write(byte) {
    if (!this.writer) throw new Error('the adapter was unplugged');
    await this.writer.write(Uint8Array.of(byte));
  }

  onJob(watch) { this.jobWatchers.push(watch); watch(this.jobs.state()); }

  async check(page) { return checkPage(page); }

  async load(text, name) {
    const data = pageOf(text, name);
    return { status: data.faults ? 422 : 200, data };
  }

  // As the board answers a send: refused with the faults, or started (202).
  async send(request) {
    const check = checkPage(request);
    if (!check.clean) return { status: 422, data: { error: tables.sendRefusals.faults, faults: check.faults } };
    const plan = check.plan;
    let from = Number.isInteger(request.from) ? request.from : 1;
    if (request.only) {
      plan.locations = plan.locations.filter((l) => l.location === request.only);
      from = request.only;
    }
    if (!plan.locations.some((l) => l.location >= from)) return { status: 422, data: { error: tables.sendRefusals.nothingFrom.replace('{from}', from) } };
    const notReady = this.ready();
    if (notReady) return { status: 409, data: { error: notReady.charAt(0).toUpperCase() + notReady.slice(1) + '.' } };
    if (!this.jobs.start({ plan, from, ask: Boolean(request.ask) })) return { status: 409, data: { error: tables.sendRefusals.running } };
    return { status: 202, data: this.jobs.state() };
  }

  stop() { return this.jobs.stop('stop'); }
  proceed() { return this.jobs.proceed(); }
}

export { tables };
