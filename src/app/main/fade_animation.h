#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

// The window fades: a 25 ms timer moves a window's opacity (alpha 0..255) from a start to an end value
// by a step per tick. The first tick only sets the start value (and, for a closing fade, disables the
// window); the last one lands exactly on the end value and, for a closing fade, calls onClosingDone.
// The tick after that stops the timer. tick() is public so the steps can be driven one by one.
class FadeAnimation : public QObject
{
    Q_OBJECT
public:
    explicit FadeAnimation(QObject *parent = nullptr);

    // Kind 1 is the alpha fade; Ints are start alpha, end alpha, step per tick, close flag (> 0: the
    // window closes at the end). Any running animation is replaced.
    void StartAnimation(int kind, const std::array<int, 4> &ints, QWidget *form);
    void tick();

    // An alpha fade is on its way (the stopping tick may still be due).
    bool fading() const { return m_kind == 1; }
    bool timerActive() const { return m_timer.isActive(); }
    int alpha() const { return m_alpha; }

    // Sets the window's alpha; the platform's opacity is alpha / 255.
    static void SetAlpha(QWidget *form, int alpha);

    // Runs at the end of a closing fade: the owner lets the window close for good.
    std::function<void(QWidget *)> onClosingDone;

private:
    QTimer m_timer;
    int m_kind = 0;
    int m_step = 0;
    int m_alpha = 255;
    std::array<int, 4> m_ints{};
    QPointer<QWidget> m_form;
};
