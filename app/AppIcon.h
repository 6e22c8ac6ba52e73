#pragma once

#include <QIcon>

namespace pw::app {

// The application's mark, drawn here so that it shows without an image
// plugin: a page with lines of text and a red pen across its corner.
QIcon AppIcon();

}  // namespace pw::app
