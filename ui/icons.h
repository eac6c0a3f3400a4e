#pragma once
// The program's toolbar and menu images, and its application icon.

#include <QIcon>

enum class Img { Exit, Settings, About, NewEvent, DeleteEvent, EditEvent, Pause, Play, StopPreview, StopAll };

// The desktop theme's icon for the image when it has one, ours otherwise.
QIcon TavolinImage(Img which);

QIcon TavolinAppIcon();

// Registers the bundled images. The two functions above call it; call it
// yourself only to load ":/icons/..." paths directly.
void InitTavolinResources();
