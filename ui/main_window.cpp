#include "main_window.h"

TfmMain::TfmMain(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Tavolin"));
    resize(700, 300);
}
