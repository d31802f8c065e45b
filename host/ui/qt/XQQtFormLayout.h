#pragma once
// Inside the window front end only: the layout of a dialog's page. Each box
// keeps the place its template gives it, mapped onto the page's current size:
// across, every box grows in proportion; down, only the views that show many
// lines (and the frames around them) take the extra height, while single-line
// controls keep theirs and move along. The smallest size is the template's,
// widened and heightened where a box needs more room than its rectangle.
#include <QLayout>
#include <QRect>
#include <vector>

class XQQtFormLayout : public QLayout {
  public:
    enum class Kind { Fixed, Grows, Frame };

    // size: the template's page, margins included.
    XQQtFormLayout(QWidget* page, QSize size);
    ~XQQtFormLayout() override;

    // box (a child of the page) at rect of the template.
    void AddBox(QWidget* box, const QRect& rect, Kind kind);

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;
    void invalidate() override;
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal | Qt::Vertical; }

  private:
    struct Box {
        QLayoutItem* item;
        QRect rect;  // the template's
        Kind kind;
        // Worked out from all the boxes by Solve.
        mutable bool grows = false;  // takes extra height
        mutable int anchor = -1;     // the outermost fixed frame holding it (-1: none)
    };
    // Edges of the template's rectangles on one axis, and the smallest length
    // of each stretch between two neighbouring edges.
    struct Axis {
        std::vector<int> cuts;
        std::vector<double> gaps;
        int Index(int at) const;
        double Total() const;
    };
    void Solve() const;

    std::vector<Box> m_boxes;
    QSize m_size;
    mutable bool m_solved = false;
    mutable Axis m_x, m_y;
};
