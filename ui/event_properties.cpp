#include "event_properties.h"

#include "icons.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TfmEventProperties::TfmEventProperties(TOnStatusChange listener, QWidget *parent)
    : QDialog(parent), Fields(new TEventFields(this)), fListener(std::move(listener))
{
    setWindowTitle(QStringLiteral("Event Properties"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);

    btCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    btPreview = new QPushButton(TavolinImage(Img::Play), QStringLiteral("Preview"), this);
    btStop = new QPushButton(TavolinImage(Img::StopPreview), QStringLiteral("Stop"), this);
    btOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    for (QPushButton *b : {btCancel, btPreview, btStop})
        b->setAutoDefault(false);
    btOK->setDefault(true);

    connect(edAudioFile, &QLineEdit::textChanged, this, [this](const QString &text) {
        Item.AudioFile = text; // the preview always plays what the edit names
        UpdateButtons();
    });
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btOK, &QPushButton::clicked, this, [this] {
        Fields->Store(Item);
        accept();
    });
    connect(btPreview, &QPushButton::clicked, this, [this] {
        Item.SetOnStatusChange(fListener);
        Item.Play();
    });
    connect(btStop, &QPushButton::clicked, this, [this] { Item.Stop(); });

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize); // not resizable
    layout->addWidget(Fields);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btPreview);
    buttons->addWidget(btStop);
    buttons->addStretch(1);
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    layout->addLayout(buttons);

    setTabOrder(btCancel, Fields->First());
    setTabOrder(Fields->Last(), btPreview);
    setTabOrder(btPreview, btStop);
    setTabOrder(btStop, btOK);
    btCancel->setFocus();
}

void TfmEventProperties::showEvent(QShowEvent *event)
{
    Fields->Load(Item);
    UpdateButtons();
    QDialog::showEvent(event);
}

void TfmEventProperties::UpdateButtons()
{
    btPreview->setEnabled(Item.Status() == csStopped && QFileInfo(Item.AudioFile).isFile());
    btStop->setEnabled(Item.Status() == csPlaying);
}

void TfmEventProperties::done(int result)
{
    Item.Stop();
    QDialog::done(result);
}
