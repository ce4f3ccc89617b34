'use strict';
// The extension's wiring (editors/vscode/extension.js), against a small
// stand-in for the editor's API: checks on open and save, diagnostics on
// the finding's line, the settings, and a missing program.
const test = require('node:test');
const assert = require('node:assert');
const Module = require('module');
const fs = require('fs');
const os = require('os');
const path = require('path');

const ROOT = path.join(__dirname, '..', '..');
const VORN_RUN = process.env.VORN_RUN || path.join(ROOT, 'build', 'vorn-run');

function fakeEditor() {
  const handlers = {};
  const on = (name) => (callback) => { handlers[name] = callback; return { dispose() {} }; };
  const editor = {
    settings: { runPath: VORN_RUN, 'check.enabled': true },
    warnings: [],
    collection: new Map(),
    handlers,
    api: {
      Range: class { constructor(l1, c1, l2, c2) { Object.assign(this, { l1, c1, l2, c2 }); } },
      Diagnostic: class { constructor(range, message, severity) { Object.assign(this, { range, message, severity }); } },
      DiagnosticSeverity: { Error: 0, Warning: 1 },
      languages: {
        createDiagnosticCollection: () => ({
          set: (uri, list) => editor.collection.set(uri.toString(), list),
          delete: (uri) => editor.collection.delete(uri.toString()),
          dispose() {},
        }),
      },
      workspace: {
        textDocuments: [],
        getConfiguration: () => ({ get: (key, fallback) => (key in editor.settings ? editor.settings[key] : fallback) }),
        onDidOpenTextDocument: on('open'),
        onDidSaveTextDocument: on('save'),
        onDidCloseTextDocument: on('close'),
        onDidChangeConfiguration: on('configuration'),
      },
      window: { showWarningMessage: (text) => editor.warnings.push(text) },
    },
  };
  return editor;
}

function document(text, name = 'script.vorn', languageId = 'vorn') {
  const lines = text.split('\n');
  const fsPath = path.join(ROOT, name);
  return {
    languageId,
    isClosed: false,
    lineCount: lines.length,
    uri: { scheme: 'file', fsPath, toString: () => 'file://' + fsPath },
    getText: () => text,
    lineAt: (i) => ({ lineNumber: i, text: lines[i], firstNonWhitespaceCharacterIndex: lines[i].search(/\S|$/) }),
  };
}

function activate() {
  const editor = fakeEditor();
  const resolve = Module._resolveFilename;
  Module._resolveFilename = function (request, ...rest) {
    return request === 'vscode' ? 'vscode' : resolve.call(this, request, ...rest);
  };
  require.cache.vscode = { id: 'vscode', filename: 'vscode', loaded: true, exports: editor.api };
  const extensionPath = require.resolve('../../editors/vscode/extension');
  delete require.cache[extensionPath];
  try {
    require(extensionPath).activate({ subscriptions: [] });
  } finally {
    Module._resolveFilename = resolve;
    delete require.cache.vscode;
  }
  return editor;
}

test('a file is checked when opened and when saved, findings on their lines', async () => {
  const editor = activate();
  const doc = document('a = 2\nb = 3\n    x = a + b\n');
  await editor.handlers.open(doc);
  const [diagnostic, ...rest] = editor.collection.get(doc.uri.toString());
  assert.strictEqual(rest.length, 0);
  assert.deepStrictEqual({ ...diagnostic.range }, { l1: 2, c1: 4, l2: 2, c2: 13 });
  assert.strictEqual(diagnostic.severity, editor.api.DiagnosticSeverity.Warning);
  assert.strictEqual(diagnostic.code, 'V001');
  assert.strictEqual(diagnostic.source, 'vorn-run --check');
  assert.match(diagnostic.message, /^only "a" is assigned/);

  doc.getText = () => 'f = {\n    $print$(1)\n';
  await editor.handlers.save(doc);
  const [unbalanced] = editor.collection.get(doc.uri.toString());
  assert.strictEqual(unbalanced.severity, editor.api.DiagnosticSeverity.Error);
  assert.strictEqual(unbalanced.range.l1, 0);

  editor.handlers.close(doc);
  assert.ok(!editor.collection.has(doc.uri.toString()));
  assert.deepStrictEqual(editor.warnings, []);
});

test('other languages are left alone, and checking can be switched off', async () => {
  const editor = activate();
  const text = document('x = a + b\n', 'notes.txt', 'plaintext');
  await editor.handlers.open(text);
  assert.strictEqual(editor.collection.size, 0);
  const doc = document('x = a + b\n');
  await editor.handlers.open(doc);
  assert.strictEqual(editor.collection.get(doc.uri.toString()).length, 1);
  editor.settings['check.enabled'] = false;
  await editor.handlers.save(doc);
  assert.strictEqual(editor.collection.size, 0);
});

test('a missing program is reported once, not on every save', async () => {
  const editor = activate();
  editor.settings.runPath = path.join(ROOT, 'no-such-vorn-run');
  const doc = document('x = a + b\n');
  await editor.handlers.open(doc);
  await editor.handlers.save(doc);
  assert.strictEqual(editor.warnings.length, 1);
  assert.match(editor.warnings[0], /no-such-vorn-run" was not found.*vorn\.runPath/);
  assert.strictEqual(editor.collection.size, 0);
});

test('only the latest check of a document counts', async () => {
  // The first check is slow and ends after the second: its findings are old.
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'vorn-extension-'));
  const slow = path.join(folder, 'slow-check');
  fs.writeFileSync(slow, '#!/bin/sh\ncat >/dev/null\nsleep 0.5\necho "<stdin>:1: warning: old [V001]"\nexit 1\n');
  fs.chmodSync(slow, 0o755);
  try {
    const editor = activate();
    const doc = document('x = a + b\n');
    editor.settings.runPath = slow;
    const first = editor.handlers.open(doc);
    editor.settings.runPath = VORN_RUN;
    doc.getText = () => 'x = (a + b)\n';
    const second = editor.handlers.save(doc);
    await Promise.all([first, second]);
    assert.deepStrictEqual(editor.collection.get(doc.uri.toString()), []);
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
});
