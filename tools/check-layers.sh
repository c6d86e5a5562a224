#!/usr/bin/env bash
# Checks that the source folders stack as layers: a file includes only from its
# own folder or from a folder below it, and no chain of includes comes back to
# where it started. Argument: the source folder. Prints each fault and exits 1
# if there is any.
set -euo pipefail
src=${1:?usage: check-layers.sh SOURCE_DIR}

# From the bottom up. The program's folders only: tests, benches, fuzzers and
# tools stand on top of all of them.
layers=(base markup document render links fileio view publish helpview app)

declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

faults=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

# Reports an include from file (in folder) of target that points up or sideways.
check_include() {
    local folder=$1 file=$2 target=$3
    local to=${target%%/*}
    if [ "$to" = "$target" ]; then # a bare name is in the file's own folder
        to=$folder
        target=$folder/$target
    fi
    [ -n "${rank[$to]+set}" ] || return 0 # Qt, the standard library, generated files
    if [ "$to" != "$folder" ] && [ "${rank[$to]}" -ge "${rank[$folder]}" ]; then
        echo "upward include: $file includes \"$target\" ($folder may use only folders below it)"
        faults=$((faults + 1))
    fi
    [ ! -e "$src/$target" ] || echo "$file $target" >>"$edges"
}

for folder in "${layers[@]}"; do
    [ -d "$src/$folder" ] || continue
    while IFS= read -r path; do
        file=${path#"$src"/}
        echo "$file $file" >>"$edges" # every file is a node, even with no include
        while IFS= read -r target; do
            check_include "$folder" "$file" "$target"
        done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$path")
    done < <(find "$src/$folder" -maxdepth 1 -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
done

# tsort names the files on a loop when the include graph has one.
if ! loop=$(tsort "$edges" 2>&1 >/dev/null) || [ -n "$loop" ]; then
    echo "include cycle:"
    sed -n 's/^tsort: //p' <<<"$loop" | grep -v 'input contains a loop' || true
    faults=$((faults + 1))
fi

if [ "$faults" -gt 0 ]; then
    echo "FAIL: $faults layer fault(s)"
    exit 1
fi
echo "layers hold: ${layers[*]}"
