# bash completion for calvane-info                                 -*- shell-script -*-

_calvane_info()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local opt= value= joined=

    # "--opt=value" comes as one word, or as "--opt" "=" "value" where "=" breaks words.
    if [[ $cur == --*=* ]]; then
        opt=${cur%%=*} value=${cur#*=} joined=1
    elif [[ $cur == = && $prev == --* ]]; then
        opt=$prev
    elif [[ $prev == = && ${COMP_WORDS[COMP_CWORD - 2]} == --* ]]; then
        opt=${COMP_WORDS[COMP_CWORD - 2]} value=$cur
    fi
    if [[ -n $opt ]]; then
        local choices
        case $opt in
        --encoding) choices="auto cp932 utf-8 euc-jp cp1252" ;;
        --ext) choices="mid midi kar rmi mid,midi,kar,rmi" ;;
        *) return ;;
        esac
        COMPREPLY=($(compgen -W "$choices" -- "$value"))
        [[ -n $joined ]] && COMPREPLY=("${COMPREPLY[@]/#/$opt=}")
        return
    fi

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "-r --recursive --ext= --encoding= -h --help --version --" -- "$cur"))
        [[ ${#COMPREPLY[@]} == 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
        return
    fi

    # Files and folders.
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -F _calvane_info calvane-info
