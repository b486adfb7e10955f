#include "recorder/XtRedrawPlan.h"

#include "recorder/XtGeometry.h"
#include "recording/XtRecording.h"

XtRedrawPlan XtRedrawPlan::make(const XtRecording& recording, float Xmin, float Xmax, int width,
                                int32_t intervalMs) {
    using namespace XtGeometry;
    XtRedrawPlan plan;
    const int32_t t0 = recording.referenceTime();
    if (recording.SampleCount > 0 && recording.SampleIndex >= 0) {
        plan.trace.reserve(static_cast<size_t>(recording.SampleCount));
        const XtSample& newest = recording.SampleRing[static_cast<size_t>(recording.SampleIndex)];
        plan.trace.emplace_back(ScaleXtoPixel(newest.Value, Xmin, Xmax, width), PenRow);
        recording.forEachRedrawSlot([&](int32_t slot) {
            const XtSample& sample = recording.SampleRing[static_cast<size_t>(slot)];
            plan.trace.emplace_back(ScaleXtoPixel(sample.Value, Xmin, Xmax, width),
                                    timeToRow(t0, sample.Time, intervalMs));
        });
    }
    plan.marks.reserve(static_cast<size_t>(recording.MarkCount));
    for (int32_t k = 0; k < recording.MarkCount && k < XtRecording::MarkSlots; ++k) {
        const TriggerMark& mark =
            recording.TriggerMarks[static_cast<size_t>(XtRecording::MarkSlots - 1 - k)];
        plan.marks.push_back({timeToRow(t0, mark.Time, intervalMs), mark.Counter});
    }
    return plan;
}
