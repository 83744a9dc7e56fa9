#!/usr/bin/python3
"""Writes the seed corpus of the protocol fuzzer: frame streams followed by
the chunk-size bytes that the fuzzer reads from the end of its input."""
import os
import random
import struct
import sys


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def frame(kind, payload):
    head = bytes([0xAA]) + struct.pack('<HB', len(payload), kind) + payload
    return head + struct.pack('<H', crc16(head)) + b'\x55'


def status_payload(chip_id=b'LS12345A', skipped=b'\xde\xad\xbe\xef\xaa\x55', qcw=100250):
    head = struct.pack('<HBBHHhh4HHhh2HH', 0x0102, 55, 80, 1000, 0xFAAA, 45, -25,
                       50000, 1234, 0, 65535, 300, 235, -1, 0x1234, 0xFFFF, 3000)
    tail = struct.pack('<11BiBHBH4B6BB', 1, 0x77, 1, 0, 1, 1, 0, 1, 2, 100, 50, qcw, 1,
                       80, 90, 0xABCD, 10, 40, 12, 45, 26, 12, 7, 6, 16, 42, 99)
    return (head + struct.pack('<H', len(chip_id)) + chip_id +
            struct.pack('<H', len(skipped)) + skipped + tail)


def with_chunks(stream, chunk):
    """Appends (chunk - 1, 0) pairs: each is read back as one chunk size."""
    pairs = (len(stream) + chunk - 1) // chunk
    return stream + bytes([chunk - 1, 0]) * pairs


def bad_crc(f):
    return f[:-3] + bytes([f[-3] ^ 0x01]) + f[-2:]


def main(out):
    rng = random.Random(7)
    garbage = bytes(rng.randrange(256) for _ in range(23))
    status = frame(1, status_payload())
    reset_ok = bytes.fromhex('AA0E0003526573657420706172616D206F6B484155')
    seeds = {
        'status': with_chunks(status, 64),
        'status_long_id': with_chunks(frame(1, status_payload(b'ABCDEFGHIJKLMNOPQRST', b'')), 17),
        'status_short': with_chunks(frame(1, status_payload()[:60]), 200),
        'status_empty': with_chunks(bytes.fromhex('AA000001E03C55'), 7),
        'message': with_chunks(reset_ok + frame(3, b'Reset param ok\x00junk'), 5),
        'message_utf8': with_chunks(frame(3, 'DevVer 1.2 QCW \u6821\u51c6'.encode()), 100),
        'calib': with_chunks(frame(4, bytes([0, 0x7F, 0x80, 0xFF])) + frame(4, b''), 9),
        'types_0_2_5': with_chunks(frame(0, b'x') + frame(2, b'y') + frame(5, b'z'), 30),
        'mixed': with_chunks(garbage + status + b'\xaa\xaa' + reset_ok + bad_crc(status) +
                             frame(4, bytes(range(16))) + status[:40] + status, 50),
        'long_message': with_chunks(frame(3, bytes(rng.randrange(32, 127) for _ in range(700))),
                                    255),
        'nested': with_chunks(bad_crc(frame(1, b'\x01' * 520 + status + b'\x02' * 3)), 128),
        'aa_run': with_chunks(b'\xaa' * 40 + status, 16),
        'far_header': with_chunks(b'\xaa\xff\xff\x01' + reset_ok, 3),
    }
    os.makedirs(out, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), 'corpus'))
