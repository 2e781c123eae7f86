#!/usr/bin/env bash
# The real program on its own X server with a window manager, a private HOME and its own folder,
# driven like a person with xdotool: the first run's windows, the settings file they write, a
# second start that needs no windows, Escape in either window, and a second copy.
# Usage: first_run_e2e.sh <path of the built program>
set -euo pipefail
program=$1
work=$(mktemp -d /tmp/ax-e2e.XXXXXX)
pids=()
cleanup() {
  # SIGKILL: the program does not end on SIGTERM (see the README), and message boxes run in
  # child processes of their own.
  for pid in "${pids[@]}"; do kill -KILL -- -"$pid" 2>/dev/null || kill -KILL "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  cat "$work/program.log" >&2
  xwininfo -root -tree | grep -E '"(Ardent X|audio device|options)"' >&2 || true
  exit 1
}

# A name with the development-build marker, so the single-instance guard counts this copy.
bin="$work/bin"
mkdir -p "$bin" "$work/home"
exe="$bin/Ardent-X-ax-devbuild"
cp "$program" "$exe"

exec 3> "$work/display"
setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
export HOME="$work/home"
unset XDG_DATA_HOME
# openbox runs its start-up command once it manages windows; a window mapped while it is still
# starting can wait for its map notification for ever.
setsid openbox --startup "touch $work/wm-ready" > "$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/wm-ready" ] && break; sleep 0.1; done
[ -e "$work/wm-ready" ] || fail "openbox did not start"

# In the address-sanitizer build the desktop's libraries (dbus, fontconfig, the X and GL drivers
# that SDL loads and unloads) leave caches behind that show as leaks without usable stacks. Our
# own code's leaks are checked by the unit tests, which run start-up with the real engine
# libraries; here only memory errors end the program.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
# In the thread-sanitizer build, the software GL driver's own threads are set aside likewise.
export TSAN_OPTIONS="${TSAN_OPTIONS:+$TSAN_OPTIONS:}suppressions=$(cd "$(dirname "$0")" && pwd)/desktop_races.supp"

start() {
  setsid "$exe" > "$work/program.log" 2>&1 &
  app=$!
  pids+=($app)
}
# Waits up to 20 s for a window of the running program with this exact title to be on the
# screen (a press before that goes to whatever lies below); prints its id. Polled, because a
# search fails outright when another window goes away during it.
window() {
  local id
  for _ in $(seq 200); do
    id=$(xdotool search --all --pid "$app" --name "^$1\$" 2>/dev/null | head -n1) || true
    if [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q IsViewable; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}
# The window's client origin on the screen as "x y".
origin() { xdotool getwindowgeometry --shell "$1" | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}'; }
click_at() {  # window, client x, client y
  read -r x y < <(origin "$1")
  xdotool mousemove --sync $((x + $2)) $((y + $3)) click 1
}
key_at() {  # window, client x, client y, key
  read -r x y < <(origin "$1")
  xdotool mousemove --sync $((x + $2)) $((y + $3))
  xdotool windowfocus --sync "$1" key "$4"
}
# The colour of a pixel of a picture as #RRGGBB.
pixel() { convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | tail -n1 | grep -o '#[0-9A-F]\{6\}'; }
ended() {  # waits up to 20 s for the program to end with code 0; fails otherwise
  local code=0
  for _ in $(seq 200); do
    if ! kill -0 "$app" 2>/dev/null; then
      wait "$app" || code=$?
      [ "$code" = 0 ] || fail "$1: the program ended with code $code"
      return 0
    fi
    sleep 0.1
  done
  fail "$1: the program did not end"
}
expected="$work/expected.is"
{ printf '\x2c\x62\x34\x01'; printf 'Virtual DSD output' | iconv -t UTF-16LE
  printf '\x0d\x00\x0a\x00\x00\x01\x01\x01\x00\x00\xff'; } > "$expected"

echo "first run: splash, device window, options window, settings written"
start
splash=$(window "Ardent X") || fail "no splash window"
# The splash: its 10-pixel frame in the window colour, inside it the skin picture shifted by
# (-50, -220). It stays at least 800 ms after it is drawn; pictures are taken until it is.
skin="$(dirname "$0")/../../assets/skin.png"
splash_drawn() {  # pictures of the window alone: quick, and in client coordinates
  import -window "$splash" "$work/splash.png" 2>/dev/null || return 1
  [ "$(pixel "$work/splash.png" 0 0)" = "#697B82" ] || return 1
  local x y
  for at in "10 10" "200 300" "379 469"; do
    read -r x y <<< "$at"
    [ "$(pixel "$work/splash.png" "$x" "$y")" = "$(pixel "$skin" $((x + 40)) $((y + 210)))" ] ||
      return 1
  done
}
drawn=no
for _ in $(seq 20); do splash_drawn && { drawn=yes; break; }; sleep 0.05; done
[ "$drawn" = yes ] || fail "the splash does not show its frame and the skin region"
device=$(window "audio device") || fail "no audio device window"
# The device's label lights in the hover colour while the cursor is over it, and only then.
read -r dx dy < <(origin "$device")
label_pixels() {  # how many pixels of device label 0 have the colour $1
  import -window "$device" "$work/device.png" 2>/dev/null || { echo 0; return; }
  convert "$work/device.png" -crop "360x22+20+60" -depth 8 txt:- | grep -c "$1" || true
}
xdotool mousemove --sync $((dx + 200)) $((dy + 400))
lit=no
for _ in $(seq 20); do
  [ "$(label_pixels '#CDCDE6')" -gt 0 ] && [ "$(label_pixels '#EDEDF6')" = 0 ] && { lit=yes; break; }
  sleep 0.1
done
[ "$lit" = yes ] || fail "the device label is not drawn in the dialog text colour"
xdotool mousemove --sync $((dx + 40)) $((dy + 70))
lit=no
for _ in $(seq 20); do [ "$(label_pixels '#EDEDF6')" -gt 0 ] && { lit=yes; break; }; sleep 0.1; done
[ "$lit" = yes ] || fail "the device label does not light under the cursor"
click_at "$device" 40 70
options=$(window "options") || fail "no options window after choosing the device"
click_at "$options" 180 130
sleep 0.6  # two separate presses, not one double click (both count, but keep it plain)
click_at "$options" 180 130
click_at "$options" 210 390
ended "after Start"
cmp "$expected" "$bin/ax.is" || fail "settings file bytes: $(xxd "$bin/ax.is")"
for lib in fell.dll tarn.dll scree.dll; do
  [ -f "$HOME/.local/share/Marwenholt/vx20/$lib" ] || fail "$lib not installed"
done

echo "second run: the device is found again, no configuration window"
before=$(stat -c %Y.%s "$bin/ax.is")
start
window "Ardent X" > /dev/null || fail "no splash window on the second run"
ended "second run"
[ "$(stat -c %Y.%s "$bin/ax.is")" = "$before" ] || fail "second run rewrote the settings"

echo "Escape in the audio device window ends without writing"
rm "$bin/ax.is"
start
device=$(window "audio device") || fail "no audio device window"
key_at "$device" 200 300 Escape
ended "Escape in the device window"
[ ! -e "$bin/ax.is" ] || fail "settings written after Escape"

echo "Escape in the options window ends without writing"
start
device=$(window "audio device")
click_at "$device" 40 70
options=$(window "options") || fail "no options window"
key_at "$options" 200 300 Escape
ended "Escape in the options window"
[ ! -e "$bin/ax.is" ] || fail "settings written after Escape"

echo "an engine library that cannot be installed: its message, then the end"
mv "$HOME/.local/share/Marwenholt/vx20" "$work/engine-folder"
touch "$HOME/.local/share/Marwenholt/vx20"  # a file where the folder should be
start
box=""
for _ in $(seq 200); do
  # The box's title is UTF-8 only, which xdotool's name search does not read.
  box=$(xwininfo -root -tree | awk '/ "Velora": /{print $1; exit}') || true
  [ -n "$box" ] && xwininfo -id "$box" 2>/dev/null | grep -q IsViewable && break
  box=""
  sleep 0.1
done
[ -n "$box" ] || fail "no message box titled Velora"
xdotool windowfocus --sync "$box" key Return
ended "after the engine message"
rm "$HOME/.local/share/Marwenholt/vx20"
mv "$work/engine-folder" "$HOME/.local/share/Marwenholt/vx20"

echo "a second copy ends silently while the first runs on"
start
first=$app
window "audio device" > /dev/null || fail "no audio device window"
start
ended "second copy"
kill -0 "$first" 2>/dev/null || fail "the first copy ended"
echo "ok"
