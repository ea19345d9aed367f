"""The generated 1C programmer's reference lists every property (4) and method (85) of the
component by number with both names, and the texts of the result codes.
    reference_check.py REFERENCE.md"""
import re
import sys
import unittest

PATH = None


class Reference(unittest.TestCase):
    def setUp(self):
        with open(PATH, encoding='utf-8') as f:
            self.text = f.read()

    def rows(self, heading):
        section = self.text.split('## ' + heading, 1)[1].split('\n## ', 1)[0]
        return [re.split(r'\s*\|\s*', line.strip('| ')) for line in section.splitlines() if re.match(r'\| \d+ \|', line)]

    def test_every_property_and_method_once_with_both_names(self):
        for heading, count in (('Свойства', 4), ('Методы', 85)):
            rows = self.rows(heading)
            self.assertEqual(list(range(count)), [int(r[0]) for r in rows], heading)
            for row in rows:
                self.assertRegex(row[1], r'^`[^`]+`$', row)
                self.assertRegex(row[2], r'^`[^`]+`$', row)
                self.assertNotEqual(row[1], row[2], row)
                self.assertTrue(row[-1], row)

    def test_functions_and_defaults_come_from_the_component(self):
        methods = {r[1].strip('`'): r for r in self.rows('Методы')}
        self.assertEqual('функция', methods['FtpGetFile'][3])
        self.assertEqual('процедура', methods['FtpCloseSession'][3])
        self.assertIn('параметр 1 по умолчанию 5000', methods['VlsEnableServer'][4])
        self.assertIn('параметров: 9', methods['GpsSetMap'][4])

    def test_result_codes_have_their_texts(self):
        codes = {int(r[0]): r[1] for r in self.rows('Коды результата')}
        self.assertEqual('Отмена пользователем', codes[77])
        self.assertIn('rapi.dll', codes[8])
        self.assertTrue(all(codes.values()))
        self.assertNotIn(1000, codes)


if __name__ == '__main__':
    PATH = sys.argv[1]
    program = unittest.main(argv=[sys.argv[0], '-v'], exit=False)
    sys.exit(0 if program.result.wasSuccessful() else 1)
