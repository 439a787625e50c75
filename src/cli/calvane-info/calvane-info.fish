# fish completion for calvane-info
complete -c calvane-info -s r -l recursive -d 'Also every subfolder'
complete -c calvane-info -l ext -x -a 'mid midi kar rmi mid,midi,kar,rmi' -d 'Extensions of a folder\'s files'
complete -c calvane-info -l encoding -x -a 'auto cp932 utf-8 euc-jp cp1252' -d 'How title and copyright are read'
complete -c calvane-info -s h -l help -d 'Print the help'
complete -c calvane-info -l version -d 'Print the version'
