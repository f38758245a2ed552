#include "accounts/calendar.h"

#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "framework/error_manager.h"
#include "runtime/date.h"

namespace corvix::accounts {

using namespace corvix::framework;

Calendar::Calendar(int32_t date, QString title)
    : WindowManager("Calendar"), given_(date), chosen_(date), title_(std::move(title)) {
    int d = 0;
    if (date <= 0 || !runtime::calendarDate(date, &year_, &month_, &d))
        runtime::calendarDate(runtime::today(), &year_, &month_, &d);
    year_ = std::clamp(year_, kFirstYear, kLastYear);
}

int32_t Calendar::pick() {
    run();
    return chosen_;
}

QString Calendar::heading() const {
    return QLocale(QLocale::English).standaloneMonthName(month_) + ", " + QString::number(year_);
}

QPushButton* Calendar::dayButton(int i) const {
    return i >= 0 && i < static_cast<int>(days_.size()) ? days_[i].data() : nullptr;
}

QPushButton* Calendar::button(const char* text) const {
    if (!window()) return nullptr;
    for (QPushButton* b : window()->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

int Calendar::init() {
    auto* dialog = new QDialog;
    dialog->setObjectName("Calendar");
    dialog->setWindowTitle(title_.isEmpty() ? "Select Date" : title_);
    auto* layout = new QVBoxLayout(dialog);
    auto make = [dialog](const char* text) {
        auto* b = new QPushButton(text, dialog);
        b->setAutoDefault(false);
        return b;
    };
    auto* top = new QHBoxLayout;
    prevYear_ = make("<<");
    prevYear_->setToolTip("Previous Year");
    prevMonth_ = make("<");
    prevMonth_->setToolTip("Previous month");
    heading_ = new QLabel(dialog);
    heading_->setAlignment(Qt::AlignCenter);
    nextMonth_ = make(">");
    nextMonth_->setToolTip("Next month");
    nextYear_ = make(">>");
    nextYear_->setToolTip("Next year");
    top->addWidget(prevYear_);
    top->addWidget(prevMonth_);
    top->addWidget(heading_, 1);
    top->addWidget(nextMonth_);
    top->addWidget(nextYear_);
    layout->addLayout(top);

    auto* grid = new QGridLayout;
    const char* names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    for (int c = 0; c < 7; ++c)
        grid->addWidget(new QLabel(names[c], dialog), 0, c, Qt::AlignCenter);
    for (int i = 0; i < 42; ++i) {
        QPushButton* b = make("");
        b->setFixedWidth(b->fontMetrics().averageCharWidth() * 5);
        days_.push_back(b);
        grid->addWidget(b, 1 + i / 7, i % 7);
    }
    layout->addLayout(grid);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    today_ = make("&Today");
    cancel_ = make("Cancel");
    bottom->addWidget(today_);
    bottom->addWidget(cancel_);
    layout->addLayout(bottom);
    setWindow(dialog);
    showMonth();
    firstField = today_.data();
    return kLevelBenign;
}

void Calendar::showMonth() {
    heading_->setText(heading());
    const int32_t first = runtime::standardDate(year_, month_, 1);
    const int offset = runtime::dayOfWeek(first);
    for (int i = 0; i < 42; ++i) {
        const int32_t date = first - offset + i;
        int y = 0, m = 0, d = 0;
        runtime::calendarDate(date, &y, &m, &d);
        const bool inMonth = m == month_ && y == year_;
        days_[i]->setText(inMonth ? QString::number(d) : QString());
        days_[i]->setEnabled(inMonth);
    }
}

void Calendar::stepMonth(int by) {
    month_ += by;
    while (month_ < 1) {
        month_ += 12;
        stepYear(-1);
    }
    while (month_ > 12) {
        month_ -= 12;
        stepYear(1);
    }
    if (heading_) showMonth();
}

void Calendar::stepYear(int by) {
    year_ += by;
    const int span = kLastYear - kFirstYear + 1;
    year_ = kFirstYear + ((year_ - kFirstYear) % span + span) % span;
    if (heading_) showMonth();
}

void Calendar::choose(int32_t date) {
    chosen_ = date;
    response = kRequestCompleted;
    endWindow();
}

bool Calendar::takeAccepted(QWidget* control) {
    if (control == today_) {
        choose(runtime::today());
    } else if (control == cancel_) {
        chosen_ = given_;
        response = kRequestCancelled;
        endWindow();
    } else if (control == prevMonth_) {
        stepMonth(-1);
    } else if (control == nextMonth_) {
        stepMonth(1);
    } else if (control == prevYear_) {
        stepYear(-1);
    } else if (control == nextYear_) {
        stepYear(1);
    } else {
        for (const auto& b : days_) {
            if (b != control || b->text().isEmpty()) continue;
            choose(runtime::standardDate(year_, month_, b->text().toInt()));
            return true;
        }
        return false;
    }
    return true;
}

}  // namespace corvix::accounts
