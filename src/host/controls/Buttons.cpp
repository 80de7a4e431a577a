#include "host/controls/Buttons.h"

#include "host/core/Failures.h"
#include "host/core/Focus.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>

namespace hostfw {

TButtonFlat::TButtonFlat(QWidget* parent, const QString& name, const QString& caption) : QToolButton(parent) {
    if (!name.isEmpty()) setObjectName(name);
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    Focus::instance();  // a click leaves the focus where it was
    SetCaption(caption);
    connect(this, &QAbstractButton::clicked, this, [this] { guard([this] { Click(); }); });
}

void TButtonFlat::SetCaption(const QString& caption) {
    setText(caption);
    setToolButtonStyle(!caption.isEmpty() && !icon().isNull() ? Qt::ToolButtonTextUnderIcon
                       : caption.isEmpty()                    ? Qt::ToolButtonIconOnly
                                                              : Qt::ToolButtonTextOnly);
}

void TButtonFlat::SetGlyph(const QIcon& glyph) {
    setIcon(glyph);
    SetCaption(text());
}

void TButtonFlat::Click() {
    if (OnClick) {
        auto handler = OnClick;
        handler();
    }
}

namespace {

// Without a desktop (offscreen, a bare X server) Qt knows neither the icon
// folders nor a theme with command icons.
void useIconTheme() {
    static const bool done = [] {
        QStringList paths = QIcon::themeSearchPaths();
        for (const QString& dir :
             QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                       QStandardPaths::LocateDirectory))
            if (!paths.contains(dir)) paths << dir;
        QIcon::setThemeSearchPaths(paths);
        const QString theme = QIcon::themeName();
        if (theme.isEmpty() || theme == QLatin1String("hicolor"))
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        else
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    (void)done;
}

QPixmap disabledForm(const QPixmap& normal) {
    QImage grey = normal.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const int g = 128 + qGray(line[x]) / 2;
            line[x] = qRgba(g, g, g, qAlpha(line[x]) * 2 / 5);
        }
    }
    QPixmap out = QPixmap::fromImage(grey);
    out.setDevicePixelRatio(normal.devicePixelRatio());
    return out;
}

QPixmap tinted(const QPixmap& grey, const QColor& tint) {
    QImage image = grey.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const double shade = 0.45 + qGray(line[x]) / 464.0;
            line[x] = qRgba(qMin(255, int(tint.red() * shade)), qMin(255, int(tint.green() * shade)),
                            qMin(255, int(tint.blue() * shade)), qAlpha(line[x]));
        }
    }
    QPixmap out = QPixmap::fromImage(image);
    out.setDevicePixelRatio(grey.devicePixelRatio());
    return out;
}

QPixmap canvas() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

QIcon commandIcon(const QString& themeName, QStyle::StandardPixmap fallback, const QColor& tint) {
    return commandIcon(themeName, QApplication::style()->standardIcon(fallback), tint);
}

QIcon commandIcon(const QString& themeName, const QIcon& fallback, const QColor& tint) {
    useIconTheme();
    // Qt's icon cache keeps the name: a copy of our own, since a literal of a
    // module's data would dangle once the module is unloaded.
    QIcon source = themeName.isEmpty() ? QIcon() : QIcon::fromTheme(QString(themeName.constData(), themeName.size()));
    if (source.isNull()) source = fallback;
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48}) {
        QPixmap normal = source.pixmap(QSize(size, size));
        if (normal.isNull()) continue;
        if (tint.isValid()) normal = tinted(normal, tint);
        icon.addPixmap(normal, QIcon::Normal);
        icon.addPixmap(normal, QIcon::Active);
        icon.addPixmap(disabledForm(normal), QIcon::Disabled);
    }
    return icon;
}

QIcon searchIcon() {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.6));
    p.setBrush(QColor(200, 225, 255));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(QColor(40, 40, 40), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
    p.end();
    return QIcon(pixmap);
}

QIcon calendarIcon() {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setPen(QColor(60, 60, 60));
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 12);
    p.fillRect(2, 3, 12, 3, QColor(180, 40, 40));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col) p.fillRect(3 + col * 3, 7 + row * 2, 2, 1, QColor(60, 60, 60));
    p.end();
    return QIcon(pixmap);
}

} // namespace hostfw
