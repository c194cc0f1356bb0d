"""Reading PNG screenshots without an imaging library: 8-bit greyscale, RGB, RGBA and
palette images (1 to 8 bits a pixel), not interlaced, as ImageMagick's import writes them.
image = PngImage(path); image.pixel(x, y) -> (r, g, b)."""
import struct
import zlib

CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def _unfilter(kind, line, previous, bpp):
    for x in range(len(line)):
        a = line[x - bpp] if x >= bpp else 0
        b = previous[x]
        c = previous[x - bpp] if x >= bpp else 0
        if kind == 1:
            line[x] = (line[x] + a) & 255
        elif kind == 2:
            line[x] = (line[x] + b) & 255
        elif kind == 3:
            line[x] = (line[x] + (a + b) // 2) & 255
        elif kind == 4:
            line[x] = (line[x] + _paeth(a, b, c)) & 255


class PngImage:
    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        if data[:8] != b"\x89PNG\r\n\x1a\n":
            raise ValueError(path + " is no PNG file")
        chunks, palette, pos = b"", None, 8
        while pos < len(data):
            size, kind = struct.unpack(">I4s", data[pos:pos + 8])
            body = data[pos + 8:pos + 8 + size]
            pos += 12 + size
            if kind == b"IHDR":
                header = struct.unpack(">IIBBBBB", body)
            elif kind == b"PLTE":
                palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
            elif kind == b"IDAT":
                chunks += body
        self.width, self.height, depth, self.colour, _, _, interlace = header
        if interlace:
            raise ValueError(path + " is interlaced")
        self._rows = self._decode(zlib.decompress(chunks), depth, palette)

    def _decode(self, raw, depth, palette):
        bits = depth * CHANNELS[self.colour]
        bpp, stride = max(1, bits // 8), (self.width * bits + 7) // 8
        rows, previous, at = [], bytearray(stride), 0
        for _ in range(self.height):
            line = bytearray(raw[at + 1:at + 1 + stride])
            _unfilter(raw[at], line, previous, bpp)
            at += 1 + stride
            rows.append(self._pixels(line, depth, bpp, palette))
            previous = line
        return rows

    def _pixels(self, line, depth, bpp, palette):
        if self.colour == 3:
            per_byte, mask = 8 // depth, (1 << depth) - 1
            return [palette[(line[x // per_byte] >> (8 - depth * (x % per_byte + 1))) & mask]
                    for x in range(self.width)]
        if CHANNELS[self.colour] >= 3:
            return [tuple(line[x * bpp:x * bpp + 3]) for x in range(self.width)]
        return [(line[x * bpp],) * 3 for x in range(self.width)]

    def pixel(self, x, y):
        return self._rows[y][x]
