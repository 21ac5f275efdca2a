#pragma once

// ZIP archives written byte by byte, so that a test can make the ones no archiver makes: members without
// a name or named ".", thousands of empty members, and sizes stated far beyond the data that follows.

#include <QByteArray>
#include <QList>
#include <QtEndian>

#include <array>

class ZipWriter
{
public:
    // A member deflated (Qt's zlib stream without its header and check sum) or stored as it is. A
    // stated size of -1 is the data's own; any other is what the headers claim.
    void add(const QByteArray &name, const QByteArray &data, bool deflate = true, qint64 statedSize = -1)
    {
        QByteArray packed = data;
        if (deflate) {
            const QByteArray z = qCompress(data, 9); // 4-byte length, 2-byte header, stream, Adler-32
            packed = z.mid(6, z.size() - 10);
        }
        Member m;
        m.name = name;
        m.method = deflate ? 8 : 0;
        m.crc = crc32(data);
        m.packedSize = quint32(packed.size());
        const qint64 size = statedSize < 0 ? data.size() : statedSize;
        m.size = quint32(qMin<qint64>(size, 0xFFFFFFFFll));
        m.offset = quint32(m_body.size());
        m_body += header(0x04034b50, m, false) + name + packed;
        m_members << m;
    }

    QByteArray bytes() const
    {
        QByteArray central;
        for (const Member &m : m_members)
            central += header(0x02014b50, m, true) + m.name;
        QByteArray end(22, '\0');
        qToLittleEndian<quint32>(0x06054b50, end.data());
        qToLittleEndian<quint16>(quint16(qMin<qsizetype>(m_members.size(), 0xFFFF)), end.data() + 8);
        qToLittleEndian<quint16>(quint16(qMin<qsizetype>(m_members.size(), 0xFFFF)), end.data() + 10);
        qToLittleEndian<quint32>(quint32(central.size()), end.data() + 12);
        qToLittleEndian<quint32>(quint32(m_body.size()), end.data() + 16);
        return m_body + central + end;
    }

    static quint32 crc32(const QByteArray &data)
    {
        static const std::array<quint32, 256> table = [] {
            std::array<quint32, 256> t{};
            for (quint32 i = 0; i < 256; ++i) {
                quint32 c = i;
                for (int k = 0; k < 8; ++k)
                    c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
                t[i] = c;
            }
            return t;
        }();
        quint32 c = 0xFFFFFFFFu;
        for (const char b : data)
            c = table[(c ^ quint8(b)) & 0xFF] ^ (c >> 8);
        return c ^ 0xFFFFFFFFu;
    }

private:
    struct Member
    {
        QByteArray name;
        quint16 method = 0;
        quint32 crc = 0, packedSize = 0, size = 0, offset = 0;
    };

    static QByteArray header(quint32 signature, const Member &m, bool central)
    {
        QByteArray h(central ? 46 : 30, '\0');
        char *p = h.data();
        qToLittleEndian<quint32>(signature, p);
        int at = 4;
        if (central) {
            qToLittleEndian<quint16>(20, p + at); // made by
            at += 2;
        }
        qToLittleEndian<quint16>(20, p + at);           // needed to extract
        qToLittleEndian<quint16>(0x0800, p + at + 2);   // names in UTF-8
        qToLittleEndian<quint16>(m.method, p + at + 4); // method
        qToLittleEndian<quint16>(0, p + at + 6);        // time
        qToLittleEndian<quint16>(0x21, p + at + 8);     // date: 1980-01-01
        qToLittleEndian<quint32>(m.crc, p + at + 10);
        qToLittleEndian<quint32>(m.packedSize, p + at + 14);
        qToLittleEndian<quint32>(m.size, p + at + 18);
        qToLittleEndian<quint16>(quint16(m.name.size()), p + at + 22);
        if (central)
            qToLittleEndian<quint32>(m.offset, p + 42);
        return h;
    }

    QList<Member> m_members;
    QByteArray m_body;
};
