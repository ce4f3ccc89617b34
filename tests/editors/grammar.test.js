'use strict';
// The VS Code grammar over real VORN: every file of lib/ and every example of
// the guide must tokenize with no invalid scope, and its regions must close
// exactly where VORN's own splitter ends a statement. Also: the builtin and
// boot-script names of the grammar are those of the interpreter.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');
const { loadGrammar, tokenize } = require('./tokenize');

const ROOT = path.join(__dirname, '..', '..');
const VORN_RUN = process.env.VORN_RUN || path.join(ROOT, 'build', 'vorn-run');

// For each line of `text`: whether VORN's splitter is at the top level after
// it (its four depth counters all 0), so that the line end ends a statement.
// Inside braces only braces count, inside parentheses only parentheses,
// inside quotes only the same quote.
function splitterTopLevel(text) {
  let brace = 0, paren = 0, dq = 0, sq = 0;
  const ends = [];
  for (const ch of text) {
    const prior = brace + paren + dq + sq;
    if (ch === '\n') { ends.push(prior === 0); continue; }
    if (ch === '"') { if (dq > 0) dq--; else if (prior === 0) dq = 1; }
    else if (ch === "'") { if (sq > 0) sq--; else if (prior === 0) sq = 1; }
    else if (ch === '{') { if (dq + sq + paren === 0) brace++; }
    else if (ch === '(') { if (dq + sq + brace === 0) paren++; }
    else if (ch === '}') { if (prior > 0 && dq + sq + paren === 0) brace--; }
    else if (ch === ')') { if (prior > 0 && dq + sq + brace === 0) paren--; }
  }
  ends.push(brace + paren + dq + sq === 0);
  return ends;
}

// The ```vorn examples of the guide, and the lines typed at its prompts.
function guideExamples() {
  const guide = fs.readFileSync(path.join(ROOT, 'docs', 'guide.md'), 'utf8');
  const examples = [];
  const block = /```(vorn|text)\n([\s\S]*?)```/g;
  let match;
  while ((match = block.exec(guide))) {
    const line = guide.slice(0, match.index).split('\n').length;
    if (match[1] === 'vorn') {
      examples.push([`docs/guide.md:${line}`, match[2]]);
    } else {
      const typed = [...match[2].matchAll(/^\/\S*(?: !stdlib)? \$ (.+)$/gm)].map((m) => m[1]);
      if (typed.length) examples.push([`docs/guide.md:${line} (prompt)`, typed.join('\n') + '\n']);
    }
  }
  return examples;
}

function libraryFiles() {
  const lib = path.join(ROOT, 'lib');
  return fs.readdirSync(lib).filter((f) => f.endsWith('.VORN')).sort()
    .map((f) => [`lib/${f}`, fs.readFileSync(path.join(lib, f), 'utf8')]);
}

// Problems of one text: invalid scopes, and lines where the grammar's
// regions and the splitter disagree about the end of a statement.
function problems(grammar, label, text) {
  const found = [];
  const topLevel = splitterTopLevel(text);
  tokenize(grammar, text).forEach((line, i) => {
    for (const token of line.tokens) {
      if (token.scopes.some((s) => s.startsWith('invalid'))) {
        found.push(`${label}, line ${i + 1}: invalid scope at ${JSON.stringify(token.text)}`);
      }
    }
    if ((line.depth === 0) !== topLevel[i]) {
      found.push(`${label}, line ${i + 1}: ${line.depth === 0 ? 'regions closed' : 'a region open'} ` +
        `after ${JSON.stringify(line.line)}, where VORN ${topLevel[i] ? 'ends the statement' : 'goes on'}`);
    }
  });
  return found;
}

test('the splitter model counts as VORN does', () => {
  assert.deepStrictEqual(splitterTopLevel('x = 1\n'), [true, true]);
  assert.deepStrictEqual(splitterTopLevel('f = {\n    "}\n'), [false, true, true]);
  assert.deepStrictEqual(splitterTopLevel('$print$("a)")\n'), [false, false]);
  assert.deepStrictEqual(splitterTopLevel('a}b c)\n'), [true, true]);
});

test('lib/ and the guide tokenize cleanly and close where VORN ends statements', async () => {
  const grammar = await loadGrammar();
  const texts = [...libraryFiles(), ...guideExamples()];
  assert.ok(texts.length > 40, `only ${texts.length} texts found`);
  const found = texts.flatMap(([label, text]) => problems(grammar, label, text));
  assert.deepStrictEqual(found, []);
});

test('the traps show as VORN reads them', async () => {
  const grammar = await loadGrammar();
  // A ")" inside a text inside a group closes the group; the quote after it
  // opens a text that never closes, and the grammar says so.
  for (const text of ['$print$("a)")\nx = 1\n', 'f = {\n    t = "}"\n}\n']) {
    const lines = tokenize(grammar, text);
    assert.ok(lines[lines.length - 1].depth > 0, `no open region at the end of ${JSON.stringify(text)}`);
    assert.deepStrictEqual(problems(grammar, 'trap', text), []);
  }
});

test('the grammar names the builtins and boot functions of vorn-run', () => {
  const raw = JSON.parse(fs.readFileSync(
    path.join(ROOT, 'editors', 'vscode', 'syntaxes', 'vorn.tmLanguage.json'), 'utf8'));
  const groups = /\(\?:\(([^()]*)\)\|\(([^()]*)\)\|/.exec(raw.repository.builtin.match);
  assert.ok(groups, 'builtin rule not understood');
  const [builtins, boot] = [groups[1].split('|').sort(), groups[2].split('|').sort()];
  assert.strictEqual(builtins.length, 38);
  const script = [
    'V = $_getvars', 'index V 0 N', 'index V 1 W', 'K = 0', 'each (N) {',
    '    index W K v', '    $print$((element + " " + $typeof$(v)))', '    K += 1', '}', ''].join('\n');
  const output = execFileSync(VORN_RUN, ['-'], { input: script, encoding: 'utf8' });
  const kinds = output.trim().split('\n').map((l) => l.split(' '));
  const of = (kind) => kinds.filter(([, k]) => k === kind).map(([n]) => n).sort();
  assert.deepStrictEqual(builtins, of('cfunc'));
  assert.deepStrictEqual(boot, of('func'));
});

module.exports = { splitterTopLevel };
