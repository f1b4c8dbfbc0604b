// Chart models: fixed axes and line or point series. The backend draws them; windows fill the
// series with a prepared point list and repaint once.
#pragma once

#include <string>
#include <vector>

#include "platform/component.h"

namespace platform {

struct PointF {
    double x = 0, y = 0;
};

struct Axis {
    std::string title;
    double min = 0, max = 1;
    double step = 0.2;  // distance between labels
    int gridevery = 1;  // a grid line at every n-th label; 0 = no grid
    bool visible = true;
    bool operator==(const Axis&) const = default;
};

enum class SeriesKind { Line, Point };

class Series {
  public:
    Series(std::string name, SeriesKind kind) : kind(kind), name_(std::move(name)) {}
    const std::string& name() const { return name_; }
    SeriesKind kind;
    std::string title;
    Color color = kBlue;
    Color pencolor = kBlue;     // line pen; equal to color unless set apart
    bool defaultcolor = false;  // the chart's default first colour, red
    int markersize = 2;
    int penwidth = 2;  // line pen, pixels
    std::vector<PointF> points;
    void clear() { points.clear(); }
    void add(double x, double y) { points.push_back({x, y}); }

  private:
    std::string name_;
};

class Chart : public Control {
  public:
    explicit Chart(std::string name) : Control(Kind::Chart, std::move(name)) {}
    std::string title;
    int titlefontheight = 15;
    bool titleshadow = true;
    bool legend = false;
    bool panning = false, zooming = false;
    Axis bottom, left;
    bool topvisible = true, rightvisible = true;

    // Series in drawing (and legend) order; attaching an attached series changes nothing.
    const std::vector<Series*>& series() const { return series_; }
    void attach(Series& s);
    void detach(Series& s);
    bool attached(const Series& s) const;
    // Redraws the chart from its series.
    void repaint();
    int repaints() const { return repaints_; }

  private:
    std::vector<Series*> series_;
    int repaints_ = 0;
};

}  // namespace platform
