#include "host/ui/qt/XQQtFormLayout.h"

#include <QWidget>
#include <QWidgetItem>
#include <algorithm>
#include <cmath>

namespace {

// A box asks for at most this many times its template's length: a text that
// long is better cut than a window that leaves the screen.
constexpr int kMaxWider = 3;
constexpr int kMaxTaller = 4;

}  // namespace

int XQQtFormLayout::Axis::Index(int at) const {
    return static_cast<int>(std::lower_bound(cuts.begin(), cuts.end(), at) - cuts.begin());
}

double XQQtFormLayout::Axis::Total() const {
    double total = 0;
    for (double gap : gaps) total += gap;
    return total;
}

XQQtFormLayout::XQQtFormLayout(QWidget* page, QSize size) : QLayout(page), m_size(size) {
    setContentsMargins(0, 0, 0, 0);
}

XQQtFormLayout::~XQQtFormLayout() {
    for (Box& box : m_boxes) delete box.item;
}

void XQQtFormLayout::AddBox(QWidget* box, const QRect& rect, Kind kind) {
    addChildWidget(box);
    m_boxes.push_back({new QWidgetItem(box), rect, kind});
    invalidate();
}

void XQQtFormLayout::addItem(QLayoutItem* item) {
    const QRect rect = item->widget() ? item->widget()->geometry() : item->geometry();
    m_boxes.push_back({item, rect, Kind::Fixed});
    invalidate();
}

QLayoutItem* XQQtFormLayout::itemAt(int index) const {
    return index >= 0 && index < count() ? m_boxes[static_cast<size_t>(index)].item : nullptr;
}

QLayoutItem* XQQtFormLayout::takeAt(int index) {
    if (index < 0 || index >= count()) return nullptr;
    QLayoutItem* item = m_boxes[static_cast<size_t>(index)].item;
    m_boxes.erase(m_boxes.begin() + index);
    invalidate();
    return item;
}

int XQQtFormLayout::count() const {
    return static_cast<int>(m_boxes.size());
}

void XQQtFormLayout::invalidate() {
    m_solved = false;
    QLayout::invalidate();
}

QSize XQQtFormLayout::minimumSize() const {
    Solve();
    return QSize(static_cast<int>(std::ceil(m_x.Total())),
                 static_cast<int>(std::ceil(m_y.Total())));
}

QSize XQQtFormLayout::sizeHint() const {
    return minimumSize();
}

// The smallest lengths: the template's, each stretch under a box that needs
// more widened in proportion until the box gets what it needs. Stretches only
// grow, so a box once satisfied stays so.
void XQQtFormLayout::Solve() const {
    if (m_solved) return;
    const std::vector<Box>& boxes = m_boxes;
    for (const Box& box : boxes) {
        box.grows = box.kind == Kind::Grows;
        box.anchor = -1;
    }
    for (const Box& frame : boxes)
        if (frame.kind == Kind::Frame)
            for (const Box& inner : boxes)
                if (inner.kind == Kind::Grows && frame.rect.contains(inner.rect))
                    frame.grows = true;
    // A control in a frame that keeps its height moves with the frame.
    for (size_t i = 0; i < boxes.size(); ++i)
        for (size_t f = 0; f < boxes.size(); ++f) {
            const Box& frame = boxes[f];
            if (f == i || frame.kind != Kind::Frame || frame.grows || boxes[i].grows) continue;
            if (!frame.rect.contains(boxes[i].rect)) continue;
            const int current = boxes[i].anchor;
            if (current < 0 || frame.rect.contains(boxes[static_cast<size_t>(current)].rect))
                boxes[i].anchor = static_cast<int>(f);
        }

    auto prepare = [&](Axis& axis, int length, auto start, auto extent) {
        axis.cuts = {0, length};
        for (const Box& box : boxes) {
            axis.cuts.push_back(start(box.rect));
            axis.cuts.push_back(start(box.rect) + extent(box.rect));
        }
        std::sort(axis.cuts.begin(), axis.cuts.end());
        axis.cuts.erase(std::unique(axis.cuts.begin(), axis.cuts.end()), axis.cuts.end());
        axis.gaps.clear();
        for (size_t i = 0; i + 1 < axis.cuts.size(); ++i)
            axis.gaps.push_back(axis.cuts[i + 1] - axis.cuts[i]);
    };
    auto widen = [](Axis& axis, int from, int to, double need) {
        const int first = axis.Index(from), last = axis.Index(to);
        double have = 0;
        for (int i = first; i < last; ++i) have += axis.gaps[static_cast<size_t>(i)];
        if (have <= 0 || have >= need) return;
        for (int i = first; i < last; ++i) axis.gaps[static_cast<size_t>(i)] *= need / have;
    };

    std::vector<size_t> order(boxes.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return boxes[a].rect.right() < boxes[b].rect.right(); });
    prepare(
        m_x, m_size.width(), [](const QRect& r) { return r.x(); },
        [](const QRect& r) { return r.width(); });
    for (size_t i : order) {
        const Box& box = boxes[i];
        const int need = std::min(box.item->minimumSize().width(), box.rect.width() * kMaxWider);
        widen(m_x, box.rect.x(), box.rect.x() + box.rect.width(), need);
    }

    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return boxes[a].rect.bottom() < boxes[b].rect.bottom(); });
    prepare(
        m_y, m_size.height(), [](const QRect& r) { return r.y(); },
        [](const QRect& r) { return r.height(); });
    for (size_t i : order) {
        const Box& box = boxes[i];
        // A text that wraps needs the height of its lines at the width it gets.
        double width = 0;
        for (int g = m_x.Index(box.rect.x()); g < m_x.Index(box.rect.x() + box.rect.width()); ++g)
            width += m_x.gaps[static_cast<size_t>(g)];
        int need = box.item->minimumSize().height();
        if (box.item->hasHeightForWidth())
            need = std::max(need, box.item->heightForWidth(static_cast<int>(width)));
        need = std::min(need, box.rect.height() * kMaxTaller);
        widen(m_y, box.rect.y(), box.rect.y() + box.rect.height(), need);
    }
    m_solved = true;
}

void XQQtFormLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    Solve();
    // Across, every stretch in proportion.
    const double wider = std::max(1.0, rect.width() / std::max(m_x.Total(), 1.0));
    std::vector<double> xs{static_cast<double>(rect.x())};
    for (double gap : m_x.gaps) xs.push_back(xs.back() + gap * wider);
    // Down, the extra height goes to the stretches a growing view covers.
    std::vector<bool> growing(m_y.gaps.size(), false);
    for (const Box& box : m_boxes)
        if (box.kind == Kind::Grows)
            for (int g = m_y.Index(box.rect.y()); g < m_y.Index(box.rect.y() + box.rect.height());
                 ++g)
                growing[static_cast<size_t>(g)] = true;
    double growLength = 0;
    for (size_t g = 0; g < growing.size(); ++g)
        if (growing[g]) growLength += m_y.gaps[g];
    const double extra = std::max(0.0, rect.height() - m_y.Total());
    std::vector<double> ys{static_cast<double>(rect.y())}, least{static_cast<double>(rect.y())};
    for (size_t g = 0; g < m_y.gaps.size(); ++g) {
        least.push_back(least.back() + m_y.gaps[g]);
        const double share = growing[g] && growLength > 0 ? extra * m_y.gaps[g] / growLength : 0;
        ys.push_back(ys.back() + m_y.gaps[g] + share);
    }
    for (const Box& box : m_boxes) {
        const QRect& r = box.rect;
        const double left = xs[static_cast<size_t>(m_x.Index(r.x()))];
        const double right = xs[static_cast<size_t>(m_x.Index(r.x() + r.width()))];
        const size_t top = static_cast<size_t>(m_y.Index(r.y()));
        const size_t bottom = static_cast<size_t>(m_y.Index(r.y() + r.height()));
        double y = ys[top], height = ys[bottom] - ys[top];
        if (!box.grows) {
            // Keeps its smallest height and its place in its frame.
            const size_t anchor =
                box.anchor < 0 ? top
                               : static_cast<size_t>(
                                     m_y.Index(m_boxes[static_cast<size_t>(box.anchor)].rect.y()));
            y = ys[anchor] + least[top] - least[anchor];
            height = least[bottom] - least[top];
        }
        box.item->setGeometry(QRect(
            static_cast<int>(std::lround(left)), static_cast<int>(std::lround(y)),
            static_cast<int>(std::lround(right - left)), static_cast<int>(std::lround(height))));
    }
}
