#pragma once

#include "lib/messages.h"

#include <QString>
#include <QWidget>

// Gives a dialog's control its name and, when given, its hint ("\r" a line break).
template <class W> W *NamedControl(W *w, const char *name, const char *hint = nullptr)
{
    w->setObjectName(QString::fromLatin1(name));
    if (hint)
        w->setToolTip(messageTextForDisplay(QString::fromUtf8(hint)));
    return w;
}
