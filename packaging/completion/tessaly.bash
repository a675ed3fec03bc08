# Bash completion for tessaly-cli and tessaly-devsim (installed under both names).
#
# Commands and options are read from the program's own --help, so that they never drift from
# it: an option is a -x or --name word that begins a line of the help (after blanks, or after
# other options and ", ") or stands in square brackets; it takes a value when a single blank
# and a word follow it there ("--ip ADDRESS", "--short-port <port>", "[--mode short|long]").
# Commands are the words that begin the lines under "Commands:". Interface names and request
# files come from "tessaly-cli catalogue", so they are those of the home folder in use.

# Prints "NAME" or "NAME=" (takes a value) for each option in the help text on stdin, once.
_tessaly_options_in_help() {
    grep -oE '(^[[:space:]]*|\[)-{1,2}[[:alpha:]][[:alnum:]-]*(, -{1,2}[[:alpha:]][[:alnum:]-]*)*( [^],:[:space:]]?)?' |
        sed -E 's/^[[:space:][]*//' |
        awk '{
            value = ($0 ~ / [^ ]$/)
            sub(/ [^ ]?$/, "")
            n = split($0, names, /, /)
            for (i = 1; i <= n; i++) seen[names[i]] = 1
            if (value) takes[names[n]] = 1
        }
        END { for (name in seen) print name (takes[name] ? "=" : "") }' | sort
}

# Prints the commands listed under "Commands:" in the help text on stdin.
_tessaly_commands_in_help() {
    awk '/^Commands:/ { inside = 1; next }
         inside && /^[^[:space:]]/ { inside = 0 }
         inside && /^  [a-z]/ { print $1 }'
}

# The --help of program $1, read once per shell and program.
declare -gA _tessaly_help_cache
_tessaly_help() {
    local program=$1
    if [[ -z ${_tessaly_help_cache[$program]+set} ]]; then
        _tessaly_help_cache[$program]=$(QT_QPA_PLATFORM=offscreen "$program" --help 2>/dev/null)
    fi
    printf '%s\n' "${_tessaly_help_cache[$program]}"
}

_tessaly_complete() {
    local program=${COMP_WORDS[0]/#\~/$HOME}
    local current=${COMP_WORDS[COMP_CWORD]}
    local previous=""
    ((COMP_CWORD > 0)) && previous=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    local help options commands
    help=$(_tessaly_help "$program")
    options=$(_tessaly_options_in_help <<<"$help")
    commands=$(_tessaly_commands_in_help <<<"$help")

    # The command and --home so far, skipping the values of options.
    local command="" home="" i word
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ $word == -* ]]; then
            if [[ $word != *=* ]] && grep -qxF -- "$word=" <<<"$options"; then
                [[ $word == --home ]] && home=${COMP_WORDS[i + 1]}
                ((i++))
            fi
            [[ $word == --home=* ]] && home=${word#--home=}
        elif [[ -z $command ]] && grep -qxF -- "$word" <<<"$commands"; then
            command=$word
        fi
    done
    home=${home/#\~/$HOME}

    # --name=value is completed as the value of --name.
    local option=$previous prefix=""
    if [[ $current == --*=* ]]; then
        option=${current%%=*}
        prefix=$option=
        current=${current#*=}
    elif [[ $previous == -* ]] && ! grep -qxF -- "$previous=" <<<"$options"; then
        option=""
    fi

    if [[ -n $prefix || $option == -* ]]; then
        case $option in
        --mode) COMPREPLY=($(compgen -W "short long" -- "$current")) ;;
        --lang) COMPREPLY=($(compgen -W "en zh_CN" -- "$current")) ;;
        --auth | --long-auth) COMPREPLY=($(compgen -W "basic digest any" -- "$current")) ;;
        --write) COMPREPLY=($(compgen -W "whole pieces pairs" -- "$current")) ;;
        --digest-algorithms) COMPREPLY=($(compgen -W "sha-256,md5 sha-256 md5 md5,sha-256" -- "$current")) ;;
        --listen) COMPREPLY=($(compgen -W "127.0.0.1 ::1 127.0.0.1,::1" -- "$current")) ;;
        --home | --record) compopt -o filenames; COMPREPLY=($(compgen -d -- "$current")) ;;
        --body-file | --password-file | --cert | --key) compopt -o filenames; COMPREPLY=($(compgen -f -- "$current")) ;;
        --then) _tessaly_request_files "$program" "$home" "$current" ;;
        --device)
            local IFS=$'\n'
            COMPREPLY=($(compgen -W "$("$program" devices 2>/dev/null | awk '{ print $1 }')" -- "$current"))
            ;;
        esac
        [[ -n $prefix ]] && COMPREPLY=("${COMPREPLY[@]/#/$prefix}")
        return 0
    fi

    if [[ $current == -* ]]; then
        COMPREPLY=($(compgen -W "$(sed 's/=$//' <<<"$options")" -- "$current"))
        return 0
    fi
    case $command in
    "") COMPREPLY=($(compgen -W "$commands" -- "$current")) ;;
    send | preview)
        local args=(catalogue --mode short)
        [[ -n $home ]] && args+=(--home "$home")
        COMPREPLY=($(compgen -W "$("$program" "${args[@]}" 2>/dev/null | awk '/^  / { print $1 }')" -- "$current"))
        ;;
    listen) _tessaly_request_files "$program" "$home" "$current" ;;
    index) compopt -o filenames; COMPREPLY=($(compgen -f -- "$current")) ;;
    esac
    return 0
}

# Request files for listen and --then: those of the home folder's protocol_long, as
# protocol_long/MODULE/NAME.xml (tessaly-cli finds them there from any folder), and any file.
_tessaly_request_files() {
    local program=$1 home=$2 current=$3
    local args=(catalogue --mode long)
    [[ -n $home ]] && args+=(--home "$home")
    local shipped
    shipped=$("$program" "${args[@]}" 2>/dev/null |
        awk '/^[^ ]/ { module = $0 } /^  / { print "protocol_long/" module "/" substr($0, 3) ".xml" }')
    compopt -o filenames
    local IFS=$'\n'
    COMPREPLY=($(compgen -W "$shipped" -- "$current") $(compgen -f -- "$current"))
}

complete -F _tessaly_complete tessaly-cli tessaly-devsim
