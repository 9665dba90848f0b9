// Today and now: every rule that reads the date takes a Clock, so tests can fix it.
#pragma once
#include <QDate>
#include <QDateTime>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class FixedClock : public Clock {
public:
    explicit FixedClock(QDateTime at) : m_now(std::move(at)) {}
    explicit FixedClock(QDate day, QTime time = QTime(12, 0)) : m_now(day, time) {}
    QDateTime now() const override { return m_now; }
    void set(QDateTime at) { m_now = std::move(at); }

private:
    QDateTime m_now;
};

} // namespace platform
