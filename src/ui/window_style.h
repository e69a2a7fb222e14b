#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QWidget;

// The window is laid out in twips, 1440 to the inch; at 96 dpi that is 15 to a logical
// pixel. Qt's high-DPI scaling takes it from there on larger screens.
inline constexpr int kTwipsPerPixel = 15;

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                 height / kTwipsPerPixel);
}

inline const QColor kWindowPurple(128, 0, 128);
inline const QColor kPaleYellow(255, 255, 128);
inline const QColor kProgressYellow(255, 255, 0);

// The window's sans font at 8.25 pt, regular or bold.
QFont windowFont(bool bold = false);
// A monospaced font of the same size, which keeps the list's columns aligned.
QFont listFont();
// The list font, made smaller where needed so that lines of `columns` characters fit the
// list beside its vertical scroll bar, down to 6 pt.
QFont listFontFitting(const QListView *list, int columns);

// Sets the text colour, and the background colour when one is given; otherwise the
// widget lets the window show through.
void setColours(QWidget *widget, const QColor &text, const QColor &background = QColor());
void setWindowBackground(QWidget *window, const QColor &background);

// The window's controls, each with its object name, place and font.
QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption,
                        const QRect &geometry, bool bold = false);
QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, const QRect &geometry,
                  Qt::Alignment alignment, bool bold);
QLineEdit *makeField(QWidget *parent, const char *name, const QRect &geometry,
                     const QString &accessibleName);
// A field that only shows a count: read-only, right-aligned, never focused, with the arrow
// pointer.
QLineEdit *makeCounterField(QWidget *parent, const char *name, const QRect &geometry,
                            const QString &accessibleName);
// A list of fixed-column lines of `columns` characters, each shown whole in the list font
// made small enough, whose rows a click selects or deselects one at a time.
QListView *makeLineList(QWidget *parent, const char *name, const QRect &geometry, int columns);

template<typename Control>
Control *placeControl(QWidget *parent, const char *name, const QRect &geometry, const QFont &font)
{
    auto *control = new Control(parent);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(geometry);
    control->setFont(font);
    return control;
}
