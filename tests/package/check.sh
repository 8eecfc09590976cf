#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package from a copy of the sources the way a packager would, checks it with the
# tools Debian itself uses, checks that `cmake --install` of the plain build puts the same files in
# place, and runs the packaged program on the test desktop until it is quit from its menu.
# Usage: check.sh SOURCE_DIR BUILD_DIR VERSION APP_ID
set -euo pipefail
source_dir=$1
build_dir=$2
version=$3
app_id=$4
# Skips without a display; gives $scratch (removed on exit), $pid and the window helpers.
. "$(dirname "$0")/../app/desktop-lib.sh"

for tool in dpkg-buildpackage dh lintian blhc hardening-check desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || fail "$tool is missing: scripts/setup installs it"
done

# The package is built from what a commit would hold: tracked files and new files that are not
# ignored, as they are now, and nothing that a build left in the checkout.
src=$scratch/ringlo
mkdir "$src"
if git -C "$source_dir" rev-parse --git-dir >/dev/null 2>&1; then
    (
        cd "$source_dir"
        git ls-files -z --cached --others --exclude-standard |
            while IFS= read -r -d '' file; do
                # Tracked files deleted in the working tree are listed too.
                if [ -e "$file" ] || [ -L "$file" ]; then printf '%s\0' "$file"; fi
            done |
            tar --null --files-from=- -cf -
    ) | tar -C "$src" -xf -
else
    tar -C "$source_dir" --exclude=./build --exclude='./build-*' --exclude=./out -cf - . |
        tar -C "$src" -xf -
fi

echo "== dpkg-buildpackage -us -uc -b"
started=$(date +%s)
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
DEB_BUILD_OPTIONS="parallel=$(nproc)"
export DEB_BUILD_OPTIONS
if ! (cd "$src" && dpkg-buildpackage -us -uc -b) >"$scratch/build.log" 2>&1; then
    tail -n 60 "$scratch/build.log" >&2
    fail "dpkg-buildpackage failed"
fi
echo "built in $(($(date +%s) - started)) s"
changes=$(echo "$scratch"/ringlo_"$version"_*.changes)
deb=$(echo "$scratch"/ringlo_"$version"_*.deb)
if [ ! -f "$changes" ] || [ ! -f "$deb" ]; then
    fail "no .changes and .deb for ringlo $version: $(ls "$scratch")"
fi

echo "== lintian"
# Warnings fail as well as errors: a warning worth keeping gets an override with its reason.
status=0
tags=$(lintian --fail-on error,warning --info --display-info "$changes" 2>&1) || status=$?
tags=$(grep -v 'running with root privileges is not recommended' <<<"$tags" || true)
echo "${tags:-no tags}"
[ "$status" -eq 0 ] || fail "lintian found errors or warnings"

echo "== blhc"
# The binary alone cannot show fortification (see hardening-check below); the compiler commands
# in the build log can.
blhc --all "$scratch/build.log" || fail "the package build lacks hardening flags"

echo "== Depends"
depends=$(dpkg-deb -f "$deb" Depends)
echo "$depends"
# Qt's xcb platform plugin is not in the libraries the program links, so its package is found
# here rather than trusted to stay where it is.
xcb_plugin=$(dpkg -S '*/qt6/plugins/platforms/libqxcb.so' | cut -d: -f1)
for package in libqt6core6 libqt6gui6 libqt6widgets6 libasound2 libxcb1 fonts-liberation \
    "$xcb_plugin"; do
    grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends does not name $package"
done

root=$scratch/root
dpkg -x "$deb" "$root"
plain=$scratch/plain
DESTDIR=$plain cmake --install "$build_dir" --prefix /usr >/dev/null

echo "== the installed files"
# Debian compresses manual pages and adds its own documentation; otherwise both trees must agree.
listing() {
    (cd "$1" && find . \( -type f -o -type l \) -printf '%P\n') |
        grep -v '^usr/share/doc/' | sed 's/^\(usr\/share\/man\/.*\)\.gz$/\1/' | LC_ALL=C sort
}
listing "$root" >"$scratch/package.list"
listing "$plain" >"$scratch/plain.list"
cat "$scratch/package.list"
diff -u "$scratch/package.list" "$scratch/plain.list" ||
    fail "the package and cmake --install put different files in place"
desktop=usr/share/applications/$app_id.desktop
metainfo=usr/share/metainfo/$app_id.metainfo.xml
cat >"$scratch/expected.list" <<EOF
usr/bin/ringlo
$desktop
usr/share/icons/hicolor/16x16/apps/$app_id.png
usr/share/icons/hicolor/32x32/apps/$app_id.png
usr/share/icons/hicolor/scalable/apps/$app_id.svg
usr/share/man/man1/ringlo.1
$metainfo
EOF
diff -u "$scratch/expected.list" "$scratch/package.list" || fail "unexpected installed files"
# Each icon size in its own folder, under the id that the desktop entry names.
icons=usr/share/icons/hicolor
for icon in 16x16/apps/"$app_id".png:ringlo-16.png 32x32/apps/"$app_id".png:ringlo-32.png \
    scalable/apps/"$app_id".svg:ringlo.svg; do
    cmp "$src/packaging/icons/${icon#*:}" "$root/$icons/${icon%%:*}" ||
        fail "$icons/${icon%%:*} is not packaging/icons/${icon#*:}"
done
for file in "$desktop" "$metainfo"; do
    cmp "$root/$file" "$plain/$file" || fail "the package and cmake --install differ in $file"
done
zcat "$root/usr/share/man/man1/ringlo.1.gz" | cmp - "$plain/usr/share/man/man1/ringlo.1" ||
    fail "the package and cmake --install differ in the manual page"

echo "== desktop-file-validate"
report=$(desktop-file-validate "$root/$desktop" 2>&1) || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"
echo "no errors, no warnings"
entry() { sed -n "s/^$1=//p" "$root/$desktop"; }
[ "$(entry Icon)" = "$app_id" ] || fail "the desktop entry's icon is not $app_id"
[ "$(entry Exec)" = ringlo ] || fail "the desktop entry does not start ringlo"

echo "== appstreamcli validate --no-net"
appstreamcli validate --no-net "$root/$metainfo" || fail "appstreamcli validate"
grep -q "<id>$app_id</id>" "$root/$metainfo" || fail "the AppStream id is not $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$root/$metainfo" ||
    fail "the AppStream description does not launch $app_id.desktop"
grep -q "<release version=\"$version\"" "$root/$metainfo" ||
    fail "the AppStream description has no release $version"
grep -q "^\.TH RINGLO 1 .*\"Ringlo $version\"" "$plain/usr/share/man/man1/ringlo.1" ||
    fail "the manual page is not for Ringlo $version"

echo "== hardening-check"
# Control flow protection needs start files built for it, and Debian 12's glibc has none, so no
# program there gets the mark. Fortification shows in a binary only where the compiler kept a
# checked call; Qt code copies through pointers of unknown size, so blhc checks it instead.
for binary in "$root/usr/bin/ringlo" "$plain/usr/bin/ringlo"; do
    hardening-check --nofortify --nocfprotection "$binary" || fail "hardening-check $binary"
done
# The plain build has no build log to give blhc; its compiler commands say the same.
if [ -f "$build_dir/build.ninja" ]; then
    compiles=0
    while IFS= read -r command; do
        compiles=$((compiles + 1))
        fortify=$(grep -oE -- '-[DU] ?_FORTIFY_SOURCE(=[0-9])?' <<<"$command" | tail -n1)
        [ "$fortify" = -D_FORTIFY_SOURCE=2 ] || fail "not fortified: $command"
        grep -q -- '-fstack-protector-strong' <<<"$command" || fail "no stack protector: $command"
    done < <(ninja -C "$build_dir" -t commands ringlo | grep -E '^[^ ]*(c\+\+|g\+\+) .* -c ')
    [ "$compiles" -gt 0 ] || fail "no compiler commands for ringlo in $build_dir"
    echo "the plain build compiles all $compiles sources of ringlo with -D_FORTIFY_SOURCE=2"
else
    echo "$build_dir is not a Ninja build: its compiler commands were not checked"
fi

echo "== the packaged program on the desktop"
"$root/usr/bin/ringlo" &
pid=$!
main=$(window_of 'Ringlo (PC)') || fail "the packaged program showed no main window"
# On X11 the desktop ties a window to its menu entry by the window's class.
class=$(xprop -id "$main" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = ".*", "\(.*\)"$/\1/p')
[ "$class" = "$(entry StartupWMClass)" ] ||
    fail "window class \"$class\" is not the desktop entry's StartupWMClass"
choose_avsluta "$main"
expect_exit '"Avsluta" in the packaged program'
echo "the packaged program showed its main window and quit from its menu"
