"""The administrator's guide against the service: every text the service can leave in the
registry value "Error" (service/host/error_texts.h) is explained in the guide, as an inline
code span where each filled-in part reads <...>; the service sets no error text that is not in
that list; and the HRCALL format there is the one common/hrcall.cpp writes.
    guide_check.py GUIDE.md SOURCE-ROOT"""
import os
import re
import sys

LITERALS = r'((?:"(?:[^"\\]|\\.)*"\s*)+)'
CONVERSION = re.compile(r'%[-+ #0-9.]*(?:l{0,2}|h)[sdiuxXc]')
PLACEHOLDER = r'<[^<>`]+>'


def literal_value(text):
    parts = re.findall(r'"((?:[^"\\]|\\.)*)"', text)
    return ''.join(p.encode('latin-1', 'backslashreplace').decode('unicode_escape').encode('latin-1').decode('utf-8')
                   if '\\' in p else p for p in parts)


def error_texts(root):
    with open(os.path.join(root, 'service', 'host', 'error_texts.h'), encoding='utf-8') as f:
        header = f.read()
    return {name: literal_value(value)
            for name, value in re.findall(r'constexpr char (k\w+)\[\] =\s*' + LITERALS + ';', header)}


def pattern(text):
    """The text as a regular expression over a code span: a conversion matches a placeholder,
    a run of white space any white space, and a reason the service appends (a trailing
    placeholder) may follow."""
    out = []
    for piece in re.split(r'(%[-+ #0-9.]*(?:l{0,2}|h)[sdiuxXc]|\s+)', text):
        if not piece:
            continue
        if CONVERSION.fullmatch(piece):
            out.append(PLACEHOLDER)
        elif piece.isspace():
            out.append(r'\s+')
        else:
            out.append(re.escape(piece))
    body = ''.join(out)
    while body.startswith(r'\s+'):
        body = body[3:]
    while body.endswith(r'\s+'):
        body = body[:-3]
    return re.compile(r'\s*' + body + r'(?:\s*' + PLACEHOLDER + r')?\s*')


def code_spans(guide):
    return [span for span in re.findall(r'`([^`\n]+)`', guide)]


def service_sources(root):
    for folder, _, files in os.walk(os.path.join(root, 'service')):
        for name in files:
            if name.endswith(('.cpp', '.h')):
                path = os.path.join(folder, name)
                with open(path, encoding='utf-8') as f:
                    yield os.path.relpath(path, root), f.read()


def main():
    guide_path, root = sys.argv[1:3]
    with open(guide_path, encoding='utf-8') as f:
        guide = f.read()
    texts = error_texts(root)
    failures = []
    if len(texts) < 10:
        failures.append(f'only {len(texts)} texts read from error_texts.h: the list was not parsed')
    spans = code_spans(guide)
    for name, text in texts.items():
        regex = pattern(text)
        if not any(regex.fullmatch(span) for span in spans):
            failures.append(f'{name}: the guide does not explain {text!r}')

    sources = dict(service_sources(root))
    used = '\n'.join(text for path, text in sources.items() if not path.endswith('error_texts.h'))
    for name in texts:
        if name != 'kXmlCallFailed' and not re.search(r'ErrorTexts::' + name + r'\b', used):
            failures.append(f'{name} is listed but the service never uses it')
    # An error text written as a literal at the call would escape the list.
    setter = re.compile(r'\b(SetErrorText|Fail|StoreAndPrint)\s*\(\s*"([^"]+)"'
                        r'|\b(ReportParseError)\s*\([^,;()]*,\s*"([^"]+)"')
    for path, text in sources.items():
        for match in setter.finditer(text):
            call, literal = match.group(1) or match.group(3), match.group(2) or match.group(4)
            failures.append(f'{path}: {call} with the literal "{literal}" (add it to error_texts.h)')

    with open(os.path.join(root, 'common', 'hrcall.cpp'), encoding='utf-8') as f:
        hrcall = f.read()
    # hrcall.cpp fills its first %s with "MyXML".
    written = re.search(r'snprintf\([^,]+,[^,]+,\s*' + LITERALS + r',\s*"MyXML"', hrcall)
    if not written or literal_value(written.group(1)).replace('%s', 'MyXML', 1) != texts.get('kXmlCallFailed'):
        failures.append('kXmlCallFailed differs from the format common/hrcall.cpp writes')

    for failure in failures:
        print('guide_check:', failure)
    print(f'guide_check: {len(texts)} error texts, {len(failures)} problems')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
