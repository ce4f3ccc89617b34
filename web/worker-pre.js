// The interpreter's worker: between the page's console and the module.
//
// Messages from the page:
//   {type: 'start', libVersion}   once, first: which lib/ the browser holds
//   {type: 'input', text}         the answer to the pending read
//   {type: 'run', text}           at the prompt: save the program pane's text
//                                 as program.VORN and run it with also
//   {type: 'stop'}                Stop: interrupts as Ctrl-C does
// Messages to the page:
//   {type: 'out', bytes}          console output (UTF-8 bytes)
//   {type: 'read', kind}          waiting for 'input': 0 a line for input,
//                                 1 the prompt's line, 2 a continuation line,
//                                 3 one key for getchar
//   {type: 'libVersion', version} lib/ was (re)installed from the site
//   {type: 'fatal', text}         the module stopped; the page starts anew
//
// The person's folder is /home/vorn, kept in the browser's IndexedDB; what
// changed is written there before every read, so nothing typed before a
// prompt is lost on reload. lib/ is copied in from the site on the first
// visit, and again when the site's lib/ changed while the folder still has
// one (a person who removed it keeps it removed, as the restore question at
// start-up expects).
var VORN_HOME = '/home/vorn';
var vornPendingRead = null;
var vornStarted = null;
var vornStartPromise = new Promise(function (resolve) { vornStarted = resolve; });

function vornHandOutput(bytes) {
  postMessage({ type: 'out', bytes: bytes }, [bytes.buffer]);
}

function vornSaveFolder() {
  return new Promise(function (resolve) {
    FS.syncfs(false, function () { resolve(); });
  });
}

function vornAwaitInput(kind) {
  return vornSaveFolder().then(function () {
    return new Promise(function (resolve) {
      vornPendingRead = { kind: kind, resolve: resolve };
      postMessage({ type: 'read', kind: kind });
    });
  }).then(function (text) {
    if (text === null) return 0;
    var size = lengthBytesUTF8(text) + 1;
    var copy = _malloc(size);
    stringToUTF8(text, copy, size);
    return copy;
  });
}

function vornAnswerRead(text) {
  var pending = vornPendingRead;
  if (!pending) return false;
  vornPendingRead = null;
  pending.resolve(text);
  return true;
}

function vornInstallLibrary(index) {
  var library = VORN_HOME + '/lib';
  return Promise.all(index.names.map(function (name) {
    return fetch('lib/' + encodeURIComponent(name)).then(function (response) {
      if (!response.ok) throw new Error('lib/' + name + ': ' + response.status);
      return response.arrayBuffer();
    });
  })).then(function (contents) {
    try { FS.mkdir(library); } catch (e) { /* already there */ }
    index.names.forEach(function (name, i) {
      FS.writeFile(library + '/' + name, new Uint8Array(contents[i]));
    });
    postMessage({ type: 'libVersion', version: index.version });
  });
}

function vornPrepareFolder(start) {
  var loaded = new Promise(function (resolve) {
    FS.syncfs(true, function () { resolve(); });
  });
  var index = fetch('lib-files.json').then(function (response) { return response.json(); });
  return Promise.all([loaded, index]).then(function (results) {
    var index = results[1];
    var hasLibrary = FS.analyzePath(VORN_HOME + '/lib').exists;
    var firstVisit = start.libVersion === null;
    if ((firstVisit && !hasLibrary) || (hasLibrary && start.libVersion !== index.version))
      return vornInstallLibrary(index);
  });
}

Module['preRun'] = [function () {
  FS.mkdir(VORN_HOME);
  FS.mount(IDBFS, {}, VORN_HOME);
  addRunDependency('vorn-folder');
  vornStartPromise.then(vornPrepareFolder).catch(function (error) {
    postMessage({ type: 'out', bytes: new TextEncoder().encode('(the saved folder could not be read: ' + error + ')\n') });
  }).then(function () {
    FS.chdir(VORN_HOME);
    removeRunDependency('vorn-folder');
  });
}];

Module['onAbort'] = function (what) {
  postMessage({ type: 'fatal', text: String(what) });
};

self.onmessage = function (event) {
  var message = event.data;
  switch (message.type) {
    case 'start':
      vornStarted(message);
      break;
    case 'input':
      vornAnswerRead(message.text);
      break;
    case 'run':
      if (vornPendingRead && vornPendingRead.kind === 1) {
        FS.writeFile(FS.cwd() + '/program.VORN', message.text);
        vornAnswerRead('also "program"');
      }
      break;
    case 'stop':
      if (!vornAnswerRead(null) && Module['calledRun']) _vorn_web_interrupt();
      break;
  }
};

// An error that no C++ handler can see (the engine's own stack overflowing,
// a trap) ends the module: the page is told, and starts a fresh worker.
self.addEventListener('error', function (event) {
  postMessage({ type: 'fatal', text: String(event.message || event) });
});
self.addEventListener('unhandledrejection', function (event) {
  postMessage({ type: 'fatal', text: String(event.reason && event.reason.message || event.reason) });
});
