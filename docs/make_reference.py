"""Writes the 1C programmer's reference of the component from the component itself: the
host emulator lists its properties and methods (both names, parameters, defaults, result)
and asks it the text of every result code; the descriptions and examples are added from
docs/reference/. Fails when a method or property has no description or a description names
none, so the reference cannot drift from the component.
    make_reference.py HOST1C.EXE VeloraAddIn.dll SOURCE-DIR OUT-DIR"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from html_page import write_html  # noqa: E402

CODES = range(0, 300)
UNKNOWN = 'Неизвестная ошибка'


def win_path(path):
    return 'Z:' + os.path.abspath(path).replace('/', '\\')


def wine_env(out):
    """A Wine prefix of the build's own, with no display: the component makes no window here."""
    env = dict(os.environ, WINEPREFIX=os.path.join(out, 'wineprefix'), WINEDEBUG='-all',
               WINEDLLOVERRIDES='mscoree,mshtml=', LC_ALL='ru_RU.UTF-8', LANG='ru_RU.UTF-8')
    env.pop('DISPLAY', None)
    return env


def host(host1c, dll, args, env):
    done = subprocess.run(['wine', host1c, '--dll', win_path(dll), '--no-profile'] + args, env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
    out = done.stdout.decode('utf-8', 'replace')
    if done.returncode != 0:
        sys.exit(f'make_reference: host1c ended with {done.returncode}:\n{out}')
    return out


def members(listing):
    """(kind, number, name0, name1, details) for every property and method listed."""
    found = []
    for line in listing.splitlines():
        m = re.match(r'(property|method) (\d+)  (.*?) / (.*?)  \((.*)\)$', line)
        if m:
            found.append((m[1], int(m[2]), m[3], m[4], m[5]))
    return found


def latin(name0, name1):
    """The name without Cyrillic letters: the key of the descriptions."""
    return name1 if re.search('[А-Яа-яЁё]', name0) else name0


def descriptions(path):
    table = {}
    with open(path, encoding='utf-8') as f:
        for line in f:
            if line.startswith('#') or not line.strip():
                continue
            name, _, text = line.rstrip('\n').partition('\t')
            table[name] = text
    return table


def code_texts(host1c, dll, env, work):
    script = os.path.join(work, 'codes.txt')
    with open(script, 'w', encoding='utf-8') as f:
        for code in CODES:
            f.write(f'c = КпкОписаниеОшибки({code})\nprint "CODE{code}", c\n')
    texts = {}
    for line in host(host1c, dll, [win_path(script)], env).splitlines():
        m = re.match(r'\s*"CODE(\d+)" "(.*)"$', line)
        if m and not m[2].startswith(UNKNOWN):
            texts[int(m[1])] = m[2].replace('""', '"')
    return texts


def parameters(details):
    """Parameter count, result flag and defaults as the reader wants them."""
    count = re.match(r'parameters: (\d+)', details)
    props = []
    if count:
        props.append(f'параметров: {count[1]}')
    for m in re.finditer(r'default of parameter (\d+): ([^,]*)', details):
        props.append(f'параметр {m[1]} по умолчанию {m[2]}')
    return props


def main():
    host1c, dll, source, out = sys.argv[1:5]
    os.makedirs(out, exist_ok=True)
    env = wine_env(out)
    try:
        listing = host(host1c, dll, ['--list'], env)
        codes = code_texts(host1c, dll, env, out)
    finally:
        subprocess.run(['wineserver', '-k'], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    found = members(listing)
    about = descriptions(os.path.join(source, 'methods.txt'))
    names = [latin(m[2], m[3]) for m in found]
    missing = [n for n in names if n not in about]
    extra = sorted(set(about) - set(names))
    if missing or extra or not found:
        sys.exit(f'make_reference: no description for {missing}; descriptions of no member: {extra}')
    props = [m for m in found if m[0] == 'property']
    methods = [m for m in found if m[0] == 'method']

    md = ['# Velora: справочник программиста 1С', '',
          'Внешняя компонента `VeloraAddIn.dll` (ProgID `AddIn.AddInObject`) для 1С:Предприятия 7. '
          'Справочник составлен по самой компоненте при сборке: имена, число параметров, значения по '
          'умолчанию и тексты кодов — её собственные. Каждый метод доступен под английским и русским '
          f'именем. Свойств: {len(props)}, методов: {len(methods)}.', '',
          '## Свойства', '', '| № | Имя | Русское имя | Доступ | Описание |', '|---|---|---|---|---|']
    for _, n, a, b, details in props:
        access = 'чтение и запись' if 'write' in details else 'только чтение'
        md.append(f'| {n} | `{a}` | `{b}` | {access} | {about[latin(a, b)]} |')
    md += ['', '## Методы', '', '| № | Имя | Другое имя | Вид | Параметры | Описание |', '|---|---|---|---|---|---|']
    for _, n, a, b, details in methods:
        kind = 'функция' if ', result' in details else 'процедура'
        md.append(f'| {n} | `{a}` | `{b}` | {kind} | {"; ".join(parameters(details))} | {about[latin(a, b)]} |')
    md += ['', '## Коды результата', '',
           'Текст любого кода возвращает `КпкОписаниеОшибки(код)` / `CeErrDescription`.', '',
           '| Код | Текст |', '|---|---|']
    for code, text in sorted(codes.items()):
        # One code carries the text of the last failed encryption or signature itself.
        md.append(f'| {code} | {text or "текст последней ошибки шифрования или подписи"} |')
    with open(os.path.join(source, 'examples.md'), encoding='utf-8') as f:
        md += ['', f.read().rstrip('\n')]
    text = '\n'.join(md) + '\n'
    with open(os.path.join(out, 'reference.md'), 'w', encoding='utf-8') as f:
        f.write(text)
    write_html(text, 'Velora: справочник программиста 1С', os.path.join(out, 'reference.html'))
    print(f'make_reference: {len(props)} properties, {len(methods)} methods, {len(codes)} codes')


if __name__ == '__main__':
    main()
