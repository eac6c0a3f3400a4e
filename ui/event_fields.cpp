#include "event_fields.h"

#include "global.h"
#include "project_classes.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
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

struct Preset {
    const char *caption;
    bool days[7];
};
const Preset kPresets[] = {
    {"Clear", {false, false, false, false, false, false, false}},
    {"Every Day", {true, true, true, true, true, true, true}},
    {"Week Days", {true, true, true, true, true, false, false}},
    {"Weekend", {false, false, false, false, false, true, true}},
};

} // namespace

TEventFields::TEventFields(QWidget *parent) : QWidget(parent)
{
    edTime = new QTimeEdit(this);
    edTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    edTime->setWrapping(true);
    edName = new QLineEdit(this);
    edName->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 36);

    edDaysOfWeek = new QGroupBox(QStringLiteral("Event Days"), this);
    edDaysOfWeek->setAccessibleName(QStringLiteral("Event Days"));
    auto *days = new QHBoxLayout(edDaysOfWeek);
    static const char *const names[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    for (int i = 0; i < 7; ++i) {
        edDay[i] = new QCheckBox(QString::fromLatin1(names[i]), edDaysOfWeek);
        days->addWidget(edDay[i]);
    }
    pmDaysOfWeek = new QMenu(this);
    for (const Preset &p : kPresets)
        connect(pmDaysOfWeek->addAction(QString::fromLatin1(p.caption)), &QAction::triggered, this,
                [this, &p] { SetDays(p.days); });
    edDaysOfWeek->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(edDaysOfWeek, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { pmDaysOfWeek->popup(edDaysOfWeek->mapToGlobal(at)); });

    edAudioFile = new QLineEdit(this);
    btBrowse = new QToolButton(this);
    btBrowse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    btBrowse->setToolTip(QStringLiteral("Choose audio file for this event"));
    btBrowse->setAccessibleName(QStringLiteral("Browse"));
    connect(btBrowse, &QToolButton::clicked, this, &TEventFields::BrowseForFile);
    auto *fileRow = new QWidget(this);
    auto *fileLayout = new QHBoxLayout(fileRow);
    fileLayout->setContentsMargins(0, 0, 0, 0);
    fileLayout->setSpacing(2);
    fileLayout->addWidget(edAudioFile, 1);
    fileLayout->addWidget(btBrowse);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(labelled(QStringLiteral("Event &Time"), edTime, this), 0, 0);
    grid->addWidget(labelled(QStringLiteral("Event &Name"), edName, this), 0, 1);
    grid->addWidget(edDaysOfWeek, 1, 0, 1, 2);
    grid->addWidget(labelled(QStringLiteral("&Audio File"), edAudioFile, this, fileRow), 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    setTabOrder(edTime, edName);
    setTabOrder(edName, edDay[0]);
    for (int i = 0; i < 6; ++i)
        setTabOrder(edDay[i], edDay[i + 1]);
    setTabOrder(edDay[6], edAudioFile);
    setTabOrder(edAudioFile, btBrowse);
}

QWidget *TEventFields::First() const
{
    return edTime;
}

QWidget *TEventFields::Last() const
{
    return btBrowse;
}

void TEventFields::Load(const TEvent &e)
{
    const uint32_t t = e.TimeSeconds < kSecondsPerDay ? e.TimeSeconds : 0;
    edTime->setTime(QTime::fromMSecsSinceStartOfDay(int(t) * 1000));
    edName->setText(e.Name());
    const bool days[7] = {e.Mon, e.Tue, e.Wed, e.Thu, e.Fri, e.Sat, e.Sun};
    SetDays(days);
    edAudioFile->setText(e.AudioFile);
}

void TEventFields::Store(TEvent &e) const
{
    e.TimeSeconds = uint32_t(edTime->time().msecsSinceStartOfDay() / 1000);
    e.SetName(edName->text());
    bool *flags[7] = {&e.Mon, &e.Tue, &e.Wed, &e.Thu, &e.Fri, &e.Sat, &e.Sun};
    for (int i = 0; i < 7; ++i)
        *flags[i] = edDay[i]->isChecked();
    e.AudioFile = edAudioFile->text();
}

void TEventFields::SetDays(const bool (&days)[7])
{
    for (int i = 0; i < 7; ++i)
        edDay[i]->setChecked(days[i]);
}

void TEventFields::BrowseForFile()
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
