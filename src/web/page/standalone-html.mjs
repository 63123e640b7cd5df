// Writes mdconfig-page.html: the page's HTML with its style and its script inlined, and a content security
// policy in a meta tag that allows exactly those two by their hashes and nothing else: no network, no other
// script, no frame, no form.
// Usage: node standalone-html.mjs INDEX_HTML APP_CSS SCRIPT OUTPUT
import { createHash } from 'node:crypto';
import { readFileSync, writeFileSync, renameSync } from 'node:fs';

const [index, css, script, output] = process.argv.slice(2);
if (!output) {
  console.error('usage: node standalone-html.mjs INDEX_HTML APP_CSS SCRIPT OUTPUT');
  process.exit(2);
}
const hash = (text) => "'sha256-" + createHash('sha256').update(text, 'utf8').digest('base64') + "'";
const style = '\n' + readFileSync(css, 'utf8');
// "</script" inside the script would end the element early; "<\/script" means the same to JavaScript.
const code = '\n' + readFileSync(script, 'utf8').replace(/<\/(script)/gi, '<\\/$1');
const policy = ["default-src 'none'", `script-src ${hash(code)}`, `style-src ${hash(style)}`, "img-src 'none'",
  "connect-src 'none'", "object-src 'none'", "base-uri 'none'", "form-action 'none'"].join('; ');

let html = readFileSync(index, 'utf8');
const replace = (from, to) => {
  if (!html.includes(from)) {
    console.error(`${index} lacks ${from}`);
    process.exit(1);
  }
  html = html.replace(from, () => to);
};
replace('<meta charset="utf-8">', `<meta charset="utf-8">\n<meta http-equiv="Content-Security-Policy" content="${policy}">`);
replace('<link rel="stylesheet" href="/app.css">', `<style>${style}</style>`);
replace('<script src="/app.js" defer></script>\n', '');
replace('</body>', `<script>${code}</script>\n</body>`);
writeFileSync(output + '.new', html);
renameSync(output + '.new', output);
