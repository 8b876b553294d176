#pragma once

// A window's content view over a store held in memory, for the widget tests
// of the list: the test fills `provider`, then `setUp` shows a fresh view.

#include "browser/DetailWindowState.h"
#include "browser/PendingArchive.h"
#include "browser/WindowModel.h"
#include "browser/views/ContentView.h"
#include "browser/views/DetailPane.h"
#include "browser/views/FloatingDetailView.h"
#include "logs/LogFetcher.h"
#include "logs/RecentArchives.h"
#include "tests/support/MemoryLogStore.h"
#include "ui/PlainTextViewer.h"

#include <QTest>
#include <QThreadPool>

#include <memory>

struct WindowFixture {
    MemoryStoreProvider provider;
    std::unique_ptr<DetailWindowState> state;
    std::unique_ptr<RecentArchives> recent;
    std::unique_ptr<PendingArchive> pending;
    std::unique_ptr<ContentView> view;

    WindowModel* model() const { return view->model(); }
    bool loaded() const { return !model()->logFetcher()->isLoading(); }
    QString paneMessage() const
    {
        DetailPane* pane = view->detailPane();
        return pane ? pane->findChild<PlainTextViewer*>("detailMessage")->text() : QString();
    }
    template <typename T = QWidget>
    T* child(const char* name) const
    {
        T* w = view->findChild<T*>(QLatin1String(name));
        if (!w)
            qWarning("no child %s", name);
        return w;
    }

    void makeView(WindowParts parts = {})
    {
        view = std::make_unique<ContentView>(state.get(), recent.get(), pending.get(), std::move(parts));
        model()->logFetcher()->setStoreProvider(&provider);
        view->resize(1100, 700);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QTRY_VERIFY(loaded());
    }

    void setUp()
    {
        state = std::make_unique<DetailWindowState>();
        recent = std::make_unique<RecentArchives>();
        pending = std::make_unique<PendingArchive>();
        makeView();
    }

    void tearDown()
    {
        // A query still running on the pool reads the store the next test refills.
        view.reset();
        QThreadPool::globalInstance()->waitForDone();
        delete FloatingDetailView::instance();
    }
};
