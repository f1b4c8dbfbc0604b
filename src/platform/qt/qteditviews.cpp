// Text entry: every typed character passes the model's key filter before the line edit sees it.
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtviewkinds.h"

namespace platform::qt {

namespace {

class EditView : public ControlView {
  public:
    EditView(Edit& e, QWidget* parent, FormView& owner)
        : ControlView(e, new QLineEdit(parent), owner), edit_(e) {
        auto* w = static_cast<QLineEdit*>(widget());
        w->installEventFilter(this);
        connect(w, &QLineEdit::textEdited, this, [this](const QString& t) {
            if (live()) edit_.settext(t.toStdString());
        });
    }
    void sync() override {
        ControlView::sync();
        auto* w = static_cast<QLineEdit*>(widget());
        w->setReadOnly(edit_.readonly());
        w->setFocusPolicy(edit_.tabstop ? Qt::StrongFocus : Qt::ClickFocus);
        if (edit_.kind() == Kind::NumericEdit) w->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        const QString t = text(edit_.text());
        if (w->text() != t) w->setText(t);  // setText would move the cursor to the end
    }

  protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() != QEvent::KeyPress || !live()) return QObject::eventFilter(o, e);
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
        const bool backspace = k->key() == Qt::Key_Backspace;
        if (!backspace && (k->text().size() != 1 || !k->text()[0].isPrint())) return false;
        return filter(backspace, k->text());
    }

  private:
    // Runs the key filter; true when the key is consumed here.
    bool filter(bool backspace, const QString& typed) {
        if (!edit_.onkeypress) return false;
        const QChar q = backspace ? QChar(8) : typed[0];
        // Characters beyond Latin-1 reach the filter as a byte it will not recognise.
        char c = q.unicode() < 256 ? static_cast<char>(q.unicode()) : static_cast<char>(0xBF);
        const char before = c;
        edit_.onkeypress(c);
        if (!live()) return true;
        if (c == 0 || edit_.readonly()) return true;
        if (c == before) return false;  // kept as typed: the line edit applies it
        // Replaced by the filter: apply the replacement instead.
        auto* w = static_cast<QLineEdit*>(widget());
        if (c == 8) {
            w->backspace();
        } else if (static_cast<unsigned char>(c) >= 32) {
            w->insert(QString(QChar::fromLatin1(c)));
        }
        edit_.settext(w->text().toStdString());
        return true;
    }

    Edit& edit_;
};

// The dotted address in one line edit; the model takes it when editing finishes.
class IpView : public ControlView {
  public:
    IpView(IpEdit& e, QWidget* parent, FormView& owner)
        : ControlView(e, new QLineEdit(parent), owner), ip_(e) {
        auto* w = static_cast<QLineEdit*>(widget());
        static const QRegularExpression dotted(QStringLiteral("^[0-9]{0,3}(\\.[0-9]{0,3}){0,3}$"));
        w->setValidator(new QRegularExpressionValidator(dotted, w));
        connect(w, &QLineEdit::editingFinished, this, [this] {
            if (!live()) return;
            ip_.setaddress(static_cast<QLineEdit*>(widget())->text().toStdString());
            if (live()) sync();  // an incomplete address shows the model's again
        });
    }
    void sync() override {
        ControlView::sync();
        auto* w = static_cast<QLineEdit*>(widget());
        const QString t = text(ip_.address());
        if (w->text() != t) w->setText(t);
    }

  private:
    IpEdit& ip_;
};

}  // namespace

ControlView* makeeditview(Edit& e, QWidget* parent, FormView& owner) {
    return new EditView(e, parent, owner);
}

ControlView* makeipview(IpEdit& e, QWidget* parent, FormView& owner) {
    return new IpView(e, parent, owner);
}

}  // namespace platform::qt
