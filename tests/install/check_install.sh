#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks it the way a desktop
# and a user would: the exact list of files, the icon sizes, the desktop entry
# and the AppStream metadata through their validators, and the installed
# programs running from there.
#   check_install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
id=org.kestrova.Kestrova

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

expected=(
  bin/kestrova
  bin/kestrova-dump
  share/applications/$id.desktop
  share/icons/hicolor/scalable/apps/$id.svg
  share/metainfo/$id.metainfo.xml
)
sizes=(16 22 24 32 48 64 128 256)
for s in "${sizes[@]}"; do expected+=("share/icons/hicolor/${s}x${s}/apps/$id.png"); done
actual=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
[ "$actual" = "$wanted" ] || fail "installed files differ:$(diff <(echo "$wanted") <(echo "$actual") | sed 's/^/ /')"
for f in bin/kestrova bin/kestrova-dump; do [ -x "$prefix/$f" ] || fail "$f is not executable"; done

for s in "${sizes[@]}"; do
  got=$(identify -format '%wx%h %m' "$prefix/share/icons/hicolor/${s}x${s}/apps/$id.png")
  [ "$got" = "${s}x${s} PNG" ] || fail "${s}x${s} icon is $got"
done

desktop=$prefix/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'MimeType=video/mp4;video/3gpp;video/3gpp2;audio/mp4;video/quicktime;video/x-msvideo;video/avi;' "$desktop" ||
  fail "MimeType line"
grep -qx 'Exec=kestrova %f' "$desktop" || fail "Exec line"
grep -qx "Icon=$id" "$desktop" || fail "Icon line"
# The tree check also looks for the desktop entry the metadata names.
appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli validate-tree"

[ "$("$prefix/bin/kestrova-dump" --version)" = 0.6.1 ] || fail "kestrova-dump --version"
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/kestrova" --version)" = 0.6.1 ] ||
  fail "kestrova --version"
dump=$("$prefix/bin/kestrova-dump" --click 2 "$source/samples/sample.mp4")
for line in 'status: sample.mp4 Open' '  moov' 'Box Type : free (0X66726565)'; do
  grep -qxF -- "$line" <<<"$dump" || fail "kestrova-dump output lacks \"$line\""
done
echo "install into a temporary prefix: ok"
