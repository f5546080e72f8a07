"""Starts tarvio2-tango as a child process on loopback without a Tango database, with its
properties in a Tango file database, and reaches it with python3-tango."""

import os
import signal
import socket
import subprocess
import tempfile
import threading
import time

import tango


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Server:
    """One server process serving one device; stop() ends it with SIGTERM."""

    def __init__(self, executable, folder, interface="simulated activity=20000",
                 device="test/tarvio2/1", settings="[Settings]\nDelay=0\n"):
        self.folder = folder
        self.device = device
        os.makedirs(folder, exist_ok=True)
        self.settings = os.path.join(folder, "settings.ini")
        with open(self.settings, "w") as f:
            f.write(settings)
        database = os.path.join(folder, "tango.res")
        with open(database, "w") as f:
            f.write(f'tarvio2-tango/test/DEVICE/Tarvio2: "{device}"\n'
                    f'{device}->Interface: "{interface}"\n'
                    f'{device}->SettingsFile: "{self.settings}"\n')
        self.port = free_port()
        environment = dict(os.environ, XDG_DATA_HOME=os.path.join(folder, "data"))
        self.stderr_path = os.path.join(folder, "server.err")
        self._stderr = open(self.stderr_path, "w")
        self.process = subprocess.Popen(
            [executable, "test", f"-file={database}",
             "-ORBendPoint", f"giop:tcp:127.0.0.1:{self.port}"],
            stdout=subprocess.PIPE, stderr=self._stderr, env=environment, text=True)
        line = self.process.stdout.readline()
        if "Ready" not in line:
            self.process.kill()
            raise RuntimeError(f"server did not start: {line}{self.errors()}")
        self.name = f"tango://127.0.0.1:{self.port}/{device}#dbase=no"

    def proxy(self):
        return tango.DeviceProxy(self.name)

    def errors(self):
        if not self._stderr.closed:
            self._stderr.flush()
        with open(self.stderr_path) as f:
            return f.read()

    def autosaves(self):
        folder = os.path.join(self.folder, "data", "tarvio2", "autosave")
        if not os.path.isdir(folder):
            return []
        return sorted(os.path.join(folder, n) for n in os.listdir(folder) if n.endswith(".n42"))

    def stop(self, timeout=10):
        """SIGTERM, then the exit status."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(timeout)
        finally:
            if self.process.poll() is None:
                self.process.kill()
            self._stderr.close()


class StateWatch:
    """The State change events of one device, kept in order."""

    def __init__(self, proxy):
        self.states = []
        self._changed = threading.Condition()
        self.proxy = proxy
        self.id = proxy.subscribe_event("State", tango.EventType.CHANGE_EVENT, self._event)

    def _event(self, event):
        if event.err:
            return
        with self._changed:
            self.states.append(event.attr_value.value)
            self._changed.notify_all()

    def wait_for(self, *sequence, timeout=10):
        """Waits until the states seen since subscribing contain `sequence` in order."""
        def seen():
            rest = iter(self.states)
            return all(any(s == wanted for s in rest) for wanted in sequence)
        with self._changed:
            return self._changed.wait_for(seen, timeout)

    def close(self):
        self.proxy.unsubscribe_event(self.id)
