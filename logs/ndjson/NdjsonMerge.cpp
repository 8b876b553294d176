#include "logs/ndjson/NdjsonMerge.h"

#include "base/Platform.h"
#include "logs/ndjson/NdjsonEvent.h"
#include "logs/ndjson/NdjsonLineReader.h"
#include "logs/ndjson/NdjsonLogStore.h"
#include "logs/ndjson/NdjsonOrder.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace Ndjson {

namespace {

// Lines read without an entry to yield before the sequence pauses, so that
// the query looks at its time-out and cancellation even in a file of lines
// that are all malformed or out of range. A dropped chunk of a line too long
// to keep counts as a line.
constexpr long kPauseLines = 10000;

struct Part {
    explicit Part(const QString& path) : reader(path) {}
    LineReader reader;
    RawEntry head;                                            // its next entry, while it is in the heap
    double first = -std::numeric_limits<double>::infinity();  // date of its first event
    std::size_t rank = 0;                                     // place in the order of first events
    quint64 used = 0;                                         // when it was last read
    long malformed = 0;
    long tooLong = 0;

    // Time order: what was known before this read, and what it finds out.
    bool begun = false;
    FileStamp stamp;
    qint64 known = 0;      // events starting before this offset are in order
    bool learning = true;  // every line from the start has been checked
    double lastDate = -std::numeric_limits<double>::infinity();
    qint64 brokenAt = -1;  // start of the first event dated before the one preceding it
    qint64 checkedTo = 0;  // end of the last line checked
};

enum class Step { entry,
                  end,
                  pause,
                  failed };

class MergedEnumerator final : public LogEnumerator {
public:
    MergedEnumerator(const QStringList& files, double position, std::optional<DateRange> predicate)
        : m_position(position), m_predicate(predicate)
    {
        for (const QString& f : files)
            m_parts.push_back(std::make_unique<Part>(f));
        if (m_parts.size() == 1) {  // one file needs no order
            m_ordered = 1;
            m_order.push_back(m_parts[0].get());
        }
    }

    ~MergedEnumerator() override { report(); }

    // Lines that could not be events are left out of the list, and said.
    SkipCounts skipped() const override
    {
        SkipCounts s;
        for (const auto& p : m_parts)
            s.lines += p->malformed + p->tooLong;
        return s;
    }

    bool next(RawEntry& out) override
    {
        if (m_finished)
            return false;
        m_work = 0;
        switch (orderParts()) {
        case Step::pause: return pause(out);
        case Step::failed: return fail(*m_parts[m_ordered]);
        case Step::entry:
        case Step::end: break;
        }
        for (;;) {
            if (Part* p = m_resume) {
                const Step step = advance(*p);
                if (step == Step::pause)
                    return pause(out);
                if (step == Step::failed)
                    return fail(*p);
                m_resume = nullptr;
                if (step == Step::entry) {
                    m_heap.push_back(p);
                    std::push_heap(m_heap.begin(), m_heap.end(), later);
                }
            }
            // A part starts when the merge reaches its first event: every
            // entry of it is at or after that (parts are each in time order).
            if (m_started < m_order.size() && (m_heap.empty() || m_order[m_started]->first <= m_heap.front()->head.entry.date)) {
                m_resume = m_order[m_started++];
                continue;
            }
            if (m_heap.empty()) {
                finish();
                return false;
            }
            std::pop_heap(m_heap.begin(), m_heap.end(), later);
            Part* top = m_heap.back();
            m_heap.pop_back();
            out = std::move(top->head);
            m_resume = top;  // its next entry is read at the next call
            return true;
        }
    }

    std::optional<StoreError> error() const override { return m_error; }

private:
    // Heap order: the earliest head first, ties in the order of first events.
    static bool later(const Part* a, const Part* b)
    {
        const double da = a->head.entry.date, db = b->head.entry.date;
        return da > db || (da == db && a->rank > b->rank);
    }

    // Reads each part up to its first event, then orders the parts by it;
    // `entry` once all are ordered.
    Step orderParts()
    {
        while (m_ordered < m_parts.size()) {
            const Step step = firstEvent(*m_parts[m_ordered]);
            if (step == Step::pause || step == Step::failed)
                return step;
            if (step == Step::entry)
                m_order.push_back(m_parts[m_ordered].get());
            if (++m_ordered == m_parts.size()) {
                std::stable_sort(m_order.begin(), m_order.end(),
                                 [](const Part* a, const Part* b) { return a->first < b->first; });
                for (std::size_t i = 0; i < m_order.size(); ++i)
                    m_order[i]->rank = i;
            }
        }
        return Step::entry;
    }

    bool pause(RawEntry& out)
    {
        out.kind = RawEntryKind::none;
        return true;
    }

    bool fail(const Part& p)
    {
        m_error = p.reader.error();
        finish();
        return false;
    }

    bool open(Part& p)
    {
        p.used = ++m_clock;
        if (p.reader.isOpen())
            return true;
        if (m_open.size() >= std::size_t(kMaxOpenFiles)) {
            // Close the one read longest ago; it is between lines and resumes where it stopped.
            auto oldest = std::min_element(m_open.begin(), m_open.end(),
                                           [](const Part* a, const Part* b) { return a->used < b->used; });
            (*oldest)->reader.close();
            m_open.erase(oldest);
        }
        if (!p.reader.open())
            return false;
        m_open.push_back(&p);
        return true;
    }

    void close(Part& p, std::optional<qint64> at = std::nullopt)
    {
        p.reader.close(at);
        m_open.erase(std::remove(m_open.begin(), m_open.end(), &p), m_open.end());
    }

    // Reads one line; `line` tells whether `data` holds one to parse.
    Step read(Part& p, const char*& data, std::size_t& size, bool& line)
    {
        line = false;
        if (++m_work > kPauseLines)
            return Step::pause;
        switch (p.reader.next(data, size)) {
        case LineReader::Read::line: line = true; break;
        case LineReader::Read::partial: break;
        case LineReader::Read::tooLong:
            ++p.tooLong;
            qCInfo(lcLogFetcher, "Skipped a line of %zu bytes in %s (longer than %zu MiB)", size,
                   qUtf8Printable(p.reader.path()), kMaxLineBytes >> 20);
            break;
        case LineReader::Read::end: close(p); return Step::end;
        case LineReader::Read::failed: return Step::failed;
        }
        return Step::entry;
    }

    // Finds the date of the part's first event and closes it there; the lines
    // before are counted now and not read again.
    Step firstEvent(Part& p)
    {
        if (!open(p))
            return Step::failed;
        const char* data;
        std::size_t size;
        bool line;
        for (;;) {
            const qint64 start = p.reader.offset();
            const Step step = read(p, data, size, line);
            if (step != Step::entry)
                return step;
            if (!line)
                continue;
            switch (m_parser.parse(data, size, m_scratch)) {
            case LineStatus::blank: continue;
            case LineStatus::malformed: ++p.malformed; continue;
            case LineStatus::event: break;
            }
            p.first = m_scratch.entry.date;
            close(p, start);
            return Step::entry;
        }
    }

    // The earliest date the read wants; -infinity for all.
    double target() const
    {
        double t = -std::numeric_limits<double>::infinity();
        if (m_position > 0)
            t = m_position;
        if (m_predicate)
            t = std::max(t, m_predicate->start);
        return t;
    }

    // Before a part's first line is read for entries: where its order is
    // known, the lines dated before the range are passed over by bisection.
    void begin(Part& p)
    {
        p.begun = true;
        p.stamp = stampOf(p.reader.path());
        p.known = knownOrderedPrefix(p.reader.path(), p.stamp);
        const qint64 from = p.reader.offset();
        p.checkedTo = from;
        const double t = target();
        if (p.known <= from || t == -std::numeric_limits<double>::infinity())
            return;
        const auto found = bisect(p.reader.path(), from, p.known, t, m_parser, m_scratch);
        if (!found || found->offset == from)
            return;
        qCInfo(lcLogFetcher, "Found the range start in %s at byte %lld by bisection", qUtf8Printable(p.reader.path()),
               static_cast<long long>(found->offset));
        close(p, found->offset);
        p.checkedTo = found->offset;
        p.lastDate = found->lastDate;
        // The part has events (its first one); those passed over are not counted.
        ++m_events;
    }

    // The part's next entry in the position and predicate into its head.
    Step advance(Part& p)
    {
        if (!p.begun)
            begin(p);
        if (!open(p))
            return Step::failed;
        for (;;) {
            qint64 lineStart = 0;
            const Step step = nextEvent(p, lineStart);
            if (step != Step::entry)
                return step;
            const double date = p.head.entry.date;
            noteOrder(p, date, lineStart);
            if (m_position > 0 && date < m_position)
                continue;
            if (!m_predicate || m_predicate->contains(date))
                return Step::entry;
            // Past the range inside the ordered prefix: the rest of the
            // prefix is too, so reading resumes after it.
            if (date > m_predicate->end && lineStart < p.known) {
                close(p, p.known);
                p.learning = false;
                if (!open(p))
                    return Step::failed;
            }
        }
    }

    // The part's next event parsed into its head, and where its line starts.
    Step nextEvent(Part& p, qint64& lineStart)
    {
        const char* data;
        std::size_t size;
        bool line;
        for (;;) {
            lineStart = p.reader.offset();
            const Step step = read(p, data, size, line);
            if (step == Step::end) {
                p.checkedTo = p.reader.offset();  // the lines not parsed were too long to be events
                learn(p);
            }
            if (step != Step::entry)
                return step;
            if (!line)
                continue;
            const LineStatus status = m_parser.parse(data, size, p.head);
            p.checkedTo = p.reader.offset();
            if (status == LineStatus::event) {
                ++m_events;
                return Step::entry;
            }
            if (status == LineStatus::malformed)
                ++p.malformed;
        }
    }

    // The first event dated before the one preceding it ends what is known in order.
    static void noteOrder(Part& p, double date, qint64 lineStart)
    {
        if (p.brokenAt >= 0)
            return;
        if (date >= p.lastDate)
            p.lastDate = date;
        else
            p.brokenAt = lineStart;
    }

    // Keeps what this read of the part found out about its order, if the
    // file did not change meanwhile.
    void learn(Part& p)
    {
        if (!p.begun || !p.learning)
            return;
        p.learning = false;
        const qint64 upTo = p.brokenAt >= 0 ? p.brokenAt : p.checkedTo;
        if (upTo > p.known && stampOf(p.reader.path()) == p.stamp)
            rememberOrder(p.reader.path(), p.stamp, upTo);
    }

    void finish()
    {
        m_finished = true;
        for (const auto& p : m_parts)
            p->reader.close();
        m_open.clear();
        // Only bad lines is not an empty log but something else given as one.
        long bad = 0;
        for (const auto& p : m_parts)
            bad += p->malformed + p->tooLong;
        if (!m_error && m_events == 0 && bad > 0)
            m_error = StoreError{
                QStringLiteral("No line of this file is a log event (%1 lines could not be read).").arg(bad)};
        report();
    }

    void report()
    {
        if (m_reported)
            return;
        m_reported = true;
        for (const auto& p : m_parts)
            learn(*p);
        for (const auto& p : m_parts) {
            if (p->malformed > 0)
                qCInfo(lcLogFetcher, "Skipped %ld malformed lines in %s", p->malformed, qUtf8Printable(p->reader.path()));
        }
    }

    std::vector<std::unique_ptr<Part>> m_parts;  // in path order
    std::vector<Part*> m_order;                  // parts with events, by first event
    std::vector<Part*> m_heap;                   // started parts holding a head
    std::vector<Part*> m_open;
    Part* m_resume = nullptr;   // the part to read on before anything else
    std::size_t m_ordered = 0;  // parts whose first event is known
    std::size_t m_started = 0;  // of m_order
    double m_position;
    std::optional<DateRange> m_predicate;
    LineParser m_parser;
    RawEntry m_scratch;
    std::optional<StoreError> m_error;
    long m_events = 0;  // event lines read, in the range or not
    long m_work = 0;    // lines read since the last call
    quint64 m_clock = 0;
    bool m_finished = false;
    bool m_reported = false;
};

}  // namespace

std::unique_ptr<LogEnumerator> mergedEntries(const QStringList& files, double position,
                                             std::optional<DateRange> predicate)
{
    return std::make_unique<MergedEnumerator>(files, position, predicate);
}

}  // namespace Ndjson
