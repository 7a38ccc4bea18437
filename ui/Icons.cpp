#include "ui/Icons.h"

#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <memory>

// Q_INIT_RESOURCE may not be used inside a namespace.
static void initIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace {

// Renders the SVG at whatever size is asked for, so icons stay crisp from the
// 16 px list glyph to a 256 px desktop icon, with no image-format plugin.
class SvgIconEngine : public QIconEngine {
  public:
    explicit SvgIconEngine(const QByteArray& svg) : m_svg(svg) {}

    QIconEngine* clone() const override { return new SvgIconEngine(m_svg); }
    QString key() const override { return QStringLiteral("VellumSvgIconEngine"); }
    bool isNull() override { return !renderer().isValid(); }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {QSize(16, 16), QSize(24, 24),   QSize(32, 32),  QSize(48, 48),
                QSize(64, 64), QSize(128, 128), QSize(256, 256)};
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap pm = pixmap(rect.size() * dpr, mode, state);
        pm.setDevicePixelRatio(dpr);
        painter->drawPixmap(rect, pm);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        if (size.isEmpty() || !renderer().isValid())
            return {};
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            // Keep the aspect ratio and centre the drawing.
            QSizeF drawn = renderer().defaultSize();
            drawn.scale(size, Qt::KeepAspectRatio);
            const QRectF target((size.width() - drawn.width()) / 2.0,
                                (size.height() - drawn.height()) / 2.0, drawn.width(),
                                drawn.height());
            renderer().render(&p, target);
        }
        if (mode == QIcon::Disabled)
            image = disabled(image);
        return QPixmap::fromImage(image);
    }

  private:
    static QImage disabled(QImage image) {
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const QRgb px = line[x];
                const int a = qAlpha(px) * 45 / 100;
                // Premultiplied: scale the grey by the same factor as alpha.
                const int g = qGray(px) * 45 / 100;
                line[x] = qRgba(g, g, g, a);
            }
        }
        return image;
    }

    QSvgRenderer& renderer() {
        if (!m_renderer)
            m_renderer = std::make_unique<QSvgRenderer>(m_svg);
        return *m_renderer;
    }

    QByteArray m_svg;
    std::unique_ptr<QSvgRenderer> m_renderer;
};

} // namespace

namespace Icons {

QStringList names() {
    return {QString::fromLatin1(NewPost),     QString::fromLatin1(Save),
            QString::fromLatin1(Delete),      QString::fromLatin1(Settings),
            QString::fromLatin1(About),       QString::fromLatin1(Help),
            QString::fromLatin1(Send),        QString::fromLatin1(InsertLink),
            QString::fromLatin1(InsertImage), QString::fromLatin1(InsertFlash),
            QString::fromLatin1(InsertRm),    QString::fromLatin1(InsertMp),
            QString::fromLatin1(Preview),     QString::fromLatin1(Row),
            QString::fromLatin1(Dock),        QString::fromLatin1(Program)};
}

void init() {
    static const bool done = [] {
        initIconResources();
        return true;
    }();
    (void)done;
}

QString resourcePath(const QString& name) {
    return QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
}

QIcon get(const QString& name) {
    init();
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return {};
    QFile file(resourcePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QIcon(new SvgIconEngine(file.readAll()));
}

} // namespace Icons
