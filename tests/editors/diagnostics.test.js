'use strict';
// The extension's checker side (editors/vscode/diagnostics.js): reading the
// output of vorn-run --check, and running the real program on a text.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { parseFindings, runCheck } = require('../../editors/vscode/diagnostics');

const ROOT = path.join(__dirname, '..', '..');
const VORN_RUN = process.env.VORN_RUN || path.join(ROOT, 'build', 'vorn-run');
const CASES = path.join(ROOT, 'tests', 'check');

test('every finding of the checker cases is read, with its line, kind and code', () => {
  let read = 0;
  for (const file of fs.readdirSync(CASES).filter((f) => f.endsWith('.out'))) {
    const output = fs.readFileSync(path.join(CASES, file), 'utf8');
    for (const line of output.split('\n').filter((l) => /^[^ ]+:\d+: (warning|error): /.test(l))) {
      const name = line.slice(0, line.search(/:\d+: /));
      const [finding] = parseFindings(line, name);
      assert.ok(finding, `not read: ${line}`);
      assert.strictEqual(finding.line, Number(/:(\d+): /.exec(line)[1]) - 1);
      assert.strictEqual(finding.code, finding.severity === 'warning' ? /\[(V\d+)\]$/.exec(line)[1] : '');
      assert.ok(!finding.message.endsWith(']'), finding.message);
      read++;
    }
  }
  assert.ok(read >= 20, `only ${read} findings in ${CASES}`);
});

test('other lines and other files are skipped', () => {
  const output = [
    'usage: vorn-run --check FILE [FILE...]',
    'other.vorn:3: warning: x [V001]',
    '<stdin>:0: error: unbalanced text: the quote opened on this line is never closed',
    '<stdin>:7: warning: a: b [c] [V010]',
    'C:\\work\\a:b.vorn:2: warning: y [V002]',
    '',
  ].join('\r\n');
  assert.deepStrictEqual(parseFindings(output), [
    { line: 0, severity: 'error', message: 'unbalanced text: the quote opened on this line is never closed', code: '' },
    { line: 6, severity: 'warning', message: 'a: b [c]', code: 'V010' },
  ]);
  assert.strictEqual(parseFindings(output, 'C:\\work\\a:b.vorn')[0].code, 'V002');
});

test('runCheck reports the traps of a text, looking for files where it is told', async () => {
  const findings = await runCheck(VORN_RUN, 'a = 2\nb = 3\nx = a + b\nf = {\n    y = (1  + 2)\n}\n', ROOT);
  assert.deepStrictEqual(findings.map((f) => [f.line, f.severity, f.code]), [[2, 'warning', 'V001'], [4, 'warning', 'V004']]);
  assert.deepStrictEqual(await runCheck(VORN_RUN, 'also "text"\n', ROOT), []);
  const elsewhere = fs.mkdtempSync(path.join(os.tmpdir(), 'vorn-check-'));
  try {
    assert.deepStrictEqual((await runCheck(VORN_RUN, 'also "text"\n', elsewhere)).map((f) => f.code), ['V011']);
  } finally {
    fs.rmSync(elsewhere, { recursive: true, force: true });
  }
});

test('runCheck reports unbalanced text at the line that opened it', async () => {
  const findings = await runCheck(VORN_RUN, 'x = 1\nf = {\n    $print$(x)\n', ROOT);
  assert.deepStrictEqual(findings.map((f) => [f.line, f.severity]), [[1, 'error']]);
  assert.match(findings[0].message, /^unbalanced text/);
});

test('runCheck fails clearly without the program, and on a program that fails', async () => {
  await assert.rejects(runCheck(path.join(ROOT, 'no-such-vorn-run'), 'x = 1\n', ROOT), { code: 'ENOENT' });
  // Status 1 without a finding is a failure, not a clean file.
  await assert.rejects(runCheck('false', 'x = 1\n', ROOT), /^Error: false --check failed with status 1$/);
  // A folder that is gone is not used, and is not taken for a missing program.
  assert.deepStrictEqual(await runCheck(VORN_RUN, 'x = 1\n', path.join(ROOT, 'no-such-folder')), []);
});
