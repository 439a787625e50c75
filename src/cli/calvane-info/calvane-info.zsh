#compdef calvane-info
# zsh completion for calvane-info

_arguments -s -S \
  '(-r --recursive)'{-r,--recursive}'[also every subfolder]' \
  '--ext=[extensions of a folder'"'"'s files, comma separated]:extensions:_sequence compadd - mid midi kar rmi' \
  '--encoding=[how title and copyright are read]:reading:(auto cp932 utf-8 euc-jp cp1252)' \
  '(- *)'{-h,--help}'[print the help]' \
  '(- *)--version[print the version]' \
  '*:MIDI file or folder:_files'
