// One small driver per browser engine, each giving the browser test the same few verbs:
// open a page at a size, run a function in it, press a key, press and release a button, put
// fingers (where the engine has touch input) or the mouse on one, right-click it; in Chromium
// also speak the DevTools protocol and cut the network.
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
    setSize: ({width, height, phone = false, touch = true}) => page.setViewport(
        {width, height, isMobile: phone, hasTouch: touch, deviceScaleFactor: phone ? 2 : 1}),
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
    // A finger on a button, one of several at once: it moves by (dx, dy) and lifts.
    async touch(selector) {
      const {x, y} = await page.evaluate(centreOf, selector);
      const finger = await page.touchscreen.touchStart(x, y);
      return {move: (dx, dy) => finger.move(x + dx, y + dy), lift: () => finger.end()};
    },
    // The mouse's button down on a button: it drags by (dx, dy) and lets go.
    async mouse(selector) {
      const {x, y} = await page.evaluate(centreOf, selector);
      await page.mouse.move(x, y);
      await page.mouse.down();
      return {move: (dx, dy) => page.mouse.move(x + dx, y + dy, {steps: 5}), lift: () => page.mouse.up()};
    },
    async rightClick(selector) {
      const {x, y} = await page.evaluate(centreOf, selector);
      await page.mouse.click(x, y, {button: 'right'});
    },
    // Chromium only (the DevTools protocol): a command of the protocol, the network cut.
    async cdp(method, params = {}) {
      this.session ??= await page.createCDPSession();
      return this.session.send(method, params);
    },
    setOffline: (offline) => page.setOfflineMode(offline),
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
    devTools,
    buttonsBy: 'touch',
    touches: true,
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
    async mouse(selector) {
      await page.pressButton(selector);
      return {
        move: (dx, dy) => driver.actions().move({origin: 'pointer', x: dx, y: dy, duration: 100}).perform(),
        lift: () => page.releaseButton(),
      };
    },
    async rightClick(selector) {
      await driver.actions().contextClick(await driver.findElement({css: selector})).perform();
    },
    close: () => driver.get('about:blank'),
  };
  return {
    name: 'WebKit',
    emulatesPhones: false,
    buttonsBy: 'mouse',
    touches: false,
    open: async () => page,
    async close() {
      await driver.quit();
      await service.kill();
      xvfb.kill();
    },
  };
}

export const engines = {chromium, firefox, webkit};
