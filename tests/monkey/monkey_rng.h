#pragma once

#include <QList>
#include <QtGlobal>

#include <random>

// The monkey's one source of chance: every choice draws from it, so a seed gives one action sequence.
// Uniform draws are computed here rather than by the standard distributions, whose results the
// standard leaves to each library.
class MonkeyRng
{
public:
    explicit MonkeyRng(quint64 seed) : m_engine(seed) {}

    quint64 next() { return m_engine(); }
    // 0 .. n-1; 0 when n is not positive.
    int below(int n) { return n <= 0 ? 0 : int(next() % quint64(n)); }
    // True in percent of the draws out of 100.
    bool chance(int percent) { return below(100) < percent; }
    template <class T> const T &pick(const QList<T> &items) { return items.at(below(int(items.size()))); }
    // An index chosen in proportion to the weights (none positive: 0).
    int weighted(const QList<int> &weights);

private:
    std::mt19937_64 m_engine;
};
