# Helpers of the desktop stage (sourced by run.sh): the X display, the program
# in a scratch directory of its own, waits that always end, screenshots and the
# questions asked of them. Every wait polls with a time limit; nothing sleeps long.

# Set by run.sh: top (the source tree), program, pixels, work, shots.
program_pid=""
scratch=""
case_name=""
case_failed=0
last_shot=""

# ---- waiting ------------------------------------------------------------------------------
# Runs the command every 0.2 s until it succeeds; 1 when the seconds pass first.
wait_for() {
  local limit=$1
  shift
  local end=$((SECONDS + limit))
  until "$@"; do
    ((SECONDS >= end)) && return 1
    sleep 0.2
  done
}

# ---- the display --------------------------------------------------------------------------
# Xvfb on TW_DESKTOP_DISPLAY, or on a free number the server picks itself, and
# openbox on it; DISPLAY is exported.
start_display() {
  if [[ -n ${TW_DESKTOP_DISPLAY:-} ]]; then
    Xvfb ":$TW_DESKTOP_DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    DISPLAY=":$TW_DESKTOP_DISPLAY"
  else
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display-number" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    if ! wait_for 20 test -s "$work/display-number"; then
      echo "desktop: Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"
      return 1
    fi
    DISPLAY=":$(head -n 1 "$work/display-number")"
  fi
  export DISPLAY
  if ! wait_for 20 xdpyinfo >/dev/null 2>&1; then
    echo "desktop: no X server answers on $DISPLAY: $(tail -n 3 "$work/xvfb.log")"
    return 1
  fi
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  if ! wait_for 20 wm_running; then
    echo "desktop: openbox did not take the display: $(tail -n 3 "$work/openbox.log")"
    return 1
  fi
  echo "desktop: display $DISPLAY with openbox"
}

wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

stop_display() {
  [[ -n ${wm_pid:-} ]] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
  [[ -n ${xvfb_pid:-} ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  wm_pid="" xvfb_pid=""
}

# ---- cases --------------------------------------------------------------------------------
begin_case() {
  case_name=$1
  case_failed=0
  last_shot=""
  scratch="$work/$case_name"
  mkdir -p "$scratch/data" "$scratch/tmp" "$scratch/home"
  chmod 700 "$scratch/tmp"
  # The program keeps tarn.dat beside itself: each case has its own copy.
  ln -L "$program" "$scratch/tarnwick" 2>/dev/null || cp -L "$program" "$scratch/tarnwick"
  cp -r "$top/data/library" "$scratch/library"
  # The examples without their settings files: the program starts from its own defaults.
  cp -r "$top/data/examples/spice" "$top/data/examples/amp.cir" "$scratch/"
  case_started=$SECONDS
}

# Records the failure with its screenshot and the program's output in the
# artefact folder; the case function returns 1 after calling it.
fail() {
  case_failed=1
  mkdir -p "$shots"
  echo "FAILED $case_name: $*"
  if [[ -n $last_shot && -s $last_shot ]]; then
    convert "xwd:$last_shot" "$shots/$case_name.png" 2>/dev/null && echo "  screenshot: $shots/$case_name.png"
  fi
  if [[ -s $scratch/program.log ]]; then
    cp "$scratch/program.log" "$shots/$case_name.log"
    echo "  program output: $shots/$case_name.log"
  fi
}

# Stops the program (when still running), then fails the case on any
# sanitizer report; removes the scratch directory of a passed case.
end_case() {
  stop_program
  if [[ $case_failed -eq 0 ]] && sanitizer_report; then
    fail "the program's sanitizers reported: $(sanitizer_report_line)"
  fi
  if [[ $case_failed -eq 0 ]]; then
    echo "passed $case_name ($((SECONDS - case_started)) s)"
    rm -rf "$scratch"
    return 0
  fi
  return 1
}

sanitizer_report() { grep -qE 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$scratch/program.log" 2>/dev/null; }
sanitizer_report_line() { grep -m1 -E 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$scratch/program.log"; }

# ---- the program --------------------------------------------------------------------------
# Starts the program in the case's scratch directory with the arguments; its
# own temporary folder keeps its single-instance name apart from any other
# copy running on this machine.
launch() {
  (cd "$scratch" && exec env TMPDIR="$scratch/tmp" HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" \
    XDG_RUNTIME_DIR="$scratch/tmp" ./tarnwick "$@") >"$scratch/program.log" 2>&1 &
  program_pid=$!
}

alive() {
  [[ -n $program_pid && -e /proc/$program_pid ]] && ! grep -q '^State:[[:space:]]*Z' "/proc/$program_pid/status" 2>/dev/null
}

# Waits for the program to end by itself (seconds); its exit status in exit_status.
wait_exit() {
  wait_for "$1" eval '! alive' || return 1
  wait "$program_pid" 2>/dev/null
  exit_status=$?
  program_pid=""
}

stop_program() {
  [[ -n $program_pid ]] || return 0
  if alive; then
    kill "$program_pid" 2>/dev/null
    wait_for 10 eval '! alive' || kill -KILL "$program_pid" 2>/dev/null
  fi
  wait "$program_pid" 2>/dev/null
  program_pid=""
}

# The reason the program is gone, for a failure message.
death_note() {
  if sanitizer_report; then
    echo "it crashed: $(sanitizer_report_line)"
  else
    echo "it ended: $(tail -n 2 "$scratch/program.log" | tr '\n' ' ')"
  fi
}

# ---- windows ------------------------------------------------------------------------------
# A visible window of the program whose title matches the pattern.
find_window() { xdotool search --all --onlyvisible --pid "$program_pid" --name "$1" 2>/dev/null | head -n 1; }

# Waits (seconds) for such a window; its id in `window`. 1 when it does not
# come or the program dies.
wait_window() {
  local end=$((SECONDS + $2))
  window=""
  while ((SECONDS < end)); do
    window=$(find_window "$1")
    [[ -n $window ]] && return 0
    alive || return 1
    sleep 0.2
  done
  return 1
}

# The window's client area in screen coordinates: wx wy ww wh.
geometry() {
  local info
  info=$(xwininfo -id "$1" 2>/dev/null) || return 1
  wx=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  wy=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  ww=$(awk '/Width:/ {print $2}' <<<"$info")
  wh=$(awk '/Height:/ {print $2}' <<<"$info")
}

# Window ids of the window manager's stacking list, bottom first, in decimal.
stacking() {
  xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null | sed 's/.*#//' | tr ',' '\n' | while read -r id; do
    [[ -n $id ]] && printf '%d\n' "$id"
  done
}

activate() { xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowactivate "$1" >/dev/null 2>&1; }

# ---- screenshots --------------------------------------------------------------------------
shot_count=0
shot() {
  shot_count=$((shot_count + 1))
  last_shot="$scratch/shot-$shot_count.xwd"
  xwd -root -silent >"$last_shot" 2>/dev/null
}

# Waits (seconds) until the region looks the same in two screenshots taken
# 0.6 s apart and is painted (not the black of a window never drawn). The last
# shot stays in last_shot. 1 on time out or when the program dies.
wait_settled() {
  local limit=$1 x=$2 y=$3 w=$4 h=$5 previous="" end=$((SECONDS + $1))
  while ((SECONDS < end)); do
    alive || return 1
    shot
    if [[ -n $previous ]] && [[ $("$pixels" diff "$previous" "$last_shot" "$x" "$y" "$w" "$h" 0) -eq 0 ]] &&
      (($("$pixels" count "$last_shot" "$x" "$y" "$w" "$h" 000000 0) * 2 < w * h)); then
      return 0
    fi
    [[ -n $previous ]] && rm -f "$previous"
    previous=$last_shot
    sleep 0.6
  done
  return 1
}

# Reads the text of a region of the last shot, scaled up for the OCR.
ocr() {
  local x=$1 y=$2 w=$3 h=$4 mode=${5:-6}
  convert "xwd:$last_shot" -crop "${w}x${h}+${x}+${y}" +repage -resize 300% -colorspace Gray "$scratch/ocr.png" 2>/dev/null &&
    tesseract "$scratch/ocr.png" - --psm "$mode" 2>/dev/null
}

# Lower case letters and digits only, for comparing read text.
plain() { tr -cd '[:alnum:]' | tr '[:upper:]' '[:lower:]'; }
