import io
import struct
import zlib

import pytest
from PIL import Image

from tavrin_tools import icon
from tavrin_tools.checks import Refusal


def png_bytes(width, height, mode="RGBA"):
    image = Image.new(mode, (width, height))
    for x in range(width):
        image.putpixel((x, x % height), (255, 0, 0, 128) if mode == "RGBA" else 7)
    out = io.BytesIO()
    image.save(out, "PNG")
    return out.getvalue()


def entries(ico):
    count = struct.unpack_from("<H", ico, 4)[0]
    for index in range(count):
        width, _, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", ico,
                                                                   6 + 16 * index)
        yield width or 256, bits, ico[offset:offset + size]


@pytest.mark.parametrize("mode", ["RGBA", "P", "L"])
def test_a_png_becomes_the_sizes_windows_shows(mode):
    data = png_bytes(300, 300, mode)
    ico = icon.ico_from_png("--icon", "app.png", data)
    layout = [(size, bits, image[:8] == icon.PNG_SIGNATURE) for size, bits, image in entries(ico)]
    assert layout == [(size, 32, False) for size in icon.BITMAP_SIZES] + [(256, 32, True)]
    for size, _, image in list(entries(ico))[:-1]:
        assert len(image) == 40 + size * size * 4 + (size + 31) // 32 * 4 * size
    assert icon.ico_from_png("--icon", "app.png", data) == ico, "the same PNG, the same bytes"


def damaged(data, at):
    return data[:at] + bytes([data[at] ^ 1]) + data[at + 1:]


def cut(data):
    # A whole file whose image data is cut short, its checksums right.
    chunks = data[8:]
    length = struct.unpack(">I", chunks[33 - 8:37 - 8])[0]
    idat = chunks[33 - 8 + 8:33 - 8 + 8 + length][: length // 2]
    body = b"IDAT" + idat
    return (data[:33] + struct.pack(">I", len(idat)) + body +
            struct.pack(">I", zlib.crc32(body)) + data[-12:])


SQUARE = png_bytes(300, 300)
REFUSALS = [
    (b"\x89PNG\r\n\x1a\n" + b"garbage" * 8, "is a PNG file without its header (IHDR)"),
    (png_bytes(300, 200), "is not square (300x200): an icon needs a square PNG"),
    (damaged(SQUARE, 50), ": the PNG file is damaged (chunk IDAT)"),
    (cut(SQUARE), ": the PNG file's image data is damaged or cut short"),
]


@pytest.mark.parametrize("data,why", REFUSALS, ids=["headless", "wide", "crc", "cut"])
def test_a_png_that_is_no_icon_is_refused(data, why):
    with pytest.raises(Refusal, match=".*" + why.replace("(", r"\(").replace(")", r"\)")):
        icon.ico_from_png("--icon", "x.png", data) if icon.png_side(
            "--icon", "x.png", data) else None
