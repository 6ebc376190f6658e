#!/usr/bin/env python3
"""Times slicevol against a plain copy of the same bytes, the per-voxel baseline and ImageMagick.

    python3 bench/run.py [--stacks small,medium,large] [--cold medium] [--runs 9] [--build build]
                         [--work DIR] [--also NAME=PATH ...]

Every command runs in the stack's folder, once as a warm-up and then --runs times, the commands
taking turns so that they all see the same machine, each round starting with the next command;
outputs are deleted and written back before each run, and each run starts only when the machine
is idle. Each peer's volumes are checked byte-identical to
slicevol's before it is timed. The stacks in --cold run again with their slices evicted from the
page cache before every run (sync, then posix_fadvise DONTNEED, checked with fincore). The table
gives the median wall time, the median and the worst of the per-round ratios to the yardstick
(`cat` of the slices into one file), the peak resident memory of each command and every timed run
(not-cached runs fall into groups on some machines, which a median hides). --also times
another slicevol build beside this one (an earlier version, say).
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


def busy_fraction(seconds=0.25):
    """The share of processor time not idle over a short interval, from /proc/stat."""
    def sample():
        with open("/proc/stat") as f:
            fields = [int(v) for v in f.readline().split()[1:]]
        return sum(fields), fields[3] + fields[4]  # all, idle + iowait
    total0, idle0 = sample()
    time.sleep(seconds)
    total1, idle1 = sample()
    return 1 - (idle1 - idle0) / max(1, total1 - total0)


def wait_until_idle(limit=0.05, patience=60):
    """Waits (up to `patience` seconds) until less than `limit` of the processors is busy."""
    deadline = time.monotonic() + patience
    while busy_fraction() > limit and time.monotonic() < deadline:
        time.sleep(0.5)


def evict(cwd):
    """Drops the slices from the page cache, and checks that they are gone."""
    os.sync()
    slices = sorted(glob.glob(os.path.join(cwd, "s*.tga")))
    for path in slices:
        fd = os.open(path, os.O_RDONLY)
        os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
        os.close(fd)
    cached = subprocess.run(["fincore", "--bytes", "--noheadings", "--output", "RES"] + slices,
                            capture_output=True, text=True, check=True).stdout.split()
    if sum(map(int, cached)) > 0:
        sys.exit(f"could not evict the slices in {cwd} from the page cache")


def run_once(command, cwd, env=None, cold=False):
    """Runs one command; answers (wall seconds, peak RSS in KiB)."""
    for name in OUTPUTS:
        try:
            os.unlink(os.path.join(cwd, name))
        except FileNotFoundError:
            pass
    # Write the last run's data back now, so that no run pays for the one before it.
    os.sync()
    if cold:
        evict(cwd)
    # Freeing gigabytes leaves the kernel busy for a while (on a virtual machine, handing the pages
    # back to the host): whichever command ran next paid for it.
    wait_until_idle()
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
    parser.add_argument("--stacks", default="small,medium,large")
    parser.add_argument("--cold", default="medium", help="stacks also timed with the input not cached")
    parser.add_argument("--also", action="append", default=[], metavar="NAME=PATH",
                        help="another slicevol build to time beside this one")
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--build", default="build")
    parser.add_argument("--work", default="/tmp/slicevol-bench")
    parser.add_argument("--no-magick", action="store_true", help="leave ImageMagick out")
    parser.add_argument("--no-baseline", action="store_true", help="leave the per-voxel baseline out")
    parser.add_argument("--floors", action="store_true",
                        help="also time reading the slices alone")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    tools = {name: os.path.join(build, name) for name in ("slicevol", "makeStack", "perVoxelBaseline")}
    for name, path in tools.items():
        if name == "perVoxelBaseline" and args.no_baseline:
            continue
        if not os.access(path, os.X_OK):
            sys.exit(f"{path} is missing: build first (make bench builds them)")
    use_magick = not args.no_magick and shutil.which("stream") is not None
    others = dict(entry.split("=", 1) for entry in args.also)
    runs = [(stack, False) for stack in args.stacks.split(",") if stack]
    runs += [(stack, True) for stack in args.cold.split(",") if stack]
    if any(cold for _, cold in runs) and shutil.which("fincore") is None:
        sys.exit("fincore is missing (apt-get install util-linux): it checks the eviction")

    print(f"| stack | command | median s | ratio to cat | worst ratio | peak RSS MiB | every run s |")
    print(f"|---|---|---|---|---|---|---|")
    for stack, cold in runs:
        width, height, count = STACKS[stack]
        cwd = os.path.join(args.work, stack)
        if not glob.glob(os.path.join(cwd, "s*.tga")):
            os.makedirs(cwd, exist_ok=True)
            subprocess.run([tools["makeStack"], "s", str(width), str(height), str(count), "noise"],
                           cwd=cwd, check=True)
        commands = {
            "cat (yardstick)": ["sh", "-c", "cat s*.tga > copy.bin"],
            "slicevol": [tools["slicevol"], "s"],
        }
        for name, path in others.items():
            commands[name] = [os.path.abspath(path), "s"]
        if args.floors:
            # What no converter can beat: the slices read once, into nothing.
            commands["floor: read the slices"] = ["sh", "-c", "cat s*.tga > /dev/null"]
        if not cold and not args.no_baseline:
            commands["per-voxel baseline"] = [tools["perVoxelBaseline"], "s"]
        magick_env = None
        if use_magick and stack != "large" and not cold:
            header = [width >> 8, width & 255, height >> 8, height & 255, count >> 8, count & 255]
            magick_env = dict(os.environ, HEADER=" ".join(map(str, header)))
            commands["ImageMagick stream"] = ["sh", "-c", MAGICK]

        # Every peer must write exactly slicevol's volumes before it is timed.
        run_once(commands["slicevol"], cwd)
        reference = volumes(cwd)
        for name in ["per-voxel baseline", "ImageMagick stream"] + list(others):
            if name in commands:
                run_once(commands[name], cwd, magick_env)
                if volumes(cwd) != reference:
                    sys.exit(f"{name} wrote volumes that differ from slicevol's")

        times = {name: [] for name in commands}
        rss = {name: 0 for name in commands}
        # Slow commands get fewer rounds on big stacks, so the whole run stays within minutes.
        slow = ("per-voxel baseline", "ImageMagick stream")
        names = list(commands)
        for round_ in range(args.runs + 1):
            # Each round starts with another command, so that no command always follows the same one.
            for name in names[round_ % len(names):] + names[:round_ % len(names)]:
                command = commands[name]
                if name in slow and stack != "small" and round_ > 2:
                    continue
                elapsed, peak = run_once(command, cwd, magick_env, cold)
                if round_ > 0:  # round 0 is the warm-up
                    times[name].append(elapsed)
                    rss[name] = max(rss[name], peak)
        yard = times["cat (yardstick)"]
        label = f"{stack} {width}x{height}x{count}" + (" not cached" if cold else "")
        for name, samples in times.items():
            ratios = [t / y for t, y in zip(samples, yard)]
            print(f"| {label} | {name} | {statistics.median(samples):.3f} "
                  f"| {statistics.median(ratios):.2f} | {max(ratios):.2f} | {rss[name] / 1024:.1f} "
                  f"| {' '.join(f'{t:.3f}' for t in samples)} |", flush=True)
        for name in OUTPUTS:
            if os.path.exists(os.path.join(cwd, name)):
                os.unlink(os.path.join(cwd, name))


if __name__ == "__main__":
    main()
