"""The component's zip archives against independent tools: archives it writes are read by
Python's zipfile and Info-ZIP's unzip; archives that zipfile and Info-ZIP's zip write are
unpacked by it; crafted archives (names leaving the folder, damaged entries) are refused.
    zip_interop.py HOST1C.EXE VeloraAddIn.dll WORK-DIR"""
import os
import shutil
import subprocess
import sys
import unittest
import zipfile
import zlib

from host1c_driver import need_tool, run_tests, win_path

HOST = None
WORK = None


def stored_names(archive):
    """Entry names as the bytes the archive holds, decoded as the office's code page 1251
    (zipfile shows names without the UTF-8 flag as cp437)."""
    with zipfile.ZipFile(archive) as z:
        return sorted(i.filename.encode('cp437').decode('cp1251') if not i.flag_bits & 0x800 else i.filename
                      for i in z.infolist())


def zip_name(name):
    """How zipfile shows a name stored in code page 1251 without the UTF-8 flag."""
    return name.encode('cp1251').decode('cp437')


def tree(folder):
    """{relative path with backslashes: bytes} of every file below the folder."""
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            with open(path, 'rb') as f:
                files[os.path.relpath(path, folder).replace('/', '\\')] = f.read()
    return files


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


class ZipTest(unittest.TestCase):
    def setUp(self):
        self.dir = os.path.join(WORK, self.id().split('.')[-1])
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.src = os.path.join(self.dir, 'src')
        self.files = {
            'отчёт.txt': 'Остатки на складе\r\n'.encode('cp1251'),
            'empty.dat': b'',
            'random.bin': os.urandom(300000),
            'Docs/a.txt': b'a' * 5000,
            'Docs/Вложенная/b.bin': bytes(range(256)) * 40,
        }
        for name, data in self.files.items():
            write(os.path.join(self.src, name), data)

    def p(self, *parts):
        return win_path(os.path.join(self.dir, *parts))

    def s(self, name):
        return win_path(os.path.join(self.src, name))


class ComponentWrites(ZipTest):
    def pack_pending(self, password=''):
        calls = [('=proc', 'ZipSetPassword', [password]),
                 ('ZipAdd', [0, self.s('отчёт.txt')]),
                 ('ZipAdd', ['', self.s('empty.dat')]),
                 ('ZipAdd', ['Данные\\случайные.bin', self.s('random.bin')]),
                 ('ZipAdd', [0, self.s('Docs') + '\\']),
                 ('ZipPack', [self.p('out.zip'), 0])]
        self.assertEqual([0] * 5, HOST.codes(calls))
        return os.path.join(self.dir, 'out.zip')

    def expected(self):
        return {'отчёт.txt': self.files['отчёт.txt'], 'empty.dat': b'',
                'Данные\\случайные.bin': self.files['random.bin'],
                'Docs\\a.txt': self.files['Docs/a.txt'],
                'Docs\\Вложенная\\b.bin': self.files['Docs/Вложенная/b.bin']}

    def test_pending_list_names_and_contents(self):
        archive = self.pack_pending()
        self.assertEqual(sorted(self.expected()), stored_names(archive))
        with zipfile.ZipFile(archive) as z:
            self.assertIsNone(z.testzip())
            for info in z.infolist():
                name = info.filename.encode('cp437').decode('cp1251')
                self.assertEqual(self.expected()[name], z.read(info), name)
                self.assertEqual(zipfile.ZIP_DEFLATED, info.compress_type)
                self.assertFalse(info.flag_bits & 1, 'not encrypted without a password')
        test = subprocess.run(['unzip', '-tq', archive], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.assertEqual(0, test.returncode, test.stdout)

    def test_password_protected_archive(self):
        archive = self.pack_pending('пароль-1')
        with zipfile.ZipFile(archive) as z:
            info = z.getinfo(zip_name('Данные\\случайные.bin'))
            self.assertTrue(all(i.flag_bits & 1 for i in z.infolist()), 'every entry encrypted')
            with self.assertRaises(RuntimeError):  # "password required"
                z.read(info)
            with self.assertRaises((RuntimeError, zipfile.BadZipFile, zlib.error)):  # "Bad password"
                z.read(info, pwd=b'wrong')
            z.setpassword('пароль-1'.encode('cp1251'))
            for i in z.infolist():
                self.assertEqual(self.expected()[i.filename.encode('cp437').decode('cp1251')], z.read(i))
        bad = subprocess.run(['unzip', '-tq', '-P', 'wrong', archive], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.assertNotEqual(0, bad.returncode)

    def test_list_mode_trims_names_and_uses_paths_exactly(self):
        # A path with a leading blank names a different file than the trimmed one.
        write(os.path.join(self.src, ' blank'), b'blanks are part of the path')
        write(os.path.join(self.src, 'blank'), b'trimmed')
        tab = '\t'
        listing = tab.join(['  первый.txt ', self.s('отчёт.txt'), '\tпусто', self.s('empty.dat'),
                            ' с пробелами ', self.s(' blank')])
        self.assertEqual([0], HOST.codes([('ZipPack', [self.p('list.zip'), listing])]))
        self.assertEqual(['первый.txt', 'пусто', 'с пробелами'], stored_names(os.path.join(self.dir, 'list.zip')))
        with zipfile.ZipFile(os.path.join(self.dir, 'list.zip')) as z:
            self.assertEqual(b'blanks are part of the path', z.read(zip_name('с пробелами')))


class ComponentUnpacks(ZipTest):
    def unpack(self, archive, password='', dest='out'):
        os.makedirs(os.path.join(self.dir, dest), exist_ok=True)
        return HOST.codes([('=proc', 'ZipSetPassword', [password]),
                           ('ZipUnPack', [win_path(archive), self.p(dest)])])[0]

    def expected(self):
        return {k.replace('/', '\\'): v for k, v in self.files.items()}

    def test_python_zipfile_archive(self):
        archive = os.path.join(self.dir, 'py.zip')
        with zipfile.ZipFile(archive, 'w') as z:
            for i, (name, data) in enumerate(self.files.items()):
                z.writestr(name, data, zipfile.ZIP_DEFLATED if i % 2 else zipfile.ZIP_STORED)
            z.writestr('Пустая папка/', b'')
        self.assertEqual(0, self.unpack(archive))
        self.assertEqual(self.expected(), tree(os.path.join(self.dir, 'out')))
        self.assertTrue(os.path.isdir(os.path.join(self.dir, 'out', 'Пустая папка')))

    def info_zip(self, *options):
        # Info-ZIP on Linux stores names in the locale's UTF-8 without marking them, which no
        # office tool reads as such: its archives here carry ASCII names.
        need_tool('zip', 'zip')
        os.rename(os.path.join(self.src, 'отчёт.txt'), os.path.join(self.src, 'report.txt'))
        os.rename(os.path.join(self.src, 'Docs', 'Вложенная'), os.path.join(self.src, 'Docs', 'inner'))
        self.files = {'report.txt': self.files['отчёт.txt'], 'Docs/inner/b.bin': self.files['Docs/Вложенная/b.bin'],
                      **{k: v for k, v in self.files.items() if k not in ('отчёт.txt', 'Docs/Вложенная/b.bin')}}
        archive = os.path.join(self.dir, 'info.zip')
        made = subprocess.run(['zip', '-qr', *options, archive, '.'], cwd=self.src,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.assertEqual(0, made.returncode, made.stdout)
        return archive

    def test_info_zip_archive(self):
        self.assertEqual(0, self.unpack(self.info_zip()))
        self.assertEqual(self.expected(), tree(os.path.join(self.dir, 'out')))

    def test_info_zip_archive_with_password(self):
        archive = self.info_zip('-P', 'tajna')
        self.assertEqual(55, self.unpack(archive, 'wrong'))
        self.assertEqual(55, self.unpack(archive, ''))
        self.assertEqual({}, tree(os.path.join(self.dir, 'out')), 'a wrong password leaves no files')
        self.assertEqual(0, self.unpack(archive, 'tajna'))
        self.assertEqual(self.expected(), tree(os.path.join(self.dir, 'out')))

    def test_names_leaving_the_folder_extract_nothing(self):
        for bad in ['../climb.txt', '..\\climb.txt', 'sub/../../climb.txt', '/absolute.txt', '\\absolute.txt',
                    'C:\\drive.txt', 'C:drive.txt', 'ok.txt:stream']:
            with self.subTest(name=bad):
                archive = os.path.join(self.dir, 'slip.zip')
                with zipfile.ZipFile(archive, 'w') as z:
                    z.writestr('first.txt', b'first')
                    z.writestr(zipfile.ZipInfo(bad), b'outside')
                    z.writestr('last.txt', b'last')
                shutil.rmtree(os.path.join(self.dir, 'out', 'in'), ignore_errors=True)
                self.assertEqual(54, self.unpack(archive, dest='out/in'))
                self.assertEqual({}, tree(os.path.join(self.dir, 'out')), 'nothing extracted anywhere')
                self.assertFalse(os.path.exists('/climb.txt') or os.path.exists('/absolute.txt'))

    def test_damaged_entry_stops_with_an_error(self):
        archive = os.path.join(self.dir, 'damaged.zip')
        with zipfile.ZipFile(archive, 'w', zipfile.ZIP_DEFLATED) as z:
            z.writestr('good.txt', b'good' * 100)
            z.writestr('bad.bin', os.urandom(20000))
            z.writestr('after.txt', b'after')
        with zipfile.ZipFile(archive) as z:
            info = z.getinfo('bad.bin')
        with open(archive, 'rb') as f:
            data = bytearray(f.read())
        start = info.header_offset + 30 + len('bad.bin')
        for i in range(start + 100, start + 200):
            data[i] ^= 0x5A
        with open(archive, 'wb') as f:
            f.write(bytes(data))
        self.assertEqual(54, self.unpack(archive))
        self.assertEqual({'good.txt': b'good' * 100}, tree(os.path.join(self.dir, 'out')))

    def test_file_that_cannot_be_created(self):
        archive = os.path.join(self.dir, 'blocked.zip')
        with zipfile.ZipFile(archive, 'w') as z:
            z.writestr('blocked', b'data')
        os.makedirs(os.path.join(self.dir, 'out', 'blocked'))
        self.assertEqual(6, self.unpack(archive))




if __name__ == '__main__':
    run_tests(sys.modules[__name__], [('unzip', 'unzip'), ('zip', 'zip')])
