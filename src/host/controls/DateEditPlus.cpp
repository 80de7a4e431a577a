#include "host/controls/DateEditPlus.h"

#include "host/controls/Buttons.h"
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"

#include <QCalendarWidget>
#include <QFrame>
#include <QHBoxLayout>
#include <QLocale>
#include <QToolButton>
#include <QVBoxLayout>

namespace hostfw {

TDateEditPlus::TDateEditPlus(QWidget* parent, const QString& name) : QWidget(parent) {
    if (!name.isEmpty()) setObjectName(name);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    edit_ = new TMaskEdit(this);
    edit_->SetEditMask(QString::fromLatin1(DateMask));
    edit_->OnChange = [this] { textChanged(); };
    layout->addWidget(edit_);

    button_ = new QToolButton(this);
    button_->setIcon(commandIcon(QStringLiteral("x-office-calendar"), calendarIcon()));
    button_->setFocusPolicy(Qt::NoFocus);
    button_->setToolTip(QStringLiteral("Calendário"));
    button_->setCursor(Qt::ArrowCursor);
    layout->addWidget(button_);
    connect(button_, &QToolButton::clicked, this, [this] { guard([this] { ShowCalendar(); }); });

    setFocusProxy(edit_);
    setFocusPolicy(Qt::StrongFocus);
    const int width = edit_->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 12;
    edit_->setMinimumWidth(width);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QDate TDateEditPlus::ParseDate(const QString& text) {
    const QStringList parts = text.split(QChar('/'));
    if (parts.size() != 3) return {};
    int values[3];
    for (int i = 0; i < 3; ++i) {
        const QString part = parts[i].trimmed();
        // A year of fewer digits is one still being typed, not a date.
        if (i == 2 ? part.size() != 4 : (part.isEmpty() || part.size() > 2)) return {};
        for (QChar c : part)
            if (!c.isDigit()) return {};
        values[i] = part.toInt();
    }
    const QDate date(values[2], values[1], values[0]);
    return date.isValid() ? date : QDate();
}

QDate TDateEditPlus::Date() const { return ParseDate(Text()); }

void TDateEditPlus::SetDate(const QDate& date) {
    edit_->SetText(date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QString());
}

QString TDateEditPlus::Text() const { return edit_->Text(); }

void TDateEditPlus::SetText(const QString& text) { edit_->SetText(text); }

bool TDateEditPlus::IsEmpty() const {
    for (QChar c : Text())
        if (c.isDigit()) return false;
    return true;
}

void TDateEditPlus::CheckValidDate() {
    if (IsEmpty() || Date().isValid()) return;
    dialogs().message(DialogKind::Error, QStringLiteral("'%1' não é uma data válida.").arg(Text()));
    throw EAbort();
}

QString TDateEditPlus::DayName() const {
    const QDate date = Date();
    if (!date.isValid() || WeekDayNames.size() < 7) return {};
    return WeekDayNames[date.dayOfWeek() % 7];  // Qt: Monday 1 .. Sunday 7
}

void TDateEditPlus::SetValidDateColor(const QColor& color) {
    validColor_ = color;
    edit_->SetFontColor(Date().isValid() ? validColor_ : QColor());
}

bool TDateEditPlus::ReadOnly() const { return edit_->isReadOnly(); }

void TDateEditPlus::SetReadOnly(bool readOnly) {
    edit_->setReadOnly(readOnly);
    button_->setEnabled(!readOnly);
}

void TDateEditPlus::SetColor(const QColor& color) { edit_->SetColor(color); }

void TDateEditPlus::textChanged() {
    const QDate date = Date();
    edit_->SetFontColor(date.isValid() ? validColor_ : QColor());
    if (OnChange) {
        auto handler = OnChange;
        handler();
    }
    if (date != lastDate_) {
        lastDate_ = date;
        if (OnDateChange) {
            auto handler = OnDateChange;
            handler();
        }
    }
}

void TDateEditPlus::ShowCalendar() {
    if (ReadOnly() || !isEnabled()) return;
    // Opening the calendar is like entering the edit: the previous field's
    // exit handling may refuse it.
    edit_->setFocus(Qt::MouseFocusReason);
    if (isActiveWindow() && !edit_->hasFocus()) return;

    if (!popup_) {
        popup_ = new QFrame(this, Qt::Popup);
        popup_->setFrameShape(QFrame::StyledPanel);
        auto* layout = new QVBoxLayout(popup_);
        layout->setContentsMargins(1, 1, 1, 1);
        calendar_ = new QCalendarWidget(popup_);
        calendar_->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
        calendar_->setFirstDayOfWeek(Qt::Sunday);
        calendar_->setGridVisible(true);
        layout->addWidget(calendar_);
        connect(calendar_, &QCalendarWidget::clicked, this, guarded([this](QDate d) { calendarPicked(d); }));
        connect(calendar_, &QCalendarWidget::activated, this, guarded([this](QDate d) { calendarPicked(d); }));
    }
    const QDate date = Date();
    calendar_->setSelectedDate(date.isValid() ? date : QDate::currentDate());
    popup_->adjustSize();
    popup_->move(mapToGlobal(QPoint(0, height())));
    popup_->show();
    calendar_->setFocus(Qt::PopupFocusReason);
}

void TDateEditPlus::calendarPicked(const QDate& date) {
    if (popup_) popup_->hide();
    SetDate(date);
}

} // namespace hostfw
