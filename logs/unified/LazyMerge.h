#pragma once

// Merges streams that are each in ascending time into one, opening each
// stream only when the merge reaches the earliest time it can hold. Memory
// then holds only the streams that overlap the present: the chunksets of a
// file, or the files of an archive.
//
// A Stream has `Fill fill()` (make its next item current), `double time()`
// (of the current item) and `void pop()` (drop the current item). A merge is
// itself such a stream, so merges nest.

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace Unified {

enum class Fill {
    item,   // an item is current
    pause,  // work was done without an item yet: the caller may look at its clock
    end,
};

template <typename Stream>
class LazyMerge {
public:
    struct Source {
        double start;                                   // no item of the stream is earlier
        std::function<std::unique_ptr<Stream>()> open;  // null when it cannot be read
    };

    explicit LazyMerge(std::vector<Source> sources, int openBudget = 8)
        : m_sources(std::move(sources)), m_budget(openBudget)
    {
        std::stable_sort(m_sources.begin(), m_sources.end(),
                         [](const Source& a, const Source& b) { return a.start < b.start; });
    }

    Fill fill()
    {
        int opened = 0;
        for (;;) {
            while (!m_waiting.empty()) {
                Open& w = m_waiting.back();
                const Fill f = w.stream->fill();
                if (f == Fill::pause)
                    return Fill::pause;
                if (f == Fill::item) {
                    m_heap.push_back(std::move(w));
                    std::push_heap(m_heap.begin(), m_heap.end(), later);
                }
                m_waiting.pop_back();
            }
            if (m_next < m_sources.size() && (m_heap.empty() || m_sources[m_next].start <= m_heap.front().stream->time())) {
                if (opened++ == m_budget)
                    return Fill::pause;
                const std::size_t order = m_next++;
                if (std::unique_ptr<Stream> s = m_sources[order].open())
                    m_waiting.push_back({std::move(s), order});
                continue;
            }
            return m_heap.empty() ? Fill::end : Fill::item;
        }
    }

    // The stream whose current item is the earliest; after fill() gave an item.
    Stream& head() { return *m_heap.front().stream; }
    double time() const { return m_heap.front().stream->time(); }

    void pop()
    {
        std::pop_heap(m_heap.begin(), m_heap.end(), later);
        m_heap.back().stream->pop();
        m_waiting.push_back(std::move(m_heap.back()));
        m_heap.pop_back();
    }

private:
    struct Open {
        std::unique_ptr<Stream> stream;
        std::size_t order;  // equal times come out in source order
    };
    static bool later(const Open& a, const Open& b)
    {
        const double ta = a.stream->time(), tb = b.stream->time();
        return ta != tb ? ta > tb : a.order > b.order;
    }

    std::vector<Source> m_sources;
    std::size_t m_next = 0;
    int m_budget;
    std::vector<Open> m_heap;     // streams with a current item
    std::vector<Open> m_waiting;  // streams to fill before they go back into the heap
};

}  // namespace Unified
