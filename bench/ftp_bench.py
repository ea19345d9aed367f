"""Times one upload and one download of the component against pyftpdlib on the loopback,
from the data command to the file's last byte (the server receiving it for the upload, the
local file reaching its size for the download), so the start of the host emulator under
Wine is not counted.
    ftp_bench.py HOST1C.EXE VeloraAddIn.dll WORK-DIR MIB"""
import os
import shutil
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'addin'))
from ftp_interop import PASSWORD, USER, Recorder, Server  # noqa: E402
from host1c_driver import Host, win_path  # noqa: E402

BLOCK = 131072
BOUND = BLOCK * 10 / 1048576  # MiB/s: one block per 100 ms pause


class Timed(Recorder):
    """Keeps the time the last download was asked for."""
    retr = None

    def pre_process_command(self, line, cmd, arg):
        if cmd == 'RETR':
            Timed.retr = time.monotonic()
        super().pre_process_command(line, cmd, arg)


def watch_size(path, size, done, stop):
    """Appends the moment `path` reaches `size` bytes to `done`."""
    while not stop.is_set():
        try:
            if os.path.getsize(path) >= size:
                done.append(time.monotonic())
                return
        except OSError:
            pass
        time.sleep(0.002)


def main():
    host1c, dll, work, mib = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    shutil.rmtree(work, ignore_errors=True)
    root, local = os.path.join(work, 'root'), os.path.join(work, 'local')
    os.makedirs(root)
    os.makedirs(local)
    data = os.urandom(mib * 1048576)
    with open(os.path.join(local, 'up.bin'), 'wb') as f:
        f.write(data)
    with open(os.path.join(root, 'down.bin'), 'wb') as f:
        f.write(data)
    server = Server(root, Timed)
    arrived, stop = [], threading.Event()
    watcher = threading.Thread(target=watch_size, args=(os.path.join(local, 'down.bin'), len(data), arrived, stop))
    watcher.start()
    try:
        codes = Host(host1c, dll, work).codes([
            ('FtpOpenSession', []), ('FtpConnect', [f'127.0.0.1:{server.port}', USER, PASSWORD]),
            ('=proc', 'FtpSetBufferSize', [BLOCK]),
            ('FtpPutFile', [win_path(os.path.join(local, 'up.bin')), 'up.bin']),
            ('FtpGetFile', [win_path(os.path.join(local, 'down.bin')), 'down.bin'])])
    finally:
        stop.set()
        watcher.join()
        server.stop()
    intact = all(open(p, 'rb').read() == data for p in (os.path.join(root, 'up.bin'), os.path.join(local, 'down.bin')))
    if codes != [0, 0, 0, 0] or not intact or not Recorder.uploads or not arrived:
        print(f'bench/ftp: FAILED: codes {codes}, files intact {intact}')
        return 1
    rates = {'upload': mib / Recorder.uploads[-1][1], 'download': mib / (arrived[0] - Timed.retr)}
    for direction, rate in rates.items():
        print(f'{direction:8} {mib} MiB at {BLOCK}-byte blocks: {rate:.2f} MiB/s, {rate / BOUND:.2f} of {BOUND:.2f} MiB/s')
    print(f'worst ratio {min(rates.values()) / BOUND:.2f} of the bound of one block per 100 ms ({BOUND:.2f} MiB/s)')
    return 0


if __name__ == '__main__':
    sys.exit(main())
