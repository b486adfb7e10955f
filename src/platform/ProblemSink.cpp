#include "platform/ProblemSink.h"

#include "common/PrintableText.h"

#include <cstdio>

void ProblemRelay::reportProblem(const QString& text) {
    m_last = text;
    if (m_target) {
        m_target->reportProblem(text);
        return;
    }
    std::fprintf(stderr, "Cyclomarkator: %s\n", qPrintable(printableLine(text)));
    std::fflush(stderr);
}
