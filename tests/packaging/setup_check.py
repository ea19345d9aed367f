"""VeloraSetup.exe as an administrator uses it, in a fresh Wine prefix of its own: a silent
install puts the files, the Start-menu entries and the uninstaller in place and registers the
component in the 32-bit registry view, where the installed 32-bit host emulator creates it by
ProgID; installing again over a running service stops it, gives it the new program and starts
it again; the silent uninstaller stops the service, removes its entry and program and all that
was installed, and leaves the exchange folder untouched. The control panel from the installed
folder installs, starts, drives and removes the service (the control panel's own GUI test,
pointed at the installed program).
    setup_check.py VeloraSetup.exe VeloraService.exe control_gui_test.exe WORK-DIR"""
import filecmp
import os
import socket
import shutil
import subprocess
import sys
import time
import unittest

SETUP = SERVICE = CTRL_TEST = WORK = None
CLSID = '{04024C31-0E7B-11d1-A486-004095E1DAEA}'
UNINSTALL_KEY = r'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velora'


class Setup(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = os.path.join(WORK, 'prefix')
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(cls.prefix)
        cls.env = dict(os.environ, WINEPREFIX=cls.prefix, WINEDEBUG='-all', WINEDLLOVERRIDES='mscoree,mshtml=')
        cls.wine(['wineboot', '-i'], timeout=300)
        subprocess.run(['wineserver', '-w'], env=cls.env, timeout=120)
        # A persistent server: otherwise it ends, with the service, when the last program does.
        cls.server = subprocess.Popen(['wineserver', '-p'], env=cls.env, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
        cls.folder = os.path.join(cls.prefix, 'drive_c', 'Program Files (x86)', 'Velora')
        cls.menu = os.path.join(cls.prefix, 'drive_c', 'ProgramData', 'Microsoft', 'Windows', 'Start Menu', 'Programs', 'Velora')

    @classmethod
    def tearDownClass(cls):
        subprocess.run(['wineserver', '-k'], env=cls.env)
        cls.server.wait(30)

    @classmethod
    def wine(cls, args, timeout=120, lang='C', extra=None):
        env = dict(cls.env, LC_ALL=lang, LANG=lang, **(extra or {}))
        # Output goes through a file: Wine's own background programs would hold a pipe open.
        with open(os.path.join(WORK, 'wine-output.txt'), 'w+b') as out:
            done = subprocess.run(['wine'] + args, env=env, timeout=timeout, stdout=out, stderr=subprocess.STDOUT)
            out.seek(0)
            return done.returncode, out.read().decode('utf-8', 'replace')

    def service_state(self, state, seconds=30):
        """True once the service reports `state`, within the bound."""
        for _ in range(seconds * 2):
            if state in self.wine(['sc', 'query', 'VeloraService'])[1]:
                return True
            time.sleep(0.5)
        return False

    def reg(self, key, view=32):
        return self.wine(['reg', 'query', key, f'/reg:{view}'])

    def test_install_then_uninstall(self):
        rc, out = self.wine([SETUP, '/S'], timeout=300, lang='ru_RU.UTF-8')
        self.assertEqual(0, rc, out)
        installed = {'VeloraAddIn.dll', 'VeloraServerCtrl.exe', 'host1c.exe', 'guide.html', 'reference.html',
                     'uninstall.exe', 'velora-handheld.exe', 'velora-log.exe', 'velora-devices.exe', 'rapi'}
        self.assertEqual(installed, set(os.listdir(self.folder)))
        self.assertEqual(['rapi.dll'], os.listdir(os.path.join(self.folder, 'rapi')))
        self.assertEqual({'Панель управления Velora.lnk', 'Руководство администратора.lnk', 'Журнал службы Velora.lnk',
                          'Справочник программиста 1С.lnk', 'Удалить Velora.lnk'}, set(os.listdir(self.menu)))
        rc, key = self.reg(UNINSTALL_KEY)
        self.assertEqual(0, rc, key)
        self.assertIn(r'"C:\Program Files (x86)\Velora\uninstall.exe" /S', key)
        self.assertIn('2.5.2.2520', key)
        rc, server = self.reg(rf'HKCR\CLSID\{CLSID}\InprocServer32')
        self.assertEqual(0, rc, server)
        self.assertIn(r'C:\Program Files (x86)\Velora\VeloraAddIn.dll', server)
        rc, out = self.wine([os.path.join(self.folder, 'host1c.exe'), '--progid', 'AddIn.AddInObject', '--no-profile',
                             '-e', 'v = Version()', '-e', 'print v'], lang='ru_RU.UTF-8')
        self.assertEqual(0, rc, out)
        self.assertIn('"1.62.0.0"', out)

        # The installed control panel installs the service from itself and starts it.
        env = dict(VELORA_CTRL_EXE=r'C:\Program Files (x86)\Velora\VeloraServerCtrl.exe')
        rc, out = self.wine([CTRL_TEST, '--gtest_filter=ControlPanel.FreshInstallThenEveryServiceOperation'],
                            timeout=400, lang='ru_RU.UTF-8', extra=env)
        self.assertEqual(0, rc, out)
        self.assertIn('[  PASSED  ] 1 test', out)

        # An exchange folder with a device's data, as the service and 1C leave it.
        exchange = os.path.join(self.prefix, 'drive_c', 'Exchange')
        os.makedirs(os.path.join(exchange, 'PPC0001'))
        with socket.socket() as free:
            free.bind(('127.0.0.1', 0))
            port = free.getsockname()[1]
        with open(os.path.join(exchange, 'config.xml'), 'w', newline='\r\n') as f:
            f.write('<?xml version="1.0" encoding="UTF-8"?>\n<VeloraServer VERSION="1.0">\n'
                    f'\t<ServerConfig PortExternal="{port}" />\n'
                    '\t<PPC DEVICE_ID="00000000-0000-0000-0000-000000000001" PSEUDONIM="Agent1" DIRECTORY="PPC0001" />\n'
                    '</VeloraServer>\n')
        with open(os.path.join(exchange, 'PPC0001', 'To1C.zip'), 'wb') as f:
            f.write(os.urandom(5000))
        before = os.path.join(WORK, 'exchange-before')
        shutil.copytree(exchange, before)

        # The service as the control panel installs it (its program in the real system folder),
        # running an older program (the same one with bytes appended).
        # Wine starts a service that a 32-bit program created from the 32-bit system folder:
        # the program is there too, as the control panel's test leaves it.
        service_exe = os.path.join(self.prefix, 'drive_c', 'windows', 'system32', 'VeloraService.exe')
        service_exe32 = os.path.join(self.prefix, 'drive_c', 'windows', 'syswow64', 'VeloraService.exe')
        with open(SERVICE, 'rb') as f:
            new_program = f.read()
        for path in (service_exe, service_exe32):
            with open(path, 'wb') as f:
                f.write(new_program + b'older build')
        for command in (['sc', 'create', 'VeloraService', 'binPath=', r'C:\windows\system32\VeloraService.exe'],
                        ['reg', 'add', r'HKLM\SYSTEM\CurrentControlSet\Services\VeloraService\Parameters\Exchange',
                         '/v', 'ExchFolder', '/d', r'C:\Exchange', '/f'],
                        ['sc', 'start', 'VeloraService']):
            rc, out = self.wine(command)
            self.assertEqual(0, rc, f'{command}: {out}')
        self.assertTrue(self.service_state('RUNNING'), self.wine(['sc', 'query', 'VeloraService'])[1])

        rc, out = self.wine([SETUP, '/S'], timeout=300, lang='ru_RU.UTF-8')
        self.assertEqual(0, rc, out)
        for path in (service_exe, service_exe32):
            with open(path, 'rb') as f:
                self.assertTrue(f.read() == new_program, 'the service program was not replaced: ' + path)
        self.assertTrue(self.service_state('RUNNING'), 'the service was not started again')
        self.assertEqual(set(installed), set(os.listdir(self.folder)))

        rc, out = self.wine([os.path.join(self.folder, 'uninstall.exe'), '/S'], lang='ru_RU.UTF-8')
        self.assertEqual(0, rc, out)
        # The uninstaller goes on from a copy of itself: wait, bounded, for it to finish.
        for _ in range(120):
            if not os.path.exists(self.folder):
                break
            time.sleep(0.5)
        self.assertFalse(os.path.exists(self.folder), os.listdir(self.folder) if os.path.exists(self.folder) else '')
        self.assertFalse(os.path.exists(self.menu))
        self.assertNotEqual(0, self.wine(['sc', 'query', 'VeloraService'])[0], 'the service entry stayed')
        self.assertFalse(os.path.exists(service_exe) or os.path.exists(service_exe32))
        self.assertNotEqual(0, self.reg(UNINSTALL_KEY)[0])
        self.assertNotEqual(0, self.reg(rf'HKCR\CLSID\{CLSID}')[0])
        self.assertNotEqual(0, self.reg(r'HKCR\AddIn.AddInObject')[0])
        # Everything 1C and the handhelds left is as it was; the service adds only its log.
        compare = filecmp.dircmp(before, exchange)
        self.assertEqual(([], []), (compare.left_only, compare.diff_files))
        self.assertTrue(set(compare.right_only) <= {'log.txt'}, compare.right_only)
        self.assertEqual([], filecmp.dircmp(os.path.join(before, 'PPC0001'), os.path.join(exchange, 'PPC0001')).diff_files)
        self.assertTrue(filecmp.cmp(os.path.join(before, 'PPC0001', 'To1C.zip'),
                                    os.path.join(exchange, 'PPC0001', 'To1C.zip'), shallow=False))


if __name__ == '__main__':
    SETUP, SERVICE, CTRL_TEST, WORK = sys.argv[1:5]
    program = unittest.main(argv=[sys.argv[0], '-v'], exit=False)
    sys.exit(0 if program.result.wasSuccessful() else 1)
