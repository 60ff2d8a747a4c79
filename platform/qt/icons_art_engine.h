// An icon that paints itself from the program's artwork at the size it is asked for.
#pragma once

#include <QIconEngine>
#include <QPixmap>
#include <map>
#include <memory>
#include <vector>

namespace tsyqt {

// Renders the artwork of one icon resource on demand and keeps every size it rendered, so a
// program that shows its icons at two sizes never pays for the other sizes a desktop might ask
// for. A blank engine stands for an image the resource holds as fully transparent: it stays
// transparent at every size. Used on the GUI thread only, as pixmaps are.
class ArtIconEngine : public QIconEngine {
  public:
    ArtIconEngine(int resourceId, bool blank);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    // The sizes a window's icon is offered at (the title bar, the task bar, the switcher).
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QString key() const override;
    QIconEngine* clone() const override;

    // The sides, in pixels, this icon and its copies have been rendered at so far.
    std::vector<int> RenderedSides() const;

  private:
    using RenderedSizes = std::map<int, QPixmap>;

    ArtIconEngine(int resourceId, bool blank, std::shared_ptr<RenderedSizes> rendered);
    const QPixmap& Rendered(int side);

    int m_resourceId;
    bool m_blank;
    std::shared_ptr<RenderedSizes> m_rendered;  // shared with the copies Qt makes of the icon
};

}  // namespace tsyqt
