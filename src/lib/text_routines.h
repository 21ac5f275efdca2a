#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>

#include <utility>

// Positions in these routines are 1-based, as the rest of the system counts characters in a line;
// character 0 (QChar(0)) stands for "no character".

using dsarray = QStringList;
// Pairs of integers: (Start, End) or (Start, Width) of columns, (Value, Count) of a histogram.
using dptarray = QList<std::pair<int, int>>;

// A set of characters, given as the characters it holds.
class CharSet
{
public:
    CharSet() = default;
    CharSet(const QString &chars) : m_chars(chars) {}
    CharSet(const char *utf8) : m_chars(QString::fromUtf8(utf8)) {}
    CharSet(QChar c) : m_chars(c) {}

    // Most sets hold one character (a field separator, a qualifier), asked about every character read.
    bool contains(QChar c) const { return m_chars.size() == 1 ? m_chars.front() == c : m_chars.contains(c); }
    void insert(QChar c);
    void clear() { m_chars.clear(); }
    bool isEmpty() const { return m_chars.isEmpty(); }
    int size() const { return int(m_chars.size()); }
    const QString &chars() const { return m_chars; }

private:
    QString m_chars;
};

// Tokens and splitting.

// The token starting at Pos (only the first Len characters of S count); Pos moves to the next token,
// or becomes 0 at the end. Quotes open sections in which delimiters are text and a doubled quote is one
// quote; a run of delimiters is one separator, its characters equal to CountChar counted in *Count
// and all of them collected in *DelimsFound. An unterminated quote gives an empty token.
QString GetNextToken(const QString &S, int Len, int &Pos, const CharSet &Delims, const CharSet &Quotes,
                     QChar CountChar = QChar(0), int *Count = nullptr, CharSet *DelimsFound = nullptr);
// The same with the token's characters left in Token, so that a reader keeping many tokens can tell a
// repeated one before it makes a string of it.
using TokenChars = QVarLengthArray<QChar, 128>;
void GetNextTokenChars(const QString &S, int Len, int &Pos, const CharSet &Delims, const CharSet &Quotes,
                       TokenChars &Token, QChar CountChar = QChar(0), int *Count = nullptr,
                       CharSet *DelimsFound = nullptr);
void SplitTokens(const QString &S, const CharSet &Delims, const CharSet &Quotes, dsarray &Parts);
// Cols holds inclusive (Start, End) pairs; End 0 means the end of this line. False, with no parts,
// when a pair lies beyond the line.
bool SplitFixedWidth(const QString &Line, const dptarray &Cols, dsarray &Parts, bool DoTrim);

// Strips blanks and control characters (codes up to 32) from both ends.
QString TrimBlanks(const QString &S);

// Small string routines.
QString PadStr(const QString &S, QChar Ch, int Len, bool PadLeft);
QString Zero2(const QString &S);
QString DoubleChar(const QString &S, QChar Ch);
QChar CharAt(const QString &S, int I);
QChar CharFromEnd(const QString &S, int I);
int PosFrom(const QString &Substr, const QString &S, int Start);
int FirstCharInSet(const CharSet &Chars, const QString &S, int Start);
int LastCharNotInSet(const CharSet &Chars, const QString &P, int Len);
int SkipChar(QChar Ch, const QString &S, int Start);
QString IfEmptyStr(const QString &A, const QString &B);
QString IfThenStr(bool Cond, const QString &A, const QString &B);
QString JoinSpace(const QString &A, const QString &B);
QString JoinLines(const QStringList &Lines, const QString &Sep, bool SepAfterEach);
QString NbspIfEmpty(const QString &S);
QString KPrefix(const QString &S);
int IndexOfText(const QStringList &Items, const QString &S);
int IndexOfInt(const QList<int> &Items, int Value, int LastIndex = -1);
// The successor of S among strings of printable ASCII ('!'..'~'), of the same length; "" gives "!".
QString NextStr(const QString &S);
