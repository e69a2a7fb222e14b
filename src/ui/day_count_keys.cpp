#include "day_count_keys.h"

#include "listing/day_count.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include <optional>

namespace {

// What a key press types, as the filter reads it: backspace and the delete character for
// the two deleting keys; a character the filter refuses for cut, paste, undo and redo,
// whatever text the platform gives them; nothing for keys that type nothing.
std::optional<char16_t> typedCharacter(const QKeyEvent &key)
{
    for (const auto editing :
         { QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo, QKeySequence::Redo }) {
        if (key.matches(editing))
            return u'\0';
    }
    switch (key.key()) {
    case Qt::Key_Backspace:
        return char16_t(8);
    case Qt::Key_Delete:
        return char16_t(127);
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return std::nullopt;
    default:
        return key.text().isEmpty() ? std::nullopt : std::optional(key.text().front().unicode());
    }
}

} // namespace

DayCountKeys::DayCountKeys(QLineEdit *field)
    : QObject(field)
{
    field->installEventFilter(this);
    field->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
}

bool DayCountKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const std::optional<char16_t> typed = typedCharacter(*static_cast<QKeyEvent *>(event));
    return typed && !dayCountKeyPasses(*typed);
}
