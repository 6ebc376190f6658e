#!/bin/sh
# Runs slicevol under valgrind memcheck twice, on a stack that converts and on one whose last slice
# ends early: no memory error and no lost block either time.
# usage: valgrindRun.sh SLICEVOL MAKESTACK
set -eu
slicevol=$1 makeStack=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
"$makeStack" v 1024 256 64 noise # 128 blocks of 2^17 pixels: the helper starts

check() {
    expected=$1
    status=0
    valgrind --quiet --error-exitcode=99 --leak-check=full \
        --errors-for-leak-kinds=definite,indirect,possible "$slicevol" v >/dev/null || status=$?
    if [ "$status" -ne "$expected" ]; then
        echo "valgrind run ended with status $status, expected $expected" >&2
        exit 1
    fi
}

check 0
rm v_r.df3 v_g.df3 v_b.df3
head -c 1000 v001.tga >v063.tga
check 1
echo "valgrind: no errors in either run"
