#pragma once
// Where a problem found while the program runs goes: the status line in red
// and stderr, never a box that waits for a click, because the program runs
// unattended for weeks and nothing may stop its counting. Whoever reports
// does so once per episode (when the problem starts), not at every tick.
#include <QString>

class ProblemSink {
public:
    virtual ~ProblemSink() = default;
    virtual void reportProblem(const QString& text) = 0;
};

// Hands problems on to a sink chosen later (the window or the headless view,
// which exist only after the files are opened); until then, and after the
// target is gone, they go to stderr.
class ProblemRelay final : public ProblemSink {
public:
    void setTarget(ProblemSink* target) { m_target = target; }
    void reportProblem(const QString& text) override;
    // The newest problem, so that a status line written later can keep it in sight.
    const QString& lastReported() const { return m_last; }

private:
    ProblemSink* m_target = nullptr;
    QString m_last;
};
