#!/usr/bin/env bash
# Starts a headless Wayland compositor (weston) and the program on Qt's Wayland platform: the window
# must come up and stay. A scripted copy there, with no X11 to keep the clipboard, must say so in
# one line.
#   check-wayland.sh CROPLING PICTURE
set -uo pipefail
app="$1"
picture="$2"
if ! command -v weston >/dev/null; then
  echo "weston is not installed; the Wayland start is not checked"
  exit 0
fi
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
weston --backend=headless-backend.so --socket=cropling-test --idle-time=0 >"$runtime/weston.log" 2>&1 &
compositor=$!
trap 'kill $compositor 2>/dev/null; rm -rf "$runtime"' EXIT
for _ in $(seq 50); do [ -S "$runtime/cropling-test" ] && break; sleep 0.1; done

unset DISPLAY
export WAYLAND_DISPLAY=cropling-test QT_QPA_PLATFORM=wayland
timeout 3 "$app" "$picture" 2>"$runtime/app.log"
status=$?
if [ $status -ne 124 ]; then
  echo "the window did not stay up under Wayland (exit $status):"; cat "$runtime/app.log"; exit 1
fi

CROPLING_OPEN="$picture" CROPLING_TEST_SAVE="$runtime/unused.png" CROPLING_TEST_COPY= timeout 10 "$app" 2>"$runtime/copy.log"
status=$?
if [ $status -ne 1 ] || [ "$(wc -l <"$runtime/copy.log")" -ne 1 ] || ! grep -q "X11" "$runtime/copy.log"; then
  echo "a scripted copy under pure Wayland should fail with one line (exit $status):"; cat "$runtime/copy.log"; exit 1
fi
echo "starts under Wayland; a copy there says: $(cat "$runtime/copy.log")"
