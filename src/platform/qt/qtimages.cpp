#include "platform/qt/qtimages.h"

namespace platform::qt {

QString resourcepath(const std::string& name) {
    const QString n = QString::fromStdString(name);
    if (n.startsWith(QLatin1String(":/"))) return n;
    if (n.contains(QLatin1Char('.'))) return QStringLiteral(":/") + n;
    return QStringLiteral(":/") + n + QStringLiteral(".png");
}

QPixmap listpicture(const ImageList* list, int index) {
    if (!list || !list->valid(index)) return {};
    return namedpicture(list->resourcename(index));
}

QPixmap namedpicture(const std::string& name) {
    if (name.empty()) return {};
    return QPixmap(resourcepath(name));
}

QIcon listicon(const ImageList* list, int index) {
    QPixmap p = listpicture(list, index);
    return p.isNull() ? QIcon() : QIcon(p);
}

}  // namespace platform::qt
