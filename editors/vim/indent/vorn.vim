" Vim indent file for VORN scripts
" A line after one that leaves a brace open is indented one level deeper; a
" line that starts with "}" goes back one level. Braces are counted as VORN
" counts them at a block's level: wherever they stand, quotes included.

if exists("b:did_indent")
  finish
endif
let b:did_indent = 1

setlocal indentexpr=GetVornIndent() indentkeys=0},!^F,o,O nosmartindent
let b:undo_indent = "setlocal indentexpr< indentkeys< smartindent<"

if exists("*GetVornIndent")
  finish
endif

function GetVornIndent() abort
  let previous = prevnonblank(v:lnum - 1)
  if previous == 0
    return 0
  endif
  let text = getline(previous)
  let indent = indent(previous)
  " A line that starts with "}" has already stepped back for its own brace.
  let opened = len(substitute(text, '[^{]', '', 'g'))
  let closed = len(substitute(substitute(text, '^\s*}', '', ''), '[^}]', '', 'g'))
  if opened > closed
    let indent += shiftwidth()
  endif
  if getline(v:lnum) =~ '^\s*}'
    let indent -= shiftwidth()
  endif
  return max([indent, 0])
endfunction
