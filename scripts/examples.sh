#!/usr/bin/env bash
# Runs the program's main job on the shipped examples: start-up with an example
# settings file, with a batch command line and with an old settings file, printing
# what the program read and the main window it built. Usage: scripts/examples.sh
# <path of the tarnwick binary>
set -euo pipefail
# No display: the program runs off-screen, prints its report and closes its
# window at once (a run with a display would wait for the user).
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen
bin=${1:?usage: examples.sh <path of the tarnwick binary>}
bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")
top=$(cd "$(dirname "$0")/.." && pwd)
examples="$top/data/examples"

# The program keeps tarn.dat in its own directory when it can write there, so the
# examples run a copy of it from a temporary directory: they never touch the
# settings of the build, and every run starts from a known file.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
cp "$bin" "$home/tarnwick"
# The data folder is the shipped one entry by entry, so that what the runs write
# there (numeric output files) stays in the temporary directory.
mkdir "$home/data"
for entry in "$top/data"/*; do ln -s "$entry" "$home/data/"; done
ln -s "$top/data/library" "$home/library"
cd "$home"

headers() { tr -d '\r' < "$1" | grep '^\[' | tr '\n' ' '; echo; }

echo "== 1. Interactive start: open amp.cir and ask for an AC analysis, with an example tarn.dat"
cp "$examples/tarn.dat" "$home/tarn.dat"
cp "$examples/amp.cir" "$home/amp.cir"
"$home/tarnwick" amp.cir /A
echo "-- tarn.dat as written back (its 34 sections in table order):"
headers "$home/tarn.dat"
echo "-- its [Main] section:"
tr -d '\r' < "$home/tarn.dat" | sed -n '/^\[Main\]/,/^$/p'

echo
echo "== 2. Batch start: @batch.txt /SAVE /P, with the tarn.dat that the first run wrote"
echo "-- the batch file:"
cat "$examples/batch.txt"
# The log is written beside the batch file: a copy keeps it out of the shipped folder.
cp "$examples/batch.txt" "$home/batch.txt"
# Its jobs need what is not built yet (schematic analyses, filter.cir), so the
# batch ends with a failure status, and the log says why.
"$home/tarnwick" "@$home/batch.txt" /SAVE /P || echo "-- the batch ended with status $? (its jobs failed)"
echo "-- its log:"
tr -d '\r' < "$home/batch.DOC" | sed -n '2,$p'


echo
echo "== 3. An old settings file in the flat 5.30 layout, read and written back in sections"
cp "$examples/tarn-5.30.dat" "$home/tarn.dat"
"$home/tarnwick" | grep -E '^(Data path|Settings saved)'
echo "-- written back:"
headers "$home/tarn.dat" | cut -c1-120
tr -d '\r' < "$home/tarn.dat" | grep '^TARNDATA='

echo
echo "== 4. A bad command line (/X) ends with message 10150 and exit status 1"
status=0
"$home/tarnwick" amp.cir /X 2>&1 | grep -E 'Error|failed' || true
"$home/tarnwick" amp.cir /X >/dev/null 2>&1 || status=$?
echo "exit status: $status"

echo
echo "== 5. SPICE text circuits: each shipped deck read and compiled as a transient analysis starts"
cp "$examples/spice/"* "$home/"
for deck in "$examples"/spice/*.ckt; do
  "$home/tarnwick" "$(basename "$deck")" /T 2>&1 | sed -n '/^Circuit/,/^Analysis run/p'
done
echo "-- a deck whose nodes have no ground is refused with its message:"
printf 'floating\nV1 1 2 1\nR1 1 2 1K\n.END\n' > "$home/floating.ckt"
"$home/tarnwick" floating.ckt /T 2>&1 | grep -E 'Error|^Circuit' || true

echo
echo "== 6. AC and DC sweeps of the SPICE decks in a batch run (/A and /D)"
cat > "$home/sweeps.bat" <<'JOBS'
; The decks' .AC and .DC statements set the sweeps; .TEMP repeats rc-filter at two temperatures.
rc-filter.ckt /A /D
bandpass.ckt /A
coupled-pair.ckt /D
transformer.ckt /A /D
rc-filter.ckt /T /PA
JOBS
"$home/tarnwick" "@$home/sweeps.bat" | grep -E '^Batch log'
echo "-- its log (run times left out):"
tr -d '\r' < "$home/sweeps.DOC" | sed -n '2,$p' | grep -v 'time' | cut -c1-64
echo "-- the transient plot that /PA wrote beside rc-filter.ckt:"
if [ -s "$home/rc-filter.pdf" ]; then echo "rc-filter.pdf: $(head -c 8 "$home/rc-filter.pdf" | tr -d '\n'), $(grep -a -c -E '/Type ?/Page([^s]|$)' "$home/rc-filter.pdf" || true) page(s)"; else echo "rc-filter.pdf missing"; fi
echo "-- bandpass.ckt's response near its centre, from its AC numeric output (.PRINT AC):"
tr -d '\r' < "$home/data/bandpass.ANO" | grep -E '^ +(2\.884|3\.019|3\.162|3\.311|3\.467)K'
