#!/usr/bin/env bash
# slicevol on other processors: cross-built with Debian's cross compilers, linked statically, and
# run on a table of stacks, each volume compared byte for byte with the native build's. i686
# (32-bit x86) runs on the x86-64 kernel itself; armhf (32-bit ARM) and s390x (big-endian) under
# qemu-user. The stacks lie on ext4, where a 32-bit build without 64-bit file offsets fails at the
# directory read: as root a loop-mounted image, otherwise the work folder must be ext4 already.
# For i686, one more stack makes volumes past 2 GiB each (6 GiB in all; skipped, saying so, where
# the disk lacks the room).
#   usage: tests/crossCheck.sh NATIVE_BUILD_DIR [TRIPLET...]
# Debian: g++-i686-linux-gnu g++-arm-linux-gnueabihf g++-s390x-linux-gnu qemu-user e2fsprogs
set -euo pipefail
native=$(realpath "$1")
shift
triplets=("$@")
[ ${#triplets[@]} -gt 0 ] || triplets=(i686-linux-gnu arm-linux-gnueabihf s390x-linux-gnu)
source=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/var/tmp}/slicevol-cross.XXXXXX")
cleanup() {
    mountpoint -q "$work/ext4" && umount "$work/ext4"
    rm -rf "$work"
}
trap cleanup EXIT

# Width, height and slice count: sides of 1 to 3, around a power of two and the largest; one, two
# and many slices; the two workers start from 128 blocks of 2^17 pixels on (512 x 512 x 64).
rows=("1 1 1" "1 1 300" "2 3 2" "3 2 300" "127 129 2" "129 127 300" "128 128 1" "4096 1 2"
      "1 4096 300" "3 4096 2" "512 512 64" "513 511 70" "4096 4096 2")
big="4096 4096 128" # 2^31 voxels and the header: 6 bytes past 2 GiB per volume

for triplet in "${triplets[@]}"; do
    echo "== building slicevol for $triplet"
    cmake -S "$source" -B "$work/build-$triplet" -DCMAKE_BUILD_TYPE=Release -DSLICEVOL_TESTS=OFF \
        -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR="${triplet%%-*}" \
        -DCMAKE_C_COMPILER="$triplet-gcc" -DCMAKE_CXX_COMPILER="$triplet-g++" \
        -DCMAKE_EXE_LINKER_FLAGS=-static -DCMAKE_CXX_FLAGS=-Werror >/dev/null
    cmake --build "$work/build-$triplet" -j 2 --target slicevol >/dev/null
done

mkdir "$work/ext4"
if [ "$(id -u)" = 0 ]; then
    truncate -s 8G "$work/ext4.img"
    mkfs.ext4 -q -F "$work/ext4.img"
    mount -o loop "$work/ext4.img" "$work/ext4"
elif [ "$(stat -f -c %T "$work")" != "ext2/ext3" ]; then
    echo "crossCheck: not root, and $work is not on ext4 (set TMPDIR to an ext4 folder)" >&2
    exit 1
fi
stacks=$work/ext4

# How a triplet's program is started here.
runner() {
    case $1 in
        i686-*) echo "" ;;
        arm-*) echo "qemu-arm" ;;
        *) echo "qemu-${1%%-*}" ;;
    esac
}

failed=0
for row in "${rows[@]}"; do
    read -r w h n <<<"$row"
    dir=$stacks/s${w}x${h}x$n
    mkdir -p "$dir/expected"
    (cd "$dir" && "$native/makeStack" s "$w" "$h" "$n" noise && "$native/slicevol" s >/dev/null && mv s_?.df3 expected/)
    for triplet in "${triplets[@]}"; do
        if (cd "$dir" && $(runner "$triplet") "$work/build-$triplet/slicevol" s >/dev/null) &&
            cmp -s "$dir/s_r.df3" "$dir/expected/s_r.df3" && cmp -s "$dir/s_g.df3" "$dir/expected/s_g.df3" &&
            cmp -s "$dir/s_b.df3" "$dir/expected/s_b.df3"; then
            echo "ok     $triplet ${w}x${h}x$n"
        else
            echo "FAILED $triplet ${w}x${h}x$n"
            failed=1
        fi
        rm -f "$dir"/s_?.df3
    done
    rm -rf "$dir"
done

# Past 2 GiB: one slice linked 128 times, so the stack itself takes 48 MiB; each volume must be
# its header and then the one slice's channel 128 times over.
if [[ " ${triplets[*]} " == *" i686-linux-gnu "* ]]; then
    read -r w h n <<<"$big"
    room=$(df -k --output=avail "$stacks" | tail -n 1)
    if [ "$room" -lt $((7 * 1024 * 1024)) ]; then
        echo "skipped: i686 ${w}x${h}x$n: $((room / 1024)) MiB free on $stacks, 7 GiB needed"
    else
        dir=$stacks/big
        mkdir -p "$dir/one"
        (cd "$dir/one" && "$native/makeStack" s "$w" "$h" 1 noise && "$native/slicevol" s >/dev/null)
        for i in $(seq -f %03g 0 $((n - 1))); do ln "$dir/one/s000.tga" "$dir/s$i.tga"; done
        if (cd "$dir" && "$work/build-i686-linux-gnu/slicevol" s >/dev/null); then
            for c in r g b; do
                if { printf '\020\000\020\000\000\200'; for _ in $(seq "$n"); do tail -c +7 "$dir/one/s_$c.df3"; done; } |
                    cmp -s - "$dir/s_$c.df3"; then
                    echo "ok     i686-linux-gnu ${w}x${h}x$n s_$c.df3 ($(stat -c %s "$dir/s_$c.df3") bytes)"
                else
                    echo "FAILED i686-linux-gnu ${w}x${h}x$n s_$c.df3"
                    failed=1
                fi
            done
        else
            echo "FAILED i686-linux-gnu ${w}x${h}x$n: the run failed"
            failed=1
        fi
        rm -rf "$dir"
    fi
fi
exit $failed
