#include "platform/qt/qtdesktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>
#include <QUrl>
#include <utility>

namespace platform::qt {

namespace {

bool onuithread() {
    return QThread::currentThread() == qApp->thread();
}

void showerror(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.exec();
}

}  // namespace

void QtDesktop::errorbox(const std::string& text) {
    if (onuithread()) {
        showerror(text);
        return;
    }
    // A worker's box is shown by the user-interface thread. The worker does not wait for the OK:
    // the user-interface thread may itself be waiting for that worker to end.
    QMetaObject::invokeMethod(
        qApp, [text] { showerror(text); }, Qt::QueuedConnection);
}

Answer QtDesktop::question(const std::string& text) {
    const auto b =
        QMessageBox::warning(nullptr, QStringLiteral("Warning"), QString::fromStdString(text),
                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (b == QMessageBox::Yes) return Answer::Yes;
    if (b == QMessageBox::No) return Answer::No;
    return Answer::Cancel;
}

QString QtDesktop::qtfilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // A caption that already ends in its patterns, "JGP Files(*.jpg)", is shown as it
        // stands: Qt reads the patterns from the trailing parentheses.
        const QString tail = QStringLiteral("(") + patterns + QStringLiteral(")");
        out << (parts[i].endsWith(tail) ? parts[i] : parts[i] + QStringLiteral(" ") + tail);
    }
    return out.join(QStringLiteral(";;"));
}

bool QtDesktop::savedialog(SaveDialog& dlg) {
    QString start = QString::fromStdString(dlg.filename);
    if (!dlg.folder.empty() && QFileInfo(start).isRelative())
        start = QString::fromStdString(dlg.folder) + start;
    QString chosen;
    if (nextsave_) {
        chosen = QString::fromStdString(*std::exchange(nextsave_, std::nullopt));
    } else {
        chosen = QFileDialog::getSaveFileName(nullptr, QString(), start, qtfilter(dlg.filter),
                                              nullptr, QFileDialog::DontConfirmOverwrite);
    }
    if (chosen.isEmpty()) return false;
    dlg.filename = chosen.toStdString();
    dlg.folder = QFileInfo(chosen).absolutePath().toStdString() + "/";
    return true;
}

bool QtDesktop::folderdialog(std::string& folder) {
    const QString chosen =
        QFileDialog::getExistingDirectory(nullptr, QString(), QString::fromStdString(folder));
    if (chosen.isEmpty()) return false;
    folder = chosen.toStdString();
    return true;
}

bool QtDesktop::openurl(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

}  // namespace platform::qt
