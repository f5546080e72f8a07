#!/usr/bin/python3
"""tarvio2-tango over loopback: Spectrum reads per second, and the server's CPU share idle,
measuring without a client, and measuring while it pushes Spectrum events to a subscriber.
The simulated interface runs paced, as a real one would (450 samples per pulse, Delay 0).

    bench/tango_server.py build/src/app/tarvio2-tango [SECONDS]
"""

import os
import sys
import tempfile
import threading
import time

import tango

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "tango"))
from tango_server import Server  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


def cpu_share(pid, seconds):
    before, start = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    return 100.0 * (cpu_seconds(pid) - before) / (time.monotonic() - start)


def main():
    executable = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 5.0
    with tempfile.TemporaryDirectory() as folder:
        server = Server(executable, folder, interface="simulated")
        try:
            device = server.proxy()
            pid = server.process.pid

            assert len(device.read_attribute("Spectrum").value) == 4096
            reads, start = 0, time.monotonic()
            while time.monotonic() - start < seconds:
                device.read_attribute("Spectrum")
                reads += 1
            print(f"Spectrum reads over loopback: {reads / (time.monotonic() - start):.0f}/s")

            print(f"Server CPU idle: {cpu_share(pid, seconds):.2f} %")

            device.BiasOn = True
            device.Start()
            print(f"Server CPU measuring, no client: {cpu_share(pid, seconds):.2f} % "
                  f"({device.AcceptedRate:.0f} counts/s)")

            events = []
            lock = threading.Lock()

            def heard(event):
                if not event.err:
                    with lock:
                        events.append(time.monotonic())

            subscription = device.subscribe_event("Spectrum", tango.EventType.CHANGE_EVENT, heard)
            time.sleep(0.5)
            with lock:
                events.clear()
            share = cpu_share(pid, seconds)
            with lock:
                rate = len(events) / seconds
            print(f"Server CPU measuring, pushing Spectrum events: {share:.2f} % "
                  f"({rate:.1f} events/s heard)")
            device.unsubscribe_event(subscription)
            device.Stop()
        finally:
            print(f"Server exit status after SIGTERM: {server.stop()}")


if __name__ == "__main__":
    main()
