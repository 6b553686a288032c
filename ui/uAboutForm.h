#pragma once
// The about box: the program's name, version and maker's details.

#include <QDialog>

class Tform_About : public QDialog
{
    Q_OBJECT
public:
    explicit Tform_About(QWidget* parent = nullptr);
};
