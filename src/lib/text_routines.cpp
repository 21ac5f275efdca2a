#include "lib/text_routines.h"

#include <QVarLengthArray>

#include <algorithm>

void CharSet::insert(QChar c)
{
    if (!contains(c))
        m_chars.append(c);
}

void GetNextTokenChars(const QString &S, int Len, int &Pos, const CharSet &Delims, const CharSet &Quotes,
                       TokenChars &token, QChar CountChar, int *Count, CharSet *DelimsFound)
{
    token.clear();
    if (Count)
        *Count = 0;
    if (DelimsFound)
        DelimsFound->clear();
    Len = std::min(Len, int(S.size()));
    if (Pos < 1 || Pos > Len) {
        Pos = 0;
        return;
    }

    bool inSection = false;
    QChar opening;
    bool held = false;
    QChar heldQuote;
    int i = Pos;
    for (; i <= Len; ++i) {
        const QChar c = S.at(i - 1);
        if (inSection) {
            if (held) {
                held = false;
                if (Quotes.contains(c)) {
                    if (c != heldQuote) {
                        Pos = 0;
                        token.clear();
                        return;
                    }
                    token.append(c);
                    continue;
                }
                if (heldQuote == opening)
                    inSection = false;
            } else if (Quotes.contains(c)) {
                held = true;
                heldQuote = c;
                continue;
            }
            if (inSection) {
                // The text up to the next quote is the token's as it stands.
                int j = i;
                while (j < Len && !Quotes.contains(S.at(j)))
                    ++j;
                token.append(S.constData() + i - 1, j - i + 1);
                i = j;
                continue;
            }
        }
        if (Quotes.contains(c)) {
            inSection = true;
            opening = c;
        } else if (Delims.contains(c)) {
            break;
        } else {
            int j = i;
            while (j < Len && !Quotes.contains(S.at(j)) && !Delims.contains(S.at(j)))
                ++j;
            token.append(S.constData() + i - 1, j - i + 1);
            i = j;
        }
    }

    if (i > Len) {
        Pos = 0;
        if (held && heldQuote == opening)
            inSection = false;
        if (inSection)
            token.clear();
        return;
    }

    // A run of delimiters is one separator.
    for (; i <= Len && Delims.contains(S.at(i - 1)); ++i) {
        const QChar d = S.at(i - 1);
        if (DelimsFound)
            DelimsFound->insert(d);
        if (Count && d == CountChar)
            ++*Count;
    }
    Pos = i > Len ? 0 : i;
}

QString GetNextToken(const QString &S, int Len, int &Pos, const CharSet &Delims, const CharSet &Quotes,
                     QChar CountChar, int *Count, CharSet *DelimsFound)
{
    // Gathered apart and made a string once: a token grown a character at a time reallocates often.
    TokenChars token;
    GetNextTokenChars(S, Len, Pos, Delims, Quotes, token, CountChar, Count, DelimsFound);
    return token.isEmpty() ? QString() : QString(token.constData(), token.size());
}

void SplitTokens(const QString &S, const CharSet &Delims, const CharSet &Quotes, dsarray &Parts)
{
    Parts.clear();
    int pos = 1;
    const int len = int(S.size());
    while (pos > 0) {
        const QString token = GetNextToken(S, len, pos, Delims, Quotes);
        if (pos > 0 || !token.isEmpty())
            Parts.append(token);
    }
}

bool SplitFixedWidth(const QString &Line, const dptarray &Cols, dsarray &Parts, bool DoTrim)
{
    // The table is the caller's layout for every line, so End 0 is resolved per line and never stored.
    Parts.clear();
    const int len = int(Line.size());
    for (const auto &[start, end0] : Cols) {
        const int end = end0 == 0 ? len : end0;
        if (start > len || end > len) {
            Parts.clear();
            return false;
        }
        const int from = std::max(start, 1);
        const QString text = end >= from ? Line.mid(from - 1, end - from + 1) : QString();
        Parts.append(DoTrim ? TrimBlanks(text) : text);
    }
    return true;
}

QString TrimBlanks(const QString &S)
{
    qsizetype first = 0;
    qsizetype last = S.size() - 1;
    while (first <= last && S.at(first).unicode() <= ' ')
        ++first;
    while (last >= first && S.at(last).unicode() <= ' ')
        --last;
    return S.mid(first, last - first + 1);
}

QString PadStr(const QString &S, QChar Ch, int Len, bool PadLeft)
{
    if (S.size() >= Len)
        return S;
    const QString fill(Len - S.size(), Ch);
    return PadLeft ? fill + S : S + fill;
}

QString Zero2(const QString &S)
{
    if (S.isEmpty())
        return QStringLiteral("00");
    if (S.size() == 1)
        return QLatin1Char('0') + S;
    return S;
}

QString DoubleChar(const QString &S, QChar Ch)
{
    QString r;
    r.reserve(S.size());
    for (const QChar c : S) {
        r += c;
        if (c == Ch)
            r += c;
    }
    return r;
}

QChar CharAt(const QString &S, int I)
{
    return I >= 1 && I <= S.size() ? S.at(I - 1) : QChar(0);
}

QChar CharFromEnd(const QString &S, int I)
{
    return I >= 1 && I <= S.size() ? S.at(S.size() - I) : QChar(0);
}

int PosFrom(const QString &Substr, const QString &S, int Start)
{
    if (Substr.isEmpty())
        return 0;
    return int(S.indexOf(Substr, std::max(Start, 1) - 1, Qt::CaseSensitive)) + 1;
}

int FirstCharInSet(const CharSet &Chars, const QString &S, int Start)
{
    for (int i = std::max(Start, 1); i <= S.size(); ++i)
        if (Chars.contains(S.at(i - 1)))
            return i;
    return 0;
}

int LastCharNotInSet(const CharSet &Chars, const QString &P, int Len)
{
    for (int i = std::min(Len, int(P.size())); i >= 1; --i)
        if (!Chars.contains(P.at(i - 1)))
            return i;
    return 0;
}

int SkipChar(QChar Ch, const QString &S, int Start)
{
    for (int i = std::max(Start, 1); i <= S.size(); ++i)
        if (S.at(i - 1) != Ch)
            return i;
    return 0;
}

QString IfEmptyStr(const QString &A, const QString &B)
{
    return A.isEmpty() ? B : A;
}

QString IfThenStr(bool Cond, const QString &A, const QString &B)
{
    return Cond ? A : B;
}

QString JoinSpace(const QString &A, const QString &B)
{
    if (B.isEmpty())
        return A;
    if (A.isEmpty())
        return B;
    return A + QLatin1Char(' ') + B;
}

QString JoinLines(const QStringList &Lines, const QString &Sep, bool SepAfterEach)
{
    QString r = Lines.join(Sep);
    if (SepAfterEach && !Lines.isEmpty())
        r += Sep;
    return r;
}

QString NbspIfEmpty(const QString &S)
{
    return S.isEmpty() ? QStringLiteral("&nbsp") : S;
}

QString KPrefix(const QString &S)
{
    return S.isEmpty() ? QString() : QStringLiteral("K=") + S;
}

int IndexOfText(const QStringList &Items, const QString &S)
{
    for (int i = 0; i < Items.size(); ++i)
        if (Items.at(i).compare(S, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int IndexOfInt(const QList<int> &Items, int Value, int LastIndex)
{
    const int last = LastIndex < 0 || LastIndex >= Items.size() ? int(Items.size()) - 1 : LastIndex;
    for (int i = 0; i <= last; ++i)
        if (Items.at(i) == Value)
            return i;
    return -1;
}

QString NextStr(const QString &S)
{
    if (S.isEmpty())
        return QStringLiteral("!");
    QString r = S;
    for (qsizetype i = r.size() - 1; i >= 0; --i) {
        const ushort next = r.at(i).unicode() + 1;
        if (next <= '~') {
            r[i] = QChar(next);
            break;
        }
        r[i] = QLatin1Char('!');
    }
    return r;
}
