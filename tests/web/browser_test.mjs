// Plays the web page in a browser engine as a player would: real key events, buttons tapped and
// held, every frame seen as it changes the line, the frames compared with the Linux build's, the
// line laid out on desktops and (where the engine emulates them) phones, and the page's policy
// refusing a connection.
//
//   node browser_test.mjs <chromium|firefox|webkit> <build-web/oneline.html> <build/oneline>
//                         <tests/checks/same-frames>
//
// Each check prints a line; the exit status is the number of failed checks.
import {spawnSync} from 'node:child_process';
import {cpSync, existsSync, mkdtempSync, readFileSync, rmSync, statSync, writeFileSync} from 'node:fs';
import {createServer} from 'node:http';
import {tmpdir} from 'node:os';
import {dirname, extname, join, resolve} from 'node:path';
import {pathToFileURL} from 'node:url';
import {engines} from './engines.mjs';

const [engineName, ...paths] = process.argv.slice(2);
const [pagePath, linuxGame, sameFrames] = paths.map((path) => resolve(path));
let failures = 0;

function check(holds, what) {
  console.log(`${holds ? 'ok' : 'FAILED'}: ${what}`);
  if (!holds) failures += 1;
}

const sleep = (milliseconds) => new Promise((wake) => setTimeout(wake, milliseconds));

// Runs before the page's own script: every frame the line shows, when it came, how many frames
// had been shown when each key went down, and what the page's policy refused.
function recordFrames() {
  window.frames_ = [];
  window.frameTimes = [];
  window.keysDown = [];
  window.refused = [];
  // Opened with #fit-at-load, the page sees no resize event until the test lets it: its line
  // must fit from the size the window has at load.
  window.swallowResizes = location.hash === '#fit-at-load';
  addEventListener('resize', (event) => { if (swallowResizes) event.stopImmediatePropagation(); });
  // Whether the last frame, without the enemy (whose sprite holds a star), holds text.
  window.lastFrameHas = (text) => (frames_.at(-1) ?? '').replace('(*--*)', '').includes(text);
  addEventListener(
      'keydown', (event) => keysDown.push({key: event.key, frame: frames_.length}), true);
  document.addEventListener(
      'securitypolicyviolation', (event) => refused.push(`${event.effectiveDirective} ${event.blockedURI}`));
  new MutationObserver((records) => {
    for (const record of records) {
      const target = record.target.nodeType === 1 ? record.target : record.target.parentNode;
      if (target.id !== 'line') continue;
      frames_.push(target.textContent);
      frameTimes.push(performance.now());
    }
  }).observe(document, {subtree: true, childList: true, characterData: true});
}

// The page as built, with the recorder as its first script, in a folder of its own.
const scratch = mkdtempSync(join(tmpdir(), 'oneline-page-'));
const withRecorder = (page) =>
    page.replace('<script>', `<script>(${recordFrames})();</script>\n<script>`);
const recorded = join(scratch, 'oneline.html');
writeFileSync(recorded, withRecorder(readFileSync(pagePath, 'latin1')), 'latin1');
const pageUrl = pathToFileURL(recorded).href;

// The web app folder made beside the page, copied with the recorder in its index.html. A copy
// marked as a new version differs as a new build would: in its page (its title) and in the
// version its service worker names.
let copies = 0;
function appCopy(mark = '') {
  const folder = join(scratch, `app${copies++}`);
  cpSync(join(dirname(pagePath), 'app'), folder, {recursive: true});
  const index = join(folder, 'index.html');
  writeFileSync(index, withRecorder(readFileSync(index, 'latin1')).replace('<title>oneline', `<title>oneline${mark}`),
                'latin1');
  const worker = join(folder, 'sw.js');
  writeFileSync(worker, readFileSync(worker, 'utf8').replace(/'oneline-([0-9a-f]+)'/, `'oneline-$1${mark.trim()}'`));
  return folder;
}
// A static host on 127.0.0.1 for one folder at a time, as a web host serves the app; it stops
// with the test, or after five minutes whatever happens.
const contentTypes = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.png': 'image/png',
  '.webmanifest': 'application/manifest+json',
};
function startHost() {
  let root = '';
  const server = createServer((request, response) => {
    const path = new URL(request.url, 'http://host/').pathname;
    const file = join(root, path === '/' ? 'index.html' : path);
    if (!file.startsWith(`${root}/`) || !existsSync(file) || statSync(file).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, {'content-type': contentTypes[extname(file)] ?? 'application/octet-stream'});
    response.end(readFileSync(file));
  });
  const stop = () => new Promise((stopped) => {
    server.closeAllConnections();
    server.close(() => stopped());
  });
  setTimeout(stop, 300000).unref();
  const listen = (port) => new Promise((listening) => server.listen(port, '127.0.0.1', listening));
  return listen(0).then(() => {
    const port = server.address().port;
    return {
      url: `http://127.0.0.1:${port}/`,
      serve: (folder) => { root = folder; },
      stop,
      // Served again at the same address (the same origin, the same service worker).
      restart: () => listen(port),
    };
  });
}

const spriteAt = (c, s) => (frames_.at(-1) ?? '').substr(c, s.length) === s;
const frameCount = (page) => page.evaluate(() => frames_.length);

// Waits until test(...args) holds in the page; false after the time limit.
async function waitFor(page, test, milliseconds, ...args) {
  const end = Date.now() + milliseconds;
  for (;;) {
    if (await page.evaluate(test, ...args)) return true;
    if (Date.now() > end) return false;
    await sleep(10);
  }
}
const waitForSprite = (page, column, sprite) => waitFor(page, spriteAt, 3000, column, sprite);
const waitForFrames = (page, count) => waitFor(page, (n) => frames_.length >= n, 60000, count);
// Whether the player still stands at column after the keys just typed had their frames.
const stillAt = async (page, column) =>
    (await sleep(500), page.evaluate(spriteAt, column, '(>_>)'));
// The player's column in the last frame, whichever way it faces; -1 where it is not drawn.
const playerColumn = (page) => page.evaluate(() => {
  const frame = (frames_.at(-1) ?? '').replace('(*--*)', '      ');
  const right = frame.indexOf('(>_>)');
  return right >= 0 ? right : frame.indexOf('(<_<)');
});

async function open(browser, size, hash = '', url = pageUrl) {
  const page = await browser.open();
  await page.setSize(size);
  const opened = Date.now();
  await page.goto(url + hash);
  return {page, opened};
}

// How the page and its line lie at the present size.
const layout = (page) => page.evaluate(() => {
  const line = document.getElementById('line');
  const screen = document.getElementById('screen');
  const style = getComputedStyle(line);
  const buttons = [...document.querySelectorAll('#pad button')].map((b) => b.getBoundingClientRect());
  // Where the line's text ends, and the box's content (inside its padding and border).
  const text = document.createRange();
  text.selectNodeContents(line);
  const box = screen.getBoundingClientRect();
  const boxStyle = getComputedStyle(screen);
  return {
    innerWidth,
    pageWidth: document.documentElement.scrollWidth,
    rows: Math.round(line.offsetHeight / parseFloat(style.lineHeight)),
    boxScrolls: screen.scrollWidth > screen.clientWidth,
    monospace: style.fontFamily.includes('monospace'),
    fontSize: parseFloat(style.fontSize),
    // The type as the screen shows it, after a phone's zoom.
    shownSize: parseFloat(style.fontSize) * (window.visualViewport?.scale ?? 1),
    columns: line.textContent.length,
    lowestButton: Math.min(...buttons.map((b) => b.height)),
    buttonsEnd: Math.max(...buttons.map((b) => b.bottom)),
    innerHeight,
    textEnd: text.getBoundingClientRect().right,
    contentEnd: box.right - parseFloat(boxStyle.borderRightWidth) - parseFloat(boxStyle.paddingRight),
    turnShown: getComputedStyle(document.getElementById('turn')).display !== 'none',
  };
});

// Whether the frames shown equal the Linux build's on these keys, one byte a frame (0 for none),
// compared by the frames check that every other build uses; what differs, if anything.
function sameAsLinux(shown, bytes) {
  const dir = mkdtempSync(join(tmpdir(), 'oneline-frames-'));
  writeFileSync(join(dir, 'keys'), bytes);
  writeFileSync(join(dir, 'shown'), Buffer.from(shown.map((frame) => `${frame}\r`).join(''), 'latin1'));
  const compared = spawnSync(
      sameFrames, [String(shown.length), join(dir, 'keys'), linuxGame, 'cat', join(dir, 'shown')],
      {encoding: 'utf8'});
  rmSync(dir, {recursive: true});
  return {same: compared.status === 0, report: compared.stdout.trim()};
}

// Whether the page's policy refuses a fetch, and nothing that the page itself loads.
async function refusesConnections(page) {
  const refusedBefore = await page.evaluate(() => refused.slice());
  const outcome = await page.evaluate(
      () => fetch('https://example.com/').then(() => 'answered', (error) => `refused: ${error}`));
  await sleep(100);
  const refusedNow = await page.evaluate(() => refused.slice());
  return {
    holds: refusedBefore.length === 0 && outcome.startsWith('refused') &&
        refusedNow.some((what) => what.startsWith('connect-src')),
    report: `the page's policy refuses a fetch (${outcome}; ${JSON.stringify(refusedNow)}) and ` +
        `nothing the page loads itself`,
  };
}

// Types keys in bursts that queue (bound and unbound keys, values above 127: ä, á and í lose to
// d, a and m if their top bit goes) and compares the frames that follow with the Linux build's.
async function playsLikeLinux(page, rounds, frames) {
  await waitForFrames(page, 3);
  const script = [
    'm', 'd', 'd', ' ', 'x', 'a', 'A', ' ', 'Enter', 'm', 'é', 'd', '£', ' ', 'ArrowLeft', ' ', '€',
    'm', 'a', 'ä', 'á', 'í'
  ];
  for (let round = 0; round < rounds; ++round) {
    for (const [i, key] of script.entries()) {
      await page.press(key);
      if ((i + round) % 3 === 0) await sleep(60 + 15 * round);
    }
  }
  await waitForFrames(page, frames);
  const {shown, typed} = await page.evaluate(() => ({shown: frames_, typed: keysDown}));
  // A key down after frame n is read in frame n + 1, or later behind keys still waiting; a key
  // that is not one character below 256 gives nothing.
  const bytes = Buffer.alloc(frames, 0);
  let next = 0;
  for (const {key, frame} of typed) {
    if (key.length !== 1 || key.charCodeAt(0) >= 256) continue;
    next = Math.max(next, frame);
    if (next < frames) bytes[next] = key.charCodeAt(0);
    next += 1;
  }
  const {same, report} = sameAsLinux(shown.slice(0, frames), bytes);
  return {
    holds: typed.length === script.length * rounds && same,
    report: `${frames} frames, ${typed.length} keys typed, equal the Linux build's: ${report}`,
  };
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// What Chromium alone can tell or emulate of the served app: its installability, the network
// cut, a new version on the host, and an installed app's full screen on a phone.
async function servedAppInChromium(app, host) {
  const manifest = await app.cdp('Page.getAppManifest');
  const installable = await app.cdp('Page.getInstallabilityErrors');
  check(manifest.url.endsWith('/manifest.webmanifest') && manifest.errors.length === 0 &&
            installable.installabilityErrors.length === 0,
        `Chromium: the manifest is found without errors and nothing keeps the app from being ` +
            `installed: ${JSON.stringify({url: manifest.url, errors: manifest.errors, ...installable})}`);
  const kept = await app.evaluate(async () => {
    const names = await caches.keys();
    const files = await (await caches.open(names[0])).keys();
    return {names, files: files.map((request) => new URL(request.url).pathname).sort()};
  });
  const appFiles = ['/', '/icon-192.png', '/icon-512.png', '/icon-maskable-512.png', '/index.html',
                    '/manifest.webmanifest'];
  check(kept.names.length === 1 && JSON.stringify(kept.files) === JSON.stringify(appFiles),
        `Chromium: the service worker keeps the app's own files and nothing else: ${JSON.stringify(kept)}`);

  // Offline after one visit, the host gone too: reloaded, it starts within 3 s and plays the
  // Linux build's frames.
  await host.stop();
  await app.setOffline(true);
  const reloaded = Date.now();
  const loaded = await app.goto(host.url).then(() => 'loaded', (error) => `${error}`);
  const started = loaded === 'loaded' && await waitFor(app, () => frames_.length > 0, 3000);
  const firstAfter = Date.now() - reloaded;
  const offline = started ? await playsLikeLinux(app, 2, 100) : {holds: false, report: loaded};
  await app.setOffline(false);
  await host.restart();
  check(started && offline.holds,
        `Chromium: offline, reloaded, the first frame after ${firstAfter} ms (at most 3 s); ` +
            offline.report);
  if (!started) return;

  // A new version on the host: the next visit installs it, the one after plays it, and the old
  // version's cache is gone.
  host.serve(appCopy(' 2'));
  await app.goto(host.url);
  const replaced = await waitFor(app, () => caches.keys().then((names) => names.length === 1 && names[0].endsWith('2')), 10000);
  await app.goto(host.url);
  await waitForFrames(app, 3);
  const title = await app.evaluate(() => document.title);
  const names = await app.evaluate(() => caches.keys());
  check(replaced && title.startsWith('oneline 2') && names.length === 1,
        `Chromium: a new version on the host replaces the kept one: the visit after plays ` +
            `"${title}", and the caches are ${JSON.stringify(names)}`);

  // Installed on a phone held sideways, the app asks for the whole screen, landscape; there
  // (the phone's 740x360 with no browser bars) the line still fits on one row, at no less type
  // than in the tab, with the buttons in view. (Chromium's protocol cannot switch the display
  // mode itself: it emulates no display-mode media feature and has no installing of apps.)
  const asked = JSON.parse(manifest.data);
  await app.setSize({width: 740, height: 360, phone: true});
  await sleep(300);
  const full = await layout(app);
  check(asked.display === 'fullscreen' && asked.orientation === 'landscape' &&
            full.columns === 80 && full.rows === 1 && !full.boxScrolls &&
            full.shownSize >= tabType740 && full.buttonsEnd <= full.innerHeight,
        `Chromium: installed, the app asks for ${asked.display} (${asked.display_override}), ` +
            `${asked.orientation}; on the whole 740x360 screen of a phone the line fits at ` +
            `${full.shownSize} px (${tabType740} px in the tab): ${JSON.stringify(full)}`);
}
let tabType740 = 15;

const browser = await engines[engineName]();
const name = browser.name;
try {
  const size = statSync(pagePath).size;
  check(size <= 200 * 1024, `the page is one file of ${size} bytes (at most 200 KB)`);

  // Playing with the keyboard and the buttons.
  const {page, opened} = await open(browser, {width: 800, height: 600});
  const firstFrame = `${' '.repeat(30)}(>_>)${' '.repeat(35)}(*--*)    `;
  await waitFor(page, () => frames_.length > 0, 3000);
  const first = await page.evaluate(() => frames_[0]);
  check(first === firstFrame && Date.now() - opened <= 3000,
        `${name}: the first frame, player at 30 facing right and enemy at 70, within 3 s: [${first}]`);
  check((await page.evaluate(() => document.title)).length > 0, `${name}: the page has a title`);

  await page.evaluate(() => {
    window.prevented = {};
    addEventListener('keydown', (event) => {
      const modifier = event.ctrlKey ? 'Ctrl+' : event.altKey ? 'Alt+' : '';
      if (event.key !== 'Control' && event.key !== 'Alt')
        prevented[modifier + event.key] = event.defaultPrevented;
    });
  });
  for (let i = 0; i < 3; ++i) await page.press('d');
  check(await waitForSprite(page, 33, '(>_>)'), `${name}: d d d walk the player to 33`);
  for (const key of ['A', 'x', 'ArrowLeft', 'Enter', 'Escape', 'Tab']) await page.press(key);
  await page.press('d', 'Control');
  for (const key of ['d', 'a', ' ']) await page.press(key, 'Alt');
  check(await stillAt(page, 33),
        `${name}: A, x, an arrow, Enter, Escape, Tab, Ctrl+d, Alt+d, Alt+a and Alt+space do nothing`);
  await page.press('a');
  check(await waitForSprite(page, 32, '(<_<)'), `${name}: a turns the player and walks it to 32`);
  await page.press(' ');
  check(await waitFor(page, () => lastFrameHas('*'), 3000), `${name}: space fires a shot`);
  // The buttons, pressed as the engine can: with a finger, or where it has no touch input,
  // with the mouse.
  const by = browser.buttonsBy;
  for (let i = 0; i < 4; ++i) {
    await page.pressButton('[data-key="d"]');
    await page.releaseButton();
    await sleep(100);
  }
  check(await waitForSprite(page, 36, '(>_>)'), `${name}: four taps (${by}) of d walk the player to 36`);
  // A tapped button keeps no focus that Enter or space could press again.
  await page.press('Enter');
  check(await stillAt(page, 36), `${name}: Enter after the taps does nothing`);

  // Held, a button walks on as a held key does; let go, it stops at once.
  const steps = [];
  await page.pressButton('[data-key="a"]');
  const pressed = Date.now();
  while (Date.now() - pressed < 1500) {
    steps.push({at: Date.now() - pressed, column: await playerColumn(page)});
    await sleep(20);
  }
  await page.releaseButton();
  const letGo = await playerColumn(page);
  await sleep(600);
  const after = await playerColumn(page);
  const walked = 36 - letGo;
  const beforeDelay = steps.filter((step) => step.at < 400).map((step) => 36 - step.column);
  check(Math.max(...beforeDelay) === 1 && walked >= 12 && walked <= 20 && after === letGo,
        `${name}: a held 1.5 s (${by}) walks 1 column at once, none more for 400 ms, then one a ` +
            `frame: ${walked} in all (12 to 20), and none after letting go (${letGo} then ${after})`);

  // Once the shot is over (m would turn it into a beam at once), and facing away from the enemy,
  // so that the beam runs to the end of the line wherever the enemy is.
  await waitFor(page, () => !lastFrameHas('*'), 5000);
  await page.pressButton('[data-key="m"]');
  await page.releaseButton();
  await sleep(200);
  await page.press(' ');
  const lit = (await waitFor(page, () => lastFrameHas('='), 3000)) ? await frameCount(page) : -1;
  await waitForFrames(page, lit + 6);
  const beam = await page.evaluate((from) => frames_.slice(from - 1, from + 6), lit);
  check(lit > 0 && beam.every((frame) => frame.includes('==')),
        `${name}: after a tap of m, one typed space lights a beam that stays lit`);

  // m during the beam, which turns it into a shot.
  await page.press('m');
  const taken = await page.evaluate(() => prevented);
  const theGames = [' ', 'a', 'd', 'm'];
  const theBrowsers = ['x', 'Enter', 'Tab', 'Ctrl+d', 'Alt+d', 'Alt+a', 'Alt+ '];
  check(theGames.every((key) => taken[key] === true) &&
            theBrowsers.every((key) => taken[key] === false),
        `${name}: space, a, d and m are the game's; x, Enter, Tab and Ctrl or Alt with a key ` +
            `the browser's: ${JSON.stringify(taken)}`);

  // The median gap between frames is the page's own pace, whatever else the machine is doing.
  const times = await page.evaluate(() => frameTimes);
  const gaps = times.slice(2).map((time, i) => time - times[i + 1]);
  const period = median(gaps);
  const mean = (times.at(-1) - times[1]) / (times.length - 2);
  check(period >= 66 && period <= 70,
        `${name}: frame period ${period.toFixed(2)} ms, the median of ${gaps.length} (66 to 70; ` +
            `mean ${mean.toFixed(2)})`);

  const closed = await refusesConnections(page);
  check(closed.holds, `${name}: ${closed.report}`);

  // Keys past the queue's bound are dropped: 4096 wait, not one more.
  const kept = await page.evaluate(() => {
    for (let i = 0; i < 5000; ++i) dispatchEvent(new KeyboardEvent('keydown', {key: 'x'}));
    return waiting.length;
  });
  check(kept === 4096, `${name}: of 5000 keys at once, ${kept} wait (4096)`);
  await page.close();

  // The whole line in the box, on one row, within its padding, at every size, fitted at load
  // without a resize; the type never above 15 px, and at least 12 px where the screen has the
  // room (740 px and wider). "Turn the phone" only on a phone held upright, not in a narrow
  // desktop window.
  const sizes = [
    {width: 800, height: 600}, {width: 1280, height: 800}, {width: 500, height: 800, touch: false}
  ];
  if (browser.emulatesPhones) {
    sizes.unshift({width: 320, height: 568, phone: true},
                  {width: 360, height: 740, phone: true, turnTo: {width: 740, height: 360, phone: true}},
                  {width: 740, height: 360, phone: true});
  }
  const fitsAt = (at, size) => at.columns === 80 && at.rows === 1 && !at.boxScrolls && at.monospace &&
      at.pageWidth <= at.innerWidth && at.fontSize <= 15 &&
      (at.innerWidth < 740 || at.shownSize >= 12) && at.textEnd <= at.contentEnd + 0.5 &&
      at.turnShown === (size.phone === true && size.height > size.width);
  const described = (size) =>
      `${size.width}x${size.height}${size.phone ? ' (a phone, touch)' : size.touch === false ? ' (no touch)' : ''}`;
  for (const size of sizes) {
    const {page: sized} = await open(browser, size, '#fit-at-load');
    await waitFor(sized, () => frames_.length >= 2, 3000);
    const at = await layout(sized);
    // A phone lays the page out at its own width only when the page asks it to.
    const asPhone = !size.phone || at.innerWidth === size.width;
    const buttons = size.width !== 360 || (at.lowestButton >= 44 && at.buttonsEnd <= at.innerHeight);
    check(fitsAt(at, size) && asPhone && buttons,
          `${name}: at ${described(size)}, opened so, the line fits: ${JSON.stringify(at)}`);
    if (size.phone && size.width === 740) tabType740 = at.shownSize;
    if (size.turnTo) {
      // Turned sideways, the line is fitted again to the wider screen.
      await sized.evaluate(() => { swallowResizes = false; });
      await sized.setSize(size.turnTo);
      await sleep(300);
      const turned = await layout(sized);
      check(fitsAt(turned, size.turnTo) && turned.shownSize >= 14,
            `${name}: turned from ${described(size)} to ${described(size.turnTo)}, the line is ` +
                `fitted again: ${JSON.stringify(turned)}`);
    }
    if (size.width === 320) {
      // Where the browser will not make the type as small as the fit asks (its minimum font
      // size), the line scrolls sideways instead of being cut.
      const scrolled = await sized.evaluate(() => {
        const style = document.createElement('style');
        style.textContent = '#line { font-size: 15px !important; }';
        document.head.appendChild(style);
        const screen = document.getElementById('screen');
        screen.scrollLeft = screen.scrollWidth;
        return {overflowX: getComputedStyle(screen).overflowX, scrollLeft: screen.scrollLeft};
      });
      // (A script can scroll a box that clips, so the box must also let the player scroll.)
      check(scrolled.scrollLeft > 0 && ['auto', 'scroll'].includes(scrolled.overflowX),
            `${name}: at 320x568 with type that cannot shrink, the line scrolls sideways: ${JSON.stringify(scrolled)}`);
    }
    await sized.close();
  }

  // Held buttons as fingers and the mouse hold them, each on a fresh page, walking left from
  // column 30, away from the enemy.
  let pad;
  const freshPad = async () => {
    pad = (await open(browser, {width: 800, height: 600})).page;
    await waitForFrames(pad, 3);
  };
  const walks = async (milliseconds) => {
    const from = await playerColumn(pad);
    await sleep(milliseconds);
    return from - (await playerColumn(pad));
  };
  // Pressed with the mouse, dragged away and let go there, the button stops (it keeps the
  // pointer).
  await freshPad();
  const dragged = await pad.mouse('[data-key="a"]');
  await sleep(800);
  await dragged.move(0, -200);
  await dragged.lift();
  const draggedTo = await playerColumn(pad);
  const afterDrag = await walks(500);
  check(draggedTo <= 27 && afterDrag === 0,
        `${name}: a held with the mouse, dragged 200 px away and let go there: walked to ` +
            `${draggedTo}, then ${afterDrag} more (0)`);
  await pad.close();
  // A key typed during a hold is taken at once.
  await freshPad();
  await pad.pressButton('[data-key="a"]');
  await sleep(800);
  await pad.press('d');
  const keyTaken = await waitFor(pad, () => lastFrameHas('(>_>)'), 250);
  await pad.releaseButton();
  check(keyTaken, `${name}: d typed while a is held (${by}) acts within 250 ms`);
  await pad.close();
  if (browser.touches) {
    // Two fingers: lifting the later one leaves the first one's hold repeating.
    await freshPad();
    const first = await pad.touch('[data-key="a"]');
    await sleep(700);
    const second = await pad.touch('[data-key="d"]');
    await sleep(300);
    await second.lift();
    await sleep(100);
    const stillHeld = await walks(400);
    await first.lift();
    const afterBoth = await walks(300);
    check(stillHeld >= 3 && afterBoth === 0,
          `${name}: with a and d held by two fingers, lifting d leaves a repeating (${stillHeld} ` +
              `columns in 400 ms), lifting a stops it (${afterBoth})`);
    await pad.close();
    // A finger that slides a little on its button keeps the hold.
    await freshPad();
    const sliding = await pad.touch('[data-key="a"]');
    await sleep(700);
    await sliding.move(6, 4);
    const slid = await walks(400);
    await sliding.lift();
    check(slid >= 3, `${name}: a finger holding a that slides 7 px walks on (${slid} columns in 400 ms)`);
    await pad.close();
  }
  // Neither a right click nor a long press opens a menu over the buttons.
  await freshPad();
  await pad.evaluate(() => {
    window.menus = [];
    addEventListener('contextmenu', (event) => menus.push(event.defaultPrevented));
  });
  await pad.rightClick('[data-key="a"]');
  if (browser.touches) {
    const longPress = await pad.touch('[data-key="a"]');
    await sleep(1200);
    await longPress.lift();
  }
  const menus = await pad.evaluate(() => menus);
  check(menus.length > 0 && menus.every((prevented) => prevented),
        `${name}: a right click${browser.touches ? ' and a long press' : ''} on a button open ` +
            `no menu: ${JSON.stringify(menus)}`);
  await pad.close();

  // Every frame equals the Linux build's, on 240 frames of typed keys.
  const {page: parity} = await open(browser, {width: 800, height: 600});
  const played = await playsLikeLinux(parity, 5, 240);
  check(played.holds, `${name}: ${played.report}`);
  await parity.close();

  // The web app, served by a host of the test's own: every engine activates its service worker
  // from 127.0.0.1, and its policy still refuses every connection but to its own files.
  const host = await startHost();
  try {
    host.serve(appCopy());
    const {page: app} = await open(browser, {width: 800, height: 600}, '', host.url);
    await waitForFrames(app, 3);
    const worker = await waitFor(app, () => navigator.serviceWorker?.controller?.state === 'activated', 10000);
    const closedApp = await refusesConnections(app);
    check(worker && closedApp.holds,
          `${name}: served from ${host.url}, the app's service worker is active (${worker}) and ` +
              closedApp.report);
    if (browser.devTools) await servedAppInChromium(app, host);
    await app.close();
  } finally {
    await host.stop();
  }
} finally {
  await browser.close();
  rmSync(scratch, {recursive: true});
}
console.log(`${failures} failed`);
process.exit(failures);
