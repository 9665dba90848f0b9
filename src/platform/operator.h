// The one way the program talks to the person: messages, the yes/no question and progress.
#pragma once
#include <QString>

class QWidget;

namespace platform {

enum class Answer { Yes, No };

class Operator {
public:
    virtual ~Operator() = default;
    virtual void inform(const QString &text) = 0;  // information box, OK button
    virtual void warn(const QString &text) = 0;    // warning box, OK button
    virtual Answer ask(const QString &text) = 0;   // warning with Yes and No
    virtual void error(const QString &text) { warn(text); } // an error no step handled
    // Long work: start(total), step(position), end(). Defaults do nothing.
    virtual void progressStart(int total) { (void)total; }
    virtual void progressStep(int position) { (void)position; }
    virtual void progressEnd() {}
};

// Production: modal message boxes over the given window.
class MessageBoxOperator : public Operator {
public:
    explicit MessageBoxOperator(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void inform(const QString &text) override;
    void warn(const QString &text) override;
    Answer ask(const QString &text) override;
    void error(const QString &text) override;

private:
    QWidget *m_parent;
};

} // namespace platform
