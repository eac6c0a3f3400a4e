#pragma once

#include <QMainWindow>

// The program's main window.
class TfmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfmMain(QWidget *parent = nullptr);
};
