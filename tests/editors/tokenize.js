'use strict';
// Tokenizes VORN text with the VS Code grammar, line by line, as the editor
// does. Used by the tests; run directly it prints the tokens of a file:
//     node tests/editors/tokenize.js FILE
const fs = require('fs');
const path = require('path');
const textmate = require('vscode-textmate');
const oniguruma = require('vscode-oniguruma');

const GRAMMAR = path.join(__dirname, '..', '..', 'editors', 'vscode', 'syntaxes', 'vorn.tmLanguage.json');

async function loadGrammar() {
  const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
  await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
  const registry = new textmate.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
      createOnigString: (s) => new oniguruma.OnigString(s),
    }),
    loadGrammar: async () => textmate.parseRawGrammar(fs.readFileSync(GRAMMAR, 'utf8'), GRAMMAR),
  });
  return registry.loadGrammar('source.vorn');
}

// Returns, for every line, its tokens ({text, scopes}) and the rule stack
// depth after it (0 when every region opened so far has closed).
function tokenize(grammar, text) {
  let stack = textmate.INITIAL;
  const lines = [];
  for (const line of text.split(/\r?\n/)) {
    const result = grammar.tokenizeLine(line, stack);
    stack = result.ruleStack;
    const tokens = result.tokens.map((t) => ({ text: line.slice(t.startIndex, t.endIndex), scopes: t.scopes }));
    lines.push({ line, tokens, depth: stack.depth - 1 });
  }
  return lines;
}

module.exports = { loadGrammar, tokenize };

if (require.main === module) {
  loadGrammar().then((grammar) => {
    const text = fs.readFileSync(process.argv[2], 'utf8');
    tokenize(grammar, text).forEach((l, i) => {
      console.log(`${i + 1}: ${l.line}   [depth ${l.depth}]`);
      for (const t of l.tokens) console.log(`    ${JSON.stringify(t.text)} ${t.scopes.slice(1).join(' ')}`);
    });
  });
}
