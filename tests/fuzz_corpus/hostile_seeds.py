#!/usr/bin/env python3
"""Writes the hostile seeds of the fuzz targets: small files that declare big things, each within the
64 KiB that scripts/fuzz gives an input. Run from anywhere; the files land beside this script, one folder
per target, and are kept in the repository (run again after changing it)."""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
LIMIT = 65536


def write(target, name, data):
    assert len(data) <= LIMIT, (target, name, len(data))
    folder = os.path.join(HERE, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


def zip_archive(members):
    """members: (name, data, deflate, stated size or None); sizes may be stated beyond the data."""
    body, central = b'', b''
    for name, data, deflate, stated in members:
        packed = data
        if deflate:
            c = zlib.compressobj(9, zlib.DEFLATED, -15)
            packed = c.compress(data) + c.flush()
        crc = zlib.crc32(data) & 0xFFFFFFFF
        size = len(data) if stated is None else stated
        fields = struct.pack('<HHHHHIIIHH', 20, 0x0800, 8 if deflate else 0, 0, 0x21, crc, len(packed),
                             size, len(name), 0)
        central += struct.pack('<IH', 0x02014b50, 20) + fields + struct.pack('<HHHII', 0, 0, 0, 0,
                                                                             len(body)) + name
        body += struct.pack('<I', 0x04034b50) + fields + name + packed
    count = len(members)
    end = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, count, count, len(central), len(body), 0)
    return body + central + end


# --- Paradox: a version-4 table of alpha fields ---

def paradox(sizes, records, record_size):
    head = bytearray(88)
    struct.pack_into('<HH', head, 0, record_size, 2048)
    head[5] = 1
    struct.pack_into('<i', head, 6, records)
    struct.pack_into('<h', head, 33, len(sizes))
    head[57] = 4
    data = bytes(head) + b''.join(bytes([1, s]) for s in sizes)
    data += bytes((len(sizes) + 1) * 4 + 79)
    data += b''.join(b'f%d\0' % (i + 1) for i in range(len(sizes)))
    return data


def paradox_seeds():
    sizes = [0] * 4499 + [1]
    table = bytearray(paradox(sizes, 0, 1))
    struct.pack_into('<i', table, 6, len(table))  # a record per byte of the file
    write('paradox_table', 'fields_of_no_size.db', bytes(table))
    ones = [1] * 4500
    table = bytearray(paradox(ones, 0, 4500))
    struct.pack_into('<i', table, 6, len(table) // 4500)
    write('paradox_table', 'fields_of_one_byte.db', bytes(table))


# --- ORV ---

def orv_dump(table, fields, records, record_bytes):
    head = bytearray(164)
    head[0:4] = b'\x031.1'
    head[8] = len(table)
    head[9:9 + len(table)] = table
    struct.pack_into('<ii', head, 136, len(fields), records)
    struct.pack_into('<dd', head, 144, 46054.0, 46081.0)  # 01.02.2026, 28.02.2026
    struct.pack_into('<i', head, 160, 0)
    items = b''.join(bytes([t]) + struct.pack('<i', len(n)) + n for t, n in fields)
    return bytes(head) + items + record_bytes


def orv_seeds():
    thousand = [(1, b'eventid')] * 1000
    body = bytes(LIMIT - 164 - 12000)
    write('orv_dump', 'thousand_fields', orv_dump(b'origin', thousand, len(body) // 1000, body))
    nul = b'\0' + struct.pack('<i', 5) + b'E\0' + b'1; x'
    write('orv_dump', 'nul_text', orv_dump(b'origin', [(1, b'eventid')], 1, nul))

    member = orv_dump(b'origin', thousand, 1073542, bytes(1 << 16))
    write('orv_archive', 'gibibyte_member.orv',
          zip_archive([(b'system', b'origin', True, None), (b'_ori1101.orv', member, True, 1 << 30)]))
    zeros = orv_dump(b'origin', thousand, 200, bytes(200000))
    write('orv_archive', 'zeros_member.orv',
          zip_archive([(b'system', b'origin', True, None), (b'_ori1101.orv', zeros, True, None)]))
    write('orv_archive', 'dot_member.orv',
          zip_archive([(b'.', b'x' * 4096, True, None), (b'', b'y', False, None),
                       (b'system', b'origin', True, None)]))
    write('orv_archive', 'many_members.orv',
          zip_archive([(b'%d.orv' % i, b'', False, None) for i in range(200)]))
    # Counts that lie: records, stations and fields the member cannot hold, a text longer than the member.
    one = orv_dump(b'origin', [(1, b'eventid')], 1, b'\0' + struct.pack('<i', 2) + b'E1')
    records = bytearray(one)
    struct.pack_into('<i', records, 140, 0x7fffffff)
    write('orv_dump', 'lying_record_count', bytes(records))
    stations = bytearray(one)
    struct.pack_into('<i', stations, 160, 0x7fffffff)
    write('orv_dump', 'lying_station_count', bytes(stations))
    fields = bytearray(one)
    struct.pack_into('<i', fields, 136, 0x7fffffff)
    write('orv_dump', 'lying_field_count', bytes(fields))
    write('orv_dump', 'lying_text_length',
          orv_dump(b'origin', [(1, b'eventid')], 1, b'\0' + struct.pack('<i', 0x7ffffff0) + b'E1'))
    write('orv_archive', 'lying_counts.orv',
          zip_archive([(b'system', b'origin arrival', True, None), (b'_ori1101.orv', bytes(records), True, None),
                       (b'_arr1101.orv', bytes(stations), True, None)]))
    # Members nested deep in folders beside the ones at the root.
    write('orv_archive', 'deep_members.orv',
          zip_archive([(b'system', b'origin', True, None), (b'_ori1101.orv', one, True, None),
                       (b'a/' * 200 + b'_ori1101.orv', one, True, None),
                       (b'b/' * 100 + b'system', b'arrival', True, None)]))
    write('zip_archive', 'dot_member',
          zip_archive([(b'.', b'x' * 4096, True, None), (b'', b'y', False, None)]))
    write('zip_archive', 'more_than_stated',
          zip_archive([(b'a.bin', bytes(4 << 20), True, 1024)]))


# --- Excel ---

def workbook(sheets, part_of):
    xml = (b'<workbook xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
           b'<sheets>' + b''.join(b'<sheet name="%d" sheetId="%d" r:id="rId%d"/>' % (i, i, i)
                                  for i in range(1, sheets + 1)) + b'</sheets></workbook>')
    rels = (b'<Relationships>' + b''.join(
        b'<Relationship Id="rId%d" Target="worksheets/sheet%d.xml"/>' % (i, part_of(i))
        for i in range(1, sheets + 1)) + b'</Relationships>')
    return [(b'xl/workbook.xml', xml, True, None), (b'xl/_rels/workbook.xml.rels', rels, True, None)]


FAR = (b'<worksheet><sheetData><row r="1"><c r="A1"><v>1</v></c></row>'
       b'<row r="1048576"><c r="N1048576"/></row></sheetData></worksheet>')


def excel_seeds():
    write('xlsx', 'sheets_sharing_a_part.xlsx',
          zip_archive(workbook(50, lambda i: 1) + [(b'xl/worksheets/sheet1.xml', FAR, True, None)]))
    write('xlsx', 'far_used_ranges.xlsx',
          zip_archive(workbook(120, lambda i: i) +
                      [(b'xl/worksheets/sheet%d.xml' % i, FAR, True, None) for i in range(1, 121)]))
    write('xlsx', 'parts_stated_large.xlsx',
          zip_archive(workbook(5, lambda i: i) +
                      [(b'xl/worksheets/sheet%d.xml' % i, FAR, True, 60000000) for i in range(1, 6)]))


# --- Text ---

def text_seeds():
    write('krv', 'nul.txt', b'  5  2  1 12 34   3  14   0   7\r\nK\0\r\n')
    # Separator ';', qualifier '"', 18 columns; then the file.
    write('delimited_reader', 'empty_lines', b';"\x12' + b'\n' * (LIMIT - 3))
    write('delimited_reader', 'nul', b';"\x03' + b';9001;x\0y;\r\n')


if __name__ == '__main__':
    paradox_seeds()
    orv_seeds()
    excel_seeds()
    text_seeds()
