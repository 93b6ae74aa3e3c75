#pragma once

#include <QColor>
#include <QIconEngine>
#include <QString>

// Paints a bundled single-colour SVG drawing in a chosen colour, sharp at any size.
class TintedIconEngine : public QIconEngine
{
public:
    TintedIconEngine(const QString& resource, const QColor& color);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override;
    QIconEngine* clone() const override;
    QString key() const override;

private:
    QString m_resource;
    QColor m_color;
};
