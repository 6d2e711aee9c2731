"""The launcher's icon: an author's .ico checked, or a square PNG made one.

A PNG becomes the sizes Windows shows: 16 to 64 pixels as 32-bit bitmaps,
which every version reads, and 256 as PNG, each scaled from the one image
(premultiplied, so that edges do not darken). The same PNG gives the same
bytes.
"""

import io
import struct
import zlib

from PIL import Image

from .checks import refuse

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
BITMAP_SIZES = (16, 20, 24, 32, 40, 48, 64)


def check_ico(option, path, data):
    """An .ico whose directory and images lie within the file."""
    shown = "%s '%s'" % (option, path)
    if len(data) < 6 or struct.unpack_from("<HH", data) != (0, 1):
        refuse(shown + " is not an .ico file (no icon header) nor a PNG file")
    count = struct.unpack_from("<H", data, 4)[0]
    if count < 1:
        refuse(shown + " holds no image")
    if len(data) < 6 + 16 * count:
        refuse(shown + " is cut short")
    for index in range(count):
        entry = 6 + 16 * index
        width, height = data[entry] or 256, data[entry + 1] or 256
        size, offset = struct.unpack_from("<II", data, entry + 8)
        if size == 0 or offset < 6 + 16 * count or offset + size > len(data):
            refuse("%s: image %d lies outside the file" % (shown, index + 1))
        if data[offset:offset + 8] == PNG_SIGNATURE:
            continue
        header = struct.unpack_from("<III", data, offset) if size >= 12 else (0, 0, 0)
        if size < 40 or header[0] < 40 or header[1] != width or header[2] not in (
                height, 2 * height):
            refuse("%s: image %d is neither a PNG nor a bitmap of %dx%d" % (
                shown, index + 1, width, height))


def png_side(option, path, data):
    """A PNG's side, from IHDR, once every chunk's checksum is right."""
    shown = "%s '%s'" % (option, path)
    if len(data) < 33 or data[12:16] != b"IHDR":
        refuse(shown + " is a PNG file without its header (IHDR)")
    width, height = struct.unpack_from(">II", data, 16)
    at = 8
    while at + 12 <= len(data):
        length, kind = struct.unpack_from(">I4s", data, at)
        body = data[at + 4:at + 8 + length]
        stored = data[at + 8 + length:at + 12 + length]
        if len(stored) == 4 and zlib.crc32(body) != struct.unpack(">I", stored)[0]:
            refuse("%s: the PNG file is damaged (chunk %s)" % (
                shown, kind.decode("ascii", "replace")))
        at += 12 + length
    if width != height:
        refuse("%s is not square (%dx%d): an icon needs a square PNG" % (shown, width, height))
    return width


def _scaled(image, size):
    premultiplied = image.convert("RGBa")
    shrinking = image.width >= size
    scaled = premultiplied.resize((size, size), Image.BOX if shrinking else Image.BILINEAR)
    return scaled.convert("RGBA")


def _bitmap(image):
    size = image.width
    mask_row = (size + 31) // 32 * 4
    pixels = image.tobytes("raw", "BGRA")
    rows = [pixels[y * size * 4:(y + 1) * size * 4] for y in range(size)]
    # The mask: a bit for each fully transparent pixel, rows of 4 bytes.
    mask = image.getchannel("A").point(lambda a: 255 if a == 0 else 0).convert(
        "1", dither=Image.NONE).tobytes()
    row = (size + 7) // 8
    masks = [mask[y * row:(y + 1) * row].ljust(mask_row, b"\0") for y in range(size)]
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                         (size * 4 + mask_row) * size, 0, 0, 0, 0)
    return header + b"".join(reversed(rows)) + b"".join(reversed(masks))


def _png(image):
    out = io.BytesIO()
    image.save(out, "PNG", optimize=True)
    return out.getvalue()


def ico_from_png(option, path, data):
    """The .ico's bytes; the PNG's image decoded by Pillow."""
    try:
        with Image.open(io.BytesIO(data)) as opened:
            opened.load()
            image = opened.convert("RGBA")
    except (OSError, SyntaxError, ValueError, Image.DecompressionBombError):
        refuse("%s '%s': the PNG file's image data is damaged or cut short" % (option, path))
    images = [(size, _bitmap(_scaled(image, size))) for size in BITMAP_SIZES]
    images.append((256, _png(_scaled(image, 256))))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, encoded in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                                 len(encoded), offset)
        offset += len(encoded)
    return directory + b"".join(encoded for _, encoded in images)
