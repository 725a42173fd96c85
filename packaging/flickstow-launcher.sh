#!/bin/sh
# Starts Flickstow for the user who runs it, in a program folder of that
# user's own: $FLICKSTOW_HOME, else ~/Flickstow. The program keeps its
# catalogue, genre list and thumbnails in the folder of the file it was
# started from, so on first use the folder gets two symbolic links, flickstow
# and libtwain_32.so, to the installed files in ../lib/flickstow (seen from
# this launcher), and the program is started through the first one.
#
# A folder that 'make install' or 'make run' filled (a flickstow of its own
# beside its record flickstow.installed) is left as it is, and its own
# program is started. Nothing already in the folder is changed or removed.
set -eu

fail() {
    echo "flickstow: $*" >&2
    exit 1
}

self=$(readlink -f -- "$0")
installed=${self%/*/*}/lib/flickstow
[ -x "$installed/flickstow" ] || fail "the program is missing from $installed; reinstall the flickstow package."

if [ -n "${FLICKSTOW_HOME:-}" ]; then
    folder=$FLICKSTOW_HOME
elif [ -n "${HOME:-}" ]; then
    folder=$HOME/Flickstow
else
    fail "neither FLICKSTOW_HOME nor HOME is set, so there is no program folder."
fi
case $folder in
    /*) ;;
    *) folder=$(pwd)/$folder ;;
esac

# True when the folder holds the link this launcher makes to the installed
# file NAME.
is_linked() {
    [ -L "$folder/$1" ] && [ "$(readlink -- "$folder/$1")" = "$installed/$1" ]
}

# Nothing but that link, or nothing at all, may be in the place of NAME.
check_place() {
    is_linked "$1" || { [ ! -e "$folder/$1" ] && [ ! -L "$folder/$1" ]; } ||
        fail "$folder/$1 is in the way: it is not a link to $installed/$1. Move it away, or name another program folder in FLICKSTOW_HOME."
}

link() {
    is_linked "$1" && return 0
    # Another start at the same moment may have made it first.
    ln -s -- "$installed/$1" "$folder/$1" 2>/dev/null || is_linked "$1" || fail "cannot make the link $folder/$1."
}

if [ -f "$folder/flickstow" ] && [ ! -L "$folder/flickstow" ] && [ -x "$folder/flickstow" ] &&
    [ -f "$folder/flickstow.installed" ]; then
    exec "$folder/flickstow" "$@"
fi
if [ ! -d "$folder" ]; then
    { [ ! -e "$folder" ] && [ ! -L "$folder" ]; } || fail "the program folder $folder is not a folder."
    mkdir -p -- "$folder" 2>/dev/null || [ -d "$folder" ] || fail "cannot make the program folder $folder."
fi
for name in libtwain_32.so flickstow; do check_place "$name"; done
for name in libtwain_32.so flickstow; do link "$name"; done
exec "$folder/flickstow" "$@"
