# Makes an MSI built by wixl reproducible: its package code and its two summary time stamps are set to
# the given values instead of a new GUID and the time of the build.
# usage: fix_msi.py PACKAGE.msi {GUID} FILETIME
import re, sys, struct
path, guid, filetime = sys.argv[1], sys.argv[2].encode(), int(sys.argv[3])
data = bytearray(open(path, 'rb').read())
m = list(re.finditer(rb'\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}\x00\x00@\x00\x00\x00', data))
assert len(m) == 1, len(m)
start = m[0].start()
data[start:start+38] = guid
ft = start + 38 + 2 + 4
for i in range(2):
    assert data[ft-4:ft] == b'@\x00\x00\x00'
    data[ft:ft+8] = struct.pack('<Q', filetime)
    ft += 12
open(path, 'wb').write(data)
