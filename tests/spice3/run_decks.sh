#!/bin/sh
# Runs each SPICE3 deck of this folder through the real program off-screen and
# checks what its "* run:" and "* expect-...:" comment lines ask: the exit
# status, texts on the standard error stream, and texts of the numeric output
# file (the word after "expect-num:" is its extension, the rest a text in it).
# usage: run_decks.sh <tarnwick binary> <source tree>
bin=$1
top=$2
failed=0
for deck in "$top"/tests/spice3/*.ckt; do
  name=$(basename "$deck" .ckt)
  d=$(mktemp -d)
  cp "$bin" "$d/tarnwick"
  mkdir "$d/data"
  ln -s "$top/data/library" "$d/library"
  cp "$deck" "$d/"
  run=$(sed -n 's/^\* run: *//p' "$deck")
  want=$(sed -n 's/^\* expect-exit: *//p' "$deck")
  (cd "$d" && ./tarnwick "$name.ckt" $run >out.txt 2>err.txt)
  status=$?
  if [ "$status" != "${want:-0}" ]; then
    echo "$name: exit status $status, expected ${want:-0}"; cat "$d/err.txt"; failed=1
  fi
  sed -n 's/^\* expect-err: *//p' "$deck" | while IFS= read -r text; do
    grep -qF -- "$text" "$d/err.txt" || { echo "$name: standard error lacks '$text'"; cat "$d/err.txt"; exit 1; }
  done || failed=1
  sed -n 's/^\* expect-num: *//p' "$deck" | while IFS= read -r line; do
    ext=${line%% *}
    text=${line#* }
    grep -qF -- "$text" "$d/data/$name.$ext" 2>/dev/null || { echo "$name: $name.$ext lacks '$text'"; exit 1; }
  done || failed=1
  rm -rf "$d"
done
exit $failed
