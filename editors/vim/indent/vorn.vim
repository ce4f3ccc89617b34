" Vim indent file for VORN scripts
" A line after one that leaves a brace open is indented one level deeper; a
" line that starts with "}" goes back one level. Braces are counted as VORN
" counts them at a block's level: wherever they stand, quotes included.
" Lines inside a text that spans lines are left as they are; where a text
" is is taken from the highlighting, so indenting needs `:syntax on`.

if exists("b:did_indent")
  finish
endif
let b:did_indent = 1

setlocal indentexpr=GetVornIndent() indentkeys=0},!^F,o,O nosmartindent
let b:undo_indent = "setlocal indentexpr< indentkeys< smartindent< preserveindent<"
let b:vorn_preserveindent = &l:preserveindent

if exists("*GetVornIndent")
  finish
endif

" Whether the line break before line lnum lies inside a text, as the
" highlighting (which follows VORN's splitter at every level) has it: the
" blanks that begin such a line are part of the text, and indenting them
" would change it.
function s:InText(lnum) abort
  if a:lnum <= 1
    return 0
  endif
  let above = a:lnum - 1
  for id in synstack(above, len(getline(above)) + 1)
    if synIDattr(id, 'name') =~# '^vornString'
      return 1
    endif
  endfor
  return 0
endfunction

function GetVornIndent() abort
  " A line inside a text keeps what it has. Vim would still write the indent
  " it keeps again in its own tabs or spaces; 'preserveindent' keeps its
  " very blanks, for such a line only.
  if s:InText(v:lnum)
    setlocal preserveindent
    return -1
  endif
  let &l:preserveindent = get(b:, 'vorn_preserveindent', &l:preserveindent)
  let previous = prevnonblank(v:lnum - 1)
  if previous == 0
    return 0
  endif
  " The statement before may hold a text over several lines: its indent is
  " that of the line it began on, and its braces are those of all of them.
  let first = previous
  while first > 1 && s:InText(first)
    let first -= 1
  endwhile
  let text = join(getline(first, previous), "\n")
  let indent = indent(first)
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
