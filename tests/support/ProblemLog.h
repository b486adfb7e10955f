#pragma once
// A problem sink for tests: keeps every problem reported, in order.
#include "platform/ProblemSink.h"

#include <QStringList>

class ProblemLog final : public ProblemSink {
public:
    QStringList problems;
    void reportProblem(const QString& text) override { problems.append(text); }
};
