// Pictures for image lists and named resources. An image list entry "<prefix><index>" and a
// resource name "logo" both load ":/<name>.png" from the compiled-in resources; a name that
// already starts with ":/" or carries an extension is taken as it is. A missing picture is a
// null pixmap, shown as nothing.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <string>

#include "platform/component.h"

namespace platform::qt {

QString resourcepath(const std::string& name);
QPixmap listpicture(const ImageList* list, int index);
QPixmap namedpicture(const std::string& name);
QIcon listicon(const ImageList* list, int index);

}  // namespace platform::qt
