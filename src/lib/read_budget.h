#pragma once

#include <QString>
#include <QtGlobal>

#include <algorithm>

// What a read of an outside file may take in memory. An input of up to 2 MiB (packed or not) may cost
// 256 MiB; a larger one 8 times the bytes the reader takes in (the file, or what its archive unpacks)
// and 64 MiB more; nothing more than 1 GiB. An input whose share would pass 1 GiB is refused before it
// is read; the others are read while what they cost stays within their share, counted as the readers'
// tables hold it, and refused as soon as it would not.

constexpr qint64 kMiB = qint64(1) << 20;
constexpr qint64 SmallInputBytes = 2 * kMiB;
constexpr qint64 SmallInputBudget = 256 * kMiB;
constexpr qint64 BudgetPerInputByte = 8;
constexpr qint64 BudgetBase = 64 * kMiB;
constexpr qint64 MaxReadBudget = 1024 * kMiB;
// The largest input whose share stays within MaxReadBudget: 120 MiB.
constexpr qint64 MaxInputBytes = (MaxReadBudget - BudgetBase) / BudgetPerInputByte;

// The share of an input of fileBytes whose reader takes in takenIn bytes (more than the file when it
// unpacks an archive).
constexpr qint64 ReadBudgetBytes(qint64 fileBytes, qint64 takenIn = 0)
{
    if (fileBytes <= SmallInputBytes)
        return SmallInputBudget;
    return std::min(MaxReadBudget, BudgetPerInputByte * std::max(fileBytes, takenIn) + BudgetBase);
}

// The reason given for an input refused before it is read, naming the limit.
inline QString InputTooLargeText(qint64 bytes)
{
    return QStringLiteral("файл больше предела в %1 МиБ (%2 байт)").arg(MaxInputBytes / kMiB).arg(bytes);
}

// The reason given for an input whose data would pass its share, naming the share.
inline QString OverBudgetText(qint64 budgetBytes)
{
    return QStringLiteral("данные файла заняли бы в памяти больше предела в %1 МиБ").arg(budgetBytes / kMiB);
}

// What one read has spent of its share.
class ReadBudget
{
public:
    explicit ReadBudget(qint64 limitBytes) : m_limit(limitBytes) {}

    qint64 limit() const { return m_limit; }
    qint64 spent() const { return m_spent; }
    // Whether bytes more would still fit; nothing is spent.
    bool fits(qint64 bytes) const { return bytes <= m_limit - m_spent; }
    // Spends bytes; false once past the share.
    bool spend(qint64 bytes)
    {
        m_spent += bytes;
        return m_spent <= m_limit;
    }
    void setSpent(qint64 bytes) { m_spent = bytes; }

private:
    qint64 m_limit;
    qint64 m_spent = 0;
};

// What a string of its own costs on the heap besides its handle: the block holding its header, its
// characters and terminator, rounded as the allocator rounds.
constexpr qint64 StringHeapBytes(qint64 chars)
{
    return chars == 0 ? 0 : ((16 + 2 * (chars + 1) + 8 + 15) & ~qint64(15));
}
