#include "app/main/fade_animation.h"

FadeAnimation::FadeAnimation(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(25);
    connect(&m_timer, &QTimer::timeout, this, &FadeAnimation::tick);
}

void FadeAnimation::SetAlpha(QWidget *form, int alpha)
{
    if (form)
        form->setWindowOpacity((alpha & 0xFF) / 255.0);
}

void FadeAnimation::StartAnimation(int kind, const std::array<int, 4> &ints, QWidget *form)
{
    m_timer.stop();
    m_kind = kind;
    m_step = 0;
    m_ints = ints;
    m_form = form;
    m_timer.start();
}

void FadeAnimation::tick()
{
    if (m_kind != 1 || !m_form) {
        m_kind = 0;
        m_timer.stop();
        return;
    }
    if (m_step == 0) {
        m_step = m_ints[2];
        if (m_ints[1] == m_ints[0]) {
            // Nothing to fade between: take the full range in the step's direction.
            if (m_step == 0)
                m_step = 1;
            if (m_step > 0) {
                m_ints[0] = 0;
                m_ints[1] = 255;
            } else {
                m_ints[0] = 255;
                m_ints[1] = 0;
            }
        } else if (m_step == 0) {
            m_step = m_ints[1] > m_ints[0] ? 1 : -1;
        }
        m_alpha = m_ints[0] & 0xFF;
        SetAlpha(m_form, m_alpha);
        if (m_ints[3] > 0)
            m_form->setEnabled(false); // no input while the window closes
        return;
    }
    int a = m_alpha + m_step;
    const bool done = m_step > 0 ? a >= m_ints[1] : a <= m_ints[1];
    bool closeNow = false;
    if (done) {
        a = m_ints[1];
        m_step = 0;
        m_kind = 0;
        closeNow = m_ints[3] > 0;
    }
    m_alpha = a;
    SetAlpha(m_form, m_alpha);
    if (closeNow && onClosingDone)
        onClosingDone(m_form);
}
