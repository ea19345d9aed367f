"""The benchmarks' link shaper delays, paces, stalls and cuts what it relays as it is told,
and keeps the bytes intact and in order.
    shaper_test.py SHAPER.PY"""
import os
import socket
import subprocess
import sys
import threading
import time
import unittest

SHAPER = sys.argv.pop(1)


class Peer:
    """The far end on the loopback: echoes, or sends COUNT bytes at once, per connection."""

    def __init__(self, send=0):
        self.listener = socket.socket()
        self.listener.bind(('127.0.0.1', 0))
        self.listener.listen(4)
        self.port = self.listener.getsockname()[1]
        self.send = send
        self.closed = threading.Event()  # set when a connection of it saw its end
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                c, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self.talk, args=(c,), daemon=True).start()

    def talk(self, c):
        try:
            if self.send:
                c.sendall(os.urandom(self.send))
            while True:
                data = c.recv(65536)
                if not data:
                    break
                c.sendall(data)
        except OSError:
            pass
        self.closed.set()
        c.close()


class Shaper:
    def __init__(self, target, *options):
        self.proc = subprocess.Popen([sys.executable, SHAPER, 'relay', '--target', str(target)]
                                     + [str(o) for o in options], stdout=subprocess.PIPE, text=True)
        self.lines = []
        line = self.proc.stdout.readline()
        while line and not line.startswith('shaper: listening on 127.0.0.1:'):
            self.lines.append(line)
            line = self.proc.stdout.readline()
        self.port = int(line.rsplit(':', 1)[1])

    def connect(self):
        s = socket.create_connection(('127.0.0.1', self.port), timeout=10)
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        return s

    def stop(self):
        self.proc.terminate()
        out, _ = self.proc.communicate(timeout=10)
        self.lines += out.splitlines()
        return self.lines


def receive(s, count):
    data = b''
    while len(data) < count:
        piece = s.recv(65536)
        if not piece:
            break
        data += piece
    return data


def ended(s):
    """True when the connection ends (reset or closed) before anything arrives."""
    try:
        return s.recv(100) == b''
    except ConnectionResetError:
        return True


def round_trip(s, payload):
    t = time.monotonic()
    s.sendall(payload)
    back = receive(s, len(payload))
    return time.monotonic() - t, back


class ShaperTest(unittest.TestCase):
    def shaper(self, target, *options):
        shaper = Shaper(target, *options)
        self.addCleanup(lambda: shaper.proc.poll() is None and shaper.stop())
        return shaper

    def test_delay_with_jitter_keeps_bytes_in_order(self):
        peer = Peer()
        shaper = self.shaper(peer.port, '--rtt-ms', 400, '--jitter-ms', 200, '--seed', 3)
        s = shaper.connect()
        times = [round_trip(s, b'p')[0] for _ in range(8)]
        self.assertTrue(all(0.29 < t < 0.56 for t in times), times)  # 400 ± 100 ms, and scheduling
        self.assertGreater(max(times) - min(times), 0.02, times)     # the jitter is drawn anew
        payload = os.urandom(300000)                                 # many pieces, each delayed
        self.assertEqual(round_trip(s, payload)[1], payload)
        s.close()
        shaper.stop()

    def test_paces_each_direction_at_the_rate(self):
        # 80 kbit/s: 10 000 bytes a second each way, after a 20 ms round trip.
        peer = Peer(send=15000)
        shaper = self.shaper(peer.port, '--rtt-ms', 20, '--jitter-ms', 0, '--rate', 80000)
        s = shaper.connect()
        t = time.monotonic()
        self.assertEqual(len(receive(s, 15000)), 15000)  # service to handheld
        down = time.monotonic() - t
        self.assertTrue(1.4 < down < 1.75, down)
        # Handheld to service: the echo of 10 000 bytes returns as its last piece is paced out.
        up, back = round_trip(s, b'u' * 10000)
        self.assertEqual(back, b'u' * 10000)
        self.assertTrue(0.95 < up < 1.25, up)
        s.close()
        lines = shaper.stop()
        self.assertIn('25000 bytes down', lines[-1])

    def test_cut_resets_both_sides_and_is_reported(self):
        peer = Peer()
        shaper = self.shaper(peer.port, '--rtt-ms', 10, '--jitter-ms', 0, '--cut-at', 0.8)
        s = shaper.connect()
        self.assertEqual(round_trip(s, b'before')[1], b'before')
        t = time.monotonic()
        self.assertTrue(ended(s))  # nothing but the cut arrives
        self.assertLess(time.monotonic() - t, 1.5)
        self.assertTrue(peer.closed.wait(2), 'the service side was not closed')
        s.close()
        lines = shaper.stop()
        self.assertTrue(any('cut connection 1 after 6 bytes up, 6 down' in l for l in lines), lines)
        self.assertIn('1 cuts', lines[-1])

    def test_quiet_cut_leaves_the_service_side_open(self):
        peer = Peer()
        shaper = self.shaper(peer.port, '--rtt-ms', 10, '--jitter-ms', 0, '--cut-at', 0.5, '--quiet-cuts')
        s = shaper.connect()
        s.sendall(b'x')
        time.sleep(1.0)
        self.assertFalse(peer.closed.is_set(), 'a quiet cut closed the service side')
        s.close()
        self.assertTrue(any('cut connection 1' in l for l in shaper.stop()))

    def test_stall_holds_the_link_then_it_goes_on(self):
        peer = Peer()
        shaper = self.shaper(peer.port, '--rtt-ms', 20, '--jitter-ms', 0, '--stall-at', '0.6:1.2')
        s = shaper.connect()
        start = time.monotonic()
        times = []
        while time.monotonic() - start < 2.2:
            times.append(round_trip(s, b'ping')[0])
        s.close()
        lines = shaper.stop()
        self.assertTrue(any('stall 1.2 s' in l for l in lines), lines)
        self.assertTrue(0.9 < max(times) < 1.35, max(times))      # the ping caught by the stall
        self.assertLess(times[-1], 0.1)                           # after it, the link is fast again
        self.assertIn('1 stalls', lines[-1])

    def test_random_cuts_follow_the_seed(self):
        peer = Peer()

        def planned(seed):
            shaper = self.shaper(peer.port, '--rtt-ms', 10, '--jitter-ms', 0, '--cut-mean', 0.3, '--seed', seed)
            s = shaper.connect()
            self.assertTrue(ended(s))  # the cut comes, at a random moment
            s.close()
            time.sleep(0.1)
            return [l.split('cut after')[1] for l in shaper.stop() if 'to be cut after' in l]

        self.assertEqual(planned(5), planned(5))
        self.assertNotEqual(planned(5), planned(6))


if __name__ == '__main__':
    unittest.main(verbosity=2)
