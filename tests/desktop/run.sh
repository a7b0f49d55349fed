#!/usr/bin/env bash
# The desktop stage: the test build's program (AddressSanitizer and UBSan) on
# a real X display (Xvfb with openbox), driven by synthetic keys and clicks,
# checked on screenshots. Off-screen grabs never go through a window's real
# paint path; faults there (a crash while painting a run, curves in the
# background colour, text under a white patch, a dialog behind its owner)
# only show here.
#
# usage: tests/desktop/run.sh [BUILD_DIR [CASE-PATTERN...]]
#   BUILD_DIR      the test build (default build/test): app/tarnwick, tests/desktop/tw_pixels
#   CASE-PATTERN   shell patterns of the cases to run (default all)
#   --list         first: prints the case names and ends
# environment:
#   TW_DESKTOP_DISPLAY  display number to use (default: the X server picks a free one)
#   TW_DESKTOP_SHOTS    artefact folder for failed cases (default BUILD_DIR/desktop-shots)
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
here="$top/tests/desktop"
list_only=0
[[ ${1:-} == --list ]] && list_only=1 && shift
build=${1:-$top/build/test}
[[ $# -gt 0 ]] && shift
patterns=("$@")

# Curve colours of a plot, by curve row: the default waveform colours of the
# preferences, colour table rows 12, 9, 2, 13 (then 0, black, which text and
# grids share, so it is not looked for).
declare -A colour_of=([blue]=0000FF [red]=FF0000 [green]=008000 [magenta]=FF00FF)

# Every analysis each shipped deck declares: deck, switch, then the colours of
# the curves that must show. A curve that lies under a later one all along
# (three equal node voltages of a DC sweep, say) cannot show and is left out.
run_table=(
  "bandpass.ckt T blue red" "bandpass.ckt A blue red"
  "coupled-pair.ckt T red" "coupled-pair.ckt D green"
  "rc-filter.ckt T blue red" "rc-filter.ckt A blue" "rc-filter.ckt D blue"
  "semiconductors.ckt T blue red green"
  "transformer.ckt T blue red" "transformer.ckt A red green" "transformer.ckt D green"
)

all_cases() {
  local row
  for row in "${run_table[@]}"; do
    set -- $row
    echo "run_${1%.ckt}_$2"
  done
  echo menu_transient batch_pdf text_line1 text_scroll limits_on_top cursor_readout deck_unchanged \
    deck_unchanged_offscreen | tr ' ' '\n'
}

if [[ $list_only -eq 1 ]]; then
  all_cases
  exit 0
fi

build=$(cd "$build" && pwd)
program="$build/app/tarnwick"
pixels="$build/tests/desktop/tw_pixels"
shots=${TW_DESKTOP_SHOTS:-$build/desktop-shots}
for f in "$program" "$pixels"; do
  [[ -x $f ]] || { echo "desktop: $f is missing; build the test build first"; exit 1; }
done
missing=()
for tool in Xvfb openbox xdotool xwd xprop xdpyinfo xwininfo convert tesseract pdftoppm; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "desktop: missing tools: ${missing[*]} (scripts/test.sh installs them)"
  exit 1
fi

# shellcheck source=tests/desktop/lib.sh
source "$here/lib.sh"

stage_started=$SECONDS
work=$(mktemp -d "${TMPDIR:-/tmp}/tw-desktop.XXXXXX")
cleanup() {
  stop_program
  stop_display
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
rm -rf "$shots"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
unset QT_QPA_PLATFORM
start_display || exit 1

# ---- shared steps -------------------------------------------------------------------------
# Waits for the analysis limits dialog, brings it forward and presses its Run
# key; `dialog` holds its id.
press_run() {
  if ! wait_window "Analysis Limits" 90; then
    shot
    if alive; then fail "the limits dialog did not open"; else fail "the limits dialog did not open: $(death_note)"; fi
    return 1
  fi
  dialog=$window
  activate "$dialog"
  xdotool key F2
}

# After Run: waits for the plot to settle with the program alive, puts a
# still-open limits dialog out of the way, and leaves the main window's
# geometry in wx wy ww wh and the final screenshot in last_shot.
wait_plot() {
  main=$(find_window "^Tarnwick")
  if [[ -z $main ]] || ! geometry "$main"; then
    shot
    fail "the main window is gone after Run: $(alive && echo "no window" || death_note)"
    return 1
  fi
  sleep 1
  if ! wait_settled 90 "$wx" "$wy" "$ww" "$wh"; then
    if alive; then fail "the plot did not settle within 90 s"; else fail "the program died during the run: $(death_note)"; fi
    return 1
  fi
  if [[ -n $(find_window "Analysis Limits") ]]; then
    # Moved off the screen, not minimised: the window manager minimises a dialog
    # owned by the main window together with its owner.
    xdotool windowmove --sync "$dialog" 3000 3000 >/dev/null 2>&1
    if ! wait_settled 30 "$wx" "$wy" "$ww" "$wh"; then
      if alive; then fail "the plot did not settle after the limits dialog was put away"; else fail "the program died repainting the plot: $(death_note)"; fi
      return 1
    fi
  fi
}

# The plot in the main window holds each named curve colour along at least 40%
# of its width (a curve runs across the X range; labels and scale numbers in
# the curve colour do not).
check_curves() {
  local name colour columns
  for name in "$@"; do
    colour=${colour_of[$name]}
    columns=$("$pixels" columns "$last_shot" "$wx" "$wy" "$ww" "$wh" "$colour" 40)
    if ((columns * 100 < ww * 40)); then
      fail "the $name curve (#$colour) shows in $columns of $ww columns of the plot; its commonest colours:" \
        $("$pixels" top "$last_shot" "$wx" "$wy" "$ww" "$wh" 6 | awk '{printf "#%s ", $1}')
      return 1
    fi
  done
}

# ---- 1. every analysis of every shipped deck, and once from the menus -----------------------
case_run() {
  local deck=$1 switch=$2
  shift 2
  launch "spice/$deck" "/$switch"
  press_run && wait_plot && check_curves "$@"
}

case_menu_transient() {
  launch spice/rc-filter.ckt
  if ! wait_window "rc-filter.ckt" 90; then
    shot
    fail "the text window of rc-filter.ckt did not open: $(alive && echo "no window" || death_note)"
    return 1
  fi
  main=$window
  geometry "$main"
  wait_settled 60 "$wx" "$wy" "$ww" "$wh"
  activate "$main"
  xdotool key alt+a
  sleep 0.5
  xdotool key t
  press_run && wait_plot && check_curves blue red
}

# ---- 2. a batch run's PDF shows the curves in colour -------------------------------------
case_batch_pdf() {
  printf 'rc-filter.ckt /T /PA\n' >"$scratch/spice/jobs.bat"
  launch @spice/jobs.bat
  if ! wait_exit 180; then
    shot
    fail "the batch run did not end within 180 s"
    return 1
  fi
  local pdf="$scratch/spice/rc-filter.pdf"
  if [[ ! -s $pdf ]]; then
    fail "the batch run wrote no $(basename "$pdf") (exit status $exit_status)"
    return 1
  fi
  if ! pdftoppm -r 100 -f 1 -l 1 "$pdf" "$scratch/page" || ! convert "$scratch"/page*.ppm "$scratch/page.ppm"; then
    fail "pdftoppm cannot read the PDF"
    return 1
  fi
  last_shot=""
  local page="$scratch/page.ppm" width
  width=$(head -c 20 "$page" | awk 'NR==2 {print $1}')
  local name colour columns
  for name in blue red; do
    colour=${colour_of[$name]}
    columns=$("$pixels" columns "$page" 0 0 0 0 "$colour" 60)
    if ((columns * 100 < width * 30)); then
      mkdir -p "$shots"
      convert "$page" "$shots/$case_name.png" 2>/dev/null
      cp "$pdf" "$shots/$case_name.pdf"
      fail "the $name curve (#$colour) shows in $columns of $width columns of the PDF page ($shots/$case_name.png); its commonest colours:" \
        $("$pixels" top "$page" 0 0 0 0 6 | awk '{printf "#%s ", $1}')
      return 1
    fi
  done
}

# ---- 3. text windows ----------------------------------------------------------------------
# Opens the deck as a text window and waits for it; the text area (below the
# menu bar, left of the scroll bar, above the status bar) in tx ty tw th.
open_text() {
  launch "$1"
  if ! wait_window "$(basename "$1")" 90; then
    shot
    fail "the text window of $1 did not open: $(alive && echo "no window" || death_note)"
    return 1
  fi
  main=$window
  geometry "$main"
  if ! wait_settled 60 "$wx" "$wy" "$ww" "$wh"; then
    fail "the text window did not settle: $(alive && echo "still changing" || death_note)"
    return 1
  fi
  # The menu bar ends at the last of the top rows that are mostly its grey.
  local y menu_end=$wy
  for ((y = wy; y < wy + 60; y++)); do
    (($("$pixels" count "$last_shot" "$wx" "$y" "$ww" 1 EFEFEF 2) * 2 > ww)) && menu_end=$((y + 1))
  done
  tx=$wx ty=$((menu_end + 1)) tw=$((ww - 30)) th=$((wh - (menu_end - wy) - 40))
}

# Text bands of the text area: "top bottom left right" lines.
text_bands() { "$pixels" bands "$last_shot" "$tx" "$ty" "$tw" "$th" FFFFFF 80; }

case_text_line1() {
  open_text spice/rc-filter.ckt || return 1
  local bands first left min_left
  bands=$(text_bands | head -n 6)
  if [[ -z $bands ]]; then
    fail "the text window shows no text"
    return 1
  fi
  first=$(head -n 1 <<<"$bands")
  read -r b_top b_bottom left _ <<<"$first"
  min_left=$(awk 'NR == 1 || $3 < m {m = $3} END {print m}' <<<"$bands")
  local line1 expected read
  line1=$(head -n 1 "$scratch/spice/rc-filter.ckt")
  expected=$(plain <<<"$line1" | head -c 8)
  read=$(ocr "$tx" $((b_top - 3)) $((tw / 2)) $((b_bottom - b_top + 7)) 7)
  if ((left > min_left + 3)); then
    fail "line 1 starts $((left - min_left)) px right of the other lines: its first characters are hidden (read: \"$read\")"
    return 1
  fi
  if [[ $(plain <<<"$read") != "$expected"* ]]; then
    fail "the first text line does not read as line 1 \"$line1\" from its first character (read: \"$read\")"
    return 1
  fi
}

# The number of the first visible line of the long deck (its lines say "Line NNN").
first_line_number() {
  local first b_top b_bottom
  first=$(text_bands | head -n 1)
  read -r b_top b_bottom _ <<<"$first"
  [[ -n ${b_top:-} ]] || return 1
  ocr "$tx" $((b_top - 3)) $((tw / 2)) $((b_bottom - b_top + 7)) 7 | grep -o -i -E 'line [0-9]{3}' | head -n 1 |
    grep -o -E '[0-9]{3}' | sed 's/^0*//'
}

case_text_scroll() {
  {
    echo "Line 001 of a deck of 200 lines"
    for ((n = 2; n <= 199; n++)); do printf '* Line %03d of a deck of 200 lines\n' "$n"; done
    echo ".END"
  } >"$scratch/spice/long.ckt"
  open_text spice/long.ckt || return 1
  local before after
  before=$(first_line_number)
  if [[ $before != 1 ]]; then
    fail "the long deck does not show its line 1 first (read: \"${before:-nothing}\")"
    return 1
  fi
  # The vertical scroll bar runs down the right edge of the text window: a
  # click into its trough, above the lower arrow, pages down.
  xdotool mousemove $((wx + ww - 8)) $((wy + wh - 80)) click 1
  sleep 0.5
  wait_settled 30 "$wx" "$wy" "$ww" "$wh"
  after=$(first_line_number)
  if [[ -z $after || $after -le 1 ]]; then
    fail "a click on the scroll bar did not scroll: the first visible line reads \"${after:-nothing}\""
    return 1
  fi
}

# ---- 4. the limits dialog is on top -------------------------------------------------------
case_limits_on_top() {
  launch spice/rc-filter.ckt /T
  if ! wait_window "Analysis Limits" 90; then
    shot
    fail "the limits dialog did not open: $(alive && echo "no window" || death_note)"
    return 1
  fi
  dialog=$window
  geometry "$dialog"
  wait_settled 30 "$wx" "$wy" "$ww" "$wh"
  local topmost read
  topmost=$(stacking | tail -n 1)
  if [[ $topmost != "$dialog" ]]; then
    fail "the limits dialog is not the topmost window; on top is \"$(xdotool getwindowname "$topmost" 2>/dev/null)\""
    return 1
  fi
  read=$(ocr "$wx" "$wy" "$ww" "$wh" 11 | plain)
  if [[ $read != *timerange* || $read != *run* ]]; then
    fail "the limits dialog's area does not show the dialog (no \"Time Range\" and \"Run\" read there)"
    return 1
  fi
}

# ---- 5. the cursor readout shows numbers --------------------------------------------------
digits() { tr -cd '0-9' | wc -c; }

case_cursor_readout() {
  launch spice/rc-filter.ckt /T
  press_run && wait_plot || return 1
  # The legend rows under the plot: without cursors they hold only labels
  # and the X scale's numbers.
  local ly=$((wy + wh * 88 / 100)) lh=$((wh * 12 / 100)) before after
  before=$(ocr "$wx" "$ly" "$ww" "$lh" | digits)
  activate "$main"
  xdotool mousemove $((wx + ww / 2)) $((wy + wh / 2)) click 1
  xdotool key F8
  sleep 0.5
  if ! wait_settled 30 "$wx" "$wy" "$ww" "$wh"; then
    fail "the plot did not settle in cursor mode: $(alive && echo "still changing" || death_note)"
    return 1
  fi
  after=$(ocr "$wx" "$ly" "$ww" "$lh" | digits)
  if ((after < before + 6)); then
    fail "cursor mode shows no readout numbers under the plot ($before digits read before, $after after)"
    return 1
  fi
}

# ---- 6. runs leave the deck as it was -----------------------------------------------------
# Every shipped file of the decks' folder is byte-identical to the source tree's.
check_decks_unchanged() {
  local f changed=()
  for f in "$top"/data/examples/spice/*; do
    cmp -s "$f" "$scratch/spice/$(basename "$f")" || changed+=("$(basename "$f")")
  done
  if [[ ${#changed[@]} -gt 0 ]]; then
    mkdir -p "$shots"
    for f in "${changed[@]}"; do cp "$scratch/spice/$f" "$shots/$case_name-$f"; done
    fail "$1 changed ${changed[*]} (kept in $shots/$case_name-*)"
    return 1
  fi
}

case_deck_unchanged() {
  launch spice/rc-filter.ckt /T
  press_run && wait_plot || return 1
  activate "$main"
  xdotool key alt+F4
  if ! wait_exit 30; then
    shot
    fail "the program did not quit on Alt+F4 within 30 s (a question left open?)"
    return 1
  fi
  check_decks_unchanged "a run and quitting without edits"
}

case_deck_unchanged_offscreen() {
  QT_QPA_PLATFORM=offscreen launch spice/rc-filter.ckt /T
  if ! wait_exit 180; then
    fail "the off-screen run did not end within 180 s"
    return 1
  fi
  check_decks_unchanged "an off-screen run"
}

# ---- the stage ----------------------------------------------------------------------------
selected() {
  local p
  [[ ${#patterns[@]} -eq 0 ]] && return 0
  for p in "${patterns[@]}"; do
    # shellcheck disable=SC2053
    [[ $1 == $p ]] && return 0
  done
  return 1
}

failed=()
run_one() {
  local name=$1
  shift
  selected "$name" || return 0
  begin_case "$name"
  "$@"
  end_case || failed+=("$name")
}

for row in "${run_table[@]}"; do
  set -- $row
  run_one "run_${1%.ckt}_$2" case_run "$@"
done
run_one menu_transient case_menu_transient
run_one batch_pdf case_batch_pdf
run_one text_line1 case_text_line1
run_one text_scroll case_text_scroll
run_one limits_on_top case_limits_on_top
run_one cursor_readout case_cursor_readout
run_one deck_unchanged case_deck_unchanged
run_one deck_unchanged_offscreen case_deck_unchanged_offscreen

echo "desktop stage: $((SECONDS - stage_started)) s"
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "desktop stage FAILED: ${failed[*]} (screenshots and program output in $shots)"
  exit 1
fi
echo "desktop stage passed"
