// The playground in a real browser: Debian's chromium, headless, driven by
// playwright-core against build-web/ served on loopback.
//
//   node tests/web/playground.test.js [BUILD_WEB_FOLDER]
//
// Each case prints "ok" or "FAIL" with what it saw; any failure (or no case
// at all) fails the run. A screenshot of the page is saved as
// BUILD_WEB_FOLDER/screenshot.png, and the figures the playground is judged
// by (download size, time to the first prompt) are printed at the end.
'use strict';

const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const { chromium } = require('playwright-core');

const root = path.resolve(process.argv[2] || path.join(__dirname, '..', '..', 'build-web'));
const WAIT_MS = 60000;
const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.json': 'application/json', '.VORN': 'text/plain; charset=utf-8',
};

// The README's tour, and what it prints after also's progress lines.
const TOUR = [
  'fib = {', '    compare (arg0 < 2) {', '        end arg0', '    }',
  '    end ($fib$((arg0 - 1)) + $fib$((arg0 - 2)))', '}', '$print$($fib$(20))', 'list L', 'add L 1',
  'add L "two"', 'each (L) {', '    $print$(element)', '}', '$print$($encodelist$(L))', 'class Point {',
  '    x = 0', '    show = {', '        $print$((self -> "x"))', '    }', '}', 'p = $Point', '(p x) = 42',
  '$(p -> "show")', ''].join('\n');
const TOUR_OUTPUT = '6765\n1\ntwo\n(1 "two")\n42\n';

function serve(folder) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = path.join(folder, name.endsWith('/') ? name + 'index.html' : name);
    if (!file.startsWith(folder) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// What a first visit downloads, each file compressed as a server would.
function downloadBytes(folder) {
  const files = ['index.html', 'playground.js', 'style.css', 'vorn-web.js', 'vorn-web.wasm', 'vorn-check.js',
    'vorn-check.wasm', 'examples.json', 'lib-files.json'];
  const lib = JSON.parse(fs.readFileSync(path.join(folder, 'lib-files.json'))).names.map((n) => 'lib/' + n);
  let raw = 0, packed = 0;
  for (const name of files.concat(lib)) {
    const bytes = fs.readFileSync(path.join(folder, name));
    raw += bytes.length;
    packed += zlib.gzipSync(bytes, { level: 9 }).length;
  }
  return { raw, packed };
}

async function main() {
  const server = await serve(root);
  const base = 'http://127.0.0.1:' + server.address().port + '/';
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'vorn-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 1280, height: 800 },
  });
  const results = [];
  const figures = {};
  let page = context.pages()[0] || await context.newPage();
  const pageErrors = [];
  const watch = (p) => p.on('pageerror', (error) => pageErrors.push(String(error)));
  watch(page);

  const prompt = (p = page) => p.waitForFunction(() => window.vornPlayground && window.vornPlayground.waiting === 1,
    null, { timeout: WAIT_MS });
  const waitingFor = (kind) => page.waitForFunction((k) => window.vornPlayground.waiting === k, kind,
    { timeout: WAIT_MS });
  const consoleText = (p = page) => p.evaluate(() => window.vornPlayground.consoleText());
  const consoleShows = (text, p = page) => p.waitForFunction((t) => window.vornPlayground.consoleText().includes(t),
    text, { timeout: WAIT_MS });
  const type = async (line) => {
    await page.fill('#entry', line);
    await page.press('#entry', 'Enter');
  };
  // What the console showed after the last `also "program"` of a Run.
  const lastRunOutput = async () => {
    const text = await consoleText();
    return text.slice(text.lastIndexOf('also "program"\n'));
  };
  const runProgram = async (code) => {
    await page.fill('#program', code);
    await prompt();
    await page.click('#run');
  };

  async function test(name, body) {
    const started = Date.now();
    try {
      await body();
      results.push({ name, ok: true });
      console.log('ok   ' + name + ' (' + (Date.now() - started) + ' ms)');
    } catch (error) {
      results.push({ name, ok: false });
      console.log('FAIL ' + name + ': ' + String(error && error.message || error).split('\n').slice(0, 6).join('\n     '));
      try { console.log('     console ends: ' + JSON.stringify((await consoleText()).slice(-400))); } catch (e) { /* gone */ }
    }
  }

  await test('the page starts the boot script up to its first prompt', async () => {
    const started = Date.now();
    await page.goto(base);
    await prompt();
    figures.firstPromptMs = await page.evaluate(() => window.vornPlayground.firstPromptMs);
    figures.firstPromptWallMs = Date.now() - started;
    const text = await consoleText();
    for (const expected of ['-----VORN V3 made by Kelvorast-----\n', 'saved SLB.     \n', 'OK\n', '/home/vorn $ ']) {
      if (!text.includes(expected)) throw new Error('no ' + JSON.stringify(expected) + ' in ' + JSON.stringify(text));
    }
    if (!text.endsWith('/home/vorn $ ')) throw new Error('the console does not end in the prompt');
  });

  await test('#code= with &run runs the README tour, and its output is the README\'s', async () => {
    await page.goto(base + '#code=' + encodeURIComponent(TOUR) + '&run');
    await consoleShows('also "program"\n');
    await prompt();
    const shown = await lastRunOutput();
    const after = shown.slice(shown.indexOf('OK.\n') + 4);
    if (after !== TOUR_OUTPUT + '/home/vorn $ ') throw new Error('the tour printed ' + JSON.stringify(shown));
    if ((await page.inputValue('#program')) !== TOUR) throw new Error('the pane does not hold the tour');
  });

  await test('lines typed at the prompt run in the session, with history and continuation lines', async () => {
    await type('x = (2 + 3)');
    await prompt();
    await type('$print$((x * 10))');
    await consoleShows('$print$((x * 10))\n50\n');
    await prompt();
    await page.press('#entry', 'ArrowUp');
    if ((await page.inputValue('#entry')) !== '$print$((x * 10))') throw new Error('ArrowUp did not recall the line');
    await page.fill('#entry', '');
    await type('twice = {');
    await waitingFor(2);
    await type('    end (arg0 * 2)');
    await waitingFor(2);
    await type('}');
    await prompt();
    await type('$print$($twice$(21))');
    await consoleShows('42\n/home/vorn $ ');
    await type('$print$(nosuchname)');
    await consoleShows('error: ');
    await prompt();
  });

  await test('list elements keep negative and wide numbers and texts', async () => {
    for (const line of ['list N', 'add N -5', 'add N (1500000000 * 2)', 'add N "six"', '$print$(N)']) {
      await type(line);
      await prompt();
    }
    await consoleShows('[-5, 3000000000, "six"]\n');
  });

  await test('input waits for a line typed in the console, getchar for one key', async () => {
    await runProgram('$print$("Your name? " "nah")\nname = $input\n$print$(("Hello, " + name))\n' +
      'key = $getchar\n$print$(("key " + key))\n');
    await waitingFor(0);
    await type('Ada');
    await waitingFor(3);
    await page.press('#entry', 'q');
    await prompt();
    const shown = await lastRunOutput();
    if (!shown.includes('Your name? Ada\nHello, Ada\nkey q\n')) throw new Error('saw ' + JSON.stringify(shown));
  });

  await test('Stop interrupts an endless loop as Ctrl-C does, and the session runs on', async () => {
    await runProgram('n = 0\nuntil (1) {\n    n += 1\n}\n');
    await page.waitForTimeout(1500);
    if ((await page.evaluate(() => window.vornPlayground.waiting)) !== null) throw new Error('the loop is not running');
    const stopped = Date.now();
    await page.click('#stop');
    await prompt();
    figures.stopMs = Date.now() - stopped;
    const shown = await lastRunOutput();
    if (!shown.includes('error: interrupted')) throw new Error('saw ' + JSON.stringify(shown));
    if (shown.includes('a new session starts')) throw new Error('the worker was restarted instead');
    // x was set at the prompt before: the session is the same.
    await runProgram('$print$(x)\n');
    await consoleShows('OK.\n5\n');
    await prompt();
    // Stop while input waits abandons the program too.
    await runProgram('line = $input\n$print$("not reached")\n');
    await waitingFor(0);
    await page.click('#stop');
    await prompt();
    const after = await lastRunOutput();
    if (!after.includes('error: interrupted') || after.includes('not reached')) throw new Error('saw ' + JSON.stringify(after));
  });

  await test('recursion past the browser\'s limit is an error, not the end of the session', async () => {
    await type('down = {compare (arg0 > 0) {end $down$((arg0 - 1))}}');
    await prompt();
    await type('$down$(20)');
    await prompt();
    await type('$down$(100000)');
    await consoleShows('error: nesting too deep');
    await prompt();
    await type('$print$(x)');
    await consoleShows('$print$(x)\n5\n');
    await prompt();
  });

  await test('a file written in the folder is there after a reload', async () => {
    await type('$_writefile$("kept.txt" "written before the reload")');
    await prompt();
    await page.reload();
    await prompt();
    await type('$print$($_readfile$("kept.txt"))');
    await consoleShows('\nwritten before the reload\n');
    await type('also "lists"');
    await prompt();
    const text = await consoleText();
    if (text.includes('error:')) throw new Error('lib/ is not there after the reload: ' + JSON.stringify(text.slice(-300)));
  });

  await test('the checker marks a trap beside its line as the person types', async () => {
    await page.fill('#program', '$print$("fine")\nx = a + b\n');
    await page.waitForSelector('#findings li', { timeout: WAIT_MS });
    const item = await page.textContent('#findings li');
    if (!/^line 2: warning: .*\[V001\]$/.test(item)) throw new Error('finding: ' + item);
    const marked = await page.$$eval('#gutter .warning', (lines) => lines.map((l) => l.textContent));
    if (JSON.stringify(marked) !== '["2"]') throw new Error('gutter marks: ' + JSON.stringify(marked));
    await page.fill('#program', '$print$("fine")\n');
    await page.waitForFunction(() => document.querySelectorAll('#findings li').length === 0, null, { timeout: WAIT_MS });
  });

  await test('Share puts the program into the address, and the link restores it', async () => {
    const shared = 'greeting = "Grüße, {ok} & 100% $sure"\n$print$(greeting)\n' + 'x = 1\n'.repeat(200);
    await page.fill('#program', shared);
    await page.click('#share');
    await page.waitForFunction(() => location.hash.startsWith('#z='), null, { timeout: WAIT_MS });
    const link = await page.evaluate(() => location.href);
    figures.shareLinkChars = link.length;
    await page.fill('#program', 'something else');
    const other = await context.newPage();
    watch(other);
    await other.goto(link);
    await other.waitForFunction((t) => document.getElementById('program').value === t, shared, { timeout: WAIT_MS });
    await other.close();
  });

  await test('the examples menu holds the tours, and an example runs', async () => {
    const titles = await page.$$eval('#examples option', (options) => options.map((o) => o.textContent));
    if (!titles.some((t) => t.includes('tour (README)')) || !titles.some((t) => t.startsWith('Tour: ')))
      throw new Error('examples: ' + JSON.stringify(titles));
    await page.selectOption('#examples', { label: titles.find((t) => t.startsWith('Tour: Printing')) });
    await prompt();
    await page.click('#run');
    await consoleShows('Hello, VORN!\n5\n50\n9\nababab\n');
    await prompt();
  });

  await test('no script error on the page', async () => {
    if (pageErrors.length) throw new Error(pageErrors.join('\n'));
  });

  await page.fill('#program', TOUR);
  await page.click('#run');
  await prompt();
  await page.screenshot({ path: path.join(root, 'screenshot.png') });
  await context.close();
  server.close();
  fs.rmSync(profile, { recursive: true, force: true });

  const size = downloadBytes(root);
  console.log('screenshot: ' + path.join(root, 'screenshot.png'));
  console.log('download: ' + size.raw + ' bytes, ' + size.packed + ' bytes compressed (gzip -9)');
  console.log('first prompt: ' + figures.firstPromptMs + ' ms after the page opened (' +
    figures.firstPromptWallMs + ' ms from the driver\'s goto)');
  if (figures.stopMs !== undefined) console.log('Stop to the next prompt: ' + figures.stopMs + ' ms');
  const failed = results.filter((r) => !r.ok).length;
  if (results.length === 0) {
    console.log('no test cases ran');
    process.exit(1);
  }
  console.log(results.length - failed + ' of ' + results.length + ' passed');
  process.exit(failed ? 1 : 0);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
