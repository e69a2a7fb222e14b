#pragma once

#include <QObject>

class QLineEdit;

// The days field's key filter: of the keys that type into it, only the digits, backspace
// and delete get through (dayCountKeyPasses()); keys that type nothing (arrows, Home, Tab)
// are left alone. Text pasted or dropped with the mouse is kept to digits by a validator.
class DayCountKeys : public QObject
{
    Q_OBJECT

public:
    // Filters the keys of `field`, which owns the filter.
    explicit DayCountKeys(QLineEdit *field);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
