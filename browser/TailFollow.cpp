#include "browser/TailFollow.h"

#include "logs/LogFetcher.h"

TailFollow::TailFollow(LogFetcher* fetcher, QObject* parent) : QObject(parent), m_fetcher(fetcher)
{
    connect(m_fetcher, &LogFetcher::isLiveTailingChanged, this, &TailFollow::followChanged);
}

void TailFollow::toggleLiveTail()
{
    if (m_fetcher->isLiveTailing()) {
        m_fetcher->stopLiveTail();
        return;
    }
    m_autoScrollEnabled = true;
    emit followChanged();
    m_fetcher->startLiveTail();
}

void TailFollow::userScrolled()
{
    if (!m_fetcher->isLiveTailing() || !m_autoScrollEnabled)
        return;
    m_autoScrollEnabled = false;
    emit followChanged();
}

void TailFollow::jumpToBottom()
{
    m_autoScrollEnabled = true;
    emit followChanged();
    emit followEndRequested();
}

bool TailFollow::showsJumpToBottom() const
{
    return m_fetcher->isLiveTailing() && !m_autoScrollEnabled;
}

void TailFollow::rowsAdded()
{
    if (m_fetcher->isLiveTailing() && m_autoScrollEnabled)
        emit followEndRequested();
}
