// Debian's firefox-esr driven through WebDriver BiDi by npm's puppeteer-core,
// for the page's Python tests (browser.py): one JSON request a line on
// standard input, one JSON answer a line on standard output,
// {"value": ...} or {"error": "..."}.
//
// usage: node firefox_bridge.mjs   (DISPLAY names the X server to use)
import {createInterface} from 'node:readline';
import puppeteer from 'puppeteer-core';

let browser = null;
let page = null;
let errors = [];

const requests = {
  async launch({binary, width, height, pixelRatio, touch, reducedMotion, webgl, profile}) {
    const prefs = {'ui.prefersReducedMotion': reducedMotion ? 1 : 0};
    if (webgl === 1) {
      prefs['webgl.enable-webgl2'] = false;
    } else if (webgl === 0) {
      prefs['webgl.disabled'] = true;
    }
    browser = await puppeteer.launch({
      browser: 'firefox', executablePath: binary, headless: false, userDataDir: profile,
      extraPrefsFirefox: prefs, protocolTimeout: 60000, defaultViewport: null});
    page = (await browser.pages())[0] || await browser.newPage();
    try {
      await page.setViewport({width, height, deviceScaleFactor: pixelRatio, hasTouch: touch});
    } catch (error) {
      // An older Firefox ESR (bookworm's 140) lacks the screen orientation
      // override that setViewport sends too: the viewport and ratio alone.
      if (!String(error).includes('unknown command')) {
        throw error;
      }
      await page.mainFrame().browsingContext.setViewport(
          {viewport: {width, height}, devicePixelRatio: pixelRatio});
    }
    await page.bringToFront();
    page.on('pageerror', (error) => errors.push(String(error)));
    page.on('console', (m) => {
      if (m.type() === 'error') {
        errors.push(m.text());
      }
    });
  },
  async get({url}) {
    await page.goto(url, {waitUntil: 'load'});
  },
  // A script in the style of WebDriver's: a function body, its arguments in
  // `arguments`.
  async run({script, args}) {
    const value = await page.evaluate(
        (body, list) => new Function(body).apply(null, list), script, args);
    return value === undefined ? null : value;
  },
  async press({key, shift}) {
    if (shift) {
      await page.keyboard.down('Shift');
    }
    await page.keyboard.press(key);
    if (shift) {
      await page.keyboard.up('Shift');
    }
  },
  async tap({x, y}) {
    await page.touchscreen.tap(x, y);
  },
  async click({x, y}) {
    await page.mouse.click(x, y);
  },
  async screenshot() {
    return await page.screenshot({encoding: 'base64'});
  },
  async errors() {
    const list = errors;
    errors = [];
    return list;
  },
  async close() {
    if (browser) {
      await browser.close();
      browser = null;
    }
  },
};

const lines = createInterface({input: process.stdin});
for await (const line of lines) {
  const request = JSON.parse(line);
  let answer;
  try {
    answer = {value: (await requests[request.op](request)) ?? null};
  } catch (error) {
    answer = {error: String(error && error.stack || error)};
  }
  process.stdout.write(JSON.stringify(answer) + '\n');
  if (request.op === 'close') {
    break;
  }
}
if (browser) {
  await browser.close();
}
