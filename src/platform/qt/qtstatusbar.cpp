// The status bar: sunken panes side by side along the bottom of the client area.
#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QTimer>

#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtviewkinds.h"

namespace platform::qt {

namespace {

// The desktop's short date and long time, without a time-zone name.
QString clocktext() {
    const QLocale locale = QLocale::system();
    static const QRegularExpression zone(QStringLiteral("\\s*t+"));
    QString timeformat = locale.timeFormat(QLocale::LongFormat);
    timeformat.remove(zone);
    const QDateTime now = QDateTime::currentDateTime();
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(now.time(), timeformat.trimmed());
}

class StatusView : public ControlView {
  public:
    StatusView(StatusBar& s, QWidget* parent, FormView& owner)
        : ControlView(s, new QWidget(parent), owner), bar_(s) {
        auto* layout = new QHBoxLayout(widget());
        layout->setContentsMargins(0, 1, 0, 0);
        layout->setSpacing(2);
        for (const StatusPane& p : bar_.panes) addpane(p, *layout);
        if (bar_.panes.empty()) addpane(StatusPane{}, *layout);
        panes_.back()->setMaximumWidth(QWIDGETSIZE_MAX);  // the last pane takes what is left
        panes_.front()->setMouseTracking(true);
        panes_.front()->installEventFilter(this);
        bool clock = false;
        for (const StatusPane& p : bar_.panes) clock = clock || p.clock;
        if (clock) {
            auto* t = new QTimer(this);
            connect(t, &QTimer::timeout, this, [this] { tick(); });
            t->start(500);
            tick();
        }
    }
    void sync() override {
        ControlView::sync();
        // Docked along the bottom of its parent, across its whole width.
        const QWidget* parent = widget()->parentWidget();
        const int h = model().height;
        widget()->setGeometry(0, parent->height() - h, parent->width(), h);
        panes_.front()->setText(text(bar_.text()));
        panes_.front()->setToolTip(bar_.showhint() ? text(bar_.hint()) : QString());
        widget()->setToolTip(QString());
    }

  protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::MouseMove && live()) bar_.mousemove();
        return QObject::eventFilter(o, e);
    }

  private:
    void addpane(const StatusPane& p, QHBoxLayout& layout) {
        auto* label = new QLabel(widget());
        label->setTextFormat(Qt::PlainText);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setFixedWidth(p.width);
        label->setObjectName(QString::fromStdString(p.name));
        layout.addWidget(label);
        panes_.push_back(label);
        clocks_.push_back(p.clock);
    }
    void tick() {
        const QString now = clocktext();
        for (std::size_t i = 0; i < panes_.size(); ++i)
            if (clocks_[i]) panes_[i]->setText(now);
    }

    StatusBar& bar_;
    std::vector<QLabel*> panes_;
    std::vector<bool> clocks_;
};

}  // namespace

ControlView* makestatusview(StatusBar& s, QWidget* parent, FormView& owner) {
    return new StatusView(s, parent, owner);
}

}  // namespace platform::qt
