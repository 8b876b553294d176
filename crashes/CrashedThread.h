#pragma once

// The parts of a plain-text (.crash) report past its header lines: the
// crashed thread's number and backtrace, and the first line of
// "Application Specific Information". Read in one pass over the text, in
// place (a report may be tens of megabytes), stopping after the backtrace.

#include <QString>
#include <QStringView>

#include <optional>

namespace CrashedThread {

struct Found {
    std::optional<qint64> thread;  // "Crashed Thread:", else the "Thread N Crashed" header's N
    QString stackTrace;            // in the structured reports' layout; empty without a backtrace
    QString applicationReason;     // the exception reason of "Application Specific Information"
};

Found read(QStringView text, int maxFrames);

// "0x0000000000000000, 0x0000000000000000": codes that tell nothing.
bool isOnlyZeroCodes(QStringView value);

}  // namespace CrashedThread
