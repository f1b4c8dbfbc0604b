#include "platform/qt/qtbackend.h"

#include "platform/chartexport.h"

#include <QMetaObject>

#include "platform/fixedlocale.h"
#include "platform/qt/chartjpeg.h"
#include "platform/qt/core/qtsocket.h"
#include "platform/qt/qtformview.h"

namespace platform::qt {

QtBackend::QtBackend(int& argc, char** argv) {
    if (!QCoreApplication::instance()) app_ = std::make_unique<QApplication>(argc, argv);
    keepfixednumbersandtexts();  // the application object took the locale from the environment
    setbackend(this);
    setchartexporter(&qt::grabchartjpeg);
}

QtBackend::~QtBackend() {
    setchartexporter(nullptr);
    for (auto& [form, view] : views_) view->detach();
    views_.clear();
    for (auto& w : windows_) delete w.data();
    windows_.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    setbackend(nullptr);
}

std::unique_ptr<ClientSocket> QtBackend::createsocket() {
    return std::make_unique<QtClientSocket>();
}

FormView* QtBackend::open(Form& f, bool modal) {
    auto* v = new FormView(f, modal, [this](FormView& gone) { forget(gone); });
    views_[&f] = v;
    windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                  [](const QPointer<QWidget>& w) { return w.isNull(); }),
                   windows_.end());
    windows_.emplace_back(v->window());
    return v;
}

// The model is gone (or has closed): its window goes at the next turn of the event loop.
void QtBackend::forget(FormView& v) {
    for (auto it = views_.begin(); it != views_.end(); ++it) {
        if (it->second == &v) {
            views_.erase(it);
            break;
        }
    }
    if (auto* d = v.dialog()) d->done(0);
    v.window()->hide();
    v.window()->deleteLater();
}

void QtBackend::showmodal(Form& f) {
    if (views_.count(&f)) return;
    FormView* v = open(f, true);
    QPointer<QDialog> d = v->dialog();
    v->present();
    d->exec();
    // The loop has ended: no handler of this window is running any more.
    if (d) {
        auto it = views_.find(&f);
        if (it != views_.end() && it->second == v) {
            // Ended from outside the close path: detach all the same.
            v->detach();
            views_.erase(it);
        }
        delete d.data();
    }
}

void QtBackend::show(Form& f) {
    auto it = views_.find(&f);
    FormView* v = it != views_.end() ? it->second : open(f, false);
    v->present();
    v->window()->raise();
}

void QtBackend::closed(Form& f) {
    auto it = views_.find(&f);
    if (it == views_.end()) return;
    FormView* v = it->second;
    v->detach();
    forget(*v);
    if (&f == mainform_) QCoreApplication::quit();
}

void QtBackend::post(std::function<void()> fn) {
    // A queued call: safe from a worker thread, and the caller does not wait for it.
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

QWidget* QtBackend::window(const Form& f) const {
    auto it = views_.find(&f);
    return it == views_.end() ? nullptr : it->second->window();
}

int QtBackend::run(Form& mainform) {
    mainform_ = &mainform;
    mainform.show();
    const int rc = mainform.closed() ? 0 : QApplication::exec();
    mainform_ = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return rc;
}

}  // namespace platform::qt
