// The VORN playground: a program pane with highlighting and the checker's
// findings, and a console where the real interpreter runs in a worker.
//
// Addresses: #z=<deflated program, base64url> (Share), #code=<URL-encoded
// program>; either may end in &run, which runs the program once the first
// prompt is there. The pane's text is also kept in localStorage.
'use strict';

(function () {
  const KEYWORDS = new Set(['compare', 'each', 'until', 'end', 'add', 'remove', 'list', 'where', 'index',
    'exec', 'also', 'class', 'delete']);
  const BUILTINS = new Set(['print', 'input', 'getchar', '_USEDMEMORY', 'size', 'turn', 'str', 'int', 'float',
    'func', 'list', 'werhatdasgemacht', 'encodelist', 'decodelist', 'typeof', 'setargmap', '_getvars', 'bytes',
    'encodebytes', 'decodebytes', '_beep', '_lz77compress', '_lz77decompress', 'linvert', '_readfile',
    '_writefile', '_readbinfile', '_writebinfile', '_mkdir', '_rm', '_listdir', '_exists', '_cd', '_isdir',
    '_base64encode', '_base64decode', '_whereami', 'eval',
    // the boot script's own
    'range', 'varexists', 'savelib', 'extractlib']);
  const WORD_OPERATORS = new Set(['and', 'or', 'not']);
  const READ_LINE = 0, READ_PROMPT = 1, READ_CONTINUATION = 2, READ_KEY = 3;
  const STOP_PATIENCE_MS = 3000;
  const MAX_CONSOLE_CHARS = 1 << 20;
  const STORE_PROGRAM = 'vorn-playground-program';
  const STORE_HISTORY = 'vorn-playground-history';
  const STORE_LIB = 'vorn-playground-lib-version';

  const $ = (id) => document.getElementById(id);
  const program = $('program'), highlightPane = $('highlight'), gutter = $('gutter'), findingsList = $('findings');
  const consolePane = $('console'), output = $('output'), entry = $('entry');
  const runButton = $('run'), stopButton = $('stop'), shareButton = $('share'), examples = $('examples');
  const status = $('status');
  const opened = performance.now();

  function store(key, value) { try { localStorage.setItem(key, value); } catch (e) { /* private mode */ } }
  function stored(key) { try { return localStorage.getItem(key); } catch (e) { return null; } }

  // ---- Highlighting ------------------------------------------------------------

  function escapeHtml(text) {
    return text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
  }

  function highlight(text) {
    let html = '';
    let firstOfLine = true;
    const span = (cls, part) => { html += '<span class="' + cls + '">' + escapeHtml(part) + '</span>'; };
    let i = 0;
    while (i < text.length) {
      const rest = text.slice(i, i + 64);
      const ch = text[i];
      let m;
      if (ch === '"') {
        let close = text.indexOf('"', i + 1);
        if (close < 0) close = text.length - 1;
        span('q', text.slice(i, close + 1));
        i = close + 1;
        firstOfLine = false;
      } else if (ch === '\n') {
        html += '\n';
        firstOfLine = true;
        i++;
      } else if (ch === ' ' || ch === '\t' || ch === '\r') {
        html += ch;
        i++;
      } else if ((m = /^\$(?:[A-Za-z_][A-Za-z0-9_]*\$?|L)?/.exec(rest)) && ch === '$') {
        span('c', m[0]);
        i += m[0].length;
        firstOfLine = false;
      } else if ((m = /^[A-Za-z_][A-Za-z0-9_]*/.exec(rest))) {
        const word = m[0];
        if (firstOfLine && KEYWORDS.has(word)) span('k', word);
        else if (WORD_OPERATORS.has(word)) span('o', word);
        else if (BUILTINS.has(word)) span('b', word);
        else html += escapeHtml(word);
        i += word.length;
        firstOfLine = false;
      } else if ((m = /^\d+(?:\.\d+)?/.exec(rest))) {
        span('n', m[0]);
        i += m[0].length;
        firstOfLine = false;
      } else if ((m = /^(?:==|!=|<=|>=|->|[+\-*\/%]=|[+\-*\/%<>=])/.exec(rest))) {
        span('o', m[0]);
        i += m[0].length;
        firstOfLine = false;
      } else if ('{}()'.includes(ch)) {
        span('p', ch);
        i++;
        firstOfLine = false;
      } else {
        html += escapeHtml(ch);
        i++;
        firstOfLine = false;
      }
    }
    return html + '\n';
  }

  // ---- The program pane ----------------------------------------------------------

  let findings = [];

  function renderGutter() {
    const lines = program.value.split('\n').length;
    const byLine = new Map();
    for (const finding of findings) {
      const line = Math.max(1, finding.line);
      if (!byLine.has(line)) byLine.set(line, []);
      byLine.get(line).push(finding);
    }
    let html = '';
    for (let line = 1; line <= lines; line++) {
      const here = byLine.get(line);
      if (!here) { html += '<div>' + line + '</div>'; continue; }
      const cls = here.some((f) => f.severity === 'error') ? 'error' : 'warning';
      const title = here.map(describeFinding).join('\n');
      html += '<div class="' + cls + '" title="' + escapeHtml(title).replace(/"/g, '&quot;') + '">' + line + '</div>';
    }
    gutter.innerHTML = html;
  }

  function describeFinding(finding) {
    return 'line ' + finding.line + ': ' + finding.severity + ': ' + finding.text +
      (finding.code ? ' [' + finding.code + ']' : '');
  }

  function renderFindings() {
    findingsList.innerHTML = '';
    for (const finding of findings) {
      const item = document.createElement('li');
      item.className = finding.severity;
      item.textContent = describeFinding(finding);
      item.addEventListener('click', () => goToLine(finding.line));
      findingsList.appendChild(item);
    }
    renderGutter();
  }

  function goToLine(line) {
    const lines = program.value.split('\n');
    let offset = 0;
    for (let i = 0; i < line - 1 && i < lines.length; i++) offset += lines[i].length + 1;
    program.focus();
    program.setSelectionRange(offset, offset);
  }

  function fitProgram() {
    program.style.height = 'auto';
    program.style.height = program.scrollHeight + 'px';
    program.style.width = 'auto';
    program.style.width = Math.max(program.scrollWidth, program.parentElement.clientWidth) + 'px';
  }

  function programChanged() {
    highlightPane.innerHTML = highlight(program.value);
    fitProgram();
    renderGutter();
    store(STORE_PROGRAM, program.value);
    scheduleCheck();
  }

  function setProgram(text) {
    program.value = text;
    programChanged();
  }

  program.addEventListener('input', programChanged);
  program.addEventListener('keydown', (event) => {
    if (event.key === 'Enter' && (event.ctrlKey || event.metaKey)) {
      event.preventDefault();
      runProgram();
    } else if (event.key === 'Tab' && !event.shiftKey) {
      event.preventDefault();
      document.execCommand('insertText', false, '    ');
    }
  });

  // ---- The checker ---------------------------------------------------------------

  const checker = new Worker('vorn-check.js');
  let checkNumber = 0;
  let checkTimer = null;

  function scheduleCheck() {
    clearTimeout(checkTimer);
    checkTimer = setTimeout(() => checker.postMessage({ id: ++checkNumber, text: program.value }), 200);
  }

  checker.onmessage = (event) => {
    if (event.data.id !== checkNumber) return;
    findings = event.data.findings;
    renderFindings();
  };

  // ---- The console ---------------------------------------------------------------

  const done = document.createTextNode('');
  const current = document.createTextNode('');
  output.append(done, current);
  let line = '';
  let column = 0;
  let decoder = new TextDecoder('utf-8');
  let audio = null;

  function beep() {
    try {
      audio = audio || new AudioContext();
      const tone = audio.createOscillator();
      const gain = audio.createGain();
      tone.frequency.value = 880;
      gain.gain.value = 0.08;
      tone.connect(gain).connect(audio.destination);
      tone.start();
      tone.stop(audio.currentTime + 0.08);
    } catch (e) { /* no sound here */ }
  }

  function write(text) {
    for (const part of text.split(/([\n\r\x07])/)) {
      if (part === '\n') {
        done.appendData(line + '\n');
        line = '';
        column = 0;
      } else if (part === '\r') {
        column = 0;
      } else if (part === '\x07') {
        beep();
      } else if (part) {
        line = line.slice(0, column) + part + line.slice(column + part.length);
        column += part.length;
      }
    }
    if (done.length > MAX_CONSOLE_CHARS) done.deleteData(0, done.length - MAX_CONSOLE_CHARS / 2);
    current.data = line;
    consolePane.scrollTop = consolePane.scrollHeight;
  }

  function note(text) {
    write((line ? '\n' : '') + '[' + text + ']\n');
  }

  // ---- The interpreter's worker ----------------------------------------------------

  let worker = null;
  let waiting = null;        // the kind of read the worker waits for, or null while it runs
  let typedAhead = [];       // lines entered while the worker ran
  let runQueued = false;
  let stopTimer = null;
  let firstPromptMs = null;
  const history = JSON.parse(stored(STORE_HISTORY) || '[]');
  let historyAt = history.length;

  function startWorker() {
    decoder = new TextDecoder('utf-8');
    waiting = null;
    const started = new Worker('vorn-web.js');
    worker = started;
    // A worker that died may still report it twice (its own message, and
    // the error event); only the current worker is listened to.
    started.onmessage = (event) => { if (worker === started) onWorkerMessage(event); };
    started.onerror = (event) => {
      if (worker === started) restartWorker('the interpreter stopped: ' + (event.message || 'error'));
    };
    worker.postMessage({ type: 'start', libVersion: stored(STORE_LIB) });
    updateButtons();
  }

  function restartWorker(why) {
    clearTimeout(stopTimer);
    stopTimer = null;
    worker.terminate();
    note(why + '; a new session starts; files saved at the last prompt are kept');
    startWorker();
  }

  function onWorkerMessage(event) {
    const message = event.data;
    switch (message.type) {
      case 'out':
        write(decoder.decode(message.bytes, { stream: true }));
        break;
      case 'read':
        waiting = message.kind;
        clearTimeout(stopTimer);
        stopTimer = null;
        if (waiting === READ_PROMPT && firstPromptMs === null) {
          firstPromptMs = Math.round(performance.now() - opened);
          status.textContent = 'ready (first prompt after ' + firstPromptMs + ' ms)';
        }
        if (waiting === READ_PROMPT && pendingAutoRun && programReady) {
          pendingAutoRun = false;
          runQueued = true;
        }
        if (waiting === READ_PROMPT && runQueued) {
          runQueued = false;
          sendRun();
        } else if (waiting !== READ_KEY && typedAhead.length) {
          deliver(typedAhead.shift());
        }
        updateButtons();
        break;
      case 'libVersion':
        store(STORE_LIB, message.version);
        break;
      case 'fatal':
        restartWorker('the interpreter stopped (' + message.text + ')');
        break;
    }
  }

  function deliver(text) {
    write(text + '\n');
    worker.postMessage({ type: 'input', text: text });
    waiting = null;
    updateButtons();
  }

  function sendRun() {
    write('also "program"\n');
    worker.postMessage({ type: 'run', text: program.value });
    waiting = null;
    updateButtons();
  }

  function runProgram() {
    if (waiting === READ_PROMPT) {
      sendRun();
    } else {
      runQueued = true;
      stop();
    }
  }

  function stop() {
    if (waiting === READ_PROMPT) return;
    typedAhead = [];
    worker.postMessage({ type: 'stop' });
    if (waiting === null && !stopTimer) {
      stopTimer = setTimeout(() => restartWorker('Stop was not answered in time'), STOP_PATIENCE_MS);
    }
  }

  function updateButtons() {
    stopButton.disabled = waiting === READ_PROMPT;
    entry.placeholder = waiting === READ_KEY ? 'press a key' : '';
    if (firstPromptMs !== null) {
      status.textContent = waiting === null ? 'running…' : waiting === READ_PROMPT ? 'ready' : 'waiting for input';
    }
  }

  entry.addEventListener('keydown', (event) => {
    if (event.ctrlKey && event.key === 'c' && entry.selectionStart === entry.selectionEnd) {
      event.preventDefault();
      if (waiting === READ_PROMPT || waiting === READ_CONTINUATION) {
        // At the prompt Ctrl-C throws away what was typed.
        if (waiting === READ_CONTINUATION) stop();
        else { write(entry.value + '^C\n'); entry.value = ''; worker.postMessage({ type: 'input', text: '' }); waiting = null; }
      } else {
        stop();
      }
      return;
    }
    if (waiting === READ_KEY) {
      const keys = { Enter: '\r', Backspace: '\b', Tab: '\t', Escape: '\x1b' };
      const key = event.key.length === 1 ? event.key : keys[event.key];
      if (key !== undefined) {
        event.preventDefault();
        worker.postMessage({ type: 'input', text: key });
        waiting = null;
        updateButtons();
      }
      return;
    }
    if (event.key === 'Enter') {
      event.preventDefault();
      const text = entry.value;
      entry.value = '';
      if (text.trim() && history[history.length - 1] !== text) {
        history.push(text);
        if (history.length > 500) history.splice(0, history.length - 500);
        store(STORE_HISTORY, JSON.stringify(history));
      }
      historyAt = history.length;
      if (waiting !== null) deliver(text);
      else typedAhead.push(text);
    } else if (event.key === 'ArrowUp' && historyAt > 0) {
      event.preventDefault();
      entry.value = history[--historyAt];
    } else if (event.key === 'ArrowDown' && historyAt < history.length) {
      event.preventDefault();
      historyAt++;
      entry.value = historyAt < history.length ? history[historyAt] : '';
    }
  });

  consolePane.addEventListener('click', () => {
    if (!window.getSelection().toString()) entry.focus();
  });
  runButton.addEventListener('click', runProgram);
  stopButton.addEventListener('click', stop);

  // ---- Share and the address -------------------------------------------------------

  function toBase64Url(bytes) {
    let binary = '';
    for (let i = 0; i < bytes.length; i += 0x8000) binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  }

  function fromBase64Url(text) {
    const binary = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
    return Uint8Array.from(binary, (c) => c.charCodeAt(0));
  }

  async function transform(bytes, stream) {
    const piped = new Blob([bytes]).stream().pipeThrough(stream);
    return new Uint8Array(await new Response(piped).arrayBuffer());
  }

  async function share() {
    const packed = await transform(new TextEncoder().encode(program.value), new CompressionStream('deflate'));
    const link = location.href.replace(/#.*$/, '') + '#z=' + toBase64Url(packed);
    window.history.replaceState(null, '', link);
    try {
      await navigator.clipboard.writeText(link);
      status.textContent = 'link copied to the clipboard';
    } catch (e) {
      status.textContent = 'the address now holds the program';
    }
  }
  shareButton.addEventListener('click', () => { share().catch((e) => { status.textContent = 'Share failed: ' + e; }); });

  let pendingAutoRun = false;
  let programReady = false;

  // The program the address carries, or null.
  async function programFromAddress() {
    let body = location.hash.slice(1);
    if (!body) return null;
    if (body.endsWith('&run')) {
      pendingAutoRun = true;
      body = body.slice(0, -4);
    }
    if (body.startsWith('code=')) return decodeURIComponent(body.slice(5));
    if (body.startsWith('z=')) {
      const bytes = await transform(fromBase64Url(body.slice(2)), new DecompressionStream('deflate'));
      return new TextDecoder().decode(bytes);
    }
    return null;
  }

  // ---- Examples ----------------------------------------------------------------

  let exampleList = [];

  async function loadExamples() {
    try {
      exampleList = await (await fetch('examples.json')).json();
    } catch (e) {
      exampleList = [];
    }
    exampleList.forEach((example, i) => {
      const option = document.createElement('option');
      option.value = String(i);
      option.textContent = example.title;
      examples.appendChild(option);
    });
  }

  examples.addEventListener('change', () => {
    const example = exampleList[Number(examples.value)];
    if (example && examples.value !== '') setProgram(example.code);
    examples.value = '';
    program.focus();
  });

  // ---- Start ---------------------------------------------------------------------

  window.vornPlayground = {
    get waiting() { return waiting; },
    get firstPromptMs() { return firstPromptMs; },
    consoleText: () => output.textContent,
    run: runProgram,
    stop: stop,
  };

  startWorker();
  (async () => {
    const loading = loadExamples();
    let text = null;
    try {
      text = await programFromAddress();
    } catch (e) {
      note('the address holds no readable program');
    }
    await loading;
    if (text === null) text = stored(STORE_PROGRAM);
    if (text === null && exampleList.length) text = exampleList[0].code;
    setProgram(text || '');
    programReady = true;
    if (pendingAutoRun && waiting === READ_PROMPT) {
      pendingAutoRun = false;
      runProgram();
    }
  })();
  window.addEventListener('resize', fitProgram);
  // A link opened in a tab that already shows the playground changes only
  // the address's fragment.
  window.addEventListener('hashchange', async () => {
    let text = null;
    try {
      text = await programFromAddress();
    } catch (e) {
      note('the address holds no readable program');
    }
    if (text === null) return;
    setProgram(text);
    if (pendingAutoRun) {
      pendingAutoRun = false;
      runProgram();
    }
  });
})();
