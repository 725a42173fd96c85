#!/usr/bin/env bash
# make install / make run / make uninstall, each into temporary folders:
# the user's data in the program folder stays byte for byte as it was, the
# menu entry is valid and starts the installed program from its folder, and
# uninstall takes away exactly what was put in place, nothing the user made
# or changed. Bad program folders stop the install before anything is copied.
#
# usage: test_install.sh SOURCE_DIR BUILD_DIR
set -euo pipefail

installer=$1/scripts/install.sh
build=$2
root=$(mktemp -d)
launched=
cleanup() {
    [ -z "$launched" ] || kill "$launched" 2>/dev/null || true
    rm -rf -- "$root"
}
trap cleanup EXIT

# Never the real home or settings, whatever a case forgets to set.
export HOME=$root/home XDG_CONFIG_HOME=$root/config XDG_RUNTIME_DIR=$root/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset XDG_DATA_HOME

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Runs the installer with XDG_DATA_HOME=$1, keeping what it says in $output
# and its exit status in $status.
run() {
    local data=$1
    shift
    status=0
    output=$(XDG_DATA_HOME=$data bash "$installer" "$@" 2>&1) || status=$?
    printf '%s\n' "$output" | sed 's/^/    | /'
}

expect_success() {
    run "$@"
    [ "$status" -eq 0 ] || fail "'$2' into $3 exited with $status"
}

# Every file (with its SHA-256), folder and link below a folder, one a line.
tree_of() {
    [ -d "$1" ] || return 0
    (cd "$1" && find . -mindepth 1 -print0 | LC_ALL=C sort -z | while IFS= read -r -d '' p; do
        if [ -f "$p" ] && [ ! -L "$p" ]; then
            printf 'file %s %s\n' "$(sha256sum <"$p" | cut -c1-64)" "$p"
        else
            printf '%s - %s\n' "$(stat -c %F "$p" | tr ' ' _)" "$p"
        fi
    done)
}

same_tree() {
    local what=$1 dir=$2 expected=$3 now
    now=$(tree_of "$dir")
    [ "$now" = "$expected" ] || {
        diff <(printf '%s\n' "$expected") <(printf '%s\n' "$now") >&2 || true
        fail "$what"
    }
}

png_size() {
    local b
    read -r -a b <<<"$(od -An -tu1 -j16 -N8 "$1")"
    echo "$(((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]))x$(((b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7]))"
}

# A catalogue, its backup, the genre list and pictures, as a user has them.
place_user_data() {
    local dir=$1
    mkdir -p "$dir"
    printf 'Alien\r\nScience Fiction\r\nEnglish\r\nDVD\r\n1\r\nOwned\r\nYes\r\n1\r\nGood\r\nt_Alien123.jpg\r\nIn space\r\n\r\n***\r\n' >"$dir/data.vrx"
    printf 'Alien\r\n' >"$dir/data.vrx.bak"
    printf 'Drama\r\nScience Fiction\r\n' >"$dir/genres.vrx"
    head -c 3000 /dev/urandom >"$dir/t_Alien123.jpg"
    head -c 5000 /dev/urandom >"$dir/scan42.jpg"
}

# The one process whose executable is $1, started from $2; waits for it.
wait_for_program() {
    local exe=$1 cwd=$2 p i
    for ((i = 0; i < 600; i++)); do
        for p in /proc/[0-9]*; do
            if [ "$(readlink "$p/exe" 2>/dev/null)" = "$exe" ]; then
                launched=${p#/proc/}
                [ "$(readlink "$p/cwd")" = "$cwd" ] || fail "the menu entry started $exe in $(readlink "$p/cwd"), not in $cwd"
                return 0
            fi
        done
        sleep 0.1
    done
    fail "the menu entry did not start $exe within a minute"
}

stop_program() {
    local i
    kill "$launched"
    for ((i = 0; i < 600; i++)); do
        # Gone, or a zombie waiting for its parent: either has no executable.
        readlink "/proc/$launched/exe" >/dev/null 2>&1 || { launched=; return 0; }
        sleep 0.1
    done
    fail "the started program did not end"
}

command -v desktop-file-validate >/dev/null || fail "desktop-file-validate is missing (Debian desktop-file-utils; make deps)"
command -v gio >/dev/null || fail "gio is missing (Debian libglib2.0-bin; make deps)"

echo "== install, start from the menu entry, install again, uninstall"
# Every character the desktop entry format reserves, and one that is not ASCII.
app="$root/My films \$HOME \"quoted\" it's (é) #1 & \`x\` ;*?~<>| \\back"
data=$root/share
place_user_data "$app"
mkdir -p "$data/applications" "$data/icons/hicolor/48x48/apps"
printf '[Desktop Entry]\nType=Application\nName=Other\nExec=other\n' >"$data/applications/other.desktop"
head -c 700 /dev/urandom >"$data/icons/hicolor/48x48/apps/other.png"
app_before=$(tree_of "$app")
data_before=$(tree_of "$data")

expect_success "$data" install "$build" "$app"
entry=$data/applications/flickstow.desktop
[ -x "$app/flickstow" ] || fail "no executable flickstow in the program folder"
[ -f "$app/libtwain_32.so" ] || fail "no scanner source manager libtwain_32.so beside the executable"
changed=$(LC_ALL=C comm -23 <(printf '%s\n' "$app_before" | LC_ALL=C sort) <(tree_of "$app" | LC_ALL=C sort))
[ -z "$changed" ] || fail "the install changed the user's data in the program folder: $changed"
validation=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate rejects the entry: $validation"
[ -z "$validation" ] || fail "desktop-file-validate complains: $validation"
grep -qx 'Categories=AudioVideo;Video;' "$entry" || fail "the entry is not in AudioVideo;Video;"
grep -qx 'Icon=flickstow' "$entry" || fail "the entry does not name the flickstow icon"
grep -q '^Comment=.' "$entry" || fail "the entry has no comment"
for size in 16 32 48 64 128 256; do
    icon=$data/icons/hicolor/${size}x$size/apps/flickstow.png
    [ -f "$icon" ] || fail "no $size px icon"
    [ "$(png_size "$icon")" = "${size}x$size" ] || fail "the $size px icon is $(png_size "$icon")"
done
[ "$(tree_of "$data" | grep -c '^file ')" -eq 9 ] || fail "the data folder holds other files than the entry, six icons and the user's two"

# The way a desktop starts it: GLib reads the entry and runs its Exec in its Path.
# The program's output goes to a file: it must not hold this test's output open.
# No scanner is looked for: SANE reads an empty configuration.
mkdir "$root/sane.d"
: >"$root/sane.d/dll.conf"
SANE_CONFIG_DIR=$root/sane.d QT_QPA_PLATFORM=offscreen gio launch "$entry" >"$root/launched.log" 2>&1 ||
    fail "gio cannot launch the entry: $(cat "$root/launched.log")"
wait_for_program "$app/flickstow" "$app"
stop_program
app_installed=$(tree_of "$app")
data_installed=$(tree_of "$data")

expect_success "$data" install "$build" "$app"
same_tree "installing the same build again changes nothing in the program folder" "$app" "$app_installed"
same_tree "installing the same build again changes nothing in the data folder" "$data" "$data_installed"
! grep -q '^Installed: ' <<<"$output" || fail "a second install copied files again"

# make run's copy keeps the record of the menu entry and icons.
expect_success "$data" program "$build" "$app"
expect_success "$data" uninstall "$app"
same_tree "after uninstalling, the program folder holds exactly the user's data, byte for byte" "$app" "$app_before"
same_tree "after uninstalling, the data folder holds exactly what the user had there" "$data" "$data_before"

echo "== a file in the way, and files changed after the install"
app=$root/second
data=$root/share2
mkdir -p "$app"
printf 'my own notes\n' >"$app/flickstow"
run "$data" install "$build" "$app"
[ "$status" -ne 0 ] || fail "installed over a file flickstow that the install did not make"
grep -q "$app/flickstow is in the way" <<<"$output" || fail "no clear message about the file in the way"
[ "$(cat "$app/flickstow")" = 'my own notes' ] || fail "the user's file flickstow was changed"
[ ! -e "$data" ] || fail "something was copied into the data folder although the install stopped"
[ "$(tree_of "$app" | wc -l)" -eq 1 ] || fail "something was copied into the program folder although the install stopped"

rm "$app/flickstow"
printf 'my list of what I installed\n' >"$app/flickstow.installed"
run "$data" install "$build" "$app"
[ "$status" -ne 0 ] || fail "installed with the user's own file flickstow.installed in the program folder"
grep -q "$app/flickstow.installed is not the install record" <<<"$output" || fail "no clear message about flickstow.installed"
[ "$(cat "$app/flickstow.installed")" = 'my list of what I installed' ] || fail "the user's flickstow.installed was changed"
{ [ ! -e "$data" ] && [ ! -e "$app/flickstow" ]; } || fail "something was copied although the install stopped"

rm "$app/flickstow.installed"
expect_success "$data" install "$build" "$app"
printf 'X-Mine=true\n' >>"$data/applications/flickstow.desktop"
rm "$data/icons/hicolor/16x16/apps/flickstow.png"
printf 'my icon\n' >"$data/icons/hicolor/16x16/apps/flickstow.png"
kept=$(tree_of "$data" | grep -E '(applications/flickstow\.desktop|16x16/apps/flickstow\.png)$')
expect_success "$data" uninstall "$app"
[ "$(grep -c '^Kept: ' <<<"$output")" -eq 2 ] || fail "uninstall did not say which changed files it kept"
same_tree "uninstall removes the program and leaves the folder it did not make" "$app" ""
same_tree "uninstall keeps the changed entry and icon, with the folders they lie in, and nothing else" "$data" \
    "$(printf '%s\n' "directory - ./applications" "directory - ./icons" "directory - ./icons/hicolor" \
        "directory - ./icons/hicolor/16x16" "directory - ./icons/hicolor/16x16/apps" "$kept" | LC_ALL=C sort -k3)"

echo "== program files an older make run copied without a record are replaced"
app=$root/older
data=$root/share5
mkdir -p "$app"
cp "$build/app/flickstow" "$build/app/libtwain_32.so" "$app/"
printf 'catalogue\n' >"$app/data.vrx"
# The lock of a program running there (or of one that crashed) is not the install's.
printf '4242\nflickstow\nanother-host\n' >"$app/flickstow.lock"
expect_success "$data" program "$build" "$app"
grep -qx "Installed: $app/flickstow" <<<"$output" || fail "the older make run's executable was not replaced"
expect_success "$data" uninstall "$app"
same_tree "the older copies are gone with the uninstall, the catalogue and the lock stay" "$app" \
    "$(printf 'file %s ./data.vrx\nfile %s ./flickstow.lock' "$(sha256sum <"$app/data.vrx" | cut -d' ' -f1)" \
        "$(sha256sum <"$app/flickstow.lock" | cut -d' ' -f1)")"
# Another executable of that name is the user's.
cp /bin/true "$app/flickstow"
run "$data" program "$build" "$app"
[ "$status" -ne 0 ] || fail "replaced an executable flickstow that is not this program"
cmp -s /bin/true "$app/flickstow" || fail "the user's executable flickstow was changed"
rm -rf -- "$app"

echo "== the Debian package launcher's links to the installed program are replaced"
app=$root/linked
mkdir -p "$app"
for name in flickstow libtwain_32.so; do ln -s "/usr/lib/flickstow/$name" "$app/$name"; done
expect_success "$data" program "$build" "$app"
for name in flickstow libtwain_32.so; do
    { [ -f "$app/$name" ] && [ ! -L "$app/$name" ]; } || fail "the launcher's link $name was not replaced by the program file"
done
rm -rf -- "$app"
mkdir -p "$app"
ln -s /usr/lib/other/flickstow "$app/flickstow"
run "$data" program "$build" "$app"
[ "$status" -ne 0 ] || fail "replaced a link flickstow to another program"
[ "$(readlink "$app/flickstow")" = /usr/lib/other/flickstow ] || fail "the user's link flickstow was changed"
rm -rf -- "$app"

echo "== make run's copy, then install and uninstall over it"
app=$root/new/deeper/third
data=$root/share3
expect_success "$data" program "$build" "$app"
[ -x "$app/flickstow" ] || fail "make run's copy left no executable"
[ ! -e "$data" ] || fail "make run's copy wrote into the data folder"
expect_success "$data" install "$build" "$app"
grep -qx "Up to date: $app/flickstow" <<<"$output" || fail "install did not take make run's executable as its own"
expect_success "$data" uninstall "$app"
[ ! -e "$root/new" ] || fail "uninstall left folders that the install made: $(find "$root/new")"
[ ! -e "$data" ] || fail "uninstall left folders that the install made: $(find "$data")"

echo "== bad program folders and data folders"
printf 'not a folder\n' >"$root/afile"
bad_cases=(
    # program folder | data folder | what the message says
    "$root/afile|$root/share4|The program folder $root/afile exists and is not a folder"
    "$root/afile/sub|$root/share4|The program folder $root/afile/sub cannot be made: $root/afile is not a folder"
    "/proc|$root/share4|The program folder /proc cannot be written"
    "$root/fourth|/proc/flickstow-share|cannot be written: no file can be made in /proc"
    "$root/fourth|$root/afile/share|cannot be made: $root/afile is not a folder"
    "$root/100%|$root/share4|contains \"%\""
    "$root/two"$'\n'"lines|$root/share4|contains a control character"
)
for c in "${bad_cases[@]}"; do
    IFS='|' read -r -d '' app data message <<<"$c" || true
    message=${message%$'\n'}
    echo "-- $app, $data"
    run "$data" install "$build" "$app"
    [ "$status" -ne 0 ] || fail "install into $app with data in $data succeeded"
    grep -qF -- "$message" <<<"$output" || fail "install into $app said no '$message'"
    [ "$(cat "$root/afile")" = 'not a folder' ] || fail "install into $app changed $root/afile"
    for made in "$root/fourth" "$root/share4" "$root/100%" "$root/two"$'\n'"lines"; do
        [ ! -e "$made" ] || fail "install into $app made $made although it stopped"
    done
done

echo "PASS"
