// harness.js
// What the web tests share: a static server for the page's folder on 127.0.0.1, Debian's Chromium
// started headless (WebGL 2 on SwiftShader, sound allowed without a click) through puppeteer-core,
// and helpers to wait on the page. A test that cannot run here (no page built, no Chromium) exits
// with 77, which CTest reports as skipped.
'use strict';
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');

const SKIP = 77;
const chromiumPath = process.env.KESTRANE_CHROMIUM || '/usr/bin/chromium';

function skip(why) {
  console.log(`skipped: ${why}`);
  process.exit(SKIP);
}

function fail(why) {
  console.error(`FAILED: ${why}`);
  process.exitCode = 1;
}

function check(condition, what) {
  if (condition) console.log(`ok: ${what}`);
  else fail(what);
  return condition;
}

const types = {
  '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
  '.data': 'application/octet-stream', '.png': 'image/png',
};

// Serves folder; overrides maps a path ("/kestrane.data") to other bytes (damaged data).
function serve(folder, overrides = {}) {
  return new Promise((resolve) => {
    const server = http.createServer((request, response) => {
      const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
      const file = path.join(folder, name === '/' ? 'index.html' : name);
      const body = overrides[name] || (file.startsWith(folder) && fs.existsSync(file) && fs.statSync(file).isFile()
        ? fs.readFileSync(file) : null);
      if (!body) {
        response.writeHead(404);
        response.end();
        return;
      }
      response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
      response.end(body);
    });
    server.listen(0, '127.0.0.1', () => resolve(server));
  });
}

function pageFolder() {
  const folder = process.env.KESTRANE_WEB_PAGE;
  if (!folder || !fs.existsSync(path.join(folder, 'kestrane.wasm'))) skip('no web build (scripts/web)');
  if (!fs.existsSync(chromiumPath)) skip(`no Chromium at ${chromiumPath}`);
  return folder;
}

// options.protocolTimeout: how long one call into the page may take (a benchmark blocks the page
// for minutes); options.args: more Chromium flags.
async function launch(width = 800, height = 600, options = {}) {
  const protocolTimeout = options.protocolTimeout || 180000;
  let puppeteer;
  try {
    puppeteer = require('puppeteer-core');
  } catch (e) {
    skip('puppeteer-core is not installed (npm ci in tests/web)');
  }
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrane-chromium-'));
  const args = ['--headless=new', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
    '--autoplay-policy=no-user-gesture-required', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--disable-quic', `--user-data-dir=${profile}`,
    `--window-size=${width},${height}`, ...(options.args || [])];
  if (process.getuid && process.getuid() === 0) args.push('--no-sandbox');
  const browser = await puppeteer.launch({ executablePath: chromiumPath, args, headless: true, protocolTimeout,
    defaultViewport: { width, height, deviceScaleFactor: 1 } });
  browser.profile = profile;
  return browser;
}

async function close(browser, server) {
  if (browser) {
    await browser.close();
    fs.rmSync(browser.profile, { recursive: true, force: true });
  }
  if (server) server.close();
}

// A new tab on the served page, collecting console errors and failed loads.
async function open(browser, server, query = '') {
  const tab = await browser.newPage();
  tab.errors = [];
  tab.on('console', (message) => {
    if (message.type() === 'error') tab.errors.push(message.text());
  });
  tab.on('pageerror', (error) => tab.errors.push(String(error)));
  tab.on('requestfailed', (request) => tab.errors.push(`request failed: ${request.url()}`));
  await tab.goto(`http://127.0.0.1:${server.address().port}/${query}`);
  return tab;
}

// A tab on the page with the program's trace on, waiting at the start question.
async function openAtQuestion(browser, server) {
  const tab = await open(browser, server, '?trace=1');
  await waitForState(tab, 'question', 60000);
  return tab;
}

async function waitForState(tab, state, timeout = 30000) {
  await tab.waitForFunction((s) => window.kestranePage && window.kestranePage.state === s, { timeout }, state);
}

// The program's output lines that match pattern, as arrays of their captures.
async function lines(tab, pattern) {
  const all = await tab.evaluate(() => window.kestranePage.lines.slice());
  return all.map((line) => pattern.exec(line)).filter(Boolean);
}

async function key(tab, name) {
  const session = await tab.target().createCDPSession();
  const codes = { Escape: 27, F1: 112, KeyM: 77, KeyN: 78 };
  const keyName = { Escape: 'Escape', F1: 'F1', KeyM: 'm', KeyN: 'n' }[name];
  for (const type of ['rawKeyDown', 'keyUp']) {
    await session.send('Input.dispatchKeyEvent', { type, code: name, key: keyName,
      windowsVirtualKeyCode: codes[name], nativeVirtualKeyCode: codes[name] });
  }
  await session.detach();
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

module.exports = { skip, fail, check, serve, pageFolder, launch, close, open, openAtQuestion, waitForState, lines, key, sleep, SKIP };
