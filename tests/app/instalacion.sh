#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that a desktop finds the program, its
# entry and its icon, that the uinput keyboard's rule is offered but not active, and that the installed
# program runs (its self-test, without a display).
#   instalacion.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/sonarel share/applications/org.sonarel.Sonarel.desktop \
  share/icons/hicolor/scalable/apps/sonarel.svg share/sonarel/70-sonarel-uinput.rules; do
  [ -f "$prefix/$file" ] || { echo "missing $file" >&2; exit 1; }
done
[ ! -e "$prefix/lib/udev/rules.d/70-sonarel-uinput.rules" ] ||
  { echo "the uinput rule is active by default" >&2; exit 1; }
entry="$prefix/share/applications/org.sonarel.Sonarel.desktop"
grep -qx 'Exec=sonarel' "$entry" && grep -qx 'Icon=sonarel' "$entry" &&
  grep -qx 'Type=Application' "$entry" || { echo "bad desktop entry" >&2; exit 1; }

# The self-test answers even with no display, no sound server and no model.
set +e
output=$(env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$prefix" XDG_DATA_HOME="$prefix" \
  XDG_DATA_DIRS="$prefix" PULSE_SERVER=unix:/nonexistent \
  "$prefix/bin/sonarel" --autoprueba /no/such/file.wav es-MX 2>/dev/null)
status=$?
set -e
expected=$'sin_conexion_disponible=false\nFALLO: No hay reconocedor para es-MX'
if [ "$status" -ne 3 ] || [ "$output" != "$expected" ]; then
  echo "self-test gave status $status and: $output" >&2
  exit 1
fi
echo "installed and ran"
