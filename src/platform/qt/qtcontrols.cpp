#include "platform/qt/qtcontrols.h"
#include <cstdlib>

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>

#include "platform/qt/qtformview.h"
#include "platform/qt/qtimages.h"
#include "platform/qt/qtviewkinds.h"
#include "platform/qt/qtwaterimage.h"

namespace platform::qt {

ControlView::ControlView(Control& model, QWidget* widget, FormView& owner)
    : QObject(&owner), model_(model), widget_(widget), owner_(owner) {
    model_.changed = [this] { sync(); };
}

bool ControlView::live() const {
    return owner_.live();
}

void ControlView::detach() {
    model_.changed = nullptr;
}

QString ControlView::text(const std::string& s) {
    // Both toolkits read "&&" as a literal ampersand and "&x" as a mnemonic; a mnemonic on a
    // blank ("Close &&& Back") would show as an underscore here, so it is dropped.
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size() && s[i + 1] == '&') {
            out += "&&";
            ++i;
        } else if (!(s[i] == '&' && i + 1 < s.size() && s[i + 1] == ' ')) {
            out += s[i];
        }
    }
    return QString::fromStdString(out);
}

QString ControlView::plaintext(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size()) ++i;  // "&&" keeps one, "&x" keeps x
        out += s[i];
    }
    return QString::fromStdString(out);
}

void ControlView::sync() {
    const Control& m = model_;
    widget_->setGeometry(m.left, m.top, m.width, m.height);
    widget_->setEnabled(m.enabled());
    widget_->setVisible(m.visible());
    widget_->setToolTip(m.showhint() ? text(m.hint()) : QString());
    syncfont();
}

void ControlView::syncfont() {
    const Control& m = model_;
    QFont f = widget_->parentWidget() ? widget_->parentWidget()->font() : widget_->font();
    if (m.fixedpitch) f.setFamily(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    if (m.fontheight > 0) f.setPixelSize(m.fontheight);
    f.setBold(m.bold || f.bold());
    if (m.kind() == Kind::LinkLabel ||
        (m.kind() == Kind::Label && static_cast<const Label&>(m).underline))
        f.setUnderline(true);
    if (widget_->font() != f) widget_->setFont(f);
    QPalette p = widget_->parentWidget() ? widget_->parentWidget()->palette() : widget_->palette();
    const Color c = m.fontcolor();
    if (!c.system) {
        const QColor q(c.r, c.g, c.b);
        for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            p.setColor(role, q);
    }
    if (widget_->palette() != p) widget_->setPalette(p);
}

namespace {

// A caption wider than its button is broken at the blank nearest its middle, so the whole
// text shows on two lines.
QString wrapped(const QPushButton* w, const QString& caption, int glyph) {
    const int room = w->width() - glyph - 16;
    if (w->fontMetrics().horizontalAdvance(caption) <= room) return caption;
    int best = -1;
    for (int i = 0; i < caption.size(); ++i)
        if (caption[i] == ' ' &&
            (best < 0 || std::abs(i - caption.size() / 2) < std::abs(best - caption.size() / 2)))
            best = i;
    if (best < 0) return caption;
    QString two = caption;
    two[best] = '\n';
    return two;
}

class ButtonView : public ControlView {
  public:
    ButtonView(Button& b, QWidget* parent, FormView& owner)
        : ControlView(b, new QPushButton(parent), owner), button_(b) {
        auto* w = static_cast<QPushButton*>(widget());
        w->setAutoDefault(false);
        connect(w, &QPushButton::clicked, this, [this] {
            if (live()) button_.click();
        });
    }
    void sync() override {
        ControlView::sync();
        auto* w = static_cast<QPushButton*>(widget());
        w->setText(text(button_.caption()));
        if (button_.kind() == Kind::BitmapButton) {
            const auto& bb = static_cast<BitmapButton&>(button_);
            w->setText(wrapped(w, text(button_.caption()), bb.images ? bb.images->width : 0));
            w->setIcon(listicon(bb.images, bb.imageindex));
            if (bb.images) w->setIconSize(QSize(bb.images->width, bb.images->height));
        }
    }

  protected:
    Button& button_;
};

// Clicking drops the menu down; its items carry the handlers. The button's own onclick runs
// first, so it can set the items up.
class MenuButtonView : public ButtonView {
  public:
    MenuButtonView(MenuButton& b, QWidget* parent, FormView& owner)
        : ButtonView(b, parent, owner), menubutton_(b) {
        auto* w = static_cast<QPushButton*>(widget());
        menu_ = new QMenu(w);
        w->setMenu(menu_);
        connect(menu_, &QMenu::aboutToShow, this, [this] { fill(); });
    }

  private:
    void fill() {
        menu_->clear();
        if (!live()) return;
        button_.click();
        if (!live() || !menubutton_.dropdown) return;
        for (MenuItem* item : menubutton_.dropdown->items) {
            if (item->caption == "-") {
                menu_->addSeparator();
                continue;
            }
            QAction* a =
                menu_->addAction(listicon(item->images, item->imageindex), text(item->caption));
            connect(a, &QAction::triggered, this, [this, item] {
                if (live()) item->click();
            });
        }
    }
    MenuButton& menubutton_;
    QMenu* menu_ = nullptr;
};

class ClickLabel : public QLabel {
  public:
    using QLabel::QLabel;
    std::function<void()> onclick;

  protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        QLabel::mouseReleaseEvent(e);
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && onclick)
            onclick();
    }
};

class LabelView : public ControlView {
  public:
    LabelView(Label& l, QWidget* parent, FormView& owner)
        : ControlView(l, new ClickLabel(parent), owner), label_(l) {
        auto* w = static_cast<ClickLabel*>(widget());
        w->setTextFormat(Qt::PlainText);
        w->onclick = [this] {
            if (live()) label_.click();
        };
        if (l.kind() == Kind::LinkLabel) w->setCursor(Qt::PointingHandCursor);
    }
    void sync() override {
        ControlView::sync();
        auto* w = static_cast<QLabel*>(widget());
        w->setText(plaintext(label_.caption()));
        if (label_.autosize) w->resize(w->sizeHint());
    }

  private:
    Label& label_;
};

class CheckBoxView : public ControlView {
  public:
    CheckBoxView(CheckBox& c, QWidget* parent, FormView& owner)
        : ControlView(c, new QCheckBox(parent), owner), box_(c) {
        // The model decides the new state: the user's click takes the model's click path.
        connect(static_cast<QCheckBox*>(widget()), &QCheckBox::clicked, this, [this] {
            if (!live()) return;
            box_.click();
            if (live()) sync();
        });
    }
    void sync() override {
        ControlView::sync();
        auto* w = static_cast<QCheckBox*>(widget());
        const QSignalBlocker block(w);
        w->setText(text(box_.caption()));
        w->setChecked(box_.checked());
        // Sized for a narrower system font, the caption would be cut off: widen the box to
        // its text, within its parent.
        const int room = box_.parent ? box_.parent->width - box_.left : 2 * box_.width;
        const int wanted = std::min(w->sizeHint().width(), room);
        if (wanted > w->width()) w->resize(wanted, w->height());
    }

  private:
    CheckBox& box_;
};

class ComboBoxView : public ControlView {
  public:
    ComboBoxView(ComboBox& c, QWidget* parent, FormView& owner)
        : ControlView(c, new QComboBox(parent), owner), combo_(c) {
        connect(static_cast<QComboBox*>(widget()), &QComboBox::activated, this, [this](int i) {
            if (live()) combo_.setitemindex(i);
        });
    }
    void sync() override {
        ControlView::sync();
        auto* w = static_cast<QComboBox*>(widget());
        const QSignalBlocker block(w);
        QStringList items;
        for (const auto& s : combo_.items) items << text(s);
        QStringList shown;
        for (int i = 0; i < w->count(); ++i) shown << w->itemText(i);
        if (shown != items) {
            w->clear();
            w->addItems(items);
        }
        w->setCurrentIndex(combo_.itemindex());
    }

  private:
    ComboBox& combo_;
};

class GroupView : public ControlView {
  public:
    GroupView(GroupBox& g, QWidget* parent, FormView& owner)
        : ControlView(g,
                      g.kind() == Kind::Panel ? static_cast<QWidget*>(new QFrame(parent))
                                              : new QGroupBox(parent),
                      owner) {
        if (auto* f = qobject_cast<QFrame*>(widget())) f->setFrameShape(QFrame::StyledPanel);
    }
    void sync() override {
        ControlView::sync();
        if (auto* g = qobject_cast<QGroupBox*>(widget())) g->setTitle(text(model().caption()));
    }
};

class ImageView : public ControlView {
  public:
    ImageView(Image& i, QWidget* parent, FormView& owner)
        : ControlView(i, new QLabel(parent), owner), image_(i) {
        static_cast<QLabel*>(widget())->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    void sync() override {
        ControlView::sync();
        auto* w = static_cast<QLabel*>(widget());
        w->setToolTip(text(image_.hint()));
        QPixmap p = image_.images ? listpicture(image_.images, image_.imageindex)
                                  : namedpicture(image_.resource);
        w->setScaledContents(image_.stretch);
        w->setPixmap(p);
    }

  private:
    Image& image_;
};

template <typename V, typename M>
ControlView* make(Control& c, QWidget* parent, FormView& owner) {
    return new V(static_cast<M&>(c), parent, owner);
}

}  // namespace

ControlView* makeview(Control& c, QWidget* parent, FormView& owner) {
    ControlView* v = nullptr;
    switch (c.kind()) {
        case Kind::Button:
        case Kind::BitmapButton:
            v = make<ButtonView, Button>(c, parent, owner);
            break;
        case Kind::MenuButton:
            v = make<MenuButtonView, MenuButton>(c, parent, owner);
            break;
        case Kind::Label:
        case Kind::LinkLabel:
            v = make<LabelView, Label>(c, parent, owner);
            break;
        case Kind::Edit:
        case Kind::NumericEdit:
            v = makeeditview(static_cast<Edit&>(c), parent, owner);
            break;
        case Kind::IpEdit:
            v = makeipview(static_cast<IpEdit&>(c), parent, owner);
            break;
        case Kind::CheckBox:
            v = make<CheckBoxView, CheckBox>(c, parent, owner);
            break;
        case Kind::ComboBox:
            v = make<ComboBoxView, ComboBox>(c, parent, owner);
            break;
        case Kind::GroupBox:
        case Kind::Panel:
            v = make<GroupView, GroupBox>(c, parent, owner);
            break;
        case Kind::Image:
            v = make<ImageView, Image>(c, parent, owner);
            break;
        case Kind::StatusBar:
            v = makestatusview(static_cast<StatusBar&>(c), parent, owner);
            break;
        case Kind::Chart:
            v = makechartview(static_cast<Chart&>(c), parent, owner);
            break;
        case Kind::WaterImage:
            v = makewaterview(static_cast<WaterImage&>(c), parent, owner);
            break;
        default:
            return nullptr;  // a kind rendered elsewhere, or not at all
    }
    v->widget()->setObjectName(QString::fromStdString(c.name()));
    v->sync();
    return v;
}

}  // namespace platform::qt
