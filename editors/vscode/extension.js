'use strict';
// VS Code extension for VORN. Highlighting, brackets and indentation are
// declared in package.json; this file adds the checker: every VORN document
// is checked with `vorn-run --check` when it is opened and when it is saved,
// and the findings become diagnostics on their lines.
const path = require('path');
const vscode = require('vscode');
const { runCheck } = require('./diagnostics');

function activate(context) {
  const diagnostics = vscode.languages.createDiagnosticCollection('vorn');
  context.subscriptions.push(diagnostics);
  // The latest check of each document; an older one that ends later is dropped.
  const latest = new Map();
  let missingReported = false;

  async function check(document) {
    if (document.languageId !== 'vorn') return;
    const key = document.uri.toString();
    const settings = vscode.workspace.getConfiguration('vorn', document.uri);
    if (!settings.get('check.enabled', true)) {
      diagnostics.delete(document.uri);
      return;
    }
    const program = settings.get('runPath', 'vorn-run') || 'vorn-run';
    const cwd = document.uri.scheme === 'file' ? path.dirname(document.uri.fsPath) : undefined;
    const ticket = {};
    latest.set(key, ticket);
    let findings;
    try {
      findings = await runCheck(program, document.getText(), cwd);
    } catch (error) {
      if (latest.get(key) !== ticket) return;
      diagnostics.delete(document.uri);
      if (error.code === 'ENOENT') {
        if (!missingReported) {
          missingReported = true;
          vscode.window.showWarningMessage(
            `VORN: "${program}" was not found, so files are not checked. Set "vorn.runPath" to the vorn-run program.`);
        }
      } else {
        vscode.window.showWarningMessage(`VORN: ${error.message}`);
      }
      return;
    }
    if (latest.get(key) !== ticket || document.isClosed) return;
    diagnostics.set(document.uri, findings.map((finding) => toDiagnostic(document, finding)));
  }

  context.subscriptions.push(
    vscode.workspace.onDidOpenTextDocument(check),
    vscode.workspace.onDidSaveTextDocument(check),
    vscode.workspace.onDidCloseTextDocument((document) => {
      latest.delete(document.uri.toString());
      diagnostics.delete(document.uri);
    }),
    vscode.workspace.onDidChangeConfiguration((event) => {
      if (event.affectsConfiguration('vorn')) {
        missingReported = false;
        vscode.workspace.textDocuments.forEach(check);
      }
    }),
  );
  vscode.workspace.textDocuments.forEach(check);
}

// A finding names a line only: the diagnostic covers that line's text.
function toDiagnostic(document, finding) {
  const line = document.lineAt(Math.min(finding.line, document.lineCount - 1));
  const range = new vscode.Range(line.lineNumber, line.firstNonWhitespaceCharacterIndex,
    line.lineNumber, Math.max(line.text.length, line.firstNonWhitespaceCharacterIndex + 1));
  const severity = finding.severity === 'error' ? vscode.DiagnosticSeverity.Error : vscode.DiagnosticSeverity.Warning;
  const diagnostic = new vscode.Diagnostic(range, finding.message, severity);
  diagnostic.source = 'vorn-run --check';
  if (finding.code) diagnostic.code = finding.code;
  return diagnostic;
}

function deactivate() {}

module.exports = { activate, deactivate };
