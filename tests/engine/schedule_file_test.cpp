// settings.xml: saving, loading, the layout, defaults, and never losing it.

#include "recording_backend.h"
#include "schedule.h"
#include "settings_location.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray golden()
{
    return readAll(QStringLiteral(TAVOLIN_TEST_DATA "/settings.xml"));
}

// What a schedule holds, in one comparable value.
struct Snapshot {
    std::vector<int32_t> geometry;
    int32_t device;
    bool minimise, startMinimised;
    std::vector<std::tuple<uint32_t, QString, QString, QString, int32_t>> events; // time, name, days, file, device
    std::tuple<uint32_t, QString, QString, QString, int32_t> defaults;
    bool operator==(const Snapshot &) const = default;
};

auto eventOf(const TEvent &e)
{
    QString days;
    for (bool d : {e.Mon, e.Tue, e.Wed, e.Thu, e.Fri, e.Sat, e.Sun})
        days += d ? u'x' : u'-';
    return std::make_tuple(e.TimeSeconds, e.Name(), days, e.AudioFile, e.AudioDevice);
}

Snapshot snapshot(const TSchedule &s)
{
    Snapshot r{{s.MainFormPos.Top, s.MainFormPos.Left, s.MainFormPos.Height, s.MainFormPos.Width},
               s.AudioDevice(), s.MinimiseToTray, s.StartMinimised, {}, eventOf(s.Defaults)};
    for (int i = 0; i < s.Events.Count(); ++i)
        r.events.push_back(eventOf(*s.Events.Items(i)));
    return r;
}

class ScheduleFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("settings.xml"));
    }

    // Every member set to something other than its default; events unsorted.
    void fill(TSchedule &s)
    {
        s.MainFormPos = {120, 80, 480, 900};
        s.MinimiseToTray = true;
        s.Defaults.TimeSeconds = 28800;
        s.Defaults.SetName(QStringLiteral("Bell"));
        s.Defaults.Mon = s.Defaults.Tue = s.Defaults.Wed = s.Defaults.Thu = s.Defaults.Fri = true;
        s.Defaults.AudioFile = QStringLiteral("/home/ana/Sounds/bell.wav");
        auto add = [&](uint32_t t, const QString &name, const char *days, const QString &file) {
            auto e = std::make_unique<TEvent>();
            e->TimeSeconds = t;
            e->SetName(name);
            bool *flags[] = {&e->Mon, &e->Tue, &e->Wed, &e->Thu, &e->Fri, &e->Sat, &e->Sun};
            for (int i = 0; i < 7; ++i)
                *flags[i] = days[i] != '-';
            e->AudioFile = file;
            s.Events.Add(std::move(e));
        };
        add(43200, QStringLiteral("Lunch & break\r\nsecond line"), "MTWTF--",
            QStringLiteral("/home/ana/Sounds/lunch break.mp3"));
        add(28800, QString::fromUtf16(u"\u0417\u0432\u043e\u043d\u043e\u043a \u00ab\u0443\u0442\u0440\u043e\u00bb"),
            "M-W-FS-", QString::fromUtf16(u"/home/ana/\u0417\u0432\u0443\u043a\u0438/\u0443\u0442\u0440\u043e.flac"));
        add(86400, QString(), "-------", QStringLiteral("C:\\Sounds\\old.wav "));
        s.SetAudioDevice(2);
    }

    std::unique_ptr<TSchedule> loaded(const QByteArray &bytes)
    {
        writeAll(path, bytes);
        auto s = std::make_unique<TSchedule>(&clock);
        s->FileName = path;
        s->LoadFromFile();
        return s;
    }

    RecordingAudioBackend audio;
    ManualClock clock{QDateTime(QDate(2026, 12, 7), QTime(3, 0))};
    QTemporaryDir dir;
    QString path;
};

TEST_F(ScheduleFileTest, SavingAndLoadingGivesEverythingBackInListOrder)
{
    TSchedule saved(&clock);
    fill(saved);
    saved.FileName = path;
    saved.SaveToFile();

    TSchedule back(&clock);
    back.FileName = path;
    back.LoadFromFile();
    EXPECT_EQ(snapshot(back), snapshot(saved));
    EXPECT_EQ(back.Events.Items(0)->Name(), QStringLiteral("Lunch & break\r\nsecond line"));
    EXPECT_EQ(back.Events.Items(2)->AudioFile, QStringLiteral("C:\\Sounds\\old.wav ")) << "paths keep blanks";
    EXPECT_EQ(back.Defaults.AudioDevice, 0) << "the defaults' device is not stored";
    EXPECT_EQ(back.Events.Items(0)->UID(), -1) << "loading does not number";
}

TEST_F(ScheduleFileTest, TheWrittenFileHasItsExactLayout)
{
    TSchedule s(&clock);
    fill(s);
    s.FileName = path;
    s.SaveToFile();
    EXPECT_EQ(readAll(path), golden());

    TSchedule fresh(&clock);
    EXPECT_TRUE(fresh.ToBytes().contains("  <Events />\r\n</Schedule>\r\n"));
    EXPECT_EQ(snapshot(*loaded(fresh.ToBytes())).events.size(), 0u);
}

TEST_F(ScheduleFileTest, HandWrittenFilesReadTheSame)
{
    const QByteArray lf = QByteArray(golden()).replace("\r\n", "\n");
    struct Case {
        const char *what;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"LF line ends", lf},
        {"a byte-order mark", "\xEF\xBB\xBF" + golden()},
        {"blank lines and tabs", QByteArray(lf).replace("\n", "\n\n\t")},
        {"no declaration", lf.mid(lf.indexOf('\n') + 1)},
        {"no line breaks at all", QByteArray(lf).replace("\n", "")},
        {"empty elements written out",
         QByteArray(lf).replace("900\" />", "900\"></Window>")},
    };
    TSchedule reference(&clock);
    fill(reference);
    for (const Case &c : cases)
        EXPECT_EQ(snapshot(*loaded(c.bytes)), snapshot(reference)) << c.what;
}

TEST_F(ScheduleFileTest, MissingAndMalformedValuesTakeTheirDefaults)
{
    using Check = std::function<void(const TSchedule &)>;
    struct Case {
        const char *what;
        const char *xml;
        Check check;
    };
    const auto one = [](const TSchedule &s) { return eventOf(*s.Events.Items(0)); };
    const auto noFile = std::make_tuple(0u, QString(), QStringLiteral("xxxxx--"), QString(), 0);
    const Case cases[] = {
        {"another root name", "<Plan><Settings><AudioDevice>3</AudioDevice></Settings><Events><Event TimeSeconds=\"5\"/></Events></Plan>",
         [](const TSchedule &s) { EXPECT_EQ(s.AudioDevice(), 3); EXPECT_EQ(s.Events.Count(), 1); }},
        {"other child names under Events", "<Schedule><Events><Bell TimeSeconds=\"1\"/><Event TimeSeconds=\"2\"/></Events></Schedule>",
         [](const TSchedule &s) { ASSERT_EQ(s.Events.Count(), 2); EXPECT_EQ(s.Events.Items(0)->TimeSeconds, 1u); }},
        {"a comment under Events", "<Schedule><Events><!-- note --></Events></Schedule>",
         [&](const TSchedule &s) { ASSERT_EQ(s.Events.Count(), 1); EXPECT_EQ(one(s), noFile); }},
        {"text under Events", "<Schedule><Events>stray</Events></Schedule>",
         [&](const TSchedule &s) { ASSERT_EQ(s.Events.Count(), 1); EXPECT_EQ(one(s), noFile); }},
        {"two Events: the first counts", "<Schedule><Events><Event/></Events><Events><Event/><Event/></Events></Schedule>",
         [](const TSchedule &s) { EXPECT_EQ(s.Events.Count(), 1); }},
        {"two Settings: the first counts", "<Schedule><Settings><AudioDevice>1</AudioDevice></Settings><Settings><AudioDevice>4</AudioDevice></Settings></Schedule>",
         [](const TSchedule &s) { EXPECT_EQ(s.AudioDevice(), 1); }},
        {"Window with only Top and Left", "<Schedule><Settings><Window Top=\"5\" Left=\"6\"/></Settings></Schedule>",
         [](const TSchedule &s) { EXPECT_EQ(std::vector<int32_t>({s.MainFormPos.Top, s.MainFormPos.Left, s.MainFormPos.Height, s.MainFormPos.Width}), std::vector<int32_t>({5, 6, 300, 700})); }},
        {"no Window", "<Schedule><Settings/></Schedule>",
         [](const TSchedule &s) { EXPECT_EQ(s.MainFormPos.Height, 0); EXPECT_EQ(s.MainFormPos.Width, 0); }},
        {"times of 86400 and -1", "<Schedule><Events><Event TimeSeconds=\"86400\"/><Event TimeSeconds=\"-1\"/></Events></Schedule>",
         [](const TSchedule &s) { EXPECT_EQ(s.Events.Items(0)->TimeSeconds, 86400u); EXPECT_EQ(s.Events.Items(1)->TimeSeconds, 4294967295u); }},
        {"AudioDevice of -1 reaches the events", "<Schedule><Settings><AudioDevice>-1</AudioDevice></Settings><Events><Event/></Events></Schedule>",
         [](const TSchedule &s) { EXPECT_EQ(s.AudioDevice(), -1); EXPECT_EQ(s.Events.Items(0)->AudioDevice, -1); }},
        {"malformed settings take their defaults", "<Schedule><Settings><AudioDevice>two</AudioDevice><MinimiseToTray>yes</MinimiseToTray><StartMinimised>TRUE</StartMinimised></Settings></Schedule>",
         [](const TSchedule &s) { EXPECT_EQ(s.AudioDevice(), 0); EXPECT_FALSE(s.MinimiseToTray); EXPECT_TRUE(s.StartMinimised); }},
        {"settings as CDATA or nested", "<Schedule><Settings><AudioDevice><![CDATA[3]]></AudioDevice><MinimiseToTray><b>-1</b></MinimiseToTray></Settings></Schedule>",
         [](const TSchedule &s) { EXPECT_EQ(s.AudioDevice(), 3); EXPECT_FALSE(s.MinimiseToTray); }},
        {"an event without weekdays or time", "<Schedule><Events><Event Name=\"x\" Sat=\"-1\" Mon=\"maybe\"/></Events></Schedule>",
         [&](const TSchedule &s) { EXPECT_EQ(one(s), std::make_tuple(0u, QStringLiteral("x"), QStringLiteral("xxxxxx-"), QString(), 0)); }},
        {"names trimmed, paths not", "<Schedule><Events><Event Name=\"&#9;  Bell &#10;\" AudioFile=\" /a b.wav \"/></Events></Schedule>",
         [](const TSchedule &s) { EXPECT_EQ(s.Events.Items(0)->Name(), QStringLiteral("Bell")); EXPECT_EQ(s.Events.Items(0)->AudioFile, QStringLiteral(" /a b.wav ")); }},
        {"Settings without Defaults", "<Schedule><Settings><AudioDevice>1</AudioDevice></Settings></Schedule>",
         [](const TSchedule &s) { EXPECT_EQ(s.Defaults.TimeSeconds, 0u); EXPECT_FALSE(s.Defaults.Mon); }},
        {"Defaults read like events", "<Schedule><Settings><Defaults Name=\"New\"/></Settings></Schedule>",
         [](const TSchedule &s) { EXPECT_EQ(eventOf(s.Defaults), std::make_tuple(0u, QStringLiteral("New"), QStringLiteral("xxxxx--"), QString(), 0)); }},
        {"an empty Events", "<Schedule><Settings/><Events/></Schedule>",
         [](const TSchedule &s) { EXPECT_EQ(s.Events.Count(), 0); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.check(*loaded(QByteArray(c.xml)));
    }
}

TEST_F(ScheduleFileTest, LoadingAppendsAndNoFileChangesNothing)
{
    TSchedule s(&clock);
    s.FileName = dir.filePath(QStringLiteral("absent.xml"));
    s.LoadFromFile();
    EXPECT_EQ(s.Events.Count(), 0);
    EXPECT_FALSE(QFile::exists(s.FileName));

    writeAll(path, "<Schedule><Events><Event TimeSeconds=\"9\"/></Events></Schedule>");
    s.FileName = path;
    s.SetAudioDevice(5); // no Settings: the schedule's device reaches the new events
    s.LoadFromFile();
    s.LoadFromFile();
    ASSERT_EQ(s.Events.Count(), 2);
    EXPECT_EQ(s.Events.Items(1)->AudioDevice, 5);
}

TEST_F(ScheduleFileTest, AnUnreadableFileIsKeptAsideAndSaid)
{
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919) >> 3);
    struct Case {
        const char *what;
        QByteArray bytes;
        const char *says;
    };
    const Case cases[] = {
        {"not well-formed", "<Schedule>\r\n  <Settings>\r\n  </Setings>\r\n</Schedule>\r\n", "(line 3)"},
        {"binary", noise, "not UTF-8"},
        {"invalid UTF-8 in a name", "<Schedule>\n<Events><Event Name=\"\xC3\x28\"/></Events></Schedule>", "(line 2)"},
        {"empty", "", "line 1"},
        {"no root element", "<?xml version=\"1.0\"?>\n<!-- nothing -->\n", "line"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        writeAll(path, c.bytes);
        TSchedule s(&clock);
        s.FileName = path;
        QString message;
        try {
            s.LoadFromFile();
        } catch (const EFileError &e) {
            message = e.message();
        }
        EXPECT_TRUE(message.contains(path)) << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromLatin1(c.says))) << message.toStdString();
        EXPECT_EQ(s.Events.Count(), 0);
        EXPECT_FALSE(QFile::exists(path)) << "moved out of the next save's way";
        const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("settings.unreadable-*.xml")});
        ASSERT_EQ(aside.size(), 1);
        EXPECT_TRUE(message.contains(aside[0])) << "the message says where it went";
        EXPECT_EQ(readAll(dir.filePath(aside[0])), c.bytes) << "kept byte for byte";
    }
}

TEST_F(ScheduleFileTest, HostileDocumentsNeitherCrashNorHang)
{
    const QByteArray laughs =
        "<!DOCTYPE S [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
        "<Schedule><Events><Event Name=\"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"/></Events></Schedule>";
    const QByteArray external =
        "<!DOCTYPE S [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><Schedule><Events><Event Name=\"&x;\"/></Events></Schedule>";
    const QByteArray deep = QByteArray("<a>").repeated(200000) + QByteArray("</a>").repeated(200000);
    const QByteArray huge = "<Schedule><Events><Event Name=\"" + QByteArray(20 * 1024 * 1024, 'n') + "\"/></Events></Schedule>";
    for (const QByteArray &doc : {laughs, external, deep, huge}) {
        TSchedule s(&clock);
        try {
            s.LoadFromBytes(doc, path);
        } catch (const EFileError &) {
            continue; // refused with a message: fine
        }
        for (int i = 0; i < s.Events.Count(); ++i) {
            EXPECT_FALSE(s.Events.Items(i)->Name().contains(QStringLiteral("aaaaaaaaaaaaaaaaaaaa"))) << "no entity expanded";
            EXPECT_FALSE(s.Events.Items(i)->Name().contains(QStringLiteral("root:"))) << "no file pulled in";
        }
    }
}

TEST_F(ScheduleFileTest, AFailedSaveSaysWhyAndLeavesTheOldFile)
{
    writeAll(path, golden());
    TSchedule s(&clock);
    s.FileName = path;

    // A folder we may not write to. Root may write anywhere, so as root the
    // test takes a plain user's rights for the save.
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    QString message;
    try {
        s.SaveToFile();
    } catch (const EFileError &e) {
        message = e.message();
    }
    if (root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    EXPECT_TRUE(message.contains(path)) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("unchanged"))) << message.toStdString();
    EXPECT_EQ(readAll(path), golden());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "nothing left behind";

    s.FileName = dir.filePath(QStringLiteral("gone/settings.xml"));
    EXPECT_THROW(s.SaveToFile(), EFileError);
}

TEST_F(ScheduleFileTest, ASaveCutShortLeavesTheOldFileWhole)
{
    writeAll(path, golden());
    TSchedule s(&clock);
    s.FileName = path;
    // The process dies once the new file is complete, before it replaces the
    // old one: the worst moment for a save that writes in place.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            SetBeforeReplaceHook([](const QString &) { std::abort(); });
            s.SaveToFile();
        },
        "");
    EXPECT_EQ(readAll(path), golden());
}

TEST_F(ScheduleFileTest, SavingThroughALinkReplacesItsTarget)
{
    const QString target = dir.filePath(QStringLiteral("real.xml"));
    writeAll(target, "old");
    ASSERT_TRUE(QFile::link(target, path));
    TSchedule s(&clock);
    s.FileName = path;
    s.SaveToFile();
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    EXPECT_EQ(readAll(target), s.ToBytes());
}

TEST_F(ScheduleFileTest, TheSettingsFolderIsMadeUnderTheUsersConfigFolder)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    const QString folder = SettingsPath();
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_EQ(folder, dir.filePath(QStringLiteral("config/Kestrane/Tavolin/")));
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

} // namespace
