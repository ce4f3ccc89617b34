" VORN scripts: NAME.VORN, as `also` looks for them, and NAME.vorn.
autocmd BufNewFile,BufRead *.VORN,*.vorn setfiletype vorn
