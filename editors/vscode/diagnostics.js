'use strict';
// The checker's side of the extension, free of the editor's API so that it
// can be tested on its own: runs `vorn-run --check -` on a text and reads its
// findings, one a line:
//     <stdin>:12: warning: only "a" is assigned, ... [V001]
//     <stdin>:30: error: unbalanced text: the brace opened on this line is never closed
const { execFile } = require('child_process');
const fs = require('fs');

const STDIN = '<stdin>';
const FINDING = /^(.*):(\d+): (warning|error): (.*?)(?: \[(V\d+)\])?$/;

// Findings of `file` in the checker's output: {line (from 0), severity
// ("warning" or "error"), message, code (V001..., or "" for errors)}.
// Lines of any other form, and findings of other files, are skipped.
function parseFindings(output, file = STDIN) {
  const findings = [];
  for (const line of output.split(/\r?\n/)) {
    const match = FINDING.exec(line);
    if (!match || match[1] !== file) continue;
    findings.push({
      line: Math.max(0, Number(match[2]) - 1),
      severity: match[3],
      message: match[4],
      code: match[5] || '',
    });
  }
  return findings;
}

// Checks `text` as read from standard input, in the folder `cwd` (where
// `also "NAME"` looks for its file; a folder that is gone is not used).
// Resolves to the findings; rejects with an Error whose `code` is "ENOENT"
// when the program cannot be found, and with the program's complaint when
// it fails otherwise: any status but 0 and 1, or 1 without a finding.
function runCheck(program, text, cwd, timeout = 15000) {
  if (cwd && !fs.existsSync(cwd)) cwd = undefined;
  return new Promise((resolve, reject) => {
    const child = execFile(program, ['--check', '-'], { cwd, timeout, maxBuffer: 16 << 20 },
      (error, stdout, stderr) => {
        const findings = parseFindings(String(stdout));
        // Status 1 says that something was found.
        const found = error && error.code === 1 && !error.killed && findings.length > 0;
        if (error && !found) {
          if (typeof error.code === 'number' || error.killed) {
            const detail = String(stderr || stdout).trim();
            const how = error.killed ? 'was stopped after ' + timeout + ' ms' : 'failed with status ' + error.code;
            error = new Error(`${program} --check ${how}${detail ? ': ' + detail : ''}`);
          }
          reject(error);
          return;
        }
        resolve(findings);
      });
    child.stdin.on('error', () => {}); // a program that exits early closes its input
    child.stdin.end(text);
  });
}

module.exports = { parseFindings, runCheck };
