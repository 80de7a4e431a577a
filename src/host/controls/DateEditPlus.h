#pragma once
// Date edit with a calendar button: a masked edit "99/99/9999;1; " (dd/MM/yyyy)
// whose text is drawn in ValidDateColor while it holds a valid date, and a
// button opening a calendar. Focus handlers registered on the widget itself
// work: the inner edit is its focus proxy and sits inside it.
#include "host/core/HostExport.h"
#include "host/controls/MaskEdit.h"

#include <QColor>
#include <QDate>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

class QCalendarWidget;
class QFrame;
class QToolButton;

namespace hostfw {

class HOSTFW_EXPORT TDateEditPlus : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* DateMask = "99/99/9999;1; ";

    explicit TDateEditPlus(QWidget* parent = nullptr, const QString& name = QString());

    // The date typed; a null QDate when the text is empty or not a valid date.
    QDate Date() const;
    QDate GetDate() const { return Date(); }
    // A null date empties the edit ("  /  /    ").
    void SetDate(const QDate& date);
    QString Text() const;
    void SetText(const QString& text);
    void Clear() { SetDate(QDate()); }
    // True when the text holds no digit.
    bool IsEmpty() const;
    // Stops the operation (shows "'<text>' não é uma data válida." and throws
    // EAbort) when the text is neither empty nor a valid date.
    void CheckValidDate();

    // Names of the week days, Sunday first; DayName() is the date's one.
    QStringList WeekDayNames{QStringLiteral("Domingo"), QStringLiteral("Segunda"), QStringLiteral("Terça"),
                             QStringLiteral("Quarta"), QStringLiteral("Quinta"), QStringLiteral("Sexta"),
                             QStringLiteral("Sábado")};
    QString DayName() const;

    QColor ValidDateColor() const { return validColor_; }
    void SetValidDateColor(const QColor& color);
    bool ReadOnly() const;
    void SetReadOnly(bool readOnly);
    void SetColor(const QColor& color);  // background of the edit

    TMaskEdit* Edit() const { return edit_; }
    QToolButton* CalendarButton() const { return button_; }
    // Opens the calendar below the edit; the popup's calendar is then Calendar().
    void ShowCalendar();
    QCalendarWidget* Calendar() const { return calendar_; }

    // dd/MM/yyyy, blanks around the parts allowed; the year has four digits.
    static QDate ParseDate(const QString& text);

    // Any change of the text; then, when the date value changed, OnDateChange.
    std::function<void()> OnChange;
    std::function<void()> OnDateChange;

private:
    void textChanged();
    void calendarPicked(const QDate& date);
    TMaskEdit* edit_;
    QToolButton* button_;
    QPointer<QFrame> popup_;
    QCalendarWidget* calendar_ = nullptr;
    QColor validColor_ = Qt::blue;
    QDate lastDate_;
};

} // namespace hostfw
