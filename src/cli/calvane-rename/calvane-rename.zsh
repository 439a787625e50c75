#compdef calvane-rename
# zsh completion for calvane-rename

_arguments -s -S \
  '(-n --dry-run)'{-n,--dry-run}'[print the plan and touch nothing]' \
  '(-r --recursive)'{-r,--recursive}'[also every subfolder]' \
  '--ext=[extensions of a folder'"'"'s files, comma separated]:extensions:_sequence compadd - mid midi kar rmi' \
  '--encoding=[how titles are read]:reading:(auto cp932 utf-8 euc-jp cp1252)' \
  '--json[one JSON object per line]' \
  '--replace-refused[full-width look-alikes for refused characters]' \
  '--shorten[cut a title too long for a file name]' \
  '--on-conflict=[what a file whose new name is taken does]:conflict:((skip\:"keep its name" number\:"number the new name" trash-identical\:"a copy with the same bytes goes to the trash"))' \
  '--keep-trailing-spaces[keep the spaces that end a title]' \
  '--allow-blank-titles[take a title of spaces only as a name]' \
  '(--no-journal)--journal[write the journal to a new file]:journal file:_files' \
  '(--journal)--no-journal[write no journal]' \
  '--undo[take back what a journal holds]:journal:_files -g "*.jsonl"' \
  '(- *)'{-h,--help}'[print the help]' \
  '(- *)--version[print the version]' \
  '*:MIDI file or folder:_files'
