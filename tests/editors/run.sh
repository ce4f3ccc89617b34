#!/bin/sh
# The editor support of editors/, tested: the generated grammar and Vim
# syntax are current, the VS Code grammar passes its annotated samples
# (vscode-tmgrammar-test) and tokenizes lib/ and the guide as VORN splits
# them, the extension reads the checker's findings, Vim highlights the same
# samples alike and reads vorn-run's messages, and the extension packages
# into a .vsix. Installs what it lacks: vim and npm through
# scripts/install-deps.sh, the npm packages with `npm ci`.
#
#   sh tests/editors/run.sh [VORN_RUN]       (default: build/vorn-run)
set -eu
cd "$(dirname "$0")/../.."
root=$(pwd)
VORN_RUN=$(cd "$(dirname "${1:-build/vorn-run}")" && pwd)/$(basename "${1:-build/vorn-run}")
export VORN_RUN
[ -x "$VORN_RUN" ] || { echo "editors: $VORN_RUN is not built" >&2; exit 1; }

command -v vim >/dev/null 2>&1 || sh scripts/install-deps.sh vim
command -v npm >/dev/null 2>&1 || sh scripts/install-deps.sh nodejs npm

python3 editors/generate_syntax.py --check

cd "$root/tests/editors"
npm ci --no-audit --no-fund --loglevel=error
npx vscode-tmgrammar-test -g ../../editors/vscode/syntaxes/vorn.tmLanguage.json 'samples/*.vorn'
node --test
python3 run_vim_syntax.py samples "$VORN_RUN"

cd "$root/editors/vscode"
npm ci --no-audit --no-fund --loglevel=error
rm -f vorn.vsix
npm run --silent package >/dev/null
python3 - <<'END'
import sys, zipfile
names = set(zipfile.ZipFile("vorn.vsix").namelist())
wanted = ["extension/package.json", "extension/extension.js", "extension/diagnostics.js",
          "extension/language-configuration.json", "extension/syntaxes/vorn.tmLanguage.json"]
missing = [name for name in wanted if name not in names]
sys.exit("editors: vorn.vsix lacks " + ", ".join(missing) if missing else 0)
END
echo "editors: vorn.vsix packaged ($(wc -c <vorn.vsix) bytes)"
