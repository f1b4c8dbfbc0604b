// Desktop services: message boxes from any thread, file dialog filters, the executable's folder.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <future>
#include <thread>

#include "platform/qt/qtdesktop.h"
#include "qtenv.h"

namespace {

struct BoxSeen {
    QString title, text;
    int buttons = 0;
    bool uithread = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the next message box with `button` and records what it showed.
class BoxAnswerer {
  public:
    BoxAnswerer(QMessageBox::StandardButton button, BoxSeen& seen) {
        QObject::connect(&timer_, &QTimer::timeout, [this, button, &seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            timer_.stop();
            seen = {box->windowTitle(), box->text(), static_cast<int>(box->buttons().size()),
                    QThread::currentThread() == box->thread(), box->icon()};
            box->button(button)->click();
        });
        timer_.start(10);
    }

  private:
    QTimer timer_;
};

// The worker goes on at once: the user-interface thread may be waiting for that worker to end.
TEST(QtDesktop, ErrorBoxFromAWorkerIsShownByTheUiThread) {
    auto& desk = qttest::backend().desktop();
    BoxSeen seen;
    BoxAnswerer answer(QMessageBox::Ok, seen);
    std::promise<void> raised;
    std::thread worker([&] {
        desk.errorbox("The log file cannot be written.");
        raised.set_value();
    });
    // No events run here, so a worker waiting for the box would wait until the time-out.
    const bool wentonatonce =
        raised.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    EXPECT_TRUE(qttest::eventually([&] { return !seen.title.isEmpty(); }, 10000));
    worker.join();
    EXPECT_TRUE(wentonatonce);
    EXPECT_EQ(seen.title, "Error");
    EXPECT_EQ(seen.text, "The log file cannot be written.");
    EXPECT_EQ(seen.buttons, 1);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_TRUE(seen.uithread);
}

TEST(QtDesktop, QuestionReturnsTheButtonChosen) {
    auto& desk = qttest::backend().desktop();
    BoxSeen seen;
    BoxAnswerer answer(QMessageBox::No, seen);
    EXPECT_EQ(desk.question("Stop the measurement?"), platform::Answer::No);
    EXPECT_EQ(seen.buttons, 3);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
}

TEST(QtDesktop, SaveFiltersKeepTheirTexts) {
    using platform::qt::QtDesktop;
    EXPECT_EQ(QtDesktop::qtfilter("JGP Files(*.jpg)|*.jpg|All Files(*.*)|*.*"),
              "JGP Files(*.jpg);;All Files(*.*)");
    EXPECT_EQ(QtDesktop::qtfilter("Text|*.txt;*.log|All|*.*"), "Text (*.txt *.log);;All (*.*)");
}

TEST(QtDesktop, ExeFolderEndsWithASlash) {
    const std::string folder = qttest::backend().desktop().exefolder();
    EXPECT_EQ(QString::fromStdString(folder), QCoreApplication::applicationDirPath() + "/");
}

}  // namespace
