#!/usr/bin/env python3
"""Writes the small seed files of the icon, metafile and list array fuzz targets
(fuzz/corpus/icon/, fuzz/corpus/metafile/, fuzz/corpus/cida/): each form the readers know, kept
tiny so the fuzzer mutates them fast.
Run from anywhere; it replaces the files it makes and leaves others alone."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write(folder, name, data):
    path = os.path.join(HERE, "corpus", folder, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


# --- Icons -------------------------------------------------------------------------------------

def row_bytes(width, bits):
    return (width * bits + 31) // 32 * 4


def dib_image(width, height, bits, colors=None, top_down=False, mask=True, pixel=None):
    """A DIB icon image: header (height counts image and mask), colour table, XOR bits, AND mask."""
    colors = colors if colors is not None else ([] if bits > 8 else [(0, 0, 0), (255, 255, 255)])
    stored_height = 2 * height * (-1 if top_down else 1)
    header = struct.pack("<IiiHHIIiiII", 40, width, stored_height, 1, bits, 0, 0, 0, 0,
                         len(colors) if bits <= 8 else 0, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colors)
    xor = bytearray()
    for y in range(height):
        row = bytearray(row_bytes(width, bits))
        for x in range(width):
            v = pixel(x, y) if pixel else (x + y)
            if bits < 8:
                per = 8 // bits
                row[x // per] |= (v % (1 << bits)) << ((per - 1 - x % per) * bits)
            elif bits == 8:
                row[x] = v % max(len(colors), 1)
            elif bits == 16:
                struct.pack_into("<H", row, 2 * x, v & 0x7FFF)
            elif bits == 24:
                row[3 * x:3 * x + 3] = bytes(((v * 7) & 255, (v * 13) & 255, (v * 29) & 255))
            else:
                struct.pack_into("<I", row, 4 * x, v & 0xFFFFFFFF)
        xor += row
    and_mask = bytearray()
    if mask:
        for y in range(height):
            row = bytearray(row_bytes(width, 1))
            for x in range(width):
                if (x + 2 * y) % 5 == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            and_mask += row
    return header + table + bytes(xor) + bytes(and_mask)


def png_image(width, height):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(
            ">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + bytes((x * 40) & 255 for x in range(width * 4)) for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def icon(images):
    """images: (width, height, bits, bytes) each; widths of 256 are stored as 0."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for width, height, bits, data in images:
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(d for *_, d in images)


def icons():
    gray = [(i * 17, i * 17, i * 17) for i in range(16)]
    write("icon", "mono_16.ico", icon([(16, 16, 1, dib_image(16, 16, 1))]))
    write("icon", "pal4_8.ico", icon([(8, 8, 4, dib_image(8, 8, 4, gray))]))
    write("icon", "pal8_partial_4.ico",
          icon([(4, 4, 8, dib_image(4, 4, 8, [(255, 0, 0), (0, 255, 0), (0, 0, 255)]))]))
    write("icon", "rgb16_5x3.ico", icon([(5, 3, 16, dib_image(5, 3, 16))]))
    write("icon", "rgb24_topdown_3x5.ico", icon([(3, 5, 24, dib_image(3, 5, 24, top_down=True))]))
    write("icon", "argb32_2.ico", icon([(2, 2, 32, dib_image(
        2, 2, 32, pixel=lambda x, y: 0x80FF0000 if x == y else 0xFF00FF00))]))
    write("icon", "rgb32_no_alpha_3.ico", icon([(3, 3, 32, dib_image(
        3, 3, 32, pixel=lambda x, y: 0x00123456 + x))]))
    write("icon", "no_mask_4.ico", icon([(4, 4, 24, dib_image(4, 4, 24, mask=False))]))
    write("icon", "png_4.ico", icon([(4, 4, 32, png_image(4, 4))]))
    write("icon", "three_images.ico", icon([
        (16, 16, 1, dib_image(16, 16, 1)),
        (6, 6, 32, png_image(6, 6)),
        (8, 8, 24, dib_image(8, 8, 24)),
    ]))


# --- Metafiles ---------------------------------------------------------------------------------

EMR_HEADER = 1
ENHMETA_SIGNATURE = 0x464D4520


def emf(frame, device=(1024, 768), millimeters=(320, 240), records=b""):
    eof = struct.pack("<IIIII", 14, 20, 0, 0x10, 20)
    body = records + eof
    total = 88 + len(body)
    header = struct.pack("<II4i4iIIIIHHIIIii ii".replace(" ", ""), EMR_HEADER, 88,
                         0, 0, 10, 10, *frame, ENHMETA_SIGNATURE, 0x10000, total,
                         2 + records.count(b"\x27\x00\x00\x00"), 1, 0, 0, 0, 0, *device, *millimeters)
    return header + body


def wmf_body(kind=1, records=b""):
    eof = struct.pack("<IH", 3, 0)
    words = (18 + len(records) + len(eof)) // 2
    return struct.pack("<HHHIHIH", kind, 9, 0x300, words, 0, 3, 0) + records + eof


def placeable(box, inch, body):
    header = bytearray(struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, *box, inch, 0))
    checksum = 0
    for i in range(10):
        checksum ^= struct.unpack_from("<H", header, 2 * i)[0]
    return bytes(header) + struct.pack("<H", checksum) + body


def metafiles():
    write("metafile", "frame_2540x1270.emf", emf((100, 200, 2640, 1470)))
    write("metafile", "empty_frame.emf", emf((0, 0, 0, 0)))
    write("metafile", "no_device.emf", emf((0, 0, 1000, 500), device=(0, 0), millimeters=(0, 0)))
    write("metafile", "negative_frame.emf", emf((500, 500, -300, 100)))
    # One EMR_SETBKMODE record before the end.
    write("metafile", "one_record.emf", emf((0, 0, 800, 600), records=struct.pack("<III", 18, 12, 1)))
    write("metafile", "twips.wmf", placeable((0, 0, 1440, 720), 1440, wmf_body()))
    write("metafile", "offset_box.wmf", placeable((100, -50, 388, 94), 576, wmf_body(kind=2)))
    # META_SETBKMODE (0x0102) with one parameter.
    write("metafile", "one_record.wmf",
          placeable((0, 0, 96, 96), 96, wmf_body(records=struct.pack("<IHH", 4, 0x0102, 1))))


# --- Shell list arrays ---------------------------------------------------------------------------

def item(kind, payload):
    """One item of an item identifier list: its 16-bit size, the kind byte, the payload."""
    return struct.pack("<HB", 3 + len(payload), kind) + payload


def id_list(*items):
    return b"".join(items) + b"\0\0"


def cida(folder, items):
    """The list array: count, count + 1 offsets, then the folder's list and the items' lists."""
    lists = [folder] + items
    offset = 4 * (len(lists) + 1)
    offsets = []
    for lst in lists:
        offsets.append(offset)
        offset += len(lst)
    return struct.pack("<%dI" % (len(lists) + 1), len(items), *offsets) + b"".join(lists)


def cidas():
    computer = item(0x1F, b"\x02")
    drive_c = item(0x2F, b"C:\\\0")
    folder = lambda name: item(0x31, name + b"\0")
    write("cida", "two_folders_of_c.cida",
          cida(id_list(computer, drive_c), [id_list(folder(b"Photos")), id_list(folder(b"Other"))]))
    write("cida", "computer_on_desktop.cida", cida(id_list(), [id_list(computer)]))
    write("cida", "no_items.cida", cida(id_list(computer), []))
    # Two levels in one relative list, and a file in code page 936 (照片.jpg).
    write("cida", "nested_and_chinese.cida",
          cida(id_list(computer, drive_c),
               [id_list(folder(b"a"), folder(b"b")), id_list(item(0x32, "照片.jpg".encode("gb18030") + b"\0"))]))


if __name__ == "__main__":
    icons()
    metafiles()
    cidas()
