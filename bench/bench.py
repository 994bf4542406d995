#!/usr/bin/env python3
"""Times mixmidi against a do-nothing floor, csvmidi and mido on one run.

Usage: bench.py MIXMIDI_BINARY [PAIRS]

Writing: every program writes the same 16 * PAIRS Control Changes on all
channels; the script checks that the three files are byte-identical, prints
the median time of several repetitions of each, their ratios, and mixmidi's
peak memory for one pair and for PAIRS pairs.

Reading: mixmidi --show and midicsv read the same 16 MB file of 4 million
Control Changes laid out as a run with "all" writes them, their output going
to a pipe, taking turns; the script prints the median times, their ratio and
the peak memory of both.

It prints; it does not fail on slow numbers.
"""
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

# Options that are sent on every channel (board-wide ones would go once).
LEVEL_OPTIONS = [("-vol", 7), ("-bal", 8), ("-pan", 10), ("-exp", 11), ("-fx1", 12), ("-fx2", 13), ("-setflags", 20)]
KEYWORD_OPTIONS = [("-fx1p", 80, "pre", "post"), ("-fx2p", 81, "pre", "post"), ("-fx1m", 82, "true", "false"),
                   ("-fx2m", 83, "true", "false"), ("-withfx", 15, "true", "false")]


def option_pairs(count):
    """The command-line pairs and the (controller, value) each one sends."""
    pairs = []
    for i in range(count):
        if i % 4 == 3:
            option, controller, on, off = KEYWORD_OPTIONS[i % len(KEYWORD_OPTIONS)]
            on_now = (i // 4) % 2 == 0
            pairs.append((option, on if on_now else off, controller, 127 if on_now else 0))
        else:
            option, controller = LEVEL_OPTIONS[i % len(LEVEL_OPTIONS)]
            pairs.append((option, str(i % 128), controller, i % 128))
    return pairs


def mixmidi_args(binary, out, pairs):
    args = [binary, out, "all"]
    for option, setting, _, _ in pairs:
        args += [option, setting]
    return args


def write_csv(path, pairs):
    with open(path, "w") as csv:
        csv.write("0, 0, Header, 0, 1, 96\n1, 0, Start_track\n")
        for _, _, controller, value in pairs:
            for channel in range(16):
                csv.write(f"1, 0, Control_c, {channel}, {controller}, {value}\n")
        csv.write("1, 0, End_track\n0, 0, End_of_file\n")


MIDO_SCRIPT = """
import sys
import mido
events = [tuple(map(int, line.split())) for line in open(sys.argv[1])]
track = mido.MidiTrack()
for controller, value in events:
    for channel in range(16):
        track.append(mido.Message('control_change', channel=channel, control=controller, value=value, time=0))
midi = mido.MidiFile(type=0, ticks_per_beat=96)
midi.tracks.append(track)
midi.save(sys.argv[2])
"""


def run_once(args):
    """Wall time in seconds of one run."""
    with open(os.devnull, "wb") as devnull:
        start = time.perf_counter()
        pid = os.posix_spawn(args[0], args, os.environ, file_actions=[(os.POSIX_SPAWN_DUP2, devnull.fileno(), 1)])
        _, status = os.waitpid(pid, 0)
        elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{args[0]} failed with status {status}")
    return elapsed


def median_time(args, repetitions):
    run_once(args)  # warm the page cache
    return statistics.median(run_once(args) for _ in range(repetitions))


def peak_memory(args):
    """Peak resident memory in KiB, as GNU time reports it. (The rusage of a
    child spawned from here would count this Python process's own pages.)"""
    if not os.path.exists("/usr/bin/time"):
        return None
    peaks = []
    for _ in range(3):
        result = subprocess.run(["/usr/bin/time", "-f", "%M"] + args, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, text=True, check=True)
        peaks.append(int(result.stderr.strip().splitlines()[-1]))
    return max(peaks)


def write_big_file(path, pairs):
    """A file of 16 * pairs Control Changes, as mixmidi writes them with all."""
    events = bytearray()
    for _, _, controller, value in option_pairs(pairs):
        for channel in range(16):
            events += bytes((0, 0xB0 | channel, controller, value))
    events += bytes((0, 0xFF, 0x2F, 0))
    with open(path, "wb") as out:
        out.write(b"MThd" + (6).to_bytes(4, "big") + bytes((0, 0, 0, 1, 0, 0x60)))
        out.write(b"MTrk" + len(events).to_bytes(4, "big") + events)


def read_once(args):
    """Wall time in seconds of one run whose output goes to a pipe read to its end."""
    start = time.perf_counter()
    with subprocess.Popen(args, stdout=subprocess.PIPE) as child:
        while child.stdout.read(1 << 20):
            pass
    elapsed = time.perf_counter() - start
    if child.returncode != 0:
        sys.exit(f"{args[0]} failed with status {child.returncode}")
    return elapsed


def bench_reading(binary, work):
    path = os.path.join(work, "big.mid")
    write_big_file(path, 250000)
    show = [binary, "--show", path]
    midicsv = shutil.which("midicsv")
    readers = {"mixmidi --show": show}
    if midicsv:
        readers["midicsv"] = [midicsv, path]
    times = {name: [] for name in readers}
    for args in readers.values():
        read_once(args)  # warm the page cache
    for _ in range(5):  # in turn, so that both see the same machine
        for name, args in readers.items():
            times[name].append(read_once(args))
    size = os.path.getsize(path)
    print(f"reading a file of 4000000 Control Changes, {size} bytes, output to a pipe:")
    for name, runs in times.items():
        memory = peak_memory(readers[name])
        memory_text = f", peak memory {memory} KiB" if memory is not None else ""
        print(f"  {name:14} {statistics.median(runs) * 1000:9.2f} ms{memory_text}")
    if midicsv:
        ratio = statistics.median(times["midicsv"]) / statistics.median(times["mixmidi --show"])
        print(f"  midicsv / mixmidi --show {ratio:5.2f}  (goal: at least 2)")
    print(f"  memory goal for --show: at most {2 * size // 1024 + 16384} KiB (twice the file plus 16 MiB)")


def main():
    binary = os.path.abspath(sys.argv[1])
    pair_count = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
    pairs = option_pairs(pair_count)
    work = tempfile.mkdtemp(prefix="mixmidi-bench-")
    try:
        files = {name: os.path.join(work, name + ".mid") for name in ("mixmidi", "csvmidi", "mido")}
        csv_path = os.path.join(work, "events.csv")
        events_path = os.path.join(work, "events.txt")
        mido_path = os.path.join(work, "mido_write.py")
        write_csv(csv_path, pairs)
        with open(events_path, "w") as events:
            events.writelines(f"{controller} {value}\n" for _, _, controller, value in pairs)
        with open(mido_path, "w") as script:
            script.write(MIDO_SCRIPT)

        mixmidi = mixmidi_args(binary, files["mixmidi"], pairs)
        floor = [shutil.which("true")] + mixmidi[1:]
        csvmidi = [shutil.which("csvmidi"), csv_path, files["csvmidi"]]
        mido = ["/usr/bin/python3", mido_path, events_path, files["mido"]]

        times = {
            "floor (true)": median_time(floor, 21),
            "mixmidi": median_time(mixmidi, 21),
            "csvmidi": median_time(csvmidi, 5) if csvmidi[0] else None,
            "mido": median_time(mido, 3),
        }
        contents = {name: open(path, "rb").read() for name, path in files.items() if os.path.exists(path)}
        memory_one = peak_memory(mixmidi_args(binary, os.path.join(work, "one.mid"), pairs[:1]))
        memory_all = peak_memory(mixmidi)

        print(f"machine: {platform.node()}, {platform.machine()}, {os.cpu_count()} cores, "
              f"{platform.platform()}")
        print(f"{pair_count} pairs on all channels: {16 * pair_count} events, "
              f"{len(contents['mixmidi'])} bytes")
        for name, seconds in times.items():
            print(f"  {name:14} {seconds * 1000:9.2f} ms" if seconds is not None else f"  {name:14}   missing")
        mix = times["mixmidi"]
        print(f"  mixmidi / floor   {mix / times['floor (true)']:7.2f}  (goal: at most 1.3)")
        if times["csvmidi"]:
            print(f"  csvmidi / mixmidi {times['csvmidi'] / mix:7.1f}  (goal: at least 4)")
        print(f"  mido / mixmidi    {times['mido'] / mix:7.1f}  (goal: at least 50)")
        if memory_one is None:
            print("peak memory: /usr/bin/time is missing (Debian's package time)")
        else:
            print(f"peak memory: 1 pair {memory_one} KiB, {pair_count} pairs {memory_all} KiB, "
                  f"difference {memory_all - memory_one} KiB (goal: at most 1024)")
        identical = len(set(contents.values())) == 1 and len(contents) == 3
        print("files byte-identical: " + ("yes" if identical else "NO: " + ", ".join(
            f"{name} {len(data)} bytes" for name, data in contents.items())))
        bench_reading(binary, work)
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
