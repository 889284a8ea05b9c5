#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that a desktop finds the program, its
# entry (naming the installed program) and its icon, that the uinput keyboard's rule is offered
# but not active, and that the installed program runs (its self-test, without a display),
# recognizing with the libraries and the CPU code installed beside it.
#   instalacion.sh BUILD_DIR TEST_MODEL
set -euo pipefail
build=$1
model=$2
prefix=$(realpath "$(mktemp -d)")
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/sonarel share/applications/org.sonarel.Sonarel.desktop \
  share/icons/hicolor/scalable/apps/sonarel.svg share/sonarel/70-sonarel-uinput.rules \
  lib/sonarel/libwhisper.so.1 lib/sonarel/libparakeet.so.1 lib/sonarel/libggml.so.0 \
  lib/sonarel/libggml-base.so.0 lib/sonarel/libggml-cpu-{haswell,alderlake,skylakex,icelake}.so; do
  [ -f "$prefix/$file" ] || { echo "missing $file" >&2; exit 1; }
done
[ ! -e "$prefix/lib/udev/rules.d/70-sonarel-uinput.rules" ] ||
  { echo "the uinput rule is active by default" >&2; exit 1; }
entry="$prefix/share/applications/org.sonarel.Sonarel.desktop"
# KWin finds the entry by the program's full path, and gives it its window list.
grep -qx "Exec=$prefix/bin/sonarel" "$entry" && grep -qx 'Icon=sonarel' "$entry" &&
  grep -qx 'Type=Application' "$entry" &&
  grep -qx 'X-KDE-Wayland-Interfaces=org_kde_plasma_window_management' "$entry" ||
  { echo "bad desktop entry:" >&2; cat "$entry" >&2; exit 1; }

# The installed self-test, with no display and no sound server: its output, status and log.
selftest() {
  set +e
  output=$(env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$prefix" XDG_DATA_HOME="$prefix" \
    XDG_DATA_DIRS="$prefix" PULSE_SERVER=unix:/nonexistent \
    "$prefix/bin/sonarel" --autoprueba "$@" 2>"$prefix/log")
  status=$?
  set -e
}

# It answers even with no model.
selftest /no/such/file.wav es-MX
expected=$'sin_conexion_disponible=false\nFALLO: No hay reconocedor para es-MX'
if [ "$status" -ne 3 ] || [ "$output" != "$expected" ]; then
  echo "self-test gave status $status and: $output" >&2
  exit 1
fi

# With a model it transcribes on the CPU code installed beside the program, at a level above the
# lowest (AVX2) where the processor has AVX-512.
mkdir -p "$prefix/Sonarel/modelos"
ln -s "$model" "$prefix/Sonarel/modelos/ggml-tiny-test.bin"
espeak-ng -v es -w "$prefix/voz.wav" "Hola, esto es una prueba."
selftest "$prefix/voz.wav" es-MX
if [ "$status" -ne 0 ] || [[ "$output" != *$'\nTRANSCRIPCION: '* ]]; then
  echo "self-test with a model gave status $status and: $output" >&2
  exit 1
fi
loaded=$(grep -o "CPU code for [a-z]*: .*" "$prefix/log") ||
  { echo "no CPU code was loaded:" >&2; cat "$prefix/log" >&2; exit 1; }
[[ "$loaded" == *": $prefix/lib/sonarel/libggml-cpu-"*.so ]] ||
  { echo "the CPU code came from elsewhere: $loaded" >&2; exit 1; }
if grep -qw avx512f /proc/cpuinfo && [[ "$loaded" == *haswell* ]]; then
  echo "the lowest level runs on a processor with AVX-512: $loaded" >&2
  exit 1
fi

# Without any CPU module the model fails to load, and the self-test says so instead of crashing.
rm "$prefix"/lib/sonarel/libggml-cpu-*.so
selftest "$prefix/voz.wav" es-MX
if [ "$status" -ne 3 ] || [[ "$output" != *$'\nFALLO: '* ]] ||
  ! grep -q "no CPU code for this processor in $prefix/lib/sonarel" "$prefix/log"; then
  echo "self-test without CPU code gave status $status and: $output" >&2
  cat "$prefix/log" >&2
  exit 1
fi
echo "installed and ran (${loaded%%:*})"
