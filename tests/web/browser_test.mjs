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
import {mkdtempSync, readFileSync, rmSync, statSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join, resolve} from 'node:path';
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
const recorded = join(mkdtempSync(join(tmpdir(), 'oneline-page-')), 'oneline.html');
writeFileSync(recorded, readFileSync(pagePath, 'latin1')
                            .replace('<script>', `<script>(${recordFrames})();</script>\n<script>`),
              'latin1');
const pageUrl = pathToFileURL(recorded).href;

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

async function open(browser, size) {
  const page = await browser.open();
  await page.setSize(size);
  const opened = Date.now();
  await page.goto(pageUrl);
  return {page, opened};
}

// How the page and its line lie at the present size.
const layout = (page) => page.evaluate(() => {
  const line = document.getElementById('line');
  const screen = document.getElementById('screen');
  const style = getComputedStyle(line);
  const buttons = [...document.querySelectorAll('#pad button')].map((b) => b.getBoundingClientRect());
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

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

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

  const refusedWhilePlaying = await page.evaluate(() => refused.slice());
  const outcome = await page.evaluate(
      () => fetch('https://example.com/').then(() => 'answered', (error) => `refused: ${error}`));
  await sleep(100);
  const refusedNow = await page.evaluate(() => refused.slice());
  check(refusedWhilePlaying.length === 0 && outcome.startsWith('refused') &&
            refusedNow.some((what) => what.startsWith('connect-src')),
        `${name}: the page's policy refuses a fetch (${outcome}; ${JSON.stringify(refusedNow)}) and ` +
            `nothing the page does itself`);

  // Keys past the queue's bound are dropped: 4096 wait, not one more.
  const kept = await page.evaluate(() => {
    for (let i = 0; i < 5000; ++i) dispatchEvent(new KeyboardEvent('keydown', {key: 'x'}));
    return waiting.length;
  });
  check(kept === 4096, `${name}: of 5000 keys at once, ${kept} wait (4096)`);
  await page.close();

  // The whole line in the box, on one row, at every size; the type never above 15 px, and at
  // least 12 px where the screen has the room (740 px and wider).
  const sizes = [{width: 800, height: 600}, {width: 1280, height: 800}];
  if (browser.emulatesPhones) {
    sizes.unshift({width: 320, height: 568, phone: true}, {width: 360, height: 740, phone: true},
                  {width: 740, height: 360, phone: true});
  }
  for (const size of sizes) {
    const {page: sized} = await open(browser, size);
    await waitFor(sized, () => frames_.length >= 2, 3000);
    const at = await layout(sized);
    const fits = at.columns === 80 && at.rows === 1 && !at.boxScrolls && at.monospace &&
        at.pageWidth <= at.innerWidth && at.fontSize <= 15 &&
        (at.innerWidth < 740 || at.shownSize >= 12);
    // A phone lays the page out at its own width only when the page asks it to.
    const asPhone = !size.phone || at.innerWidth === size.width;
    const buttons = size.width !== 360 || (at.lowestButton >= 44 && at.buttonsEnd <= at.innerHeight);
    check(fits && asPhone && buttons,
          `${name}: at ${size.width}x${size.height}${size.phone ? ' (a phone, touch)' : ''} the ` +
              `line fits: ${JSON.stringify(at)}`);
    await sized.close();
  }

  // Every frame equals the Linux build's, on 240 frames of typed keys: bursts that queue, bound
  // and unbound keys, and values above 127.
  const {page: parity} = await open(browser, {width: 800, height: 600});
  await waitForFrames(parity, 3);
  const script = [
    'm', 'd', 'd', ' ', 'x', 'a', 'A', ' ', 'Enter', 'm', 'é', 'd', '£', ' ', 'ArrowLeft', ' ', '€',
    'm', 'a'
  ];
  for (let round = 0; round < 5; ++round) {
    for (const [i, key] of script.entries()) {
      await parity.press(key);
      if ((i + round) % 3 === 0) await sleep(60 + 15 * round);
    }
  }
  await waitForFrames(parity, 240);
  const {shown, typed} = await parity.evaluate(() => ({shown: frames_, typed: keysDown}));
  // A key down after frame n is read in frame n + 1, or later behind keys still waiting; a key
  // that is not one character below 256 gives nothing.
  const bytes = Buffer.alloc(240, 0);
  let next = 0;
  for (const {key, frame} of typed) {
    if (key.length !== 1 || key.charCodeAt(0) >= 256) continue;
    next = Math.max(next, frame);
    if (next < 240) bytes[next] = key.charCodeAt(0);
    next += 1;
  }
  const {same, report} = sameAsLinux(shown.slice(0, 240), bytes);
  check(typed.length === script.length * 5 && same,
        `${name}: 240 frames, ${typed.length} keys typed, equal the Linux build's: ${report}`);
  await parity.close();
} finally {
  await browser.close();
  rmSync(join(recorded, '..'), {recursive: true});
}
console.log(`${failures} failed`);
process.exit(failures);
