#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs from it; then packs
# the .deb and, as root, installs it like any Debian package and starts it.
#   check-install.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
id=org.cropling.Cropling

cmake --install "$build" --prefix "$prefix" >/dev/null
desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null
test -x "$prefix/bin/cropling"
test -f "$prefix/share/man/man1/cropling.1"
test -f "$prefix/share/icons/hicolor/scalable/apps/$id.svg"
for size in 16 32 48 64 128 256 512; do
  test -f "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
done
grep -q '^Exec=cropling %U$' "$prefix/share/applications/$id.desktop"
"$prefix/bin/cropling" --version | grep -q '^cropling '
# The installed program finds its helpers and its libvips module: a JPEG goes to the direct helper,
# an animation's GIF is encoded by the module.
convert -size 300x200 gradient:red-blue "$prefix/photo.jpg"
convert -size 40x40 -delay 10 xc:red xc:blue -loop 0 "$prefix/blink.gif"
"$prefix/bin/cropling" render "$prefix/photo.jpg" -o "$prefix/photo.png"
"$prefix/bin/cropling" render "$prefix/blink.gif" -o "$prefix/blink-emoji.gif"
test "$(identify -format '%w %h\n' "$prefix/photo.png")" = "128 128"
test "$(identify -format '%n\n' "$prefix/blink-emoji.gif" | head -1)" = 2
test -x "$prefix/libexec/cropling/cropling-direct-decoder"
test -f "$prefix/lib/cropling/libcropling-vips.so"

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/cropling_*.deb)
contents=$(dpkg-deb -c "$deb")
grep -q './usr/bin/cropling$' <<<"$contents"
grep -q "./usr/share/applications/$id.desktop$" <<<"$contents"
grep -q libvips <<<"$(dpkg-deb -f "$deb" Depends)"
if [ "$(id -u)" -eq 0 ] && [ "${CROPLING_INSTALL_DEB:-}" = 1 ]; then
  apt-get install -y -q "$deb" >/dev/null
  /usr/bin/cropling --version | grep -q '^cropling '
  dpkg -r cropling >/dev/null
fi
echo "installed, validated and packed: $deb"
