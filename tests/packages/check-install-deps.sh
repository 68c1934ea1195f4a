#!/usr/bin/env bash
# Fails when the configured build found a file of a Debian package that
# scripts/install-deps does not name: on a fresh machine that build would stop.
#   check-install-deps.sh <CMakeCache.txt> <scripts/install-deps>
# The files are those the build was configured with: the package config of
# every *_DIR entry, each pkg-config module's .pc file and the libraries
# pkg-config gave, and the QCustomPlot library when it was found by name.
# Exits 77 (skipped) where dpkg is missing.
set -euo pipefail
cache=$1
install_deps=$2
skip=77

if ! command -v dpkg > /dev/null; then
    echo "dpkg is not on this machine: package ownership cannot be checked (skipped)."
    exit "$skip"
fi

cached() {   # values of the cache entries whose name matches the pattern
    sed -n "s/^\($1\):[A-Z]*=//p" "$cache"
}

files=()
# Package configs: <dir>/<Name>Config.cmake or <dir>/<name>-config.cmake.
while IFS='=' read -r entry dir; do
    name=${entry%%_DIR:*}
    [[ -z $dir || $dir == *-NOTFOUND || ! -d $dir ]] && continue
    lower=$(echo "$name" | tr '[:upper:]' '[:lower:]')
    for config in "$dir/${name}Config.cmake" "$dir/${lower}-config.cmake"; do
        if [[ -f $config ]]; then files+=("$config"); break; fi
    done
done < <(grep -E '^[A-Za-z0-9_]+_DIR:PATH=' "$cache")

# pkg-config modules, as pkg_check_modules was asked for them.
pkg_config=$(cached PKG_CONFIG_EXECUTABLE)
while IFS= read -r arguments; do
    IFS=';' read -ra words <<< "$arguments"
    for word in "${words[@]}"; do
        case $word in
            REQUIRED | QUIET | IMPORTED_TARGET | GLOBAL | NO_CMAKE_PATH | NO_CMAKE_ENVIRONMENT_PATH) ;;
            *)
                module=${word%%[<>=]*}
                pc=$("$pkg_config" --path "$module" 2> /dev/null || true)
                [[ -n $pc ]] && files+=("$pc")
                ;;
        esac
    done
done < <(cached '__pkg_config_arguments_[A-Za-z0-9_]*')
while IFS= read -r library; do
    [[ -f $library ]] && files+=("$library")
done < <(cached 'pkgcfg_lib_[A-Za-z0-9_]*'; cached QCUSTOMPLOT_LIBRARY)

if ((${#files[@]} == 0)); then
    echo "FAIL: no package file found in $cache; is it a configured build?"
    exit 1
fi

# One dpkg -S for all files (each call reads the whole database); a file
# known to dpkg only under its real path (a symlink, the /usr merge) is asked
# for again by that path.
declare -A owners
owned_by() {
    local line
    while IFS= read -r line; do
        [[ $line == "diversion by"* ]] && continue
        owners[${line#*: }]=${line%%:*}
    done < <(dpkg -S "$@" 2> /dev/null || true)
}
owned_by "${files[@]}"
unresolved=()
for file in "${files[@]}"; do
    [[ -z ${owners[$file]:-} ]] && unresolved+=("$(readlink -f "$file")")
done
((${#unresolved[@]})) && owned_by "${unresolved[@]}"
owner() {
    echo "${owners[$1]:-${owners[$(readlink -f "$1")]:-}}"
}

named=" $("$install_deps" --list | tr '\n' ' ') "
failures=0
for file in "${files[@]}"; do
    package=$(owner "$file")
    if [[ -z $package ]]; then
        echo "note: $file belongs to no Debian package (installed by hand?)"
    elif [[ $named == *" $package "* ]]; then
        echo "ok: $file ($package)"
    else
        echo "FAIL: $file belongs to package $package, which scripts/install-deps does not name"
        failures=$((failures + 1))
    fi
done
if ((failures)); then
    echo "$failures file(s) come from packages a fresh machine would not get: add them to scripts/install-deps."
    exit 1
fi
echo "every package the build was configured with is named in scripts/install-deps"
