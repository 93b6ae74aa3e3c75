#include "TintedIconEngine.h"

#include <QPainter>
#include <QSvgRenderer>

using namespace Qt::StringLiterals;

TintedIconEngine::TintedIconEngine(const QString& resource, const QColor& color)
    : m_resource(resource)
    , m_color(color)
{
}

void TintedIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state)
{
    const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, scale));
}

QPixmap TintedIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    return scaledPixmap(size, mode, state, 1.0);
}

QPixmap TintedIconEngine::scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale)
{
    QPixmap pixmap(size * scale);
    pixmap.fill(Qt::transparent);
    pixmap.setDevicePixelRatio(scale);
    QPainter painter(&pixmap);
    QSvgRenderer(m_resource).render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    // The drawing is black on transparent; keep its shape and take the colour.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    QColor color = m_color;
    if (mode == QIcon::Disabled) {
        color.setAlphaF(color.alphaF() * 0.4f);
    }
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(size)), color);
    return pixmap;
}

QIconEngine* TintedIconEngine::clone() const
{
    return new TintedIconEngine(m_resource, m_color);
}

QString TintedIconEngine::key() const
{
    return u"trellick-tinted"_s;
}
