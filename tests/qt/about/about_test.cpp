// The about box on the Qt backend: a fresh box from the Help menu each time, our logo rippling
// at the picture's size, and every way of closing destroys the box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/qt/qtbackend.h"
#include "platform/qt/qtformview.h"
#include "shell/formabout.h"
#include "shell/mainfram.h"

// The pictures live in korvin_qt, a static library: its resources are registered by hand.
static void registerpictures() {
    Q_INIT_RESOURCE(resources);
}

namespace {

int argc = 1;
char name[] = "qttest_about";
char* argv[] = {name, nullptr};

struct Shown {
    QPointer<QDialog> window;
    TForm_about* box = nullptr;
    QSize logo;
    QPointer<QTimer> ripple;  // the box's step timer, deleted with the box
    bool rippling = false;
};

// What the Help menu's box looks like while it runs modally; `close` then ends it.
Shown openfrommenu(platform::qt::QtBackend& be, Tmainform& main,
                   const std::function<void(QDialog&, TForm_about&)>& close) {
    Shown s;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        s.window = d;
        for (QObject* o : d->children())
            if (auto* v = dynamic_cast<platform::qt::FormView*>(o))
                s.box = dynamic_cast<TForm_about*>(v->form());
        if (auto* logo = d->findChild<QWidget*>("wi1")) s.logo = logo->size();
        if (!s.box) return d->reject();
        s.ripple = be.timerhost().qtimer(s.box->wi1.timer);
        s.rippling = s.ripple && s.ripple->isActive();
        close(*d, *s.box);
    });
    // Only if the box never showed: the test then fails instead of hanging.
    QTimer::singleShot(5000, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
    main.mniAbout1.click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return s;
}

TEST(AboutBox, EachOpeningIsAFreshBoxDestroyedWhenClosed) {
    platform::qt::QtBackend be(argc, argv);
    registerpictures();
    {
        Tmainform main;
        main.aboutopener = openaboutbox;
        bool stirred = false;
        const Shown first = openfrommenu(be, main, [&stirred](QDialog& d, TForm_about& box) {
            auto* logo = d.findChild<QWidget*>("wi1");
            box.wi1.autodrops = false;
            QTest::mousePress(logo, Qt::LeftButton, {}, QPoint(40, 30));
            stirred = !box.wi1.atrest();
            logo->grab();  // a frame rendered through the model
            QTest::mouseClick(d.findChild<QPushButton*>("btn_1"), Qt::LeftButton);
        });
        EXPECT_TRUE(stirred);
        const Shown second = openfrommenu(be, main, [](QDialog& d, TForm_about&) { d.close(); });
        for (const Shown* s : {&first, &second}) {
            ASSERT_NE(s->box, nullptr);
            EXPECT_TRUE(s->rippling);
            EXPECT_EQ(s->logo, QSize(82, 59));  // the control takes the picture's size
            EXPECT_TRUE(s->window.isNull());
            EXPECT_TRUE(s->ripple.isNull());  // the box and its timer are gone
        }
    }
}

}  // namespace
