#pragma once

#include "app/settings/settings_record.h"

#include <QDialog>
#include <QRadioButton>

#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

// A radio button whose long caption wraps within its width.
class TWrapRadioButton : public QRadioButton
{
    Q_OBJECT
public:
    using QRadioButton::QRadioButton;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
};

// "Настройка запуска": one station or many, and the page to start on. OK writes what changed to
// section "global" of the main INI file and has the main window apply the start mode at once.
class Tstartupf : public QDialog
{
    Q_OBJECT
public:
    // Settings is the main window's record; ApplyStartMode runs after OK (with the settings page shown).
    Tstartupf(Tsett &Settings, const QString &MainIniPath, std::function<void()> ApplyStartMode,
              QWidget *owner = nullptr);

    QLabel *Label2 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    TWrapRadioButton *sub1 = nullptr;
    TWrapRadioButton *sub2 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *start_from = nullptr;
    QPushButton *okb = nullptr;
    QPushButton *Button1 = nullptr;

    void okbClick();

private:
    void sub1Click();
    void sub2Click();

    Tsett &m_sett;
    QString m_iniPath;
    std::function<void()> m_applyStartMode;
};
