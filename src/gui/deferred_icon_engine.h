#pragma once
// An icon made when it is first drawn, measured or asked for a picture, so that a run that never
// shows it (unattended) never pays for making it. Sizes known beforehand are told without making
// it. It does not deal with what the icon is made from: the maker decides.

#include <QIcon>
#include <QIconEngine>
#include <QList>
#include <QPainter>
#include <QPixmap>
#include <QSize>

#include <functional>
#include <optional>
#include <utility>

namespace stowix {

class DeferredIconEngine final : public QIconEngine {
public:
    // knownSizes: the sizes the made icon will have; empty when only the made icon can tell.
    explicit DeferredIconEngine(std::function<QIcon()> make, QList<QSize> knownSizes = {})
        : m_make(std::move(make)), m_knownSizes(std::move(knownSizes)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return Icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return m_knownSizes.isEmpty() ? Icon().availableSizes(mode, state) : m_knownSizes;
    }
    bool isNull() override { return m_knownSizes.isEmpty() && Icon().isNull(); }
    QString key() const override { return QStringLiteral("StowixDeferred"); }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

private:
    const QIcon& Icon() {
        if (!m_icon) m_icon = m_make();
        return *m_icon;
    }

    std::function<QIcon()> m_make;
    QList<QSize> m_knownSizes;
    std::optional<QIcon> m_icon;
};

}  // namespace stowix
