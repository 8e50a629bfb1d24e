#!/usr/bin/env python3
"""Scale check of the device emulator, run by scripts/bench-devsim.sh inside the
workstation namespace of scripts/netns-run.sh (ARDEL_DEV_NS names the device
namespace).

    bench-devsim.py EMULATOR COUNT SPREAD_MS TAVO_SHARE

Starts EMULATOR with COUNT generated devices, sends one "X" broadcast and one
TAVOW "CETEI" broadcast and reports how many replies arrived and when.
Exits 0 when every reply arrived.
"""
import json, os, select, shutil, signal, socket, struct, subprocess, sys, tempfile, time

exe, count, spread, share = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4])
ns = os.environ.get("ARDEL_DEV_NS")
if not ns:
    sys.exit("bench-devsim.py: run it through scripts/bench-devsim.sh (it needs the private LAN)")
tmp = tempfile.mkdtemp(prefix="ardel-devsim-bench-")
cfg = os.path.join(tmp, "devices.json")
with open(cfg, "w") as f:
    json.dump({"answer_spread_ms": spread, "devices": []}, f)

t0 = time.monotonic()
proc = subprocess.Popen(["ip", "netns", "exec", ns, exe, "--config", cfg, "--generate", str(count),
                         "--tavo-share", str(share)], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
line = proc.stdout.readline()
if "ready" not in line:
    print("emulator did not start:", line, proc.stdout.read())
    sys.exit(1)
ready_ms = (time.monotonic() - t0) * 1000

def tavow_cetei():
    # TAVOW "CETEI" to 255 from 250, sequence 1 (fixed bytes of the protocol).
    return bytes.fromhex("FB7F8080807A80807F807A80818085807F434554454980E1FC")

def round_trip(payload, port, expected):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, getattr(socket, "SO_RCVBUFFORCE", 33), 64 * 1024 * 1024)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    s.bind(("10.77.0.1", 0))
    s.setblocking(False)
    sent = time.monotonic()
    s.sendto(payload, ("255.255.255.255", port))
    times, senders = [], set()
    deadline = sent + spread / 1000.0 + 2.0
    while time.monotonic() < deadline and len(times) < expected:
        r, _, _ = select.select([s], [], [], 0.05)
        while r:
            try:
                data, addr = s.recvfrom(2048)
            except BlockingIOError:
                break
            times.append((time.monotonic() - sent) * 1000)
            senders.add(addr[0])
    s.close()
    return times, senders

def report(name, times, senders, expected):
    times.sort()
    if not times:
        print(f"{name}: 0 of {expected} replies")
        return
    p = lambda q: times[min(len(times) - 1, int(q * len(times)))]
    print(f"{name}: {len(times)} of {expected} replies from {len(senders)} addresses; "
          f"first {times[0]:.1f} ms, median {p(0.5):.1f} ms, p99 {p(0.99):.1f} ms, last {times[-1]:.1f} ms")

tavo = sum(1 for i in range(count) if int((i + 1) * share) > int(i * share))
x_times, x_senders = round_trip(b"X", 65535, count)
time.sleep(0.3)
t_times, t_senders = round_trip(tavow_cetei(), 65500, tavo)

rss = ""
try:
    with open(f"/proc/{proc.pid}/status") as f:
        for l in f:
            if l.startswith("VmHWM"):
                rss = l.split(":", 1)[1].strip()
except OSError:
    pass
proc.send_signal(signal.SIGTERM)
out = proc.communicate(timeout=10)[0]
shutil.rmtree(tmp, ignore_errors=True)
print(f"devices: {count} ({tavo} TAVO), answer spread {spread} ms, emulator ready after {ready_ms:.0f} ms, peak RSS {rss}")
report("X broadcast", x_times, x_senders, count)
report("CETEI broadcast", t_times, t_senders, tavo)
for l in out.splitlines():
    if "stopped" in l or "error" in l:
        print("emulator:", l)
received = len(x_times) + len(t_times)
ok = len(x_times) == count and len(t_times) == tavo
print("RESULT:", "all replies arrived" if ok else f"MISSING {count + tavo - received} replies")
sys.exit(0 if ok else 1)
