#!/usr/bin/env bash
# completion_test.sh COMPLETION_SCRIPT [ZEKT_BINARY]
#
# Calls the completion function the way bash does, once on its own and once
# under the bash-completion framework (when installed: that is how the
# packaged script is loaded), and, given the binary, checks that the options
# offered are the ones zekt takes and lists in its help text.
set -u

script=$(realpath "$1")
zekt=${2:+$(realpath "$2")}
framework=/usr/share/bash-completion/bash_completion

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
results=$work/results
mkdir "$work/files"
cd "$work/files" || exit 1
touch a.txt b.txt 'with space.txt' -- -draft.txt
mkdir sub

pass() { echo pass >>"$results"; }
fail() { echo "FAIL: $*"; echo fail >>"$results"; }

# complete LINE: COMPREPLY for the last word of LINE, sorted, in $reply.
complete_line() {
    COMP_LINE=$1
    COMP_POINT=${#1}
    read -ra COMP_WORDS <<<"$1"
    [[ $1 == *' ' ]] && COMP_WORDS+=('')
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    "$func" zekt "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
    reply=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' ')
}

expect() {
    complete_line "$1"
    if [[ $reply == "$2" ]]; then pass; else fail "$mode: '$1' gave '$reply', expected '$2'"; fi
}

completion_checks() {
    func=$(complete -p zekt 2>/dev/null | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
    if [[ -z $func ]]; then
        fail "$mode: sourcing $script registered no completion for zekt"
        return
    fi
    expect 'zekt -u' '-u16 -u16be -u16le -u8 -u8bom -unix -utf8'
    expect 'zekt -U' '-U16 -U16BE -U16LE -U8 -UNIX -UTF8'
    expect 'zekt -xN' '-xNOWIN'
    expect 'zekt -e -x' '-x -xASCII8 -xKANA16 -xMS -xNOWIN'
    expect 'zekt -jkana' ''
    expect 'zekt -ver' '-version'
    # Words that do not start with "-" are file names.
    expect 'zekt a' 'a.txt'
    expect 'zekt -e w' 'with space.txt'
    expect 'zekt s' 'sub'
    # After -f the next word is a file even when it starts with "-" ...
    expect 'zekt -f -' '-draft.txt'
    expect 'zekt -f ' '-draft.txt a.txt b.txt sub with space.txt'
    # ... but only the next word: here the second -f is a file name.
    expect 'zekt -f -f -x' '-x -xASCII8 -xKANA16 -xMS -xNOWIN'
    expect 'zekt -f -- -x' '-x -xASCII8 -xKANA16 -xMS -xNOWIN'
    # After -- every word is a file.
    expect 'zekt -e -- -d' '-draft.txt'
    expect 'zekt -- a.txt -' '-draft.txt'
    expect 'zekt -- -f -e -' '-draft.txt'
}

(mode=plain && source "$script" && completion_checks)
if [[ -r $framework ]]; then
    (mode=bash-completion && source "$framework" && source "$script" && completion_checks)
else
    echo "skipped: $framework is not installed"
    echo skip >>"$results"
fi

if [[ -n $zekt ]]; then
    offered=$(source "$script" && func=_zekt && complete_line 'zekt -' && echo "$reply")
    # Every option offered must be one zekt takes (255 is its option error).
    for option in $offered; do
        printf 'text\n' >in.txt
        "$zekt" "$option" in.txt </dev/null >/dev/null 2>&1
        if [[ $? -ne 255 ]]; then pass; else fail "zekt rejects the offered option $option"; fi
    done
    # Every option in the help text must be offered: the words before the
    # colon on the lines that list options.
    listed=$("$zekt" -h 2>&1 | grep '^ -' | cut -d: -f1 | grep -o -- '-[-A-Za-z0-9]*' | sort -u)
    [[ -n $listed ]] || fail "no options found in the help text of $zekt"
    for option in $listed; do
        if [[ " $offered " == *" $option "* ]]; then pass; else fail "$option is in the help text but not completed"; fi
    done
fi

passed=$(grep -c '^pass' "$results")
failed=$(grep -c '^fail' "$results")
skipped=$(grep -c '^skip' "$results")
echo "$passed passed, $failed failed, $skipped skipped"
[[ $failed -eq 0 ]]
