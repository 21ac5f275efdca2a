#pragma once

#include <QTableWidget>

// The string grid that tells when the mouse enters or leaves it (the import grid shows its hint then).
class TMStringGrid : public QTableWidget
{
    Q_OBJECT
public:
    explicit TMStringGrid(QWidget *parent = nullptr);

signals:
    void mouseEnter(QObject *sender);
    void mouseLeave(QObject *sender);

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
};
