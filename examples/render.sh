#!/bin/sh
# The whole pipeline: POV-Ray renders colour cross-sections of an object, slicevol turns them into
# three volumes, POV-Ray renders the volumes as coloured media.
#
#   sh examples/render.sh [SLICEVOL] [OUTDIR]
#
# SLICEVOL defaults to build/slicevol (make all), OUTDIR to build/example. The picture ends up in
# OUTDIR/shape.png. Needs povray and its include files (Debian packages povray, povray-includes).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
[ -x "${1:-build/slicevol}" ] || { echo "render.sh: no ${1:-build/slicevol}: run make demo first" >&2; exit 1; }
slicevol=$(realpath "${1:-build/slicevol}")
out=${2:-build/example}
layers=64
side=128

rm -rf "$out"
mkdir -p "$out"
cd "$out"
cp "$here/crossSections.pov" "$here/volume.pov" .

# One uncompressed 24-bit TGA per layer: shape00.tga ... shape63.tga.
povray +IcrossSections.pov +Oshape.tga +FT +W$side +H$side -A +KFI0 +KFF$((layers - 1)) \
    -D -V -GS -GR 2>povray-slices.log || { cat povray-slices.log >&2; exit 1; }
"$slicevol" shape >slicevol.log
ls -l shape_r.df3 shape_g.df3 shape_b.df3
povray +Ivolume.pov +Oshape.png +FN +W640 +H480 +A0.1 -D -V -GS -GR 2>povray-volume.log ||
    { cat povray-volume.log >&2; exit 1; }
echo "picture: $out/shape.png"
