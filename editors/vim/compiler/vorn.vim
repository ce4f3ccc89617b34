" Vim compiler file
" Compiler: vorn-run, VORN's script runner and checker
"
" :make checks the current file with `vorn-run --check` and lists each
" finding (FILE:LINE: warning: ... [V001], and the error for unbalanced
" text). Set g:vorn_compiler_check to 0 to run the file instead; an error
" then stops it with `error: TEXT (in FILE, line N)`, after whatever the
" script printed on that line, and anything after the location is ignored.
" g:vorn_run names the program (default: vorn-run, found on PATH).

if exists("current_compiler")
  finish
endif
let current_compiler = "vorn"

if exists(":CompilerSet") != 2
  command -nargs=* CompilerSet setlocal <args>
endif

let s:cpo_save = &cpo
set cpo&vim

let s:program = escape(get(g:, 'vorn_run', 'vorn-run'), ' \|"')
if get(g:, 'vorn_compiler_check', 1)
  execute 'CompilerSet makeprg=' . s:program . '\ --check\ %:S'
else
  execute 'CompilerSet makeprg=' . s:program . '\ %:S'
endif

" The checker's findings; then a runtime error, located at the first
" "(in FILE, line N)" of its line (a message that names no place of its own
" before it), whatever text the line holds before "error:" and after the
" location; the last form takes a message that itself contains "(in ".
CompilerSet errorformat=
      \%f:%l:\ %tarning:\ %m,
      \%f:%l:\ %trror:\ %m,
      \%.%#%trror:\ %m%\\%%((in\ %.%#%\\)%\\@<!\ (in\ %f\\,\ line\ %l)%.%#,
      \%.%#%trror:\ %m\ (in\ %f\\,\ line\ %l)%.%#,
      \%-G%.%#

let &cpo = s:cpo_save
unlet s:cpo_save
