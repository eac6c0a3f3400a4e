// settings.xml: the whole schedule, read once at start-up and written whole.

#include "schedule.h"
#include "xml_functions.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr qint64 kMaxFileSize = 64ll * 1024 * 1024; // far beyond any real schedule

// Comments, processing instructions and non-blank text stay nodes; blank
// text between elements goes. No entity of a document type is expanded.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_declaration;

int lineAt(const QByteArray &bytes, qsizetype offset)
{
    return int(bytes.left(offset).count('\n')) + 1;
}

// Offset of the first byte that breaks UTF-8 (or is a NUL), or -1.
qsizetype firstBadByte(const QByteArray &b)
{
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData());
    const qsizetype n = b.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned c = p[i];
        int more;
        uint32_t cp;
        if (c == 0)
            return i;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            cp = c & 0x07;
        } else {
            return i;
        }
        for (int k = 1; k <= more; ++k) {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
                return i;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return i;
        i += more + 1;
    }
    return -1;
}

struct ByteWriter final : pugi::xml_writer {
    QByteArray out;
    void write(const void *data, size_t size) override
    {
        out.append(static_cast<const char *>(data), qsizetype(size));
    }
};

} // namespace

void TFormPos::ReadFromXML(pugi::xml_node Settings)
{
    const pugi::xml_node window = FindChild(Settings, "Window");
    if (!window)
        return;
    Top = ReadIntAttribute(window, "Top", 0);
    Left = ReadIntAttribute(window, "Left", 0);
    Height = ReadIntAttribute(window, "Height", 300);
    Width = ReadIntAttribute(window, "Width", 700);
}

void TFormPos::WriteToXML(pugi::xml_node Settings) const
{
    pugi::xml_node window = Settings.append_child("Window");
    WriteIntAttribute(window, "Top", Top);
    WriteIntAttribute(window, "Left", Left);
    WriteIntAttribute(window, "Height", Height);
    WriteIntAttribute(window, "Width", Width);
}

void TEvent::ReadFromXML(pugi::xml_node Node)
{
    // Stored as read: a negative time becomes its unsigned 32-bit value.
    TimeSeconds = uint32_t(ReadIntAttribute(Node, "TimeSeconds", 0));
    SetName(ReadStrAttribute(Node, "Name", QString()));
    Mon = ReadBoolAttribute(Node, "Mon", true);
    Tue = ReadBoolAttribute(Node, "Tue", true);
    Wed = ReadBoolAttribute(Node, "Wed", true);
    Thu = ReadBoolAttribute(Node, "Thu", true);
    Fri = ReadBoolAttribute(Node, "Fri", true);
    Sat = ReadBoolAttribute(Node, "Sat", false);
    Sun = ReadBoolAttribute(Node, "Sun", false);
    AudioFile = ReadStrAttribute(Node, "AudioFile", QString());
}

void TEvent::WriteToXML(pugi::xml_node Element) const
{
    WriteIntAttribute(Element, "TimeSeconds", int32_t(TimeSeconds));
    WriteStrAttribute(Element, "Name", fName);
    WriteBoolAttribute(Element, "Mon", Mon);
    WriteBoolAttribute(Element, "Tue", Tue);
    WriteBoolAttribute(Element, "Wed", Wed);
    WriteBoolAttribute(Element, "Thu", Thu);
    WriteBoolAttribute(Element, "Fri", Fri);
    WriteBoolAttribute(Element, "Sat", Sat);
    WriteBoolAttribute(Element, "Sun", Sun);
    WriteStrAttribute(Element, "AudioFile", AudioFile);
}

void TEventList::ReadFromXML(pugi::xml_node Root)
{
    const pugi::xml_node events = FindChild(Root, "Events");
    for (pugi::xml_node child = events.first_child(); child; child = child.next_sibling()) {
        auto e = std::make_unique<TEvent>();
        e->ReadFromXML(child);
        Add(std::move(e));
    }
}

void TEventList::WriteToXML(pugi::xml_node Root) const
{
    pugi::xml_node events = Root.append_child("Events");
    for (const auto &e : fItems)
        e->WriteToXML(events.append_child("Event"));
}

void TSchedule::ReadFromXML(pugi::xml_node Root)
{
    if (const pugi::xml_node settings = FindChild(Root, "Settings")) {
        MainFormPos.ReadFromXML(settings);
        SetAudioDevice(ReadIntElement(settings, "AudioDevice", 0));
        MinimiseToTray = ReadBoolElement(settings, "MinimiseToTray", false);
        StartMinimised = ReadBoolElement(settings, "StartMinimised", false);
        if (const pugi::xml_node defaults = FindChild(settings, "Defaults"))
            Defaults.ReadFromXML(defaults);
    }
    Events.ReadFromXML(Root);
    Events.UpdateAudioDevice(fAudioDevice);
}

void TSchedule::LoadFromBytes(const QByteArray &bytes, const QString &source)
{
    auto fail = [&](const QString &why, qsizetype offset) {
        throw EFileError(QStringLiteral("%1 is not a schedule Tavolin can read: %2 (line %3).")
                             .arg(source, why)
                             .arg(lineAt(bytes, offset)));
    };
    QByteArray text = bytes;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    if (const qsizetype bad = firstBadByte(text); bad >= 0)
        fail(QStringLiteral("it holds bytes that are not UTF-8 text"), bad + (bytes.size() - text.size()));

    pugi::xml_document doc;
    const pugi::xml_parse_result result =
        doc.load_buffer(text.constData(), size_t(text.size()), kParseOptions, pugi::encoding_utf8);
    if (!result)
        fail(QString::fromUtf8(result.description()), qsizetype(result.offset) + (bytes.size() - text.size()));
    const pugi::xml_node root = doc.document_element();
    if (!root)
        fail(QStringLiteral("it has no root element"), 0);
    ReadFromXML(root);
}

void TSchedule::LoadFromFile()
{
    const QFileInfo info(FileName);
    if (!info.exists())
        return;
    if (info.isDir())
        throw EFileError(QStringLiteral("%1 is a folder, not a schedule file.").arg(FileName));
    try {
        if (info.size() > kMaxFileSize)
            throw EFileError(QStringLiteral("%1 is too large to be a schedule (%2 bytes).")
                                 .arg(FileName)
                                 .arg(info.size()));
        QFile file(FileName);
        if (!file.open(QIODevice::ReadOnly))
            throw EFileError(QStringLiteral("%1 could not be read: %2.").arg(FileName, file.errorString()));
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw EFileError(QStringLiteral("%1 could not be read: %2.").arg(FileName, file.errorString()));
        LoadFromBytes(bytes, FileName);
    } catch (const EFileError &e) {
        // Keep it from the next save, which would replace it.
        const QString aside = KeepAside(FileName, QStringLiteral("unreadable"), QDateTime::currentDateTime());
        throw EFileError(e.message() + u' ' +
                         (aside.isEmpty()
                              ? QStringLiteral("It could not be moved aside either; copy it somewhere "
                                               "safe before Tavolin saves over it.")
                              : QStringLiteral("It has been kept as %1, and Tavolin starts with an "
                                               "empty schedule.")
                                    .arg(aside)));
    }
}

QByteArray TSchedule::ToBytes() const
{
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("UTF-8");
    pugi::xml_node root = doc.append_child("Schedule");
    pugi::xml_node settings = root.append_child("Settings");
    MainFormPos.WriteToXML(settings);
    WriteIntElement(settings, "AudioDevice", fAudioDevice);
    WriteBoolElement(settings, "MinimiseToTray", MinimiseToTray);
    WriteBoolElement(settings, "StartMinimised", StartMinimised);
    Defaults.WriteToXML(settings.append_child("Defaults"));
    Events.WriteToXML(root);

    ByteWriter writer;
    doc.save(writer, "  ", pugi::format_indent, pugi::encoding_utf8);
    // Every line break the writer makes is between tags: attribute values
    // carry theirs as character references, and element texts are numbers.
    return writer.out.replace("\n", "\r\n");
}

void TSchedule::SaveToFile()
{
    WriteFileAtomically(FileName, ToBytes());
}
