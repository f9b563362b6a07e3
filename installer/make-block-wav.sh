#!/bin/sh
# Writes Block.wav, the sound played for each blocked pop-up: two short
# descending tones (1320 Hz, then 990 Hz), 16-bit mono PCM at 22050 Hz,
# each with a quick fade in and out so that it clicks nowhere.
#   make-block-wav.sh OUTPUT
set -eu
out=$1
LC_ALL=C awk 'function le16(v) { printf "%c%c", v % 256, int(v / 256) % 256 }
function le32(v) { le16(v % 65536); le16(int(v / 65536)) }
BEGIN {
  rate = 22050; tone = int(rate * 0.075); gap = int(rate * 0.015)
  n = 2 * tone + gap; bytes = n * 2
  printf "RIFF"; le32(36 + bytes); printf "WAVEfmt "
  le32(16); le16(1); le16(1); le32(rate); le32(rate * 2); le16(2); le16(16)
  printf "data"; le32(bytes)
  pi = atan2(0, -1); fade = int(rate * 0.008)
  for (i = 0; i < n; i++) {
    if (i < tone) { f = 1320; k = i }
    else if (i < tone + gap) { f = 0; k = 0 }
    else { f = 990; k = i - tone - gap }
    s = 0
    if (f > 0) {
      env = 1
      if (k < fade) env = k / fade
      if (tone - k < fade) env = (tone - k) / fade
      s = int(12000 * env * sin(2 * pi * f * k / rate))
    }
    if (s < 0) s += 65536
    le16(s)
  }
}' >"$out.tmp"
mv "$out.tmp" "$out"
