#include "error_guard.h"

#include "product.h"

#include <QMessageBox>

#include <exception>

void ShowError(QWidget *parent, const QString &message)
{
    QMessageBox::critical(parent, QLatin1String(kProductName), message);
}

bool RunGuarded(QWidget *parent, const std::function<void()> &work)
{
    try {
        work();
        return true;
    } catch (const std::exception &e) {
        ShowError(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        ShowError(parent, QStringLiteral("An unexpected error occurred."));
    }
    return false;
}
