// One small driver per browser engine, each giving the browser test the same few verbs:
// open a page at a size, run a function in it, press a key, press and release a button.
//   Chromium: Debian's chromium through puppeteer-core (DevTools protocol), phones emulated.
//   Firefox:  Debian's firefox-esr through puppeteer-core (WebDriver BiDi).
//   WebKit:   Debian's WebKitGTK MiniBrowser through WebKitWebDriver and selenium-webdriver,
//             in a virtual X display (Xvfb).
import {spawn} from 'node:child_process';
import {mkdtempSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import puppeteer from 'puppeteer-core';
import {Builder, Key} from 'selenium-webdriver';
import remote from 'selenium-webdriver/remote/index.js';

const scratch = (name) => mkdtempSync(join(tmpdir(), `oneline-${name}-`));

// Where a button is on the page, to press it with a finger.
const centreOf = (selector) => {
  const box = document.querySelector(selector).getBoundingClientRect();
  return {x: box.x + box.width / 2, y: box.y + box.height / 2};
};

// Chromium and Firefox, through puppeteer.
function puppeteerPage(page, {characterByProtocol}) {
  return {
    goto: (url) => page.goto(url),
    evaluate: (fn, ...args) => page.evaluate(fn, ...args),
    setSize: ({width, height, phone = false}) => page.setViewport(
        {width, height, isMobile: phone, hasTouch: true, deviceScaleFactor: phone ? 2 : 1}),
    async press(key, modifier) {
      if (modifier) await page.keyboard.down(modifier);
      if (characterByProtocol && key.length === 1 && key.charCodeAt(0) > 127) {
        // A character outside puppeteer's US layout, as a keyboard that has it sends it.
        const client = await page.createCDPSession();
        for (const type of ['keyDown', 'keyUp'])
          await client.send('Input.dispatchKeyEvent',
                            {type, key, text: type === 'keyDown' ? key : undefined});
      } else {
        await page.keyboard.press(key);
      }
      if (modifier) await page.keyboard.up(modifier);
    },
    async pressButton(selector) {
      const {x, y} = await page.evaluate(centreOf, selector);
      await page.touchscreen.touchStart(x, y);
    },
    releaseButton: () => page.touchscreen.touchEnd(),
    close: () => page.close(),
  };
}

// Over the DevTools protocol (Chromium) phones are emulated (their viewport, zoom and touch) and
// characters outside the US layout typed by hand; over WebDriver BiDi (Firefox) neither is.
async function puppeteerEngine(name, options, devTools) {
  const browser = await puppeteer.launch({headless: true, userDataDir: scratch(name), ...options});
  return {
    name,
    emulatesPhones: devTools,
    buttonsBy: 'touch',
    open: async () => puppeteerPage(await browser.newPage(), {characterByProtocol: devTools}),
    close: () => browser.close(),
  };
}

const chromium = () => puppeteerEngine('Chromium', {
  executablePath: process.env.CHROMIUM ?? '/usr/lib/chromium/chromium',
  args: [
    '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'
  ],
}, true);

const firefox = () => puppeteerEngine(
    'Firefox', {browser: 'firefox', executablePath: process.env.FIREFOX ?? '/usr/bin/firefox-esr'},
    false);

// The first free X display: Xvfb names it on a descriptor of ours.
function startXvfb() {
  const xvfb = spawn('Xvfb', ['-displayfd', '3', '-nolisten', 'tcp', '-screen', '0', '1600x1200x24'],
                     {stdio: ['ignore', 'ignore', 'ignore', 'pipe']});
  process.on('exit', () => xvfb.kill());
  return new Promise((started, failed) => {
    xvfb.on('error', failed);
    xvfb.stdio[3].once('data', (display) => started({xvfb, display: `:${String(display).trim()}`}));
  });
}

const webdriverKeys = {
  Enter: Key.ENTER, Escape: Key.ESCAPE, Tab: Key.TAB, ArrowLeft: Key.ARROW_LEFT,
  Control: Key.CONTROL, Alt: Key.ALT,
};

async function webkit() {
  const {xvfb, display} = await startXvfb();
  const service = new remote.DriverService.Builder(process.env.WEBKIT_DRIVER ?? '/usr/bin/WebKitWebDriver')
                      .setLoopback(true)
                      .setEnvironment({...process.env, DISPLAY: display})
                      .build();
  const driver = await new Builder()
                     .usingServer(await service.start())
                     .withCapabilities({
                       browserName: 'MiniBrowser',
                       'webkitgtk:browserOptions': {
                         binary: process.env.MINIBROWSER ??
                             '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser',
                         args: ['--automation'],
                       },
                     })
                     .build();
  const key = (name) => webdriverKeys[name] ?? name;
  // One window for every page, as the engine's driver has it.
  const page = {
    goto: (url) => driver.get(url),
    evaluate: (fn, ...args) => driver.executeScript(`return (${fn}).apply(null, arguments);`, ...args),
    setSize: ({width, height}) => driver.manage().window().setRect({width, height}),
    async press(name, modifier) {
      let actions = driver.actions();
      if (modifier) actions = actions.keyDown(key(modifier));
      actions = actions.keyDown(key(name)).keyUp(key(name));
      if (modifier) actions = actions.keyUp(key(modifier));
      await actions.perform();
    },
    // WebKitGTK's driver turns touch actions into the mouse's: the button is held with it.
    async pressButton(selector) {
      const button = await driver.findElement({css: selector});
      await driver.actions().move({origin: button}).press().perform();
    },
    releaseButton: () => driver.actions().release().perform(),
    close: () => driver.get('about:blank'),
  };
  return {
    name: 'WebKit',
    emulatesPhones: false,
    buttonsBy: 'mouse',
    open: async () => page,
    async close() {
      await driver.quit();
      await service.kill();
      xvfb.kill();
    },
  };
}

export const engines = {chromium, firefox, webkit};
