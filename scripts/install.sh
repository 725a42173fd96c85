#!/usr/bin/env bash
# Puts Flickstow in place for the current user, and takes it away again.
#
#   install.sh install   BUILD APPDIR   program files, menu entry and icons
#   install.sh program   BUILD APPDIR   program files only (what `make run` needs)
#   install.sh uninstall APPDIR         everything the two above put in place
#
# The program files are what the build's CMake install() rules name: the
# executable and what it loads from its own folder. They go straight into
# APPDIR, the program folder, where the user's catalogue, genre list and
# thumbnails live. The menu entry goes to $XDG_DATA_HOME/applications and the
# icons to $XDG_DATA_HOME/icons/hicolor/NxN/apps ($XDG_DATA_HOME defaults to
# ~/.local/share).
#
# APPDIR/flickstow.installed records every file put in place with its SHA-256,
# and every folder made for one. A file is replaced or removed only when that
# record lists it and it is still, byte for byte, what was put there; anything
# else in the way stops an install before a single file is copied, and an
# uninstall leaves it alone. Folders made by an install go again when empty.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
action=${1:-}
entry_name=flickstow.desktop
icon_name=flickstow
record_name=flickstow.installed
record_header="# What 'make install' put in place for Flickstow; 'make uninstall' removes"

fail() {
    echo "Flickstow: $*" >&2
    exit 1
}

usage() {
    echo "usage: $0 install|program BUILD APPDIR" >&2
    echo "       $0 uninstall APPDIR" >&2
    exit 2
}

# An absolute path without ".", ".." or a trailing "/"; symbolic links are
# kept as they are.
absolute() {
    realpath -m -s -- "$1"
}

# The record holds one path a line.
check_path_text() {
    [[ $1 != *[[:cntrl:]]* ]] || fail "$2 \"$1\" contains a control character."
}

# The menu entry names the program folder.
check_menu_path() {
    iconv -f UTF-8 -t UTF-8 <<<"$1" >/dev/null 2>&1 ||
        fail "The program folder \"$1\" is not valid UTF-8 text, which a menu entry needs."
    # A menu entry writes "%" as "%%", but desktops built on GLib look for the
    # program before they undo that, and so would never start it.
    [[ $1 != *%* ]] || fail "The program folder \"$1\" contains \"%\", from which desktops cannot start a program."
}

sha256() {
    sha256sum <"$1" | cut -d' ' -f1
}

# ------------------------------------------------------------------ record

declare -A installed=()   # path -> SHA-256 of what was put there
declare -A made_dir=()    # folders made for those files
record=
temporary=
stage=
trap '[ -z "$temporary" ] || rm -f -- "$temporary"; [ -z "$stage" ] || rm -rf -- "$stage"' EXIT

read_record() {
    installed=()
    made_dir=()
    [ -e "$record" ] || [ -L "$record" ] || return 0
    local kind sum path first=
    if [ -f "$record" ] && [ ! -L "$record" ]; then
        IFS= read -r first <"$record" || true
    fi
    [ "$first" = "$record_header" ] ||
        fail "$record is not the install record this script writes; move it away and try again."
    while IFS=$'\t' read -r kind sum path; do
        case $kind in
            file) installed[$path]=$sum ;;
            folder) made_dir[$path]=1 ;;
        esac
    done <"$record"
}

# Rewritten whole after every change, through a temporary file and a rename,
# so that it always lists what is in place.
write_record() {
    local path
    temporary=$(mktemp -p "$appdir" .flickstow-installed.XXXXXX)
    {
        echo "$record_header"
        echo "# each file that is still as it was put here, then each folder made for"
        echo "# one when it is empty. Kind, SHA-256, path: one per line, tab-separated."
        for path in "${!installed[@]}"; do printf 'file\t%s\t%s\n' "${installed[$path]}" "$path"; done | sort -t$'\t' -k3
        for path in "${!made_dir[@]}"; do printf 'folder\t-\t%s\n' "$path"; done | sort -t$'\t' -k3
    } >"$temporary"
    chmod 644 -- "$temporary"
    mv -f -T -- "$temporary" "$record"
    temporary=
}

# True when PATH is the very file this script put there.
is_ours() {
    local path=$1
    [ -n "${installed[$path]+set}" ] && [ -f "$path" ] && [ ! -L "$path" ] &&
        [ "$(sha256 "$path")" = "${installed[$path]}" ]
}

# ------------------------------------------------------------------ checks

# DIR, or the nearest of its parents that exists, must be a folder in which
# files can be made. Only trying shows that: write permission bits say nothing
# to root, nor about a read-only file system.
check_folder() {
    local dir=$1 what=$2 probe
    while [ ! -e "$dir" ] && [ ! -L "$dir" ]; do dir=$(dirname -- "$dir"); done
    if [ ! -d "$dir" ]; then
        [ "$dir" = "$1" ] && fail "$what $1 exists and is not a folder."
        fail "$what $1 cannot be made: $dir is not a folder."
    fi
    probe=$(mktemp -p "$dir" .flickstow-probe.XXXXXX 2>/dev/null) ||
        fail "$what $1 cannot be written: no file can be made in $dir."
    rm -f -- "$probe"
}

# True when PATH is a program file that 'make run' copied before it kept a
# record: a plain executable (ELF) of the name, carrying a text that only
# this program's build of that file holds.
left_by_earlier_run() {
    local path=$1 marker
    case $(basename -- "$path") in
        flickstow) marker='Varnholt Flickstow' ;;
        libtwain_32.so) marker='twaindsm::SourceDialog' ;;
        *) return 1 ;;
    esac
    [ -f "$path" ] && [ ! -L "$path" ] && [ "$(head -c 4 -- "$path" | od -An -tx1 | tr -d ' \n')" = 7f454c46 ] &&
        grep -q -a -F -- "$marker" "$path"
}

# True when PATH is a link the Debian package's launcher made to the
# installed program file of the same name.
linked_by_package() {
    local path=$1
    [ -L "$path" ] && [ "$(readlink -- "$path")" = "/usr/lib/flickstow/$(basename -- "$path")" ]
}

# A file at DEST is replaced only when it is the one this script put there,
# an earlier build of the same program file, or the package launcher's link
# to it.
check_destination() {
    local dest=$1
    if { [ -e "$dest" ] || [ -L "$dest" ]; } && ! is_ours "$dest" && ! left_by_earlier_run "$dest" &&
        ! linked_by_package "$dest"; then
        fail "$dest is in the way: it was not put there by 'make install' or 'make run', or was changed since. Nothing was installed. Move it away and try again."
    fi
}

# ------------------------------------------------------------------ placing

# Makes FOLDER and any missing parents, noting each one made.
make_folder() {
    local dir=$1 missing=()
    while [ ! -d "$dir" ]; do
        missing=("$dir" "${missing[@]}")
        dir=$(dirname -- "$dir")
    done
    for dir in "${missing[@]}"; do
        mkdir -- "$dir"
        made_dir[$dir]=1
    done
}

# Copies SRC to DEST through a temporary file in DEST's folder and a rename,
# so that DEST is never half written, and notes it in the record.
place() {
    local src=$1 dest=$2 mode=644
    [ -x "$src" ] && mode=755
    if is_ours "$dest" && cmp -s -- "$src" "$dest"; then
        echo "Up to date: $dest"
        return 0
    fi
    make_folder "$(dirname -- "$dest")"
    write_record
    temporary=$(mktemp -p "$(dirname -- "$dest")" .flickstow-install.XXXXXX)
    cp -- "$src" "$temporary"
    chmod "$mode" -- "$temporary"
    mv -f -T -- "$temporary" "$dest"
    temporary=
    installed[$dest]=$(sha256 "$dest")
    write_record
    echo "Installed: $dest"
}

# ------------------------------------------------------------------ menu entry

# One Exec argument, double-quoted as the desktop entry format asks: inside
# the quotes '"', '`', '$' and '\' take a backslash.
exec_argument() {
    local arg=$1
    arg=${arg//\\/\\\\}
    arg=${arg//\"/\\\"}
    arg=${arg//\`/\\\`}
    arg=${arg//\$/\\\$}
    printf '"%s"' "$arg"
}

# A value of type string: a backslash is written as two.
string_value() {
    printf '%s' "${1//\\/\\\\}"
}

# The package's menu entry, started from the program folder: Exec names the
# installed program, and Path follows it.
write_menu_entry() {
    local line
    while IFS= read -r line; do
        case $line in
            Exec=*)
                echo "Exec=$(string_value "$(exec_argument "$appdir/flickstow")")"
                echo "Path=$(string_value "$appdir")"
                ;;
            *) printf '%s\n' "$line" ;;
        esac
    done <"$here/packaging/flickstow.desktop"
}

# ------------------------------------------------------------------ actions

do_install() {
    local build=$1 with_menu=$2 src dest size i
    local sources=() destinations=()

    [ -f "$build/cmake_install.cmake" ] || fail "$build is not a configured build folder; run 'make build' first."
    stage=$(mktemp -d)
    cmake --install "$build" --prefix "$stage/program" >/dev/null ||
        fail "the build in $build could not be staged."

    # The program folder is flat: each staged file goes beside the executable.
    while IFS= read -r -d '' src; do
        if [ ! -f "$src" ] || [ -L "$src" ] || [ "$(dirname -- "$src")" != "$stage/program" ]; then
            fail "only plain files beside the executable can be installed, not ${src#"$stage/program/"}."
        fi
        sources+=("$src")
        destinations+=("$appdir/$(basename -- "$src")")
    done < <(find "$stage/program" -mindepth 1 ! -type d -print0 | sort -z)
    [ -x "$stage/program/flickstow" ] || fail "the build in $build has no flickstow executable."

    if [ "$with_menu" = yes ]; then
        for src in "$here"/app/resources/icons/flickstow-*.png; do
            size=${src##*/flickstow-}
            size=${size%.png}
            sources+=("$src")
            destinations+=("$data/icons/hicolor/${size}x${size}/apps/$icon_name.png")
        done
        write_menu_entry >"$stage/$entry_name"
        sources+=("$stage/$entry_name")
        destinations+=("$data/applications/$entry_name")
    fi

    # Everything is checked before anything is copied.
    check_folder "$appdir" "The program folder"
    read_record
    for dest in "${destinations[@]}"; do
        check_folder "$(dirname -- "$dest")" "The folder"
        check_destination "$dest"
    done

    make_folder "$appdir"
    for i in "${!sources[@]}"; do
        place "${sources[$i]}" "${destinations[$i]}"
    done
    write_record
    if [ "$with_menu" = yes ]; then
        echo "Flickstow is installed in $appdir and in the applications menu."
        echo "'make uninstall' removes it again; your catalogue and settings stay."
    fi
}

do_uninstall() {
    local path kept=0
    if [ ! -e "$appdir" ] && [ ! -L "$appdir" ]; then
        echo "Nothing to uninstall: $appdir does not exist."
        return 0
    fi
    [ -d "$appdir" ] || fail "The program folder $appdir exists and is not a folder."
    if [ ! -e "$record" ] && [ ! -L "$record" ]; then
        echo "Nothing to uninstall: $appdir holds no $record_name."
        return 0
    fi
    read_record
    while IFS= read -r path; do
        if is_ours "$path"; then
            rm -f -- "$path"
            echo "Removed: $path"
        elif [ -e "$path" ] || [ -L "$path" ]; then
            echo "Kept: $path (changed since it was installed)"
            kept=$((kept + 1))
        fi
    done < <(printf '%s\n' "${!installed[@]}" | sort)
    rm -f -- "$record"
    # Deepest first; a folder that still holds anything stays.
    for path in "${!made_dir[@]}"; do printf '%s\t%s\n' "${#path}" "$path"; done |
        sort -rn | cut -f2- | while IFS= read -r path; do
            rmdir -- "$path" 2>/dev/null || true
        done
    echo "Flickstow is uninstalled from $appdir; your catalogue and settings stay."
    [ "$kept" -eq 0 ] || echo "$kept changed file(s) were kept, as listed above."
}

case $action in
    install | program)
        [ $# -eq 3 ] || usage
        build=$2
        appdir=$3
        ;;
    uninstall)
        [ $# -eq 2 ] || usage
        appdir=$2
        ;;
    *) usage ;;
esac

[ -n "$appdir" ] || fail "APPDIR is empty."
appdir=$(absolute "$appdir")
check_path_text "$appdir" "The program folder"
record=$appdir/$record_name

if [ "$action" = uninstall ]; then
    do_uninstall
    exit 0
fi

data=
if [ "$action" = install ]; then
    if [[ ${XDG_DATA_HOME:-} == /* ]]; then
        data=$XDG_DATA_HOME
    else
        [ -n "${HOME:-}" ] || fail "neither XDG_DATA_HOME nor HOME is set."
        data=$HOME/.local/share
    fi
    data=$(absolute "$data")
    check_path_text "$data" "The data folder"
    check_menu_path "$appdir"
fi
do_install "$build" "$([ "$action" = install ] && echo yes || echo no)"
