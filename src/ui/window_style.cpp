#include "window_style.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPalette>
#include <QPushButton>
#include <QStyle>
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

QFont listFontFitting(const QListView *list, int columns)
{
    const QStyle *style = list->style();
    // A view's text starts a focus margin and a pixel in from the left of its item; on the
    // right only the scroll bar and the frame cut it off.
    const int textMargin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    const qreal room = list->width() - 2 * list->frameWidth()
        - style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list) - textMargin;
    QFont font = listFont();
    const QString line(columns, QLatin1Char('0'));
    for (qreal size = kPointSize; size >= 6; size -= 0.25) {
        font.setPointSizeF(size);
        if (QFontMetricsF(font, list).horizontalAdvance(line) <= room)
            break;
    }
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

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption,
                        const QRect &geometry, bool bold)
{
    auto *control = placeControl<QPushButton>(parent, name, geometry, windowFont(bold));
    control->setText(caption);
    return control;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, const QRect &geometry,
                  Qt::Alignment alignment, bool bold)
{
    auto *control = placeControl<QLabel>(parent, name, geometry, windowFont(bold));
    control->setText(caption);
    control->setTextFormat(Qt::PlainText);
    control->setWordWrap(true);
    control->setAlignment(alignment | Qt::AlignTop);
    return control;
}

QLineEdit *makeField(QWidget *parent, const char *name, const QRect &geometry,
                     const QString &accessibleName)
{
    auto *control = placeControl<QLineEdit>(parent, name, geometry, windowFont());
    control->setAccessibleName(accessibleName);
    return control;
}

QLineEdit *makeCounterField(QWidget *parent, const char *name, const QRect &geometry,
                            const QString &accessibleName)
{
    QLineEdit *control = makeField(parent, name, geometry, accessibleName);
    control->setReadOnly(true);
    control->setFocusPolicy(Qt::NoFocus);
    control->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    control->setCursor(Qt::ArrowCursor);
    return control;
}

QListView *makeLineList(QWidget *parent, const char *name, const QRect &geometry, int columns)
{
    auto *control = placeControl<QListView>(parent, name, geometry, listFont());
    // The last column of each line must show without scrolling.
    control->setFont(listFontFitting(control, columns));
    control->setSelectionMode(QAbstractItemView::MultiSelection);
    // Every line has the same height, so the view asks only for the rows it draws.
    control->setUniformItemSizes(true);
    // The font makes every line's text fit; a scroll bar would only make room for the
    // margin the view keeps after it.
    control->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    control->setTextElideMode(Qt::ElideNone);
    return control;
}
