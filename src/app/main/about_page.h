#pragma once

#include <QString>

#include <functional>

class QWidget;

// Fills Page, the 'О программе' tab, with its controls (Label29, Label33, Panel4 with Label30, changes,
// Label32) and keeps them laid out whenever the page is resized. The link Label32 opens the help document
// of programDir (which ends with "/").
void BuildAboutPage(QWidget *Page, const QString &programDir);

// Lays out the about page for its current size; also needed after a font change.
void TabSheet5Resize(QWidget *Page);

QString HelpDocumentPath(const QString &programDir);
// Hands the help document to the desktop through HelpDocumentOpener; a missing document, or one the
// desktop has no program for, is named in a message.
void Label32Click(QWidget *Owner, const QString &programDir);
// The desktop's "open" by default, false when it started nothing; tests put their own.
std::function<bool(QWidget *, const QString &)> &HelpDocumentOpener();
