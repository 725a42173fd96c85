#!/usr/bin/env bash
# The Debian package, made from this build the way `make package` makes it.
#
#   test_package.sh contents SOURCE_DIR BUILD_DIR
#     the same bytes twice; its files, their owners and modes; dependencies
#     on every library the binaries link; no maintainer scripts that could
#     touch a user's files; lintian, appstreamcli and desktop-file-validate.
#   test_package.sh launcher SOURCE_DIR BUILD_DIR DRIVER
#     its files unpacked into a temporary root; the launcher started with a
#     temporary HOME under the offscreen platform, with DRIVER (a library
#     loaded into the program) adding a film by keys and saving: each user's
#     program folder, the catalogue saved there, and folders it must not
#     touch.
set -euo pipefail

mode=$1
source_dir=$2
build=$3
driver=${4:-}
root=$(mktemp -d)
trap 'rm -rf -- "$root"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Builds the package into $1 and prints its path.
build_package() {
    mkdir -p "$1"
    bash "$source_dir/scripts/package.sh" "$build" "$1" >"$1/log" 2>&1 || {
        cat "$1/log" >&2
        fail "the package could not be built"
    }
    local debs=("$1"/*.deb)
    [ ${#debs[@]} -eq 1 ] || fail "package.sh made ${#debs[@]} packages: ${debs[*]}"
    echo "${debs[0]}"
}

version=$(sed -n '1s/^flickstow (\(.*\)) .*/\1/p' "$source_dir/packaging/changelog")

contents() {
    local deb second
    deb=$(build_package "$root/one")
    [ "$(basename "$deb")" = "flickstow_${version}_amd64.deb" ] || fail "the package is named $(basename "$deb")"

    echo "== the same sources give the same bytes"
    # Build outputs touched, as a rebuild that changed nothing leaves them.
    touch "$build/app/flickstow" "$build/app/libtwain_32.so"
    second=$(build_package "$root/two")
    cmp "$deb" "$second" || fail "two builds of the package differ"

    echo "== files, owners and modes"
    local expected=(
        "drwxr-xr-x root/root ./usr/"
        "drwxr-xr-x root/root ./usr/bin/"
        "-rwxr-xr-x root/root ./usr/bin/flickstow"
        "drwxr-xr-x root/root ./usr/lib/"
        "drwxr-xr-x root/root ./usr/lib/flickstow/"
        "-rwxr-xr-x root/root ./usr/lib/flickstow/flickstow"
        "-rw-r--r-- root/root ./usr/lib/flickstow/libtwain_32.so"
        "drwxr-xr-x root/root ./usr/share/"
        "drwxr-xr-x root/root ./usr/share/applications/"
        "-rw-r--r-- root/root ./usr/share/applications/flickstow.desktop"
        "drwxr-xr-x root/root ./usr/share/doc/"
        "drwxr-xr-x root/root ./usr/share/doc/flickstow/"
        "-rw-r--r-- root/root ./usr/share/doc/flickstow/changelog.Debian.gz"
        "-rw-r--r-- root/root ./usr/share/doc/flickstow/copyright"
        "drwxr-xr-x root/root ./usr/share/icons/"
        "drwxr-xr-x root/root ./usr/share/icons/hicolor/"
        "drwxr-xr-x root/root ./usr/share/lintian/"
        "drwxr-xr-x root/root ./usr/share/lintian/overrides/"
        "-rw-r--r-- root/root ./usr/share/lintian/overrides/flickstow"
        "drwxr-xr-x root/root ./usr/share/man/"
        "drwxr-xr-x root/root ./usr/share/man/man1/"
        "-rw-r--r-- root/root ./usr/share/man/man1/flickstow.1.gz"
        "drwxr-xr-x root/root ./usr/share/metainfo/"
        "-rw-r--r-- root/root ./usr/share/metainfo/com.example.varnholt.flickstow.metainfo.xml"
    )
    local size
    for size in 16 32 48 64 128 256; do
        expected+=("drwxr-xr-x root/root ./usr/share/icons/hicolor/${size}x$size/"
            "drwxr-xr-x root/root ./usr/share/icons/hicolor/${size}x$size/apps/"
            "-rw-r--r-- root/root ./usr/share/icons/hicolor/${size}x$size/apps/flickstow.png")
    done
    local listed
    listed=$(dpkg-deb -c "$deb" | awk '$6 != "./" { print $1, $2, $6 }' | LC_ALL=C sort)
    diff <(printf '%s\n' "${expected[@]}" | LC_ALL=C sort) <(printf '%s\n' "$listed") >&2 ||
        fail "the package holds other files, owners or modes than expected (< expected, > in the package)"
    dpkg-deb -x "$deb" "$root/tree"
    for size in 16 32 48 64 128 256; do
        cmp "$source_dir/app/resources/icons/flickstow-$size.png" "$root/tree/usr/share/icons/hicolor/${size}x$size/apps/flickstow.png" ||
            fail "the $size px icon is not the program's"
    done

    echo "== control: no maintainer scripts, dependencies from the binaries"
    local control
    control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | LC_ALL=C sort | tr '\n' ' ')
    [ "$control" = "./control ./md5sums " ] || fail "the control archive holds $control: no maintainer script may run at install or removal"
    [ "$(dpkg-deb -f "$deb" Package)" = flickstow ] || fail "the package is not called flickstow"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not the changelog's $version"
    [ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "the package is not for amd64"
    local depends recommends needed soname path candidate package
    depends=", $(dpkg-deb -f "$deb" Depends | sed 's/ *([^)]*)//g; s/ *| */, /g'), "
    recommends=", $(dpkg-deb -f "$deb" Recommends), "
    for package in cups sane-utils; do
        [[ $recommends == *", $package, "* ]] || fail "the package does not recommend $package"
    done
    # Each library the binaries name, where the loader finds it, and the
    # package holding it (under /lib or /usr/lib: the two are one folder).
    local binaries=("$root/tree/usr/lib/flickstow/flickstow" "$root/tree/usr/lib/flickstow/libtwain_32.so")
    needed=$(LC_ALL=C join <(objdump -p "${binaries[@]}" | awk '$1 == "NEEDED" { print $2 }' | LC_ALL=C sort -u) \
        <(ldd "${binaries[@]}" | awk '$2 == "=>" { print $1, $3 }' | LC_ALL=C sort -u))
    [ -n "$needed" ] || fail "the binaries link no library"
    while read -r soname path; do
        package=
        for candidate in "$path" "$(readlink -f "$path")" "/usr$path" "${path#/usr}"; do
            package=$(dpkg -S "$candidate" 2>/dev/null | head -n 1 | cut -d: -f1) && [ -n "$package" ] && break
        done
        [ -n "$package" ] || fail "no installed package holds $path ($soname)"
        [[ $depends == *", $package, "* ]] || fail "the package does not depend on $package, which holds $soname"
    done <<<"$needed"
    # The libraries the program opens only when a feature first needs them.
    [ -s "$build/on-demand-libraries.txt" ] || fail "the build names no library opened on demand"
    while read -r path; do
        package=$(dpkg -S "$path" 2>/dev/null | head -n 1 | cut -d: -f1)
        [ -n "$package" ] || fail "no installed package holds $path, opened on demand"
        [[ $depends == *", $package, "* ]] || fail "the package does not depend on $package, which holds $path (opened on demand)"
    done <"$build/on-demand-libraries.txt"

    echo "== lintian"
    command -v lintian >/dev/null || fail "lintian is missing (make deps)"
    lintian --fail-on error,warning --display-info "$deb" || fail "lintian finds errors or warnings"

    echo "== the menu entry and the metainfo"
    local entry=$root/tree/usr/share/applications/flickstow.desktop
    local metainfo=$root/tree/usr/share/metainfo/com.example.varnholt.flickstow.metainfo.xml
    local said
    said=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate rejects the entry: $said"
    [ -z "$said" ] || fail "desktop-file-validate complains: $said"
    grep -qx 'Exec=flickstow' "$entry" || fail "the entry does not start the launcher"
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
    grep -q '<launchable type="desktop-id">flickstow.desktop</launchable>' "$metainfo" ||
        fail "the metainfo does not launch the package's menu entry"
    grep -q "<release version=\"${version%-*}\" date=\"[0-9-]*\"" "$metainfo" || fail "the metainfo's release is not ${version%-*}"
    grep -q '<content_rating type="oars-1.1"/>' "$metainfo" || fail "the metainfo has no content rating"
    local shot shots=0
    while IFS= read -r shot; do
        [ -f "$source_dir/docs/screenshots/$shot" ] || fail "the metainfo shows $shot, which docs/screenshots does not hold"
        shots=$((shots + 1))
    done < <(sed -n 's|.*<image>.*/\([^/]*\)</image>.*|\1|p' "$metainfo")
    [ "$shots" -gt 0 ] || fail "the metainfo shows no screenshot"
    zcat "$root/tree/usr/share/man/man1/flickstow.1.gz" | grep -q FLICKSTOW_HOME || fail "the man page does not tell of FLICKSTOW_HOME"
    echo PASS
}

# Starts Flickstow as the menu entry does, by the name on PATH, for a user
# whose home is $1 and who adds the film $2; further arguments are settings
# of the environment. Leaves the exit status in $status.
start_as() {
    local home=$1 title=$2
    shift 2
    mkdir -p "$home/.runtime"
    chmod 700 "$home/.runtime"
    status=0
    (cd "$home" && env -u FLICKSTOW_HOME HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/.runtime" \
        PATH="$root/tree/usr/bin:$PATH" QT_QPA_PLATFORM=offscreen SANE_CONFIG_DIR="$root/sane.d" \
        LD_PRELOAD="$driver" FLICKSTOW_TEST_TITLE="$title" "$@" timeout 100 flickstow) >"$root/started.log" 2>&1 ||
        status=$?
    sed 's/^/    | /' "$root/started.log"
}

# The films of the catalogue in the folder $1, one title a line.
titles() {
    [ -f "$1/data.vrx" ] || return 0
    awk 'NR % 13 == 1' "$1/data.vrx" | tr -d '\r'
}

# A program folder the launcher made: its two links, and the titles saved.
check_made() {
    local folder=$1 name
    shift
    { [ -d "$folder" ] && [ ! -L "$folder" ]; } || fail "the launcher made no program folder $folder"
    for name in flickstow libtwain_32.so; do
        [ "$(readlink "$folder/$name")" = "$lib/$name" ] || fail "$folder/$name is not a link to $lib/$name"
    done
    [ "$(titles "$folder")" = "$(printf '%s\n' "$@")" ] ||
        fail "the catalogue in $folder holds '$(titles "$folder" | tr '\n' ',')', not '$*'"
}

launcher() {
    local deb lib_before a_before
    deb=$(build_package "$root/deb")
    dpkg-deb -x "$deb" "$root/tree"
    lib=$root/tree/usr/lib/flickstow
    lib_before=$(ls -l --time-style=+ "$lib")
    # No scanner is looked for: SANE reads an empty configuration.
    mkdir "$root/sane.d"
    : >"$root/sane.d/dll.conf"

    echo "== a first user: ~/Flickstow with links to the installed files, the catalogue there"
    start_as "$root/ann" Alien
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
    check_made "$root/ann/Flickstow" Alien
    [ "$(ls -l --time-style=+ "$lib")" = "$lib_before" ] || fail "something was written beside the installed program"
    a_before=$(cd "$root/ann/Flickstow" && ls -l --time-style=+ && sha256sum data.vrx)

    echo "== a second user: a folder of their own"
    start_as "$root/bob" Brazil
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
    check_made "$root/bob/Flickstow" Brazil
    [ "$(cd "$root/ann/Flickstow" && ls -l --time-style=+ && sha256sum data.vrx)" = "$a_before" ] ||
        fail "the second user's start changed the first user's folder"

    echo "== the first user again: the same folder and catalogue"
    start_as "$root/ann" Casablanca
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
    check_made "$root/ann/Flickstow" Alien Casablanca

    echo "== FLICKSTOW_HOME names the folder, relative to the working folder"
    start_as "$root/cid" Dune FLICKSTOW_HOME=films
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
    check_made "$root/cid/films" Dune
    [ ! -e "$root/cid/Flickstow" ] || fail "the launcher made ~/Flickstow although FLICKSTOW_HOME names another folder"

    echo "== a folder that make run filled is left alone, and its program started"
    bash "$source_dir/scripts/install.sh" program "$build" "$root/dee/Flickstow" >/dev/null
    start_as "$root/dee" Equus
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
    [ "$(titles "$root/dee/Flickstow")" = Equus ] || fail "the catalogue was not saved beside the program make run put there"
    for name in flickstow libtwain_32.so; do
        { [ -f "$root/dee/Flickstow/$name" ] && [ ! -L "$root/dee/Flickstow/$name" ]; } ||
            fail "the launcher replaced make run's $name"
    done

    echo "== a file in the way stops the start, and nothing is changed"
    mkdir -p "$root/eve/Flickstow"
    printf 'my notes\n' >"$root/eve/Flickstow/flickstow"
    start_as "$root/eve" Fargo
    [ "$status" -ne 0 ] || fail "the launcher started although a file of its own stands in the program folder"
    grep -q "$root/eve/Flickstow/flickstow is in the way" "$root/started.log" || fail "no clear message about the file in the way"
    { [ "$(ls -A "$root/eve/Flickstow")" = flickstow ] && [ "$(cat "$root/eve/Flickstow/flickstow")" = 'my notes' ]; } ||
        fail "the launcher changed the folder although it stopped"
    echo PASS
}

case $mode in
    contents) contents ;;
    launcher) launcher ;;
    *) fail "unknown mode $mode" ;;
esac
