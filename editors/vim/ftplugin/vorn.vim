" Vim filetype plugin for VORN scripts

if exists("b:did_ftplugin")
  finish
endif
let b:did_ftplugin = 1

" VORN has no comments; blocks are braces, indented by the body's lines.
setlocal comments= commentstring=
setlocal autoindent
setlocal matchpairs=(:),{:}
compiler vorn

let b:undo_ftplugin = "setlocal comments< commentstring< autoindent< matchpairs< makeprg< errorformat<"
