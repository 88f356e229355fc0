#!/usr/bin/env bash
# Writes zarn.mp3, the example demo's music: eight seconds of plucked notes
# over a soft low drone, made with sox and encoded with lame. Deterministic.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
notes=(220 262 330 392 330 262 294 349 440 349 294 247 262 330 392 523)
parts=()
for i in "${!notes[@]}"; do
  sox -n -r 44100 -c 2 "$work/n$i.wav" synth 0.5 pluck "${notes[$i]}" vol 0.6
  parts+=("$work/n$i.wav")
done
sox "${parts[@]}" "$work/melody.wav"
sox -n -r 44100 -c 2 "$work/drone.wav" synth 8 sine 110 vol 0.15 fade 0.5 8 0.5
sox -m "$work/melody.wav" "$work/drone.wav" "$work/music.wav"
lame --quiet -b 96 "$work/music.wav" zarn.mp3
