#pragma once
// Reading and writing single values of the schedule file: integers in
// decimal, booleans as "-1" and "0", strings with their CR LF pairs written
// as "&#xD;". Number and boolean readers never fail: an absent or malformed
// value gives the caller's default.

#include <QString>

#include <pugixml.hpp>

#include <cstdint>
#include <optional>

// The first child of Node, of any kind, whose name is Name; null if none.
pugi::xml_node FindChild(pugi::xml_node Node, const char *Name);

QString EncodeLineBreaks(const QString &Text);
QString DecodeLineBreaks(const QString &Text);

// Append a child element holding the value; false when that failed.
bool WriteIntElement(pugi::xml_node Node, const char *Name, int32_t Value);
bool WriteBoolElement(pugi::xml_node Node, const char *Name, bool Value);
// Read the text of the first child named Name.
int32_t ReadIntElement(pugi::xml_node Node, const char *Name, int32_t Default);
bool ReadBoolElement(pugi::xml_node Node, const char *Name, bool Default);

// Add an attribute after those already there.
void WriteIntAttribute(pugi::xml_node Node, const char *Name, int32_t Value);
void WriteBoolAttribute(pugi::xml_node Node, const char *Name, bool Value);
void WriteStrAttribute(pugi::xml_node Node, const char *Name, const QString &Value);
// A node that is no element carries no attributes.
int32_t ReadIntAttribute(pugi::xml_node Node, const char *Name, int32_t Default);
bool ReadBoolAttribute(pugi::xml_node Node, const char *Name, bool Default);
QString ReadStrAttribute(pugi::xml_node Node, const char *Name, const QString &Default);

// The text forms, exposed for the tests.
// Blanks before, none after; an optional sign; decimal digits within the
// signed 32-bit range, or up to 32 bits of hexadecimal after "$", "x" or "0x".
std::optional<int32_t> ParseXmlInt(QStringView Text);
// A number (zero is false), else "True" or "False" in any letter case.
std::optional<bool> ParseXmlBool(QStringView Text);
