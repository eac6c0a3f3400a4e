#include "about.h"

#include "product.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {

// The company's name with the first letter of each word in red.
QString banner(const QString &company)
{
    QString name;
    for (const QString &word : company.split(u' ', Qt::SkipEmptyParts)) {
        if (!name.isEmpty())
            name += u' ';
        name += QStringLiteral("<span style=\"color:#ff0000\">%1</span>%2")
                    .arg(word.left(1).toHtmlEscaped(), word.mid(1).toHtmlEscaped());
    }
    return QStringLiteral("<div align=\"center\"><span style=\"font-size:16pt; font-weight:bold\">%1</span>"
                          "<br><span style=\"font-size:10pt\">www.kestrane.example</span></div>")
        .arg(name);
}

} // namespace

TVersionInfo TVersionInfo::Program()
{
    return {true, QLatin1String(kProductName), QLatin1String(kProductVersion)};
}

TfmAbout::TfmAbout(TVersionInfo info, QWidget *parent) : QDialog(parent), fInfo(std::move(info))
{
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    RTFLabel1 = new QLabel(banner(QLatin1String(kCompanyName)), this);
    RTFLabel1->setTextFormat(Qt::RichText);
    RTFLabel1->setWordWrap(false);
    RTFLabel1->setAlignment(Qt::AlignCenter);
    laProgramName = new QLabel(QStringLiteral("Program Name"), this);
    laProgramVersion = new QLabel(QStringLiteral("Program Version"), this);
    Label1 = new QLabel(QStringLiteral("\u00A9 2026 %1. All rights reserved.").arg(QLatin1String(kCompanyName)), this);
    for (QLabel *l : {laProgramName, laProgramVersion, Label1}) {
        QFont f = l->font();
        f.setPointSizeF(f.pointSizeF() * 1.2);
        l->setFont(f);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    btOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    btOK->setDefault(true);
    connect(btOK, &QPushButton::clicked, this, &QDialog::accept);

    auto *grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    grid->addWidget(RTFLabel1, 0, 0, 1, 2);
    grid->setRowMinimumHeight(1, 8);
    grid->addWidget(laProgramName, 2, 0);
    grid->addWidget(laProgramVersion, 3, 0);
    grid->addWidget(Label1, 4, 0);
    grid->addWidget(btOK, 3, 1, 2, 1, Qt::AlignRight | Qt::AlignBottom);
    grid->setColumnStretch(0, 1);
}

void TfmAbout::showEvent(QShowEvent *event)
{
    const QString unknown = QStringLiteral("Updated at run-time");
    laProgramName->setText(fInfo.Present ? fInfo.ProductName : unknown);
    laProgramVersion->setText(QStringLiteral("Version ") + (fInfo.Present ? fInfo.FileVersion : unknown));
    QDialog::showEvent(event);
}
