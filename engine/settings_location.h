#pragma once

#include <QString>

// The folder that holds settings.xml, with a trailing "/": the user's
// settings folder ($XDG_CONFIG_HOME, by default ~/.config; the roaming
// application-data folder on Windows), then Kestrane/Tavolin/. Created with
// its parents when missing; a failure shows later, when saving.
QString SettingsPath();
