#!/usr/bin/env python3
"""Writes the hostile seeds of the fuzz targets: small files that declare big things, nest without end or
lie about their counts, each within the 64 KiB that scripts/fuzz gives an input. Run from anywhere; the files land beside this script, one folder
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


def chained_paradox(sizes, pattern, records, counted):
    """The table above whose chain of full 1 KiB blocks from offset 2048 holds records, their bytes
    repeating pattern; the header counts counted."""
    record_size = sum(sizes)
    table = bytearray(paradox(sizes, counted, record_size))
    table += bytes(2048 - len(table))
    struct.pack_into('<H', table, 14, 1)
    per_block = (1024 - 6) // record_size
    body = (pattern * (per_block * record_size))[:per_block * record_size]
    blocks = (records + per_block - 1) // per_block
    for b in range(1, blocks + 1):
        in_block = min(per_block, records - (b - 1) * per_block)
        table += struct.pack('<HHh', b + 1 if b < blocks else 0, b - 1, (in_block - 1) * record_size)
        table += body + bytes(1024 - 6 - len(body))
    return bytes(table)


def paradox_seeds():
    sizes = [0] * 4499 + [1]
    table = bytearray(paradox(sizes, 0, 1))
    struct.pack_into('<i', table, 6, len(table))  # a record per byte of the file
    write('paradox_table', 'fields_of_no_size.db', bytes(table))
    ones = [1] * 4500
    table = bytearray(paradox(ones, 0, 4500))
    struct.pack_into('<i', table, 6, len(table) // 4500)
    write('paradox_table', 'fields_of_one_byte.db', bytes(table))
    # Ten one-byte records in the chain and 60,000 counted: the file could hold the count, the chain not.
    lying = bytearray(chained_paradox([1], b'7', 10, 60000))
    write('paradox_table', 'lying_record_count.db', bytes(lying) + bytes(LIMIT - len(lying)))
    # 3,000 records in the chain and 3,003 counted: the chain's records are read.
    write('paradox_table', 'count_past_chain.db', chained_paradox([1], b'7', 3000, 3003))
    # The largest count and ten records: the count costs nothing.
    write('paradox_table', 'count_past_file.db', chained_paradox([1, 1], b'ab', 10, 0x7FFFFFFF))
    # A hundred records counted and no first block: the header row alone.
    write('paradox_table', 'first_block_zero.db', paradox([1, 1], 100, 2) + bytes(1024))
    # Two blocks whose chain comes back to the first.
    loop = bytearray(chained_paradox([1, 1], b'ab', 1000, 1000))
    struct.pack_into('<H', loop, 2048 + 1024, 1)
    write('paradox_table', 'chain_loop.db', bytes(loop))
    # Field names that never end: the file's last byte is no zero.
    names = bytearray(paradox([1, 1], 0, 2))
    write('paradox_table', 'unending_names.db', bytes(names[:-1]) + b'x' * 2000)


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
    # A type code past the names of the types, after a field the reader takes.
    write('orv_dump', 'unnamed_type_code',
          orv_dump(b'origin', [(1, b'eventid'), (200, b'lat')], 1, b'\0' + struct.pack('<i', 2) + b'E1' + bytes(9)))

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
    # Two origin dumps of one name, and two of one file on a disk that ignores case.
    write('orv_archive', 'member_twice.orv',
          zip_archive([(b'system', b'origin', True, None), (b'_ori1101.orv', one, True, None),
                       (b'_ori1101.orv', one, True, None)]))
    write('orv_archive', 'members_alike_but_for_case.orv',
          zip_archive([(b'system', b'origin', True, None), (b'_ori1101.orv', one, True, None),
                       (b'_ORI1101.ORV', one, True, None)]))
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


def one_sheet_book(sheet, shared_strings=None):
    members = workbook(1, lambda i: i)
    if shared_strings is not None:
        members.append((b'xl/sharedStrings.xml', shared_strings, True, None))
    members.append((b'xl/worksheets/sheet1.xml', sheet, True, None))
    return zip_archive(members)


def nested(tag, depth, inner):
    return (b'<' + tag + b'>') * depth + inner + (b'</' + tag + b'>') * depth


def sheet(rows):
    return b'<worksheet><sheetData>' + rows + b'</sheetData></worksheet>'


def patched(data, at, fmt, *values):
    data = bytearray(data)
    struct.pack_into(fmt, data, at, *values)
    return bytes(data)


def excel_seeds():
    write('xlsx', 'sheets_sharing_a_part.xlsx',
          zip_archive(workbook(50, lambda i: 1) + [(b'xl/worksheets/sheet1.xml', FAR, True, None)]))
    write('xlsx', 'far_used_ranges.xlsx',
          zip_archive(workbook(120, lambda i: i) +
                      [(b'xl/worksheets/sheet%d.xml' % i, FAR, True, None) for i in range(1, 121)]))
    write('xlsx', 'parts_stated_large.xlsx',
          zip_archive(workbook(5, lambda i: i) +
                      [(b'xl/worksheets/sheet%d.xml' % i, FAR, True, 60000000) for i in range(1, 6)]))
    one_string = sheet(b'<row><c t="s"><v>0</v></c></row>')
    write('xlsx', 'shared_string_nested_deep.xlsx',
          one_sheet_book(one_string, b'<sst><si>' + nested(b't', 100000, b'x') + b'</si></sst>'))
    write('xlsx', 'cell_nested_deep.xlsx',
          one_sheet_book(sheet(b'<row><c t="inlineStr"><is>' + nested(b'r', 100000, b'<t>x</t>') +
                               b'</is></c></row>')))
    write('xlsx', 'value_nested_deep.xlsx',
          one_sheet_book(sheet(b'<row><c><v>' + nested(b'v', 50000, b'1') + b'</v></c></row>')))
    write('xlsx', 'millions_of_empty_strings.xlsx',
          one_sheet_book(one_string, b'<sst>' + b'<si/>' * 8000000 + b'</sst>'))
    write('xlsx', 'string_counts_lying.xlsx',
          one_sheet_book(sheet(b'<row><c t="s"><v>2147483647</v></c><c t="s"><v>1</v></c></row>'),
                         b'<sst count="2147483647" uniqueCount="2147483647"><si><t>a</t></si>'
                         b'<si><t>b</t></si></sst>'))
    row = (b'<row><c><v>1</v></c><c t="s"><v>0</v></c><c t="s"><v>1</v></c><c t="s"><v>2</v></c>'
           b'<c t="s"><v>3</v></c><c><v>4</v></c><c><v>150</v></c><c><v>0.8</v></c><c><v>12</v></c></row>')
    pet = one_sheet_book(sheet(row * 20000),
                         '<sst><si><t>03.12.2008</t></si><si><t>P</t></si><si><t>СКМ-3 Z</t></si>'
                         '<si><t>10:15:30</t></si></sst>'.encode())
    write('xlsx', 'pet_rows_all_event_1.xlsx', pet)
    # The .xls journal with a sheet that states 65,536 rows of 256 columns and a string table that
    # states two thousand million strings; the records keep their sizes.
    xls = open(os.path.join(HERE, 'xls', 'pet.xls'), 'rb').read()
    dims = xls.find(struct.pack('<HH', 0x0200, 14))
    sst = xls.find(struct.pack('<HH', 0x00FC, 19))
    assert dims > 0 and sst > 0
    # A DTD's entity of 4,000 characters named 300,000 times in a shared string and 100,000 times in a
    # cell's reference: gigabytes once expanded.
    entity = b'<!ENTITY e "' + b'x' * 4000 + b'">'
    write('xlsx', 'entity_in_a_shared_string.xlsx',
          one_sheet_book(one_string, b'<!DOCTYPE sst [' + entity + b']><sst><si><t>' + b'&e;' * 300000 +
                         b'</t></si></sst>'))
    write('xlsx', 'entity_in_a_cell_reference.xlsx',
          one_sheet_book(b'<!DOCTYPE worksheet [' + entity + b']>' +
                         sheet(b'<row><c r="' + b'&e;' * 100000 + b'"><v>1</v></c></row>')))
    # Two parts of one name, and two whose names differ in case alone.
    write('xlsx', 'part_twice.xlsx',
          zip_archive(workbook(1, lambda i: i) + [(b'xl/worksheets/sheet1.xml', FAR, True, None),
                                                  (b'xl/worksheets/sheet1.xml', one_string, True, None)]))
    write('xlsx', 'parts_alike_but_for_case.xlsx',
          zip_archive(workbook(1, lambda i: i) + [(b'xl/worksheets/sheet1.xml', FAR, True, None),
                                                  (b'XL/Worksheets/Sheet1.xml', one_string, True, None)]))
    write('xls', 'dimensions_lying.xls', patched(xls, dims + 4, '<IIHH', 0, 65536, 0, 256))
    write('xls', 'string_counts_lying.xls', patched(xls, sst + 4, '<II', 0x7FFFFFFF, 0x7FFFFFFF))


# --- Text ---

KRV_HEAD = (b'  5  2  1 12 34   3  14   0   7\r\n'
            b'  05 02 2026       12h  34m  56.78s  K= 10.5  Mcoda= 3.2  kt=2 kolst= 7   \r\n'
            b' fi= 52.123 lam=  104.456  h=   15   t0=  0.45   fmin=1.5  \r\n'
            b'Sfi= 2.5    Slam=3.1              St0= 0.8    \r\n')
KRV_PHASE = (b'  1 e 58.12    0.00   i 25.40  e 30.06   123.4  10.2    1.2    2.3    3.4    4.5   0.35   1.20'
             b'  3.4 \r\n')


def text_seeds():
    write('krv', 'nul.txt', b'  5  2  1 12 34   3  14   0   7\r\nK\0\r\n')
    # As many stations of one event as fit, and one line of the whole input without an end.
    write('krv', 'many_phase_lines.txt', KRV_HEAD + KRV_PHASE * ((LIMIT - len(KRV_HEAD)) // len(KRV_PHASE)))
    write('krv', 'one_long_line.txt', KRV_HEAD + b'1' * (LIMIT - len(KRV_HEAD)))
    # Event lines whose numbers overflow.
    write('krv', 'huge_numbers.txt', b'  5  2  1 12 34 99999999999 14 0 7\r\n' + KRV_HEAD[33:] + KRV_PHASE)
    # Separator ';', qualifier '"', 18 columns; then the file.
    write('delimited_reader', 'empty_lines', b';"\x12' + b'\n' * (LIMIT - 3))
    write('delimited_reader', 'nul', b';"\x03' + b';9001;x\0y;\r\n')
    # 39 columns: one line of the whole input without a separator, lines of separators alone, and a
    # qualifier that is never closed.
    write('delimited_reader', 'one_long_line', b';"\x27' + b'x' * (LIMIT - 3))
    write('delimited_reader', 'separators_only', b';"\x27' + (b';' * 38 + b'\n') * ((LIMIT - 3) // 39))
    write('delimited_reader', 'unclosed_qualifier', b';"\x27' + b'"' + b'a;' * ((LIMIT - 4) // 2))


def format_seeds():
    # A format whose three export records count as many columns as the file holds, and one more.
    head = bytes([1, 0, 0, 0]) + struct.pack('<i', 1251) + b';"\x03dmy.:,\x01\x01\x00\x32\x00\x00\x00'
    assert len(head) == 24
    column = b'\x03num' + bytes(74 - 4)
    count = (LIMIT - 24 - 4) // 74
    write('text_format', 'count_one_past_the_file', head + struct.pack('<i', count + 1) + column * count)
    write('text_format', 'count_to_the_file', head + struct.pack('<i', count) + column * count)


def settings_seeds():
    # Thousands of sections of one key, and one key of the whole input.
    sections = b''.join(b'[s%d]\r\nk=v\r\n' % i for i in range(5000))
    write('ini_file', 'many_sections', sections[:LIMIT])
    write('ini_file', 'one_long_value', b'[global]\r\nk=' + b'v' * (LIMIT - 13))
    write('settings', 'many_station_sections', (b'[global]\r\nstation_code=S1\r\n' + sections)[:LIMIT])
    # A filters table of one header and thousands of columns, and one line of the whole input.
    write('fixed_width', 'many_columns', b' '.join(b'c%d' % i for i in range(9000))[:LIMIT])
    write('fixed_width', 'one_long_line', b'a  b\r\n' + b'x' * (LIMIT - 6))


def zip_seeds():
    # An end record counting 65,535 members where there is one, and a directory said to lie past the end.
    one = zip_archive([(b'a.txt', b'hello', True, None)])
    write('zip_archive', 'member_count_lying', one[:-14] + struct.pack('<HH', 65535, 65535) + one[-10:])
    write('zip_archive', 'directory_past_the_end', one[:-6] + struct.pack('<I', 0x7FFFFFF0) + one[-2:])
    # A member twice, one stored whose bytes no longer match its check sum.
    write('zip_archive', 'member_twice',
          zip_archive([(b'a.txt', b'hello', True, None), (b'a.txt', b'world', True, None)]))
    crc = zip_archive([(b'a.txt', b'stored text', False, None)])
    write('zip_archive', 'check_sum_failing', crc.replace(b'stored text', b'STORED TEXT'))


if __name__ == '__main__':
    paradox_seeds()
    orv_seeds()
    excel_seeds()
    text_seeds()
    format_seeds()
    settings_seeds()
    zip_seeds()
