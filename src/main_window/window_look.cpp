#include "window_look.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPalette>
#include <QWidget>

namespace {

constexpr double kPointSize = 8.25;

QFont preferredFont(const QString &family, QFont fallback)
{
    if (QFontDatabase::families().contains(family)) {
        QFont font(family);
        font.setPointSizeF(kPointSize);
        return font;
    }
    fallback.setPointSizeF(kPointSize);
    return fallback;
}

} // namespace

QFont windowFont(bool bold)
{
    QFont font = preferredFont(QStringLiteral("Liberation Sans"),
                               QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    font.setBold(bold);
    return font;
}

QFont listFont()
{
    QFont font = preferredFont(QStringLiteral("Liberation Mono"),
                               QFontDatabase::systemFont(QFontDatabase::FixedFont));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

void setColours(QWidget *widget, const QColor &text, const QColor &background)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    if (background.isValid()) {
        palette.setColor(QPalette::Window, background);
        palette.setColor(QPalette::Base, background);
        widget->setAutoFillBackground(true);
    }
    widget->setPalette(palette);
}

void setWindowBackground(QWidget *window, const QColor &background)
{
    // Only the window's own surface: fields and lists inside keep their usual colours.
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, background);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}
