// Plays the web page in Debian's Chromium, headless, as a player would: real key events and taps,
// every frame seen by a MutationObserver, and the frames compared with the Linux build's.
//
//   node browser_test.mjs <build-web/oneline.html> <build/oneline> <tests/checks/same-frames>
//
// Each check prints a line; the exit status is the number of failed checks.
import {spawnSync} from 'node:child_process';
import {mkdtempSync, rmSync, statSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join, resolve} from 'node:path';
import {pathToFileURL} from 'node:url';
import puppeteer from 'puppeteer-core';

const [pagePath, linuxGame, sameFrames] = process.argv.slice(2).map((path) => resolve(path));
const pageUrl = pathToFileURL(pagePath).href;
const chromium = process.env.CHROMIUM ?? '/usr/lib/chromium/chromium';
let failures = 0;

function check(holds, what) {
  console.log(`${holds ? 'ok' : 'FAILED'}: ${what}`);
  if (!holds) failures += 1;
}

const sleep = (milliseconds) => new Promise((wake) => setTimeout(wake, milliseconds));

// Runs before the page's own scripts: every frame the line shows, when it came, and how many
// frames had been shown when each key went down.
function recordFrames() {
  window.frames_ = [];
  window.frameTimes = [];
  window.keysDown = [];
  // Whether the last frame, without the enemy (whose sprite holds a star), holds text.
  window.lastFrameHas = (text) => (frames_.at(-1) ?? '').replace('(*--*)', '').includes(text);
  addEventListener(
      'keydown', (event) => keysDown.push({key: event.key, frame: frames_.length}), true);
  new MutationObserver((records) => {
    for (const record of records) {
      if (record.target.id !== 'line') continue;
      frames_.push(record.target.textContent);
      frameTimes.push(performance.now());
    }
  }).observe(document, {subtree: true, childList: true, characterData: true});
}

async function openPage(browser, viewport) {
  const page = await browser.newPage();
  await page.setViewport(viewport);
  const outside = [];
  page.on('request', (request) => {
    const url = request.url();
    if (url !== pageUrl && !url.startsWith('data:')) outside.push(url);
  });
  await page.evaluateOnNewDocument(recordFrames);
  const opened = Date.now();
  await page.goto(pageUrl);
  return {page, outside, opened};
}

const frameCount = (page) => page.evaluate(() => frames_.length);
const spriteAt = (c, s) => (frames_.at(-1) ?? '').substr(c, s.length) === s;

// Waits until test(...args) holds in the page; false after the time limit.
function waitFor(page, test, milliseconds, ...args) {
  return page.waitForFunction(test, {timeout: milliseconds, polling: 10}, ...args)
      .then(() => true, () => false);
}

const waitForSprite = (page, column, sprite) => waitFor(page, spriteAt, 3000, column, sprite);
const waitForFrames = (page, count) => waitFor(page, (n) => frames_.length >= n, 60000, count);
// Whether the player still stands at column after the keys just typed had their frames.
const stillAt = async (page, column) =>
    (await sleep(500), page.evaluate(spriteAt, column, '(>_>)'));

// The page's size and how its line lies, at the viewport's size.
const layout = (page) => page.evaluate(() => {
  const line = document.getElementById('line');
  const screen = document.getElementById('screen');
  return {
    width: document.documentElement.scrollWidth,
    height: document.documentElement.scrollHeight,
    rows: Math.round(line.offsetHeight / parseFloat(getComputedStyle(line).lineHeight)),
    scrolls: screen.scrollWidth > screen.clientWidth,
    monospace: getComputedStyle(line).fontFamily.includes('monospace'),
  };
});

// A key whose value lies outside puppeteer's US layout, as the browser receives it from a
// keyboard that has it.
async function pressCharacter(page, character) {
  const client = await page.createCDPSession();
  for (const type of ['keyDown', 'keyUp']) {
    await client.send(
        'Input.dispatchKeyEvent',
        {type, key: character, text: type === 'keyDown' ? character : undefined});
  }
}

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

const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  userDataDir: mkdtempSync(join(tmpdir(), 'oneline-chromium-')),
  args: [
    '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'
  ],
});

try {
  const size = statSync(pagePath).size;
  check(size <= 200 * 1024, `the page is one file of ${size} bytes (at most 200 KB)`);

  // Playing with the keyboard and the buttons.
  const {page, outside, opened} =
      await openPage(browser, {width: 800, height: 600, hasTouch: true});
  const firstFrame = `${' '.repeat(30)}(>_>)${' '.repeat(35)}(*--*)    `;
  await waitFor(page, () => frames_.length > 0, 3000);
  const first = await page.evaluate(() => frames_[0]);
  check(
      first === firstFrame && Date.now() - opened <= 3000,
      `the first frame, player at 30 facing right and enemy at 70, within 3 s: [${first}]`);
  check((await page.title()).length > 0, `the page has a title: ${await page.title()}`);
  const wide = await layout(page);
  check(
      wide.width <= 800 && wide.height <= 600 && wide.monospace && wide.rows === 1,
      `at 800x600 nothing scrolls, the line is one monospace row: ${JSON.stringify(wide)}`);

  await page.evaluate(() => {
    window.prevented = {};
    addEventListener('keydown', (event) => {
      prevented[(event.ctrlKey ? 'Ctrl+' : '') + event.key] = event.defaultPrevented;
    });
  });
  for (let i = 0; i < 3; ++i) await page.keyboard.press('d');
  check(await waitForSprite(page, 33, '(>_>)'), 'd d d walk the player to 33');
  for (const key of ['A', 'x', 'ArrowLeft', 'Enter', 'Escape', 'Tab'])
    await page.keyboard.press(key);
  await page.keyboard.down('Control');
  await page.keyboard.press('d');
  await page.keyboard.up('Control');
  check(await stillAt(page, 33), 'A, x, an arrow, Enter, Escape, Tab and Ctrl+d do nothing');
  await page.keyboard.press('a');
  check(await waitForSprite(page, 32, '(<_<)'), 'a turns the player and walks it to 32');
  await page.keyboard.press(' ');
  check(await waitFor(page, () => lastFrameHas('*'), 3000), 'space fires a shot');
  const taken = await page.evaluate(() => prevented);
  check(
      taken[' '] && taken.a && taken.d && !taken.x && !taken.Enter && !taken.Tab &&
          !taken['Ctrl+d'],
      `space, a and d are the game's; x, Enter, Tab and Ctrl+d the browser's: ` +
          JSON.stringify(taken));

  for (let i = 0; i < 4; ++i) {
    await page.tap('[data-key="d"]');
    await sleep(100);
  }
  check(await waitForSprite(page, 36, '(>_>)'), 'four taps of the d button walk the player to 36');
  // A tapped button keeps no focus that Enter or space could press again.
  await page.keyboard.press('Enter');
  check(await stillAt(page, 36), 'Enter after the taps does nothing');
  // Once the shot is over (m would turn it into a beam at once), and facing away from the enemy,
  // so that the beam runs to the end of the line wherever the enemy is.
  await waitFor(page, () => !lastFrameHas('*'), 5000);
  await page.tap('[data-key="m"]');
  await page.keyboard.press('a');
  await sleep(200);
  await page.keyboard.press(' ');
  const lit = (await waitFor(page, () => lastFrameHas('='), 3000)) ? await frameCount(page) : -1;
  await waitForFrames(page, lit + 6);
  const beam = await page.evaluate((from) => frames_.slice(from - 1, from + 6), lit);
  check(
      lit > 0 && beam.every((frame) => frame.includes('==')),
      'after a tap of m, one typed space lights a beam that stays lit');

  const times = await page.evaluate(() => frameTimes);
  const period = (times.at(-1) - times[1]) / (times.length - 2);
  check(period >= 66 && period <= 70, `mean frame period ${period.toFixed(2)} ms (66 to 70)`);

  // On a phone's width the line keeps its one row and scrolls sideways.
  await page.setViewport({width: 360, height: 640, hasTouch: true});
  await waitForFrames(page, (await frameCount(page)) + 2);
  const narrow = await layout(page);
  check(
      narrow.rows === 1 && narrow.width <= 360 && narrow.scrolls,
      `at 360 px the line keeps one row and scrolls sideways: ${JSON.stringify(narrow)}`);
  await page.close();

  // Every frame equals the Linux build's, on 240 frames of typed keys: bursts that queue, bound
  // and unbound keys, and values above 127.
  const parity = await openPage(browser, {width: 800, height: 600});
  await waitForFrames(parity.page, 3);
  const script = [
    'm', 'd', 'd', ' ', 'x', 'a', 'A', ' ', 'Enter', 'm', 'é', 'd', '£', ' ', 'ArrowLeft', ' ', '€',
    'm', 'a'
  ];
  for (let round = 0; round < 5; ++round) {
    for (const [i, key] of script.entries()) {
      if (key.length === 1 && key.charCodeAt(0) > 127) {
        await pressCharacter(parity.page, key);
      } else {
        await parity.page.keyboard.press(key);
      }
      if ((i + round) % 3 === 0) await sleep(60 + 15 * round);
    }
  }
  await waitForFrames(parity.page, 240);
  const {shown, typed} = await parity.page.evaluate(() => ({shown: frames_, typed: keysDown}));
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
  check(
      typed.length === script.length * 5 && same,
      `240 frames, ${typed.length} keys typed, equal the Linux build's: ${report}`);
  const requests = [...outside, ...parity.outside];
  check(requests.length === 0, `no request leaves the page ${JSON.stringify(requests)}`);
} finally {
  await browser.close();
}
console.log(`${failures} failed`);
process.exit(failures);
