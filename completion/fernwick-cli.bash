# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for fernwick-cli: commands, their options, adapter names for --interface, the
# --format values and firmware images (*.bin) for upgrade.

_fernwick_cli() {
    local cur="${COMP_WORDS[COMP_CWORD]}"
    local prev=""
    ((COMP_CWORD > 0)) && prev="${COMP_WORDS[COMP_CWORD - 1]}"
    COMPREPLY=()

    # The command is the first word after the program; options that take a value skip theirs.
    local command="" i word positional=0 skip=0
    for ((i = 1; i < COMP_CWORD; i++)); do
        word="${COMP_WORDS[i]}"
        if ((skip)); then
            [[ "$word" == "=" ]] || skip=0 # bash splits --interface=eth0 into three words
            continue
        fi
        case "$word" in
        -i | --interface | -t | --timeout | -f | --format | -r | --retries | --ip | --mask | --gateway) skip=1 ;;
        -n | --interval | -m | --missed | --verify-timeout) skip=1 ;;
        --device | --from | --report | --skip-done | --parallel | --per-adapter | --back-timeout | --plan) skip=1 ;;
        --target | --targets-from | --rate | --metrics-listen | --textfile) skip=1 ;;
        --inventory | --on-event | --on-event-timeout | --since) skip=1 ;;
        -*) ;;
        *)
            if [[ -z "$command" ]]; then
                command="$word"
            else
                ((positional++))
            fi
            ;;
        esac
    done

    # --option=value is one word to the parser; bash may have split it at the '='.
    local option="$prev" value="$cur"
    if [[ "$cur" == --*=* ]]; then
        option="${cur%%=*}"
        value="${cur#*=}"
    elif [[ "$cur" == "=" && "$prev" == --* ]]; then
        value=""
    elif [[ "$prev" == "=" ]] && ((COMP_CWORD > 1)); then
        option="${COMP_WORDS[COMP_CWORD - 2]}"
    fi

    case "$option" in
    -i | --interface)
        local names=(/sys/class/net/*)
        names=("${names[@]##*/}")
        mapfile -t COMPREPLY < <(compgen -W "${names[*]}" -- "$value")
        return
        ;;
    -f | --format)
        local formats="table json csv"
        [[ "$command" == doctor ]] && formats="text json"
        [[ "$command" == watch ]] && formats="table jsonl"
        [[ "$command" == inventory ]] && formats="table csv json jsonl"
        [[ "$command" == set-ip || "$command" == upgrade ]] && formats="table json"
        mapfile -t COMPREPLY < <(compgen -W "$formats" -- "$value")
        return
        ;;
    -t | --timeout | -r | --retries | --ip | --mask | --gateway | -n | --interval | -m | --missed | --verify-timeout)
        return # a number or an address: nothing to offer
        ;;
    --device | --parallel | --per-adapter | --back-timeout | --target | --rate | --on-event-timeout | --since | --metrics-listen)
        return
        ;;
    --textfile)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$value")
        return
        ;;
    --on-event)
        mapfile -t COMPREPLY < <(compgen -c -- "$value")
        return
        ;;
    --from | --report | --skip-done | --plan | --targets-from | --inventory)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$value")
        return
        ;;
    esac

    local options
    case "$command" in
    "") options="--help --version" ;;
    search) options="--interface --timeout --format --target --targets-from --rate --broadcast --force --inventory --help" ;;
    set-ip) options="--dhcp --ip --mask --gateway --interface --timeout --retries --verify --force --verify-timeout --plan --report --skip-done --parallel --format --target --targets-from --rate --broadcast --dry-run --help" ;;
    upgrade) options="--yes --interface --device --from --all-ap --all-bridge --report --skip-done --parallel --per-adapter --back-timeout --no-restart --format --target --targets-from --rate --broadcast --force --dry-run --help" ;;
    doctor) options="--interface --timeout --format --help" ;;
    watch) options="--interval --missed --interface --format --metrics-listen --textfile --target --targets-from --rate --broadcast --force --inventory --on-event --on-event-timeout --help" ;;
    inventory) options="--inventory --format --new --gone --since --help" ;;
    help)
        ((positional == 0)) && mapfile -t COMPREPLY < <(compgen -W "search set-ip upgrade doctor watch inventory" -- "$cur")
        return
        ;;
    *) return ;;
    esac

    if [[ "$cur" == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    elif [[ -z "$command" ]]; then
        mapfile -t COMPREPLY < <(compgen -W "search set-ip upgrade doctor watch inventory help" -- "$cur")
    elif [[ "$command" == inventory ]] && ((positional == 0)); then
        mapfile -t COMPREPLY < <(compgen -W "list name note forget" -- "$cur")
    elif [[ "$command" == upgrade ]] && ((positional <= 1)); then
        # The image (second, or first in a rollout): *.bin files (the window's file dialog shows the same) and folders to walk into.
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -X '!*.[bB][iI][nN]' -- "$cur"; compgen -d -- "$cur")
    fi
}
complete -F _fernwick_cli fernwick-cli
