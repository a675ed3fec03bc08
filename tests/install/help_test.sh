#!/usr/bin/env bash
# The manual pages and the bash completion agree with the programs' --help.
#   Options of --help: the -x and --name words that begin a line (after blanks, or after other
#   options and ", ") or stand in square brackets.
#   Options of a manual: the bold -x and --name words of the lines that open a paragraph with
#   "*" after any tabs (the synopsis, command and option terms), not those of running text.
# Each program's two lists must be equal, and the completion must offer exactly the options of
# --help after "-", the commands after the program's name, and the catalogue's names.
# Usage: tests/install/help_test.sh BIN_FOLDER SOURCE_FOLDER
set -uo pipefail
bin=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
export QT_QPA_PLATFORM=offscreen

help_options() {
    "$bin/$1" --help | perl -ne '
        if (/^\s*(-{1,2}[A-Za-z][\w-]*(?:, -{1,2}[A-Za-z][\w-]*)*)/) { print "$_\n" for split /, /, $1 }
        print "$1\n" while /\[(-{1,2}[A-Za-z][\w-]*)/g' | sort -u
}
manual_options() {
    perl -ne 'if ($blank && /^\t*\*/) { print "$1\n" while /\*(-{1,2}[A-Za-z][\w-]*)\*/g }
              $blank = /^\s*$/; BEGIN { $blank = 1 }' \
        "$source/packaging/man/$1.1.scd" | sort -u
}
same() {  # what, expected, got
    [ "$2" = "$3" ] || fail "$1: $(diff <(echo "$2") <(echo "$3") | grep '^[<>]' | tr '\n' ' ')"
}

for program in tessaly tessaly-cli tessaly-devsim; do
    helped=$(help_options "$program")
    [ -n "$helped" ] || fail "$program --help lists no options"
    same "$program: manual (>) against --help (<)" "$helped" "$(manual_options "$program")"
done

# The completion, with the program named by its path as a user would type it.
source "$source/packaging/completion/tessaly.bash"
complete_line() {  # the words of a command line; the last is completed
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _tessaly_complete 2>/dev/null
    printf '%s\n' "${COMPREPLY[@]}" | sort -u
}
cd "$(mktemp -d)"  # listen's names come from the catalogue, not from files here
touch ApiLog.txt   # index offers files
for program in tessaly-cli tessaly-devsim; do
    same "$program: completion (>) against --help (<)" "$(help_options "$program")" \
        "$(complete_line "$bin/$program" -)"
done
cli=$bin/tessaly-cli
commands=$("$cli" --help | awk '/^Commands:/ { on = 1; next } on && /^[^ ]/ { on = 0 } on && /^  [a-z]/ { print $1 }' | tr '\n' ' ')
rows=(
    "$commands|$cli|"
    "send|$cli|--ip|127.0.0.1|se"
    "short long|$cli|catalogue|--mode|"
    "--mode=short|$cli|catalogue|--mode=s"
    "|$cli|--ip|"
    "ApiLog.txt|$cli|send|--body-file|"
    "|$cli|listen|--seconds|"
    "GetDeviceInfo|$cli|send|GetDeviceI"
    "protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml|$cli|listen|protocol_long/Subscribe/SUBSCRIBE_SetS"
    "ApiLog.txt|$cli|index|Api"
    "basic digest any|$bin/tessaly-devsim|--long-auth|"
)
for row in "${rows[@]}"; do
    IFS='|' read -r -a words <<<"$row"
    expected=$(tr ' ' '\n' <<<"${words[0]}" | grep -v '^$' | sort -u)
    [ -n "${row##*|}" ] || words+=("")
    same "completion of '${words[*]:1}'" "$expected" "$(complete_line "${words[@]:1}")"
done

[ "$failures" -eq 0 ] && echo "manuals and completion agree with --help"
exit $((failures > 0))
