// A fake navigator.serial, put into the page before it loads: one adapter, granted once chosen, whose
// writable stream records each byte with the page's clock. location.hash "#noserial" plays a browser that
// has no Web Serial at all.
(() => {
  if (location.hash === '#noserial') {
    delete Navigator.prototype.serial;
    return;
  }
  const writes = [];
  let granted = false;
  class FakePort extends EventTarget {
    getInfo() { return { usbVendorId: 0x0403, usbProductId: 0x6001 }; }
    async open(options) {
      window.fakeSerial.options = options;
      this.writable = new WritableStream({ write(chunk) { for (const b of chunk) writes.push([b, performance.now()]); } });
    }
    async close() { this.writable = null; }
  }
  const port = new FakePort();
  const serial = new EventTarget();
  serial.getPorts = async () => (granted ? [port] : []);
  serial.requestPort = async () => { granted = true; return port; };
  Object.defineProperty(navigator, 'serial', { value: serial, configurable: true });
  window.fakeSerial = { writes, port, serial, options: null };
  // The page hidden, as a browser hides it when another tab comes in front.
  window.fakeSerial.hide = () => {
    Object.defineProperty(document, 'hidden', { value: true, configurable: true });
    Object.defineProperty(document, 'visibilityState', { value: 'hidden', configurable: true });
    document.dispatchEvent(new Event('visibilitychange'));
  };
  window.fakeSerial.show = () => {
    Object.defineProperty(document, 'hidden', { value: false, configurable: true });
    Object.defineProperty(document, 'visibilityState', { value: 'visible', configurable: true });
    document.dispatchEvent(new Event('visibilitychange'));
  };
  window.fakeSerial.unplug = () => {
    const e = new Event('disconnect', { bubbles: true });
    Object.defineProperty(e, 'target', { value: port });
    serial.dispatchEvent(e);
  };
})();
