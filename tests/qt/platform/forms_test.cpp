// Forms rendered by the Qt backend: model changes reach the widgets, user actions reach the
// models, and every way of closing takes the model's close path.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cctype>
#include <memory>

#include "platform/form.h"
#include "qtenv.h"

namespace {

using platform::CloseAction;

struct TestForm : platform::Form {
    platform::Button start{"start"};
    platform::Label note{"note"};
    platform::Edit number{"number"};
    platform::CheckBox keep{"keep"};
    platform::GroupBox box{"box"};
    platform::Button inner{"inner"};
    platform::StatusBar status{"status"};
    platform::MenuItem quit{"quit", "&Quit"};
    platform::MenuItem file{"file", "&File"};
    platform::Menu menu{"menu"};

    TestForm() : Form("testform") {
        clientwidth = 320;
        clientheight = 200;
        setcaption("Test");
        start.setcaption("&Start");
        start.setbounds(8, 8, 80, 25);
        note.setcaption("Save && load");
        number.setbounds(8, 40, 100, 21);
        keep.setcaption("Keep");
        keep.setbounds(8, 70, 100, 21);
        box.setbounds(150, 8, 150, 100);
        inner.setbounds(10, 20, 60, 25);
        inner.parent = &box;
        status.height = 19;
        status.panes = {{"text", 200, false}, {"clock", 100, true}};
        file.items = {&quit};
        menu.items = {&file};
        mainmenu = &menu;
        // The child comes before its box: the box must still be made first.
        add({&start, &note, &number, &keep, &inner, &box, &status});
    }
};

template <typename W>
W* child(QWidget* window, const char* name) {
    return window ? window->findChild<W*>(QString::fromLatin1(name)) : nullptr;
}

class Forms : public testing::Test {
  protected:
    platform::qt::QtBackend& be = qttest::backend();
};

TEST_F(Forms, ModelChangesReachTheWidgets) {
    TestForm f;
    f.show();
    QWidget* w = be.window(f);
    ASSERT_NE(w, nullptr);
    auto* start = child<QPushButton>(w, "start");
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(w->windowTitle(), "Test");
    EXPECT_EQ(child<QLabel>(w, "note")->text(), "Save & load");

    f.setcaption("Renamed");
    f.start.setcaption("Sto&p");
    f.start.setenabled(false);
    f.keep.setchecked(true);
    f.note.setvisible(false);
    f.number.settext("42");
    f.status.settext("Connected");
    EXPECT_EQ(w->windowTitle(), "Renamed");
    EXPECT_EQ(start->text(), "Sto&p");
    EXPECT_FALSE(start->isEnabled());
    EXPECT_TRUE(child<QCheckBox>(w, "keep")->isChecked());
    EXPECT_TRUE(child<QLabel>(w, "note")->isHidden());
    EXPECT_EQ(child<QLineEdit>(w, "number")->text(), "42");
    EXPECT_EQ(child<QLabel>(w, "text")->text(), "Connected");

    // Geometry and nesting as the model says.
    auto* inner = child<QPushButton>(w, "inner");
    EXPECT_EQ(inner->parentWidget(), child<QGroupBox>(w, "box"));
    EXPECT_EQ(inner->geometry(), QRect(10, 20, 60, 25));
    f.close();
}

TEST_F(Forms, UserActionsReachTheModel) {
    TestForm f;
    int clicks = 0, boxclicks = 0, quits = 0, moves = 0;
    f.start.onclick = [&] { ++clicks; };
    f.quit.onclick = [&](platform::MenuItem&) { ++quits; };
    f.status.onmousemove = [&] {
        ++moves;
        f.status.sethint("the link");
    };
    f.status.setshowhint(true);
    // The model refuses to be unchecked: the widget follows the model, not the click.
    f.keep.onclick = [&] {
        ++boxclicks;
        f.keep.setchecked(true);
    };
    f.show();
    QWidget* w = be.window(f);
    auto* start = child<QPushButton>(w, "start");
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    f.start.setenabled(false);
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);

    auto* keep = child<QCheckBox>(w, "keep");
    QTest::mouseClick(keep, Qt::LeftButton);
    EXPECT_EQ(boxclicks, 1);
    EXPECT_TRUE(f.keep.checked());
    QTest::mouseClick(keep, Qt::LeftButton);
    EXPECT_EQ(boxclicks, 2);
    EXPECT_TRUE(keep->isChecked());

    auto* bar = static_cast<QMainWindow*>(w)->menuBar();
    ASSERT_EQ(bar->actions().size(), 1);
    bar->actions()[0]->menu()->actions()[0]->trigger();
    EXPECT_EQ(quits, 1);

    auto* pane = child<QLabel>(w, "text");
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), pane->mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pane, &move);
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(pane->toolTip(), "the link");
    f.close();
}

TEST_F(Forms, TypedKeysPassTheModelFilter) {
    TestForm f;
    // Digits only, a comma typed becomes the decimal point, backspace allowed.
    f.number.onkeypress = [](char& k) {
        if (k == ',') k = '.';
        if (!std::isdigit(static_cast<unsigned char>(k)) && k != '.' && k != 8) k = 0;
    };
    f.show();
    auto* edit = child<QLineEdit>(be.window(f), "number");
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, "1a2b,5");
    EXPECT_EQ(f.number.text(), "12.5");
    EXPECT_EQ(edit->text(), "12.5");
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(f.number.text(), "12.");
    EXPECT_EQ(edit->text(), "12.");

    f.number.setreadonly(true);
    QTest::keyClicks(edit, "7");
    EXPECT_EQ(f.number.text(), "12.");
    f.close();
}

TEST_F(Forms, CloseBoxTakesTheModelsClosePath) {
    TestForm f;
    int closes = 0;
    bool allow = false;
    f.onclose = [&](CloseAction& a) {
        ++closes;
        if (!allow) a = CloseAction::None;
    };
    f.show();
    QPointer<QWidget> w = be.window(f);
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->close());
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(f.closed());
    EXPECT_TRUE(w->isVisible());

    allow = true;
    EXPECT_TRUE(w->close());
    EXPECT_EQ(closes, 2);
    EXPECT_TRUE(f.closed());
    EXPECT_EQ(be.window(f), nullptr);
    qttest::flushdeletes();
    EXPECT_TRUE(w.isNull());

    // Closed forms no longer listen: changing the model touches nothing.
    f.start.setcaption("after");
    EXPECT_FALSE(f.start.changed);
}

// Runs `step` once the modal loop of `f` is up; a failsafe ends a loop the test left open.
void whilemodal(platform::qt::QtBackend& be, platform::Form& f, std::function<void(QDialog&)> step,
                bool& failsafe) {
    QTimer::singleShot(0, [&be, &f, step] {
        if (auto* d = dynamic_cast<QDialog*>(be.window(f))) step(*d);
    });
    QTimer::singleShot(5000, [&be, &f, &failsafe] {
        if (auto* d = dynamic_cast<QDialog*>(be.window(f))) {
            failsafe = true;
            d->done(0);
        }
    });
}

TEST_F(Forms, ModalFormRunsUntilItsClosePathEndsIt) {
    TestForm f;
    f.start.onclick = [&] { f.close(); };
    bool failsafe = false;
    QSize shown;
    bool modal = false;
    whilemodal(
        be, f,
        [&](QDialog& d) {
            shown = d.size();
            modal = QApplication::activeModalWidget() == &d;
            QTest::mouseClick(child<QPushButton>(&d, "start"), Qt::LeftButton);
        },
        failsafe);
    f.showmodal();
    EXPECT_FALSE(failsafe);
    EXPECT_TRUE(f.closed());
    EXPECT_TRUE(modal);
    EXPECT_EQ(shown, QSize(320, 200));
    EXPECT_EQ(be.window(f), nullptr);

    // Again, by the title bar's close box.
    int closes = 0;
    f.onclose = [&](CloseAction&) { ++closes; };
    whilemodal(
        be, f, [](QDialog& d) { d.close(); }, failsafe);
    f.showmodal();
    EXPECT_FALSE(failsafe);
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(f.closed());
}

TEST_F(Forms, ReleasedFormMayBeDestroyedByItsOwner) {
    auto f = std::make_unique<TestForm>();
    f->onclose = [](CloseAction& a) { a = CloseAction::Free; };
    f->onrelease = [&] { f.reset(); };
    f->start.onclick = [&] { f->close(); };
    bool failsafe = false;
    whilemodal(
        be, *f,
        [](QDialog& d) { QTest::mouseClick(child<QPushButton>(&d, "start"), Qt::LeftButton); },
        failsafe);
    f->showmodal();
    EXPECT_FALSE(failsafe);
    EXPECT_TRUE(qttest::eventually([&] { return f == nullptr; }));
}

TEST_F(Forms, WindowGoesWhenItsModelIsDestroyed) {
    auto f = std::make_unique<TestForm>();
    f->show();
    QPointer<QWidget> w = be.window(*f);
    ASSERT_TRUE(w);
    f.reset();
    qttest::flushdeletes();
    EXPECT_TRUE(w.isNull());
}

}  // namespace
