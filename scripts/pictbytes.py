"""QuickDraw picture bytes, for the scripts that write test pictures (make-bad-corpus,
make-test-picts): big-endian fields, the picture around its opcodes, pixel maps, colour
tables and packed rows."""
import struct


def u16(v):
    return struct.pack(">H", v & 0xFFFF)


def u32(v):
    return struct.pack(">I", v & 0xFFFFFFFF)


def rect(top, left, bottom, right):
    return u16(top) + u16(left) + u16(bottom) + u16(right)


def pict(frame, ops=b"", source=None, end=True):
    """A version-2 picture with a 512-byte file header and the extended header at 526. Its
    opcodes start on an even offset; `ops` may be a list of opcodes, each padded to keep the
    next one there."""
    if isinstance(ops, list):
        ops = b"".join(op + b"\0" * (len(op) % 2) for op in ops)
    source = source or frame
    out = b"\0" * 512 + u16(0) + rect(*frame) + u16(0x0011) + u16(0x02FF)
    out += u16(0x0C00) + u16(0xFFFE) + u16(0) + u32(0x00480000) * 2 + rect(*source) + u32(0)
    out += ops
    if end:
        out += (b"\0" if len(out) % 2 else b"") + u16(0x00FF)
    return out


def pict_v1(frame, ops):
    """A version-1 picture without file header: single-byte opcodes, unaligned."""
    return u16(0) + rect(*frame) + b"\x11\x01" + ops + b"\xff"


def pixmap(row_bytes, bounds, pixel_size, cmp_count, pack_type=0):
    cmp_size = 8 if pixel_size == 32 else 5 if pixel_size == 16 else pixel_size
    return (u16(row_bytes | 0x8000) + rect(*bounds) + u16(0) + u16(pack_type) + u32(0)
            + u32(0x00480000) * 2 + u16(16 if pixel_size >= 16 else 0) + u16(pixel_size)
            + u16(cmp_count) + u16(cmp_size) + u32(0) + u32(0) + u32(0))


def colour_table(colours, count=None):
    n = len(colours) if count is None else count
    out = u32(0) + u16(0) + u16(n - 1)
    for i, (r, g, b) in enumerate(colours):
        out += u16(i) + u16(r * 257) + u16(g * 257) + u16(b * 257)
    return out


def packed_row(row, unit=1, word_count=False):
    """Literal PackBits packets of `unit`-byte values, after their byte count: a word for
    rows of more than 250 bytes, else a byte."""
    packed = b""
    for i in range(0, len(row), 128 * unit):
        chunk = row[i:i + 128 * unit]
        packed += bytes([len(chunk) // unit - 1]) + chunk
    return (u16(len(packed)) if word_count else bytes([len(packed)])) + packed
