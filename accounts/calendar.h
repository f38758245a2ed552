// Calendar: the date picker. One month at a time ("Month, Year", the day columns "Sun"
// to "Sat", 42 day buttons for six weeks); a day or "&Today" returns that date, "Cancel"
// the date it was given. The month and year buttons step through the years 1801 to
// 2099, wrapping from one end to the other.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <cstdint>
#include <vector>

#include "framework/window_manager.h"

class QLabel;
class QPushButton;

namespace corvix::accounts {

class Calendar : public framework::WindowManager {
  public:
    // date: the standard date shown first (0: today's month).
    explicit Calendar(int32_t date, QString title = "Select Date");

    // Runs modally on the caller's thread; the chosen date (the given one on Cancel).
    int32_t pick();

    int year() const { return year_; }
    int month() const { return month_; }
    QString heading() const;  // "Month, Year"
    // Day button i (0..41) of the six weeks shown; its text is blank outside the month.
    QPushButton* dayButton(int i) const;
    QPushButton* button(const char* text) const;  // by caption

    void stepMonth(int by);
    void stepYear(int by);

    static constexpr int kFirstYear = 1801;
    static constexpr int kLastYear = 2099;

  protected:
    int init() override;
    bool takeAccepted(QWidget* control) override;

  private:
    void showMonth();
    void choose(int32_t date);

    int32_t given_;
    int32_t chosen_;
    QString title_;
    int year_ = 0, month_ = 0;
    QPointer<QLabel> heading_;
    std::vector<QPointer<QPushButton>> days_;
    QPointer<QPushButton> today_, cancel_, prevMonth_, nextMonth_, prevYear_, nextYear_;
};

}  // namespace corvix::accounts
