#include "icons.h"

#include <QString>

#include <cstddef>
#include <iterator>
#include <mutex>

// Must sit outside any namespace: the macro declares the resource's own
// initialiser.
void InitTavolinResources()
{
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(tavolin_icons); });
}

namespace {

struct ImageNames {
    const char *theme;
    const char *file;
};

// Indexed by Img.
constexpr ImageNames kImages[] = {
    {"application-exit", "exit"},
    {"preferences-system", "settings"},
    {"help-about", "about"},
    {"list-add", "new-event"},
    {"list-remove", "delete-event"},
    {"document-properties", "edit-event"},
    {"media-playback-pause", "pause"},
    {"media-playback-start", "play"},
    {"media-playback-stop", "stop-preview"},
    {"process-stop", "stop-all"},
};
static_assert(std::size(kImages) == static_cast<std::size_t>(Img::StopAll) + 1);

QString Bundled(const char *file, int size)
{
    return QStringLiteral(":/icons/%1-%2.png").arg(QLatin1String(file)).arg(size);
}

} // namespace

// PNGs rather than the SVGs they come from: a QIcon reads SVG only through
// the Qt SVG plugins, which a plain Qt install lacks.
QIcon TavolinImage(Img which)
{
    InitTavolinResources();
    const ImageNames &names = kImages[static_cast<std::size_t>(which)];
    QIcon bundled;
    for (int size : {16, 32})
        bundled.addFile(Bundled(names.file, size), QSize(size, size));
    return QIcon::fromTheme(QLatin1String(names.theme), bundled);
}

QIcon TavolinAppIcon()
{
    InitTavolinResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(Bundled("tavolin", size), QSize(size, size));
    return icon;
}
