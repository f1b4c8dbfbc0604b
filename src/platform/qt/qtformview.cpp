#include "platform/qt/qtformview.h"

#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>

#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtimages.h"

namespace platform::qt {

namespace {

class FormDialog : public QDialog {
  public:
    FormDialog() = default;
    FormView* view = nullptr;

  protected:
    void closeEvent(QCloseEvent* e) override {
        if (view) view->closerequest(e);
    }
    // Escape closes none of the forms: they close by their buttons or the close box.
    void reject() override {}
};

class FormMainWindow : public QMainWindow {
  public:
    FormView* view = nullptr;

  protected:
    void closeEvent(QCloseEvent* e) override {
        if (view) view->closerequest(e);
    }
};

// Menu items: "-" is a separator, "&" marks the mnemonic as in Qt.
void fillmenu(QMenu& menu, const std::vector<MenuItem*>& items, const FormView& owner);

void additem(QMenu& menu, MenuItem* item, const FormView& owner) {
    if (item->caption == "-") {
        menu.addSeparator();
        return;
    }
    const QString caption = QString::fromStdString(item->caption);
    if (!item->items.empty()) {
        QMenu* sub = menu.addMenu(caption);
        fillmenu(*sub, item->items, owner);
        return;
    }
    QIcon icon = listicon(item->images, item->imageindex);
    if (icon.isNull() && !item->imageresource.empty())
        icon = QIcon(namedpicture(item->imageresource));
    QAction* a = menu.addAction(icon, caption);
    a->setStatusTip(QString::fromStdString(item->hint));
    a->setEnabled(item->enabled);
    QObject::connect(a, &QAction::triggered, &menu, [item, &owner] {
        if (owner.live()) item->click();
    });
}

void fillmenu(QMenu& menu, const std::vector<MenuItem*>& items, const FormView& owner) {
    for (MenuItem* item : items) additem(menu, item, owner);
}

}  // namespace

// Lives in the form's `changed` observer: destroyed with the form model, it tells the view.
struct FormView::Tracker {
    FormView* view = nullptr;
    ~Tracker() {
        if (!view) return;
        FormView* v = view;
        view = nullptr;
        v->live_ = false;  // the controls are gone already: nothing of the model is touched
        v->window_->hide();
        if (v->onmodelgone_) v->onmodelgone_(*v);
    }
};

FormView::FormView(Form& form, bool modal, std::function<void(FormView&)> onmodelgone)
    : form_(form), onmodelgone_(std::move(onmodelgone)) {
    build(modal);
    auto tracker = std::make_shared<Tracker>();
    tracker->view = this;
    tracker_ = tracker;
    form_.changed = [this, t = std::move(tracker)] { syncform(); };
}

FormView::~FormView() {
    detach();
}

QDialog* FormView::dialog() const {
    return dynamic_cast<QDialog*>(window_);
}

void FormView::build(bool modal) {
    Qt::WindowFlags flags = (modal ? Qt::Dialog : Qt::Window) | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                            Qt::CustomizeWindowHint;
    if (form_.minimizebox) flags |= Qt::WindowMinimizeButtonHint;
    if (form_.maximizebox) flags |= Qt::WindowMaximizeButtonHint;
    if (modal) {
        auto* d = new FormDialog;
        d->view = this;
        d->setModal(true);
        window_ = d;
        client_ = d;
    } else {
        auto* w = new FormMainWindow;
        w->view = this;
        client_ = new QWidget(w);
        w->setCentralWidget(client_);
        if (form_.mainmenu) buildmenu(*w);
        window_ = w;
    }
    setParent(window_);
    window_->setWindowFlags(flags);
    QFont font = window_->font();
    font.setPixelSize(form_.fontheight > 0 ? form_.fontheight : 11);
    window_->setFont(font);
    if (form_.fixedborder) {
        client_->setFixedSize(form_.clientwidth, form_.clientheight);
        if (window_->layout()) window_->layout()->setSizeConstraint(QLayout::SetFixedSize);
    } else {
        client_->resize(form_.clientwidth, form_.clientheight);
    }
    window_->resize(form_.clientwidth, form_.clientheight);
    for (Control* c : form_.controls()) widgetfor(c);
    syncform();
}

void FormView::buildmenu(QMainWindow& w) {
    QMenuBar* bar = w.menuBar();
    for (MenuItem* item : form_.mainmenu->items) {
        if (item->items.empty()) {
            QAction* a = bar->addAction(QString::fromStdString(item->caption));
            connect(a, &QAction::triggered, this, [this, item] {
                if (live_) item->click();
            });
            continue;
        }
        QMenu* m = bar->addMenu(QString::fromStdString(item->caption));
        // Rebuilt when it opens, so captions set by the handlers show.
        connect(m, &QMenu::aboutToShow, this, [this, m, item] {
            m->clear();
            if (live_) fillmenu(*m, item->items, *this);
        });
        fillmenu(*m, item->items, *this);
    }
}

// Parents first, so a control inside a group box lands in the box's widget.
QWidget* FormView::widgetfor(Control* c) {
    if (!c) return client_;
    auto it = views_.find(c);
    if (it != views_.end()) return it->second ? it->second->widget() : client_;
    views_[c] = nullptr;  // guards against a parent cycle
    QWidget* parent = widgetfor(c->parent);
    ControlView* v = makeview(*c, parent, *this);
    views_[c] = v;
    return v ? v->widget() : client_;
}

void FormView::syncform() {
    if (!live_) return;
    window_->setWindowTitle(QString::fromStdString(form_.caption()));
    const QPixmap icon = listpicture(form_.iconlist, form_.iconindex);
    if (!icon.isNull()) window_->setWindowIcon(QIcon(icon));
}

void FormView::detach() {
    if (!live_) return;
    live_ = false;
    if (auto t = tracker_.lock()) t->view = nullptr;
    form_.changed = nullptr;
    for (auto& [c, v] : views_)
        if (v) v->detach();
}

void FormView::closerequest(QCloseEvent* e) {
    if (!live_) {
        e->accept();
        return;
    }
    form_.close();
    // The close path has run Backend::closed, which ended the modal loop, or onclose said no.
    if (live_ && !form_.closed()) {
        e->ignore();
        return;
    }
    e->accept();
}

void FormView::present() {
    window_->adjustSize();
    const QScreen* screen =
        window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect r = window_->frameGeometry();
        r.moveCenter(screen->availableGeometry().center());
        window_->move(r.topLeft());
    }
    window_->show();
}

}  // namespace platform::qt
