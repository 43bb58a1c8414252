#!/usr/bin/env python3
"""Writes a small timeline in the engine's stored track formats, independently of the
engine's own writers: packed (index.list + track.data) into DIR/packed and one file per
track into DIR/files. Little-endian int32 and float32, zero-terminated strings."""
import os
import struct
import sys

out = sys.argv[1]

def i32(v):
    return struct.pack('<i', v)

def f32(v):
    return struct.pack('<f', v)

def start_stop(priority, keys):
    body = i32(priority) + i32(len(keys))
    for row, kind, target in keys:
        body += i32(row) + i32(kind)
        if kind == 1:
            body += target.encode() + b'\0'
    return body

def curve(keys):
    body = i32(len(keys))
    for row, kind, value in keys:
        body += i32(row) + i32(kind) + f32(value)
    return body

# Effects in name order, each followed by its curves, as the engine lays them out.
files = [
    ('glow.track', start_stop(1, [(20, 1, 'staging0'), (60, 0, ''), (90, 1, 'fx buffer'), (95, 0, '')])),
    ('glow.amount.track', curve([(20, 0, 2.0), (60, 4, 4.0)])),
    ('glow.tint.track', curve([])),
    ('intro.track', start_stop(0, [(0, 1, ''), (100, 0, '')])),
    ('intro.fade.track', curve([(0, 0, 0.0), (40, 1, 1.0), (80, 3, 0.25)])),
]

os.makedirs(os.path.join(out, 'packed'), exist_ok=True)
os.makedirs(os.path.join(out, 'files'), exist_ok=True)
index = i32(len(files))
data = b''
for name, body in files:
    index += name.encode() + b'\0' + i32(len(data))
    data += body
    with open(os.path.join(out, 'files', name), 'wb') as f:
        f.write(body)
with open(os.path.join(out, 'packed', 'index.list'), 'wb') as f:
    f.write(index)
with open(os.path.join(out, 'packed', 'track.data'), 'wb') as f:
    f.write(data)
