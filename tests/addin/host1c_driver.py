"""Runs statements through the host emulator (host1c.exe under Wine) and collects the values
the script prints, for the tests that check the component against Linux-side tools."""
import os
import shutil
import subprocess
import sys
import unittest


def win_path(path):
    """A Linux path as Wine's Z: drive shows it."""
    return 'Z:' + os.path.abspath(path).replace('/', '\\')


def literal(value):
    """A 1C-language literal for a string or a number."""
    if isinstance(value, str):
        return '"' + value.replace('"', '""') + '"'
    return str(value)


def need_tool(name, package):
    if shutil.which(name) is None:
        sys.exit(f'FAIL: the program {name} is needed (Debian package {package})')


class Host:
    def __init__(self, host1c, dll, work):
        self.host1c, self.dll, self.work = host1c, dll, work
        os.makedirs(work, exist_ok=True)
        self.runs = 0

    def run(self, calls, env=None):
        """calls: a list of (method, [args]) for functions or ('=proc', method, [args]) for
        procedures. Returns the functions' results in order, as printed text."""
        lines, wanted = [], []
        for call in calls:
            if call[0] == '=proc':
                lines.append(f'{call[1]}({", ".join(literal(a) for a in call[2])})')
                continue
            n = len(wanted)
            lines.append(f'r{n} = {call[0]}({", ".join(literal(a) for a in call[1])})')
            lines.append(f'print "RESULT{n}", r{n}')
            wanted.append(n)
        self.runs += 1
        script = os.path.join(self.work, f'script{self.runs}.txt')
        with open(script, 'w', encoding='utf-8') as f:
            f.write('\n'.join(lines) + '\n')
        done = subprocess.run(['wine', self.host1c, '--dll', win_path(self.dll), '--no-profile', win_path(script)],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300,
                              env=env if env is not None else os.environ)
        out = done.stdout.decode('utf-8', 'replace')
        if done.returncode != 0:
            raise AssertionError(f'host1c ended with {done.returncode}:\n{out}')
        results = {}
        for line in out.splitlines():
            head, _, rest = line.strip().partition(' ')
            head = head.strip('"')
            if head.startswith('RESULT'):
                results[int(head[6:])] = rest
        missing = [n for n in wanted if n not in results]
        if missing:
            raise AssertionError(f'no result for calls {missing}:\n{out}')
        return [results[n] for n in wanted]

    def codes(self, calls, env=None):
        return [int(r) for r in self.run(calls, env)]


def run_tests(module, tools=()):
    """Runs a test script's cases: HOST1C.EXE VeloraAddIn.dll WORK-DIR on the command line
    become the module's HOST and WORK; `tools` are (program, package) pairs it needs."""
    host1c, dll, work = sys.argv[1:4]
    for name, package in tools:
        need_tool(name, package)
    module.WORK = work
    module.HOST = Host(host1c, dll, work)
    program = unittest.main(module=module, argv=[sys.argv[0], '-v'], exit=False)
    sys.exit(0 if program.result.wasSuccessful() else 1)
