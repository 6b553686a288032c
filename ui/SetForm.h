#pragma once
// The settings dialog: reader port and read interval.

#include <QDialog>

class TSetFrm : public QDialog
{
    Q_OBJECT
public:
    explicit TSetFrm(QWidget* parent = nullptr);
};
