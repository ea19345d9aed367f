#!/usr/bin/env bash
# Checks a built add-in DLL with the mingw binutils: machine type, the four exports by
# their plain names (no stdcall decoration on i686), and the resources (type library of the
# right platform, registration script, property page, the Russian string table with its
# names and texts). Each Windows tree checks its own DLL.
#   check_dll.sh DLL x86|x64
# Exit 0 when it passes, 1 on a failure.
set -uo pipefail
export LC_ALL=C PYTHONUTF8=1  # the tools' own messages are matched below
dll=$1 arch=$2

check() {  # check DLL FORMAT SYSKIND TOOL-PREFIX
  local dll=$1 format=$2 syskind=$3 objdump=$4-objdump windres=$4-windres
  command -v "$objdump" >/dev/null && command -v "$windres" >/dev/null ||
    { echo "FAIL: $objdump and $windres are needed (package binutils-mingw-w64)"; return 1; }
  echo "checking $dll"
  local head exports rc
  head=$("$objdump" -f "$dll") || { echo "FAIL: objdump cannot read $dll"; return 1; }
  grep -q "file format $format" <<<"$head" || { echo "FAIL: not $format"; return 1; }
  exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[ *[0-9]+\]/ {print $NF}' | sort | tr '\n' ' ')
  if [ "$exports" != "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ]; then
    echo "FAIL: exports are: $exports"; return 1
  fi
  rc=$("$windres" -i "$dll" -O rc 2>&1) || { echo "FAIL: windres cannot read the resources"; return 1; }
  VELORA_RC="$rc" python3 - "$syskind" <<'PY' || return 1
import os, re, sys
rc = os.environ['VELORA_RC']
syskind = int(sys.argv[1])
errors = []
def need(cond, what):
    if not cond: errors.append(what)

m = re.search(r'1 "TYPELIB"\s*BEGIN\s*(0x[0-9a-f]+)L\s*,\s*(0x[0-9a-f]+)L\s*,\s*0x[0-9a-f]+L\s*,\s*0x[0-9a-f]+L\s*,\s*0x[0-9a-f]+L\s*,\s*(0x[0-9a-f]+)L', rc)
need(m is not None, 'TYPELIB resource 1')
if m:
    need(int(m.group(1), 16) == 0x5446534d, 'type library signature')
    need(int(m.group(3), 16) & 0xf == syskind, 'type library platform %d' % syskind)
reg = re.search(r'102 "REGISTRY"\s*BEGIN(.*?)END', rc, re.S)
need(reg is not None, 'REGISTRY resource 102')
if reg:
    for text in ("AddIn.AddInObject.1", "{04024C31-0E7B-11d1-A486-004095E1DAEA}", "InprocServer32", "'both'"):
        need(text in reg.group(1), 'registration script names ' + text)
need(re.search(r'LANGUAGE 25, 1\s*\n\s*203 DIALOGEX 0, 0, 260, 154', rc) is not None, 'Russian dialog 203')

# The string tables: decode windres's escapes and collect id -> text.
strings = {}
for block in re.finditer(r'LANGUAGE (\d+), (\d+)\s*\n\s*STRINGTABLE\s*BEGIN(.*?)\nEND', rc, re.S):
    need(block.group(1) == '25', 'string table language Russian')
    for sm in re.finditer(r'^\s*(\d+), L"((?:[^"\\]|\\.)*)"\s*$', block.group(3), re.M):
        strings[int(sm.group(1))] = re.sub(r'\\x([0-9a-fA-F]{4})', lambda x: chr(int(x.group(1), 16)), sm.group(2))
# Blocks after the first carry no LANGUAGE line of their own in windres's listing.
for sm in re.finditer(r'^\s*(\d+), L"((?:[^"\\]|\\.)*)"\s*$', rc, re.M):
    strings.setdefault(int(sm.group(1)), re.sub(r'\\x([0-9a-fA-F]{4})', lambda x: chr(int(x.group(1), 16)), sm.group(2)))
need(len(strings) == 118 and min(strings) >= 100 and max(strings) <= 256, 'string ids: %d in 100..256' % len(strings))
for sid, text in {106: 'Enable,Включить', 119: 'CeErrDescription,КпкОписаниеОшибки',
                  239: 'КонвертироватьУТФ16,ConvertUTF16', 157: 'ErrDescription,ОписаниеОшибки',
                  251: 'ОписаниеОшибки,ErrDescription', 256: 'АрхОчистить,ZipClear',
                  103: 'Компонента Velora', 112: 'Отсуствует интерфейс IStatusLine', 128: 'Общая ошибка'}.items():
    need(strings.get(sid) == text, 'string %d is %s (found %r)' % (sid, text, strings.get(sid)))
for e in errors: print('FAIL: ' + e)
sys.exit(1 if errors else 0)
PY
  echo "ok: $dll"
}

case "$arch" in
  x64) check "$dll" pei-x86-64 3 x86_64-w64-mingw32;;
  x86) check "$dll" pei-i386 1 i686-w64-mingw32;;
  *) echo "check_dll.sh: unknown architecture $arch" >&2; exit 2;;
esac
