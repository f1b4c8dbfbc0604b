#include "platform/qt/core/qtcorebackend.h"

#include <QMetaObject>

#include "platform/fixedlocale.h"
#include "platform/qt/core/qtsocket.h"

namespace platform::qt {

QtCoreBackend::QtCoreBackend(int& argc, char** argv) {
    if (!QCoreApplication::instance()) app_ = std::make_unique<QCoreApplication>(argc, argv);
    keepfixednumbersandtexts();  // the application object took the locale from the environment
    setbackend(this);
}

QtCoreBackend::~QtCoreBackend() {
    setbackend(nullptr);
}

std::unique_ptr<ClientSocket> QtCoreBackend::createsocket() {
    return std::make_unique<QtClientSocket>();
}

void QtCoreBackend::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

int QtCoreBackend::run() {
    return QCoreApplication::exec();
}

void QtCoreBackend::quit() {
    QCoreApplication::quit();
}

}  // namespace platform::qt
