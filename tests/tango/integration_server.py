"""tarvio2-tango through its front door: the real server process on loopback without a
Tango database, a simulated interface behind it, python3-tango as the client.

    integration_server.py SERVER SHARED_DIR TEST_NAME
Exits 77 (skipped) when python3-tango is missing."""

import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest

try:
    import tango
except ImportError:
    print("skipped: python3-tango is not installed (scripts/setup.sh installs it)")
    sys.exit(77)

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tango_server import Server, StateWatch  # noqa: E402

SERVER = SHARED = None


class ServerTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.servers = []

    def tearDown(self):
        for server in self.servers:
            server.stop()
        self.tmp.cleanup()

    def start(self, name="a", **options):
        server = Server(SERVER, os.path.join(self.tmp.name, name), **options)
        self.servers.append(server)
        return server

    def measure_to_preset(self, device, counts):
        device.Samples = 10
        device.BiasOn = True
        device.PresetCounts = counts
        watch = StateWatch(device)
        device.Start()
        return watch


class Measuring(ServerTest):
    def test_countPreset_endsOnByEvent_spectrumSumsToPreset_andN42Validates(self):
        server = self.start()
        device = server.proxy()
        self.assertEqual(device.state(), tango.DevState.ON)
        watch = self.measure_to_preset(device, 5000)
        self.assertTrue(watch.wait_for(tango.DevState.RUNNING, tango.DevState.ON),
                        f"states seen: {watch.states}")
        self.assertEqual(sum(device.Spectrum), 5000)
        self.assertEqual(device.Counts, 5000)
        self.assertGreater(device.RealTime, 0)
        self.assertLessEqual(device.LiveTime, device.RealTime)

        output = os.path.join(self.tmp.name, "a", "run.n42")
        device.Save(output)
        with open(output) as f:
            channels = re.search(r"<ChannelData[^>]*>([^<]*)<", f.read()).group(1)
        self.assertEqual(sum(int(n) for n in channels.split()), 5000)
        schema = os.path.join(SHARED, "reference", "n42", "n42.xsd")
        if not os.path.exists(schema):
            self.skipTest(f"no N42 schema at {schema} (the shared reference folder is absent)")
        check = subprocess.run(["xmllint", "--noout", "--schema", schema, output],
                               capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stderr)

    def test_twoServers_measureAtOnce_independently(self):
        first = self.start("a", interface="simulated Am-241 activity=20000 seed=1")
        second = self.start("b", interface="simulated Cs-137 activity=20000 seed=2")
        a, b = first.proxy(), second.proxy()
        watch_a = self.measure_to_preset(a, 3000)
        b.Samples = 10
        b.BiasOn = True
        watch_b = StateWatch(b)
        b.Start()
        # One ends by its preset while the other goes on until it is stopped.
        self.assertTrue(watch_a.wait_for(tango.DevState.RUNNING, tango.DevState.ON))
        self.assertEqual(b.state(), tango.DevState.RUNNING)
        time.sleep(0.2)
        b.Stop()
        self.assertTrue(watch_b.wait_for(tango.DevState.RUNNING, tango.DevState.ON))
        self.assertEqual(sum(a.Spectrum), 3000)
        self.assertGreater(b.Counts, 3000)
        self.assertEqual(sum(b.Spectrum), b.Counts)
        self.assertNotEqual(list(a.Spectrum), list(b.Spectrum))

    def test_clientKilledMidMeasurement_measurementRunsToItsPreset(self):
        server = self.start(interface="simulated activity=10000")
        client = subprocess.Popen(
            [sys.executable, "-c", f"""
import tango, time
d = tango.DeviceProxy("{server.name}")
d.Samples = 10; d.BiasOn = True; d.PresetCounts = 4000
d.subscribe_event("Spectrum", tango.EventType.CHANGE_EVENT, lambda e: None)
d.Start()
print("started", flush=True)
time.sleep(60)
"""], stdout=subprocess.PIPE, text=True)
        self.assertEqual(client.stdout.readline().strip(), "started")
        client.send_signal(signal.SIGKILL)
        client.wait()
        device = server.proxy()
        watch = StateWatch(device)
        self.assertTrue(watch.wait_for(tango.DevState.ON, timeout=15), f"{watch.states}")
        self.assertEqual(device.Counts, 4000)
        self.assertEqual(sum(device.Spectrum), 4000)


class Refusing(ServerTest):
    def test_badValues_refusedNamingAttributeAndRange_nothingSent(self):
        server = self.start()
        device = server.proxy()
        bias_max = device.BiasMax
        unwritable = os.path.join(self.tmp.name, "no such folder", "run.n42")
        cases = [
            ("Samples", 0, r"Samples = 0 refused: allowed 1 to 450"),
            ("Samples", 451, r"Samples = 451 refused: allowed 1 to 450"),
            ("Bias", bias_max + 1, rf"Bias = {bias_max + 1} V refused: allowed \d+ to {bias_max} V"),
            ("PresetCounts", -1, r"PresetCounts = -1 refused: allowed 0 \(no preset\) or more"),
            ("PresetRealTime", -5.0, r"PresetRealTime = -5 s refused: allowed 0"),
            ("PresetLiveTime", -1.0, r"PresetLiveTime = -1 s refused: allowed 0"),
            ("Threshold", 2.6, r"Threshold = 2.6 V refused: allowed 0 to 2.5 V"),
            ("Delay", -1.0, r"Delay = -1 ms refused: allowed 0 to"),
            ("PresetRegion", [400, 300, 100], r"PresetRegion = \[400, 300, 100\] refused: allowed"),
            ("Save", unwritable, r"Save \".*run.n42\" failed: .*no such folder"),
            ("Save", "run.doc", r"Save \"run.doc\" refused: allowed a path ending in .n42"),
        ]
        for attribute, value, message in cases:
            with self.subTest(attribute=attribute, value=value):
                commands = device.SimulatorCommands
                before = None if attribute == "Save" else device.read_attribute(attribute).value
                with self.assertRaises(tango.DevFailed) as refused:
                    if attribute == "Save":
                        device.Save(value)
                    else:
                        device.write_attribute(attribute, value)
                self.assertRegex(refused.exception.args[0].desc, message)
                self.assertEqual(device.SimulatorCommands, commands, "sent to the interface")
                if before is not None:
                    after = device.read_attribute(attribute).value
                    self.assertEqual(list(after) if hasattr(after, "__len__") else after,
                                     list(before) if hasattr(before, "__len__") else before)


class Ending(ServerTest):
    def test_sigterm_biasOffAndFinalAutosave_exitZero(self):
        server = self.start()
        device = server.proxy()
        device.Samples = 10
        device.BiasOn = True
        device.Start()
        deadline = time.time() + 10
        while device.Counts < 100 and time.time() < deadline:
            time.sleep(0.05)
        self.assertEqual(server.stop(), 0, server.errors())
        record = re.search(r"bias codes sent:([ \d]*)", server.errors())
        self.assertIsNotNone(record, server.errors())
        codes = record.group(1).split()
        self.assertNotEqual(codes[-2:-1], ["0"], "the bias was never on")
        self.assertEqual(codes[-1], "0", "the bias was left on")
        autosaves = server.autosaves()
        self.assertEqual(len(autosaves), 1)
        with open(autosaves[0]) as f:
            text = f.read()
        self.assertIn("Measurement ended: yes", text)

    def test_interfaceLost_faultWithTheSpectrumKept(self):
        # The simulated cable is pulled at a moment drawn from the seed, a second after opening.
        server = self.start(settings="[Settings]\nDelay=0\n[Simulator]\nFaults=unplug\n"
                                     "FaultRate=3\n")
        device = server.proxy()
        device.Samples = 10
        device.BiasOn = True
        watch = StateWatch(device)
        device.Start()
        self.assertTrue(watch.wait_for(tango.DevState.FAULT, timeout=15), f"{watch.states}")
        self.assertIn("lost", device.status())
        counts = device.Counts
        self.assertGreater(counts, 0)
        self.assertEqual(sum(device.Spectrum), counts)
        output = os.path.join(self.tmp.name, "a", "kept.spe")
        device.Save(output)
        self.assertTrue(os.path.exists(output))


def main():
    global SERVER, SHARED
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    SERVER, SHARED = sys.argv[1], sys.argv[2]
    suite = unittest.defaultTestLoader.loadTestsFromNames(sys.argv[3:], sys.modules[__name__])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    # A check left out (no schema) shows as skipped in CTest, with its reason.
    for _, reason in result.skipped:
        print(f"skipped: {reason}")
    status = 1 if not result.wasSuccessful() else 77 if result.skipped else 0
    # Tango's event consumer takes seconds to wind down at the interpreter's exit; the servers
    # have ended and the results are out, so nothing is lost by leaving at once.
    sys.stdout.flush()
    sys.stderr.flush()
    os._exit(status)


if __name__ == "__main__":
    main()
