#include "icons_art_engine.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <cstring>

#include "icon_art.h"

namespace tsyqt {
namespace {

QPixmap RenderedPixmap(int id, int side) {
    const IconImage art = AfxRenderIcon(id, side);
    QImage image(art.size, art.size, QImage::Format_ARGB32);
    for (int y = 0; y < art.size; ++y) {
        std::memcpy(image.scanLine(y), art.argb.data() + static_cast<std::size_t>(y) * art.size,
                    static_cast<std::size_t>(art.size) * sizeof(std::uint32_t));
    }
    return QPixmap::fromImage(image);
}

QPixmap TransparentPixmap(int side) {
    QPixmap empty(side, side);
    empty.fill(Qt::transparent);
    return empty;
}

}  // namespace

ArtIconEngine::ArtIconEngine(int resourceId, bool blank)
    : ArtIconEngine(resourceId, blank, std::make_shared<RenderedSizes>()) {}

ArtIconEngine::ArtIconEngine(int resourceId, bool blank, std::shared_ptr<RenderedSizes> rendered)
    : m_resourceId(resourceId), m_blank(blank), m_rendered(std::move(rendered)) {}

const QPixmap& ArtIconEngine::Rendered(int side) {
    auto [slot, added] = m_rendered->try_emplace(side);
    if (added)
        slot->second = m_blank ? TransparentPixmap(side) : RenderedPixmap(m_resourceId, side);
    return slot->second;
}

QPixmap ArtIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) {
    // The art is square: the largest square that fits what was asked.
    const int side = std::min(size.width(), size.height());
    if (side <= 0) return QPixmap();
    const QPixmap& normal = Rendered(side);
    // Disabled and selected looks are the style's to make, as for any other icon.
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (mode == QIcon::Normal || application == nullptr) return normal;
    return QApplication::style()->generatedIconPixmap(mode, normal, nullptr);
}

void ArtIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
                          QIcon::State state) {
    const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1;
    const int side = std::min(rect.width(), rect.height());
    QPixmap image = pixmap(QSize(side, side) * ratio, mode, state);
    if (image.isNull()) return;
    const QRect target(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2,
                       side, side);
    painter->drawPixmap(target, image);
}

QSize ArtIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State) {
    const int side = std::min(size.width(), size.height());
    return QSize(side, side);
}

QList<QSize> ArtIconEngine::availableSizes(QIcon::Mode, QIcon::State) {
    // A window on Windows carries a small and a large icon; these are their usual sizes.
    return {QSize(16, 16), QSize(32, 32)};
}

QString ArtIconEngine::key() const {
    return QStringLiteral("tessaly-art");
}

QIconEngine* ArtIconEngine::clone() const {
    return new ArtIconEngine(m_resourceId, m_blank, m_rendered);
}

std::vector<int> ArtIconEngine::RenderedSides() const {
    std::vector<int> sides;
    for (const auto& [side, image] : *m_rendered) sides.push_back(side);
    return sides;
}

}  // namespace tsyqt
