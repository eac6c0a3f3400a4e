#include "xml_functions.h"

#include <QLocale>

#include <cstring>

namespace {

const QString kEncodedBreak = QStringLiteral("&#xD;");
const QString kBreak = QStringLiteral("\r\n");

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// The text of an element: empty without children, the one text or CDATA
// child's text, otherwise nothing.
std::optional<QString> elementText(pugi::xml_node e)
{
    pugi::xml_node first = e.first_child();
    if (!first)
        return QString();
    if (first.next_sibling() ||
        (first.type() != pugi::node_pcdata && first.type() != pugi::node_cdata))
        return std::nullopt;
    return text(first.value());
}

// Only elements carry attributes.
pugi::xml_attribute attributeOf(pugi::xml_node node, const char *name)
{
    return node.type() == pugi::node_element ? node.attribute(name) : pugi::xml_attribute();
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// A plain decimal fraction, "1.5" or "-.25", with "." or the user's decimal
// separator. Answers whether it is one, and whether it is zero.
std::optional<bool> parseFractionIsZero(QStringView t)
{
    qsizetype i = 0;
    while (i < t.size() && t[i] == u' ')
        ++i;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        ++i;
    const QString separator = QLocale().decimalPoint();
    bool digits = false, zero = true, point = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c.unicode() >= u'0' && c.unicode() <= u'9') {
            digits = true;
            zero = zero && c == u'0';
        } else if (!point && (c == u'.' || QStringView(t).mid(i).startsWith(separator))) {
            point = true;
            if (c != u'.')
                i += separator.size() - 1;
        } else {
            return std::nullopt;
        }
    }
    if (!digits)
        return std::nullopt;
    return zero;
}

} // namespace

pugi::xml_node FindChild(pugi::xml_node Node, const char *Name)
{
    for (pugi::xml_node c = Node.first_child(); c; c = c.next_sibling())
        if (std::strcmp(c.name(), Name) == 0)
            return c;
    return {};
}

std::optional<int32_t> ParseXmlInt(QStringView t)
{
    qsizetype i = 0;
    while (i < t.size() && t[i] == u' ')
        ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
        negative = t[i] == u'-';
        ++i;
    }
    bool hex = false;
    if (i < t.size() && t[i] == u'$') {
        hex = true;
        ++i;
    } else if (i < t.size() && (t[i] == u'x' || t[i] == u'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < t.size() && t[i] == u'0' && (t[i + 1] == u'x' || t[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i >= t.size())
        return std::nullopt;

    uint64_t value = 0;
    const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
    for (; i < t.size(); ++i) {
        const int d = hex ? hexDigit(t[i]) : (t[i].unicode() >= u'0' && t[i].unicode() <= u'9'
                                                  ? t[i].unicode() - u'0'
                                                  : -1);
        if (d < 0)
            return std::nullopt;
        value = value * (hex ? 16 : 10) + uint64_t(d);
        if (value > limit)
            return std::nullopt;
    }
    // Two's complement: a hexadecimal value may use the sign bit.
    const uint32_t bits = negative ? uint32_t(0u - uint32_t(value)) : uint32_t(value);
    return int32_t(bits);
}

std::optional<bool> ParseXmlBool(QStringView t)
{
    if (const auto n = ParseXmlInt(t))
        return *n != 0;
    if (const auto zero = parseFractionIsZero(t))
        return !*zero;
    if (t.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

QString EncodeLineBreaks(const QString &Text)
{
    QString out = Text;
    return out.replace(kBreak, kEncodedBreak);
}

QString DecodeLineBreaks(const QString &Text)
{
    QString out = Text;
    return out.replace(kEncodedBreak, kBreak, Qt::CaseSensitive);
}

bool WriteIntElement(pugi::xml_node Node, const char *Name, int32_t Value)
{
    pugi::xml_node e = Node.append_child(Name);
    return e && e.text().set(QByteArray::number(Value).constData());
}

bool WriteBoolElement(pugi::xml_node Node, const char *Name, bool Value)
{
    pugi::xml_node e = Node.append_child(Name);
    return e && e.text().set(Value ? "-1" : "0");
}

int32_t ReadIntElement(pugi::xml_node Node, const char *Name, int32_t Default)
{
    pugi::xml_node e = FindChild(Node, Name);
    if (!e)
        return Default;
    const auto t = elementText(e);
    const auto v = t ? ParseXmlInt(*t) : std::nullopt;
    return v.value_or(Default);
}

bool ReadBoolElement(pugi::xml_node Node, const char *Name, bool Default)
{
    pugi::xml_node e = FindChild(Node, Name);
    if (!e)
        return Default;
    const auto t = elementText(e);
    const auto v = t ? ParseXmlBool(*t) : std::nullopt;
    return v.value_or(Default);
}

void WriteIntAttribute(pugi::xml_node Node, const char *Name, int32_t Value)
{
    Node.append_attribute(Name).set_value(QByteArray::number(Value).constData());
}

void WriteBoolAttribute(pugi::xml_node Node, const char *Name, bool Value)
{
    Node.append_attribute(Name).set_value(Value ? "-1" : "0");
}

void WriteStrAttribute(pugi::xml_node Node, const char *Name, const QString &Value)
{
    Node.append_attribute(Name).set_value(EncodeLineBreaks(Value).toUtf8().constData());
}

int32_t ReadIntAttribute(pugi::xml_node Node, const char *Name, int32_t Default)
{
    pugi::xml_attribute a = attributeOf(Node, Name);
    if (!a)
        return Default;
    return ParseXmlInt(text(a.value())).value_or(Default);
}

bool ReadBoolAttribute(pugi::xml_node Node, const char *Name, bool Default)
{
    pugi::xml_attribute a = attributeOf(Node, Name);
    if (!a)
        return Default;
    return ParseXmlBool(text(a.value())).value_or(Default);
}

QString ReadStrAttribute(pugi::xml_node Node, const char *Name, const QString &Default)
{
    pugi::xml_attribute a = attributeOf(Node, Name);
    if (!a)
        return Default;
    return DecodeLineBreaks(text(a.value()));
}
