// Charts on Qt Charts: fixed value axes, line and point series refilled with replace().
#include "platform/qt/qtchartview.h"

#include <QChart>
#include <QChartView>
#include <QFontMetrics>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <cmath>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtviewkinds.h"

namespace platform::qt {

namespace {

std::unordered_map<const Chart*, QWidget*>& registry() {
    static std::unordered_map<const Chart*, QWidget*> charts;
    return charts;
}

QColor qcolor(Color c) {
    return QColor(c.r, c.g, c.b);
}

// The chart's default first colour is the classic chart palette's red, which the mask and limit
// lines take: it stands apart from the blue measured curves, where the Qt theme's first colour (a
// light blue) did not.
constexpr Color kDefaultFirstColor = kRed;

// Decimals enough to tell labels `step` apart.
QString labelformat(double step) {
    int decimals = 0;
    if (step > 0) decimals = std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
    return QStringLiteral("%.") + QString::number(std::min(decimals, 6)) + QStringLiteral("f");
}

// Labels every `step` from the first multiple of step in range; with `gridevery` n, a grid
// line at every n-th label (drawn by a hidden axis of its own when n > 1).
void setupaxis(QValueAxis& a, const Axis& m) {
    if (a.min() != m.min || a.max() != m.max) a.setRange(m.min, m.max);
    a.setTitleText(QString::fromStdString(m.title));
    a.setVisible(m.visible);
    a.setLabelFormat(labelformat(m.step));
    const double span = (m.max - m.min) / (m.step > 0 ? m.step : 1);
    if (std::abs(span - std::round(span)) < 1e-6 && span >= 1 && span < 1000) {
        a.setTickType(QValueAxis::TicksFixed);
        a.setTickCount(static_cast<int>(std::round(span)) + 1);
    } else if (m.step > 0) {
        a.setTickType(QValueAxis::TicksDynamic);
        a.setTickAnchor(0);
        a.setTickInterval(m.step);
    }
    a.setGridLineVisible(m.gridevery == 1);
    a.setMinorTickCount(0);
}

void setupgrid(QValueAxis& g, const Axis& m) {
    if (g.min() != m.min || g.max() != m.max) g.setRange(m.min, m.max);
    g.setLabelsVisible(false);
    g.setLineVisible(false);
    g.setTitleVisible(false);
    g.setTickType(QValueAxis::TicksDynamic);
    const double first = m.step > 0 ? std::ceil(m.min / m.step - 1e-9) * m.step : m.min;
    g.setTickAnchor(first);
    g.setTickInterval(m.step * std::max(1, m.gridevery));
    g.setGridLineVisible(m.gridevery > 1);
    g.setVisible(m.gridevery > 1);
}

class ChartView : public ControlView {
  public:
    ChartView(Chart& c, QWidget* parent, FormView& owner)
        // Made with its chart: a chart set later would leave the view's first one behind.
        : ControlView(c, new QChartView(new QChart, parent), owner), chart_(c) {
        auto* view = static_cast<QChartView*>(widget());
        qchart_ = view->chart();
        qchart_->setAnimationOptions(QChart::NoAnimation);
        // Thousands of points each repaint: no antialiasing, no OpenGL.
        view->setRenderHint(QPainter::Antialiasing, false);
        makeaxes();
        // The plot area is known only once the chart is laid out.
        // Tied to this view, not the widget: the widget may outlive the view and the model,
        // and its plot area changes while it is torn down.
        QObject::connect(qchart_, &QChart::plotAreaChanged, this, [this] {
            if (live() && labelevery() != leftevery_) setupleft(chart_.left);
        });
        registry()[&chart_] = view;
        // The view of a closed form no longer stands for the chart (detach), nor when gone.
        QObject::connect(view, &QObject::destroyed, [key = &chart_, view] {
            auto it = registry().find(key);
            if (it != registry().end() && it->second == view) registry().erase(it);
        });
    }
    void detach() override {
        ControlView::detach();
        auto it = registry().find(&chart_);
        if (it != registry().end() && it->second == widget()) registry().erase(it);
    }
    void sync() override {
        ControlView::sync();
        synclook();
        syncseries();
    }

  private:
    // What the chart shows besides its series. Set again on every repaint, it laid the chart
    // out anew each time, a quarter to a half of the repaint: only a change is set.
    struct Look {
        std::string title;
        int titlefontheight;
        bool legend;
        Axis bottom, left;
        bool operator==(const Look&) const = default;
    };

    void synclook() {
        Look look{chart_.title, chart_.titlefontheight, chart_.legend, chart_.bottom, chart_.left};
        if (applied_ == look) return;
        qchart_->setTitle(QString::fromStdString(look.title));
        QFont f = qchart_->titleFont();
        f.setPixelSize(look.titlefontheight > 0 ? look.titlefontheight : 15);
        qchart_->setTitleFont(f);
        qchart_->legend()->setVisible(look.legend);
        setupaxis(*bottom_, look.bottom);
        setupgrid(*top_, look.bottom);
        setupleft(look.left);
        applied_ = std::move(look);
    }

    // The left axis with its grid axis, labels thinned to the plot area's height.
    void setupleft(const Axis& m) {
        setupaxis(*left_, m);
        setupgrid(*right_, m);
        thinleftlabels();
    }

    struct Shown {
        Series* model;
        SeriesKind kind;
        QXYSeries* series;
    };

    // A short chart cannot show a label at every step of a fine left axis without eliding
    // them all ("..."): label every 2nd, 5th, 10th... step instead, keeping the grid at every
    // step on the hidden grid axis.
    int labelevery() const {
        const Axis& m = chart_.left;
        const double room = qchart_->plotArea().height();
        if (m.step <= 0 || room <= 0) return 1;
        const double steps = std::max((m.max - m.min) / m.step, 1.0);
        const double line = QFontMetrics(left_->labelsFont()).height() * 1.2;
        for (int k : {1, 2, 5, 10, 20}) {
            if (room * k / steps >= line) return k;
        }
        return 50;
    }

    void thinleftlabels() {
        const Axis& m = chart_.left;
        const int every = leftevery_ = labelevery();
        if (every == 1) return;
        left_->setTickType(QValueAxis::TicksDynamic);
        const double interval = m.step * every;
        const double anchor = m.min <= 0 && m.max >= 0 ? 0 : std::ceil(m.min / interval) * interval;
        left_->setTickAnchor(anchor);
        left_->setTickInterval(interval);
        if (m.gridevery == 1) {
            left_->setGridLineVisible(false);
            right_->setTickAnchor(std::ceil(m.min / m.step - 1e-9) * m.step);
            right_->setTickInterval(m.step);
            right_->setGridLineVisible(true);
            right_->setVisible(true);
        }
    }

    void makeaxes() {
        bottom_ = new QValueAxis;
        left_ = new QValueAxis;
        top_ = new QValueAxis;
        right_ = new QValueAxis;
        qchart_->addAxis(bottom_, Qt::AlignBottom);
        qchart_->addAxis(left_, Qt::AlignLeft);
        qchart_->addAxis(top_, Qt::AlignTop);
        qchart_->addAxis(right_, Qt::AlignRight);
        const QPen grid(QColor(160, 160, 160), 1, Qt::DotLine);
        for (QValueAxis* a : {bottom_, left_, top_, right_}) a->setGridLinePen(grid);
    }

    // Keeps the Qt series in the model's order; only a changed list rebuilds them.
    void syncseries() {
        const auto& models = chart_.series();
        bool same = models.size() == shown_.size();
        for (std::size_t i = 0; same && i < models.size(); ++i)
            same = shown_[i].model == models[i] && shown_[i].kind == models[i]->kind;
        if (!same) rebuild();
        for (Shown& s : shown_) fill(s);
    }

    void rebuild() {
        for (Shown& s : shown_) {
            qchart_->removeSeries(s.series);
            delete s.series;
        }
        shown_.clear();
        for (Series* m : chart_.series()) {
            QXYSeries* s = nullptr;
            if (m->kind == SeriesKind::Point) {
                auto* p = new QScatterSeries;
                // At two pixels a square is drawn as a circle would be, at a fraction of the cost
                // for thousands of points.
                p->setMarkerShape(m->markersize <= 3 ? QScatterSeries::MarkerShapeRectangle
                                                     : QScatterSeries::MarkerShapeCircle);
                p->setPen(Qt::NoPen);
                s = p;
            } else {
                s = new QLineSeries;
            }
            qchart_->addSeries(s);
            // Set after the theme has given its own pen.
            if (m->kind != SeriesKind::Point) {
                QPen pen = s->pen();
                pen.setWidth(m->penwidth);
                s->setPen(pen);
            }
            s->attachAxis(bottom_);
            s->attachAxis(left_);
            shown_.push_back({m, m->kind, s});
        }
    }

    void fill(Shown& s) {
        const Series& m = *s.model;
        const QColor fillcolor = qcolor(m.defaultcolor ? kDefaultFirstColor : m.color);
        if (m.kind == SeriesKind::Point) {
            auto* p = static_cast<QScatterSeries*>(s.series);
            if (p->markerSize() != m.markersize) p->setMarkerSize(m.markersize);
            if (p->color() != fillcolor) p->setColor(fillcolor);
        } else {
            const QColor pen = m.defaultcolor ? fillcolor : qcolor(m.pencolor);
            if (s.series->color() != pen) s.series->setColor(pen);
        }
        // A line series' legend marker takes the line's colour unless told otherwise; it shows
        // the series colour, which may differ from the line's.
        for (QLegendMarker* marker : qchart_->legend()->markers(s.series))
            if (marker->brush().color() != fillcolor) marker->setBrush(fillcolor);
        const QString name = QString::fromStdString(m.title);
        if (s.series->name() != name) s.series->setName(name);
        points_.clear();
        points_.reserve(static_cast<qsizetype>(m.points.size()));
        for (const PointF& p : m.points) points_.append(QPointF(p.x, p.y));
        s.series->replace(points_);
    }

    Chart& chart_;
    QChart* qchart_ = nullptr;
    QValueAxis *bottom_ = nullptr, *left_ = nullptr, *top_ = nullptr, *right_ = nullptr;
    int leftevery_ = 1;
    std::optional<Look> applied_;
    std::vector<Shown> shown_;
    QList<QPointF> points_;
};

}  // namespace

QWidget* chartwidget(const Chart& c) {
    auto it = registry().find(&c);
    return it == registry().end() ? nullptr : it->second;
}

ControlView* makechartview(Chart& c, QWidget* parent, FormView& owner) {
    return new ChartView(c, parent, owner);
}

}  // namespace platform::qt
