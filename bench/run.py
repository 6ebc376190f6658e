#!/usr/bin/env python3
"""Times slicevol against a plain copy of the same bytes, the per-voxel baseline and ImageMagick.

    python3 bench/run.py [--stacks small,medium] [--runs 5] [--build build] [--work DIR]

Every command runs in the stack's folder, once as a warm-up and then --runs times, the commands
taking turns so that they all see the same machine; outputs are deleted before each run. Each
peer's volumes are checked byte-identical to slicevol's before it is timed. The table gives the
median wall time, the median of the per-round ratios to the yardstick (`cat` of the slices into
one file) and the peak resident memory of each command.
"""
import argparse
import glob
import hashlib
import os
import shutil
import statistics
import subprocess
import sys
import time

STACKS = {  # name: (width, height, slices)
    "small": (256, 256, 100),
    "medium": (2048, 2048, 64),
    "large": (2048, 2048, 256),
}

OUTPUTS = ["s_r.df3", "s_g.df3", "s_b.df3", "copy.bin"]

# ImageMagick's stream, one call per slice and channel, behind the same 6-byte header.
MAGICK = r"""
set -e
for c in r g b; do
  {
    printf "$(printf '\\%03o\\%03o\\%03o\\%03o\\%03o\\%03o' $HEADER)"
    for f in s*.tga; do stream -map $c -storage-type char "$f" -; done
  } > s_$c.df3
done
"""


def run_once(command, cwd, env=None):
    """Runs one command; answers (wall seconds, peak RSS in KiB)."""
    for name in OUTPUTS:
        try:
            os.unlink(os.path.join(cwd, name))
        except FileNotFoundError:
            pass
    # Write the last run's data back now, so that no run pays for the one before it.
    os.sync()
    # GNU time reports the peak RSS of the command alone (a fork of this script would report its own).
    rss_file = os.path.join(cwd, ".rss")
    start = time.perf_counter()
    status = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", rss_file] + command, cwd=cwd, env=env,
                            stdout=subprocess.DEVNULL).returncode
    elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit(f"{command} failed with status {status}")
    with open(rss_file) as f:
        return elapsed, int(f.read().split()[-1])


def volumes(cwd):
    """Digests of the three volumes (a large stack's volumes do not fit in memory)."""
    digests = []
    for name in OUTPUTS[:3]:
        digest = hashlib.sha256()
        with open(os.path.join(cwd, name), "rb") as f:
            while chunk := f.read(1 << 22):
                digest.update(chunk)
        digests.append(digest.hexdigest())
    return digests


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--stacks", default="small,medium")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--build", default="build")
    parser.add_argument("--work", default="/tmp/slicevol-bench")
    parser.add_argument("--no-magick", action="store_true", help="leave ImageMagick out")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    tools = {name: os.path.join(build, name) for name in ("slicevol", "makeStack", "perVoxelBaseline")}
    for path in tools.values():
        if not os.access(path, os.X_OK):
            sys.exit(f"{path} is missing: build first (make all)")
    use_magick = not args.no_magick and shutil.which("stream") is not None

    print(f"| stack | command | median s | ratio to cat | peak RSS MiB |")
    print(f"|---|---|---|---|---|")
    for stack in args.stacks.split(","):
        width, height, count = STACKS[stack]
        cwd = os.path.join(args.work, stack)
        if not glob.glob(os.path.join(cwd, "s*.tga")):
            os.makedirs(cwd, exist_ok=True)
            subprocess.run([tools["makeStack"], "s", str(width), str(height), str(count), "noise"],
                           cwd=cwd, check=True)
        commands = {
            "cat (yardstick)": ["sh", "-c", "cat s*.tga > copy.bin"],
            "slicevol": [tools["slicevol"], "s"],
            "per-voxel baseline": [tools["perVoxelBaseline"], "s"],
        }
        magick_env = None
        if use_magick and stack != "large":
            header = [width >> 8, width & 255, height >> 8, height & 255, count >> 8, count & 255]
            magick_env = dict(os.environ, HEADER=" ".join(map(str, header)))
            commands["ImageMagick stream"] = ["sh", "-c", MAGICK]

        # Every peer must write exactly slicevol's volumes before it is timed.
        run_once(commands["slicevol"], cwd)
        reference = volumes(cwd)
        for name in ("per-voxel baseline", "ImageMagick stream"):
            if name in commands:
                run_once(commands[name], cwd, magick_env)
                if volumes(cwd) != reference:
                    sys.exit(f"{name} wrote volumes that differ from slicevol's")

        times = {name: [] for name in commands}
        rss = {name: 0 for name in commands}
        # Slow commands get fewer rounds on big stacks, so the whole run stays within minutes.
        for round_ in range(args.runs + 1):
            for name, command in commands.items():
                if name != "cat (yardstick)" and name != "slicevol" and stack != "small" and round_ > 2:
                    continue
                elapsed, peak = run_once(command, cwd, magick_env)
                if round_ > 0:  # round 0 is the warm-up
                    times[name].append(elapsed)
                    rss[name] = max(rss[name], peak)
        yard = times["cat (yardstick)"]
        for name, samples in times.items():
            print(f"{stack} {name}: " + " ".join(f"{t:.3f}" for t in samples), file=sys.stderr)
        for name, samples in times.items():
            ratio = statistics.median(t / y for t, y in zip(samples, yard))
            print(f"| {stack} {width}x{height}x{count} | {name} | {statistics.median(samples):.3f} "
                  f"| {ratio:.2f} | {rss[name] / 1024:.1f} |", flush=True)
        for name in OUTPUTS:
            if os.path.exists(os.path.join(cwd, name)):
                os.unlink(os.path.join(cwd, name))


if __name__ == "__main__":
    main()
