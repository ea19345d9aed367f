"""The component's file encryption against an independent RC2 (pycryptodome): with a password
the file is the standard RC2-CBC of the source under the first 5 bytes of the MD5 of the
password's UTF-16 units, both ways; without one the file carries the wrapped key blob, and a
second Wine prefix (another user's key container) cannot decrypt it.
    crypt_interop.py HOST1C.EXE VeloraAddIn.dll WORK-DIR"""
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import unittest

from Cryptodome.Cipher import ARC2

from host1c_driver import run_tests, win_path

HOST = None
WORK = None
PASSWORD = 'Пароль для КПК'


def rc2(password):
    key = hashlib.md5(password.encode('utf-16-le')).digest()[:5]
    return ARC2.new(key, ARC2.MODE_CBC, iv=bytes(8), effective_keylen=40)


def pad(data):
    n = 8 - len(data) % 8
    return data + bytes([n]) * n


class CryptTest(unittest.TestCase):
    def setUp(self):
        self.dir = os.path.join(WORK, self.id().split('.')[-1])
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)

    def p(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.p(name), 'wb') as f:
            f.write(data)

    def read(self, name):
        with open(self.p(name), 'rb') as f:
            return f.read()

    def cipher(self, method, source, destination, password, env=None):
        """(code, ErrDescription(56)) of one EncryptFile or DecryptFile."""
        code, text = HOST.run([('=proc', 'SetCryptPassword', [password]),
                               (method, [win_path(self.p(source)), win_path(self.p(destination))]),
                               ('ErrDescription', [56])], env)
        if len(text) >= 2 and text[0] == text[-1] == '"':  # printed as a string literal
            text = text[1:-1].replace('""', '"')
        return int(code), text


class WithPassword(CryptTest):
    def test_ciphertext_is_standard_rc2_both_ways(self):
        for n in (0, 1000, 1001, 3 * 1024 * 1024 + 5):
            with self.subTest(n=n):
                plain = os.urandom(n)
                self.write('plain.bin', plain)
                self.assertEqual((0, ''), self.cipher('EncryptFile', 'plain.bin', 'cipher.bin', PASSWORD))
                self.assertEqual(rc2(PASSWORD).encrypt(pad(plain)), self.read('cipher.bin'))
                # A file encrypted elsewhere with the same key decrypts.
                self.write('theirs.bin', rc2(PASSWORD).encrypt(pad(plain)))
                self.assertEqual(0, self.cipher('DecryptFile', 'theirs.bin', 'back.bin', PASSWORD)[0])
                self.assertEqual(plain, self.read('back.bin'))


class WithoutPassword(CryptTest):
    def test_blob_layout_and_other_users_container(self):
        plain = os.urandom(5000)
        self.write('plain.bin', plain)
        self.write('by-password.bin', rc2(PASSWORD).encrypt(pad(plain)))
        self.assertEqual(0, self.cipher('EncryptFile', 'plain.bin', 'cipher.bin', '')[0])
        data = self.read('cipher.bin')
        length = struct.unpack('<I', data[:4])[0]
        kind, version, reserved, algorithm, wrapping = struct.unpack('<BBHII', data[4:16])
        self.assertEqual((1, 2, 0x6602, 0xA400), (kind, version, algorithm, wrapping),
                         'a simple blob of an RC2 key wrapped with the RSA key-exchange key')
        self.assertEqual(4 + length + 8 * (len(plain) // 8 + 1), len(data))
        self.assertEqual(0, self.cipher('DecryptFile', 'cipher.bin', 'back.bin', '')[0])
        self.assertEqual(plain, self.read('back.bin'))

        other = dict(os.environ, WINEPREFIX=os.path.join(WORK, 'other-user-prefix'))
        # Start the new prefix's services with their output discarded, as the test set-up does.
        subprocess.run(['wine', 'cmd', '/c', 'exit'], env=other, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        try:
            code, text = self.cipher('DecryptFile', 'cipher.bin', 'theirs.bin', '', other)
            self.assertEqual(56, code)
            self.assertNotEqual('', text)
            # Once that user has a key pair of his own, the blob still does not open.
            self.assertEqual(0, self.cipher('EncryptFile', 'plain.bin', 'mine.bin', '', other)[0])
            code, text = self.cipher('DecryptFile', 'cipher.bin', 'theirs.bin', '', other)
            self.assertEqual(56, code)
            self.assertNotEqual('', text)
            # A password travels: the other user decrypts a file encrypted with one.
            self.assertEqual(0, self.cipher('DecryptFile', 'by-password.bin', 'back2.bin', PASSWORD, other)[0])
            self.assertEqual(plain, self.read('back2.bin'))
        finally:
            subprocess.run(['wineserver', '-k'], env=other, timeout=60)


if __name__ == '__main__':
    run_tests(sys.modules[__name__])
