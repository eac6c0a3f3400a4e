#include "event_properties.h"

#include "icons.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// A label directly above its control, announced as the control's name.
// `field` is what stands under the label, when more than the control.
QWidget *labelled(const QString &caption, QWidget *control, QWidget *parent, QWidget *field = nullptr)
{
    auto *box = new QWidget(parent);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    auto *label = new QLabel(caption, box);
    label->setBuddy(control);
    control->setAccessibleName(QString(caption).remove(u'&'));
    layout->addWidget(label);
    layout->addWidget(field ? field : control);
    return box;
}

} // namespace

void AddDayPresets(QMenu *menu, const std::function<void(const bool (&)[7])> &apply)
{
    struct Preset {
        const char *caption;
        bool days[7];
    };
    static const Preset presets[] = {
        {"Clear", {false, false, false, false, false, false, false}},
        {"Every Day", {true, true, true, true, true, true, true}},
        {"Week Days", {true, true, true, true, true, false, false}},
        {"Weekend", {false, false, false, false, false, true, true}},
    };
    for (const Preset &p : presets)
        QObject::connect(menu->addAction(QString::fromLatin1(p.caption)), &QAction::triggered, menu,
                         [apply, &p] { apply(p.days); });
}

TfmEventProperties::TfmEventProperties(TOnStatusChange listener, QWidget *parent)
    : QDialog(parent), fListener(std::move(listener))
{
    setWindowTitle(QStringLiteral("Event Properties"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);

    btCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    edTime = new QTimeEdit(this);
    edTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    edTime->setWrapping(true);
    edName = new QLineEdit(this);
    edDaysOfWeek = new QGroupBox(QStringLiteral("Event Days"), this);
    edDaysOfWeek->setAccessibleName(QStringLiteral("Event Days"));
    auto *days = new QHBoxLayout(edDaysOfWeek);
    static const char *const names[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    for (int i = 0; i < 7; ++i) {
        edDay[i] = new QCheckBox(QString::fromLatin1(names[i]), edDaysOfWeek);
        days->addWidget(edDay[i]);
    }
    pmDaysOfWeek = new QMenu(this);
    AddDayPresets(pmDaysOfWeek, [this](const bool (&d)[7]) { SetDays(d); });
    edDaysOfWeek->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(edDaysOfWeek, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { pmDaysOfWeek->popup(edDaysOfWeek->mapToGlobal(at)); });

    edAudioFile = new QLineEdit(this);
    btBrowse = new QToolButton(this);
    btBrowse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    btBrowse->setToolTip(QStringLiteral("Choose audio file for this event"));
    btBrowse->setAccessibleName(QStringLiteral("Browse"));
    connect(btBrowse, &QToolButton::clicked, this, &TfmEventProperties::BrowseForFile);
    auto *fileRow = new QWidget(this);
    auto *fileLayout = new QHBoxLayout(fileRow);
    fileLayout->setContentsMargins(0, 0, 0, 0);
    fileLayout->setSpacing(2);
    fileLayout->addWidget(edAudioFile, 1);
    fileLayout->addWidget(btBrowse);
    connect(edAudioFile, &QLineEdit::textChanged, this, [this](const QString &text) {
        Item.AudioFile = text; // the preview always plays what the edit names
        UpdateButtons();
    });

    btPreview = new QPushButton(TavolinImage(Img::Play), QStringLiteral("Preview"), this);
    btStop = new QPushButton(TavolinImage(Img::StopPreview), QStringLiteral("Stop"), this);
    btOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    btOK->setDefault(true);
    for (QPushButton *b : {btCancel, btPreview, btStop})
        b->setAutoDefault(false);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btOK, &QPushButton::clicked, this, [this] {
        ControlsToItem();
        accept();
    });
    connect(btPreview, &QPushButton::clicked, this, [this] {
        Item.SetOnStatusChange(fListener);
        Item.Play();
    });
    connect(btStop, &QPushButton::clicked, this, [this] { Item.Stop(); });

    auto *grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize); // not resizable
    grid->addWidget(labelled(QStringLiteral("Event &Time"), edTime, this), 0, 0);
    grid->addWidget(labelled(QStringLiteral("Event &Name"), edName, this), 0, 1, 1, 3);
    grid->addWidget(edDaysOfWeek, 1, 0, 1, 4);
    grid->addWidget(labelled(QStringLiteral("&Audio File"), edAudioFile, this, fileRow), 2, 0, 1, 4);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btPreview);
    buttons->addWidget(btStop);
    buttons->addStretch(1);
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    grid->addLayout(buttons, 3, 0, 1, 4);
    edName->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 36);

    setTabOrder(btCancel, edTime);
    setTabOrder(edTime, edName);
    setTabOrder(edName, edDay[0]);
    for (int i = 0; i < 6; ++i)
        setTabOrder(edDay[i], edDay[i + 1]);
    setTabOrder(edDay[6], edAudioFile);
    setTabOrder(edAudioFile, btBrowse);
    setTabOrder(btBrowse, btPreview);
    setTabOrder(btPreview, btStop);
    setTabOrder(btStop, btOK);
    btCancel->setFocus();
}

void TfmEventProperties::showEvent(QShowEvent *event)
{
    ItemToControls();
    UpdateButtons();
    QDialog::showEvent(event);
}

void TfmEventProperties::ItemToControls()
{
    // A time past the day (only from a hand-edited file) shows as midnight.
    const uint32_t t = Item.TimeSeconds < kSecondsPerDay ? Item.TimeSeconds : 0;
    edTime->setTime(QTime::fromMSecsSinceStartOfDay(int(t) * 1000));
    edName->setText(Item.Name());
    const bool days[7] = {Item.Mon, Item.Tue, Item.Wed, Item.Thu, Item.Fri, Item.Sat, Item.Sun};
    SetDays(days);
    edAudioFile->setText(Item.AudioFile);
}

void TfmEventProperties::ControlsToItem()
{
    Item.TimeSeconds = uint32_t(edTime->time().msecsSinceStartOfDay() / 1000);
    Item.SetName(edName->text());
    bool *flags[7] = {&Item.Mon, &Item.Tue, &Item.Wed, &Item.Thu, &Item.Fri, &Item.Sat, &Item.Sun};
    for (int i = 0; i < 7; ++i)
        *flags[i] = edDay[i]->isChecked();
    Item.AudioFile = edAudioFile->text();
}

void TfmEventProperties::SetDays(const bool (&days)[7])
{
    for (int i = 0; i < 7; ++i)
        edDay[i]->setChecked(days[i]);
}

void TfmEventProperties::UpdateButtons()
{
    btPreview->setEnabled(Item.Status() == csStopped && QFileInfo(Item.AudioFile).isFile());
    btStop->setEnabled(Item.Status() == csPlaying);
}

void TfmEventProperties::BrowseForFile()
{
    QString start = edAudioFile->text();
    while (start.endsWith(u'\\') || start.endsWith(u'/'))
        start.chop(1);
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("Choose audio file for this event"), start,
        QStringLiteral("Audio Files (*.wav *.mp3 *.wma *.flac *.mp4)"));
    if (!chosen.isEmpty())
        edAudioFile->setText(chosen);
}

// Every way of closing comes here: no preview outlives the dialog.
void TfmEventProperties::done(int result)
{
    Item.Stop();
    QDialog::done(result);
}
