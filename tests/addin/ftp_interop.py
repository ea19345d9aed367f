"""The component's FTP methods against a real FTP server: pyftpdlib on a free loopback port
with a user, a password and a temporary root, run in a thread of this process, while
host1c.exe runs the 1C statements under Wine.
    ftp_interop.py HOST1C.EXE VeloraAddIn.dll WORK-DIR WINDOW-TEST.EXE
The progress window's cases run in WINDOW-TEST.EXE, in the component's own process."""
import errno
import os
import shutil
import subprocess
import sys
import threading
import time
import unittest

from host1c_driver import run_tests, win_path

try:
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.filesystems import AbstractedFS
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer
except ImportError:
    sys.exit('FAIL: the Python module pyftpdlib is needed (Debian package python3-pyftpdlib)')

HOST = None
WORK = None
WINDOW_TEST = None
USER, PASSWORD = 'agent', 'Sekret-7'


class Breaking:
    """A file the server stops reading or writing after `limit` bytes, failing as a lost
    disk or peer does: the server then closes the data connection with a 426 reply."""
    limit = 262144

    def __init__(self, file):
        self.file, self.done = file, 0

    def __getattr__(self, name):
        return getattr(self.file, name)

    def _count(self, n):
        if self.done >= self.limit:
            raise OSError(errno.EIO, 'the server went away')
        self.done += n

    def read(self, n=-1):
        self._count(0)
        data = self.file.read(n)
        self._count(len(data))
        return data

    def write(self, data):
        self._count(len(data))
        return self.file.write(data)


class BreakingFS(AbstractedFS):
    """Files whose names begin with "drop" break part-way through a transfer."""

    def open(self, filename, mode):
        file = super().open(filename, mode)
        return Breaking(file) if os.path.basename(filename).startswith('drop') else file


class Recorder(FTPHandler):
    """Keeps the commands the server received and the duration of every upload."""
    commands = []
    uploads = []

    def pre_process_command(self, line, cmd, arg):
        Recorder.commands.append(cmd)
        if cmd == 'STOR':
            self._stor_started = time.monotonic()
        super().pre_process_command(line, cmd, arg)

    def on_file_received(self, file):
        Recorder.uploads.append((os.path.basename(file), time.monotonic() - self._stor_started))


class Server:
    def __init__(self, root, handler=Recorder):
        self.root = root
        authorizer = DummyAuthorizer()
        authorizer.add_user(USER, PASSWORD, root, perm='elradfmwMT')
        handler.authorizer = authorizer
        handler.permit_foreign_addresses = False
        handler.abstracted_fs = BreakingFS
        handler.use_sendfile = False  # downloads go through the file object's read()
        self.server = FTPServer(('127.0.0.1', 0), handler)
        self.port = self.server.socket.getsockname()[1]
        self.thread = threading.Thread(target=self.server.serve_forever, kwargs={'timeout': 0.2}, daemon=True)
        self.thread.start()

    def stop(self):
        self.server.close_all()
        self.thread.join(10)


class FtpTest(unittest.TestCase):
    def setUp(self):
        self.dir = os.path.join(WORK, self.id().split('.')[-1])
        shutil.rmtree(self.dir, ignore_errors=True)
        self.root = os.path.join(self.dir, 'root')
        self.local = os.path.join(self.dir, 'local')
        os.makedirs(self.root)
        os.makedirs(self.local)
        self.server = Server(self.root)
        Recorder.commands.clear()
        Recorder.uploads.clear()

    def tearDown(self):
        self.server.stop()

    def address(self, mode=''):
        return f'127.0.0.1:{mode}{self.server.port}'

    def connected(self, calls, server=None, user=USER, password=PASSWORD, block=None):
        """Results of the calls after opening a session and connecting (both checked)."""
        head = [('FtpOpenSession', []), ('FtpConnect', [server or self.address(), user, password])]
        if block is not None:
            head.append(('=proc', 'FtpSetBufferSize', [block]))
        results = HOST.run(head + calls)
        self.assertEqual(['0', '0'], results[:2], 'session and connection')
        return results[2:]

    def write_root(self, name, data):
        path = os.path.join(self.root, *name.split('/'))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as f:
            f.write(data)

    def lp(self, name):
        return win_path(os.path.join(self.local, name))


class Connection(FtpTest):
    def test_codes_before_session_and_connection(self):
        self.assertEqual([76], HOST.codes([('FtpConnect', [self.address(), USER, PASSWORD])]))
        file_ops = [('FtpFileExists', ['a']), ('FtpSetCurDir', ['a']), ('FtpCreateDirectory', ['a']),
                    ('FtpDeleteFile', ['a']), ('FtpGetFile', [self.lp('a'), 'a']), ('FtpPutFile', [self.lp('a'), 'a'])]
        self.assertEqual([0, 78, 78, 78, 78, 78, 78, 0],
                         HOST.codes([('FtpOpenSession', [])] + file_ops + [('FtpGetFileSize', ['a'])]))
        # A closed session makes a connection impossible again.
        self.assertEqual([0, 0, 76], HOST.codes([('FtpOpenSession', []), ('FtpConnect', [self.address(), USER, PASSWORD]),
                                                 ('=proc', 'FtpCloseSession', []),
                                                 ('FtpConnect', [self.address(), USER, PASSWORD])]))
        self.assertEqual([], os.listdir(self.root))

    def test_login_failures_and_unknown_hosts(self):
        # Wine reports a wrong password and an unknown user alike (12015), which maps to 81.
        self.assertEqual([0, 81, 81, 82, 100], HOST.codes([
            ('FtpOpenSession', []),
            ('FtpConnect', [self.address(), USER, 'wrong']),
            ('FtpConnect', [self.address(), 'nobody', PASSWORD]),
            ('FtpConnect', ['no-such-host.invalid', USER, PASSWORD]),
            ('FtpConnect', [f'127.0.0.1:{free_port()}', USER, PASSWORD])]))

    def test_port_and_mode_from_the_server_string(self):
        self.write_root('a.txt', b'abc')
        for mode, data_command in (('', {'PASV', 'EPSV'}), ('a:', {'PORT', 'EPRT'})):
            with self.subTest(mode=mode):
                Recorder.commands.clear()
                self.assertEqual(['0'], self.connected([('FtpFileExists', ['a.txt'])], server=self.address(mode)))
                used = set(Recorder.commands) & {'PASV', 'EPSV', 'PORT', 'EPRT'}
                self.assertTrue(used and used <= data_command, f'{mode!r}: {Recorder.commands}')

    def test_over_long_fields_are_cut(self):
        # Cut to 255 characters the user and password no longer match: a refused login.
        self.assertEqual([0, 81, 81], HOST.codes([
            ('FtpOpenSession', []),
            ('FtpConnect', [self.address(), USER + 'x' * 5000, PASSWORD]),
            ('FtpConnect', [self.address(), USER, PASSWORD + 'x' * 5000])]))
        self.assertEqual(['1', '100'], self.connected([('FtpFileExists', ['a' * 5000]),
                                                       ('FtpCreateDirectory', ['b' * 5000])]))


class RemoteFiles(FtpTest):
    def test_folders_files_and_sizes(self):
        self.write_root('a.txt', b'x' * 12345)
        self.write_root('out/b.txt', b'b')
        self.write_root('zero.txt', b'')
        results = self.connected([
            ('FtpFileExists', ['a.txt']), ('FtpFileExists', ['missing.txt']), ('FtpFileExists', ['zero.txt']),
            ('FtpGetFileSize', ['a.txt']), ('FtpGetFileSize', ['missing.txt']), ('FtpGetFileSize', [7]),
            ('FtpCreateDirectory', ['made']), ('FtpCreateDirectory', ['made']),
            ('FtpCreateDirectory', ['made\\inner']), ('FtpCreateDirectory', ['none/inner']),
            ('FtpSetCurDir', ['missing']), ('FtpSetCurDir', ['out']), ('FtpFileExists', ['b.txt']),
            ('FtpFileExists', ['..\\a.txt']), ('FtpDeleteFile', ['b.txt']), ('FtpDeleteFile', ['b.txt']),
            ('FtpFileExists', ['b.txt']), ('FtpFileExists', [5])])
        self.assertEqual(['0', '1', '0', '12345', '0', '0',
                          '0', '100', '0', '100',
                          '100', '0', '0', '0', '0', '100', '1', '75'], results)
        self.assertTrue(os.path.isdir(os.path.join(self.root, 'made', 'inner')))
        self.assertFalse(os.path.exists(os.path.join(self.root, 'out', 'b.txt')))
        self.assertTrue(os.path.exists(os.path.join(self.root, 'a.txt')))


class Transfers(FtpTest):
    def write_local(self, name, data):
        with open(os.path.join(self.local, name), 'wb') as f:
            f.write(data)

    def test_round_trips_are_byte_identical(self):
        files = {'big.bin': os.urandom(3 * 1048576 + 17), 'empty.bin': b'', 'exact.bin': os.urandom(2 * 131072)}
        calls = [('FtpCreateDirectory', ['up'])]
        for name, data in files.items():
            self.write_local(name, data)
            calls.append(('FtpPutFile', [self.lp(name), 'up\\' + name]))
        for name in files:
            calls.append(('FtpGetFile', [self.lp('back-' + name), 'up/' + name]))
        self.assertEqual(['0'] * 7, self.connected(calls, block=131072))
        for name, data in files.items():
            with open(os.path.join(self.root, 'up', name), 'rb') as f:
                self.assertTrue(f.read() == data, 'uploaded ' + name)
            with open(os.path.join(self.local, 'back-' + name), 'rb') as f:
                self.assertTrue(f.read() == data, 'downloaded ' + name)

    def test_round_trip_in_active_mode(self):
        data = os.urandom(50000)
        self.write_local('a.bin', data)
        self.assertEqual(['0', '0'], self.connected([('FtpPutFile', [self.lp('a.bin'), 'a.bin']),
                                                     ('FtpGetFile', [self.lp('b.bin'), 'a.bin'])],
                                                    server=self.address('a:'), block=131072))
        with open(os.path.join(self.local, 'b.bin'), 'rb') as f:
            self.assertTrue(f.read() == data)
        self.assertIn('PORT', Recorder.commands)

    def test_block_size_out_of_range_is_4096(self):
        # Ten blocks of 4096 bytes cost ten pauses of 100 ms, one block of 131072 bytes one
        # (each upload also carries a fixed cost of its own under Wine).
        self.write_local('40k.bin', os.urandom(40960))
        durations = {}
        for block in (131072, 4, 200000, 4096):
            Recorder.uploads.clear()
            self.assertEqual(['0'], self.connected([('FtpPutFile', [self.lp('40k.bin'), f'{block}.bin'])], block=block))
            durations[block] = Recorder.uploads[0][1]
        for block in (4, 200000, 4096):
            self.assertGreater(durations[block] - durations[131072], 0.8, durations)

    def test_failures_leave_no_partial_files(self):
        self.write_local('a.bin', b'a' * 1000)
        self.write_root('r.bin', b'r' * 1000)
        self.assertEqual(['1', '7', '6', '6', '0'], self.connected([
            ('FtpGetFile', [self.lp('missing.bin'), 'missing.bin']),
            ('FtpPutFile', [self.lp('none.bin'), 'none.bin']),
            ('FtpPutFile', [self.lp('a.bin'), 'no/such/folder/a.bin']),
            ('FtpGetFile', [win_path(os.path.join(self.local, 'no', 'r.bin')), 'r.bin']),
            ('FtpFileExists', ['r.bin'])]))
        self.assertEqual(['a.bin'], sorted(os.listdir(self.local)))
        self.assertEqual(['r.bin'], sorted(os.listdir(self.root)))


    def test_a_server_going_away_mid_transfer_leaves_no_partial_file(self):
        data = os.urandom(8 * 131072)
        self.write_local('drop-up.bin', data)
        self.write_root('drop-down.bin', data)
        self.assertEqual(['100', '100', '0'], self.connected([
            ('FtpPutFile', [self.lp('drop-up.bin'), 'drop-up.bin']),
            ('FtpGetFile', [self.lp('drop-down-copy.bin'), 'drop-down.bin']),
            ('FtpFileExists', ['drop-down.bin'])], block=131072))
        self.assertEqual(['drop-up.bin'], os.listdir(self.local))
        self.assertEqual(['drop-down.bin'], os.listdir(self.root))


class ProgressWindow(FtpTest):
    def test_closing_the_window_and_calls_during_a_transfer(self):
        self.write_root('big.bin', os.urandom(33554432 + 65536))
        os.makedirs(os.path.join(self.root, 'cancelled'))
        shot = os.path.join(WORK, 'ftp-progress.png')
        env = dict(os.environ, VELORA_FTP_SERVER=self.address(), VELORA_FTP_USER=USER,
                   VELORA_FTP_PASSWORD=PASSWORD, VELORA_FTP_LOCAL=win_path(self.local), VELORA_FTP_SHOT=shot)
        for cases in ('Display.*', 'FtpWindow.*'):
            done = subprocess.run(['wine', WINDOW_TEST, '--gtest_color=no', '--gtest_filter=' + cases], env=env,
                                  timeout=400, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            out = done.stdout.decode('utf-8', 'replace')
            self.assertEqual(0, done.returncode, out)
        # The cancelled uploads left nothing behind, the cancelled download nothing here.
        self.assertEqual(['big.bin', 'cancelled'], sorted(os.listdir(self.root)), out)
        self.assertEqual([], os.listdir(os.path.join(self.root, 'cancelled')), out)
        self.assertNotIn('big.bin', os.listdir(self.local))
        self.assertGreater(os.path.getsize(shot), 0)


def free_port():
    import socket
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


if __name__ == '__main__':
    WINDOW_TEST = sys.argv[4]
    run_tests(sys.modules[__name__])
