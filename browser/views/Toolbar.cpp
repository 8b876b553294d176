#include "browser/views/Toolbar.h"

#include "browser/AnalysisRun.h"
#include "browser/FetchRange.h"
#include "browser/TailFollow.h"
#include "browser/WindowModel.h"
#include "browser/views/ContentView.h"
#include "logs/LogFetcher.h"
#include "ui/AppIdentity.h"
#include "ui/FlowLayout.h"
#include "ui/TextStyles.h"
#include "ui/ViewStyle.h"
#include "ui/Widgets.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

using TextStyles::Style;

namespace {
// The live-tail button's 7-point dot.
QPixmap dot(const QColor& c)
{
    QPixmap pm(QSize(14, 14) * 2);
    pm.setDevicePixelRatio(2);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QRectF(3.5, 3.5, 7, 7));
    return pm;
}
}  // namespace

Toolbar::Toolbar(WindowModel* model, ContentView* window) : QWidget(window), m_model(model), m_window(window)
{
    setObjectName(QStringLiteral("toolbar"));
    // Three groups that wrap onto a second row in a narrow window rather
    // than squeeze their labels: the name, tabs and ranges; the fetch
    // controls and the count; Analyze and the gear at the right edge.
    auto* flow = new FlowLayout(this, 16, 6);
    flow->setContentsMargins(12, 8, 12, 8);
    auto group = [](const char* name) {
        auto* w = new QWidget;
        w->setObjectName(QLatin1String(name));
        auto* row = new QHBoxLayout(w);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(8);
        return row;
    };
    QHBoxLayout* h = group("toolbarNavigation");

    auto* icon = new QLabel;
    icon->setObjectName(QStringLiteral("appIcon"));
    icon->setPixmap(AppIdentity::icon().pixmap(22, 22));
    icon->setFixedSize(22, 22);
    h->addWidget(icon);
    h->addWidget(TextStyles::label(QStringLiteral("Vellacord"), Style::headline));
    h->addSpacing(8);

    m_logsTab = new PillButton(QStringLiteral("Logs"));
    m_logsTab->setObjectName(QStringLiteral("logsTab"));
    m_crashesTab = new PillButton(QStringLiteral("Crashes"), QStringLiteral("ladybug"));
    m_crashesTab->setObjectName(QStringLiteral("crashesTab"));
    connect(m_logsTab, &QAbstractButton::clicked, this, [this] { m_window->setShowCrashes(false); });
    connect(m_crashesTab, &QAbstractButton::clicked, this, [this] { m_window->setShowCrashes(true); });
    h->addWidget(m_logsTab);
    h->addWidget(m_crashesTab);
    h->addSpacing(8);

    m_rangeButtons = new QWidget;
    auto* rh = new QHBoxLayout(m_rangeButtons);
    rh->setContentsMargins(0, 0, 0, 0);
    rh->setSpacing(4);
    m_allButton = new PillButton(QStringLiteral("All"));
    m_allButton->setObjectName(QStringLiteral("range_All"));
    m_allButton->setToolTip(QStringLiteral("The whole archive"));
    FetchRange* range = model->range();
    connect(m_allButton, &QAbstractButton::clicked, range, &FetchRange::selectWholeArchive);
    rh->addWidget(m_allButton);
    for (QuickTimeRange r : QuickRange::all()) {
        auto* b = new PillButton(QuickRange::name(r));
        b->setObjectName(QStringLiteral("range_") + QuickRange::name(r));
        connect(b, &QAbstractButton::clicked, range, [range, r] { range->selectQuickRange(r); });
        rh->addWidget(b);
        m_quickButtons << b;
    }
    m_customButton = new PillButton(QStringLiteral("Custom"));
    m_customButton->setObjectName(QStringLiteral("customButton"));
    connect(m_customButton, &QAbstractButton::clicked, range, &FetchRange::toggleCustomRange);
    rh->addWidget(m_customButton);
    h->addWidget(m_rangeButtons);
    m_rescanButton = new QPushButton(QStringLiteral(" Rescan"));
    m_rescanButton->setObjectName(QStringLiteral("rescanButton"));
    m_rescanButton->setFlat(true);
    connect(m_rescanButton, &QPushButton::clicked, this, &Toolbar::rescanRequested);
    h->addWidget(m_rescanButton);
    flow->addWidget(h->parentWidget());
    h = group("toolbarFetch");

    m_collectButton = new QPushButton(QStringLiteral("Collect"));
    m_collectButton->setObjectName(QStringLiteral("collectButton"));
    m_collectButton->setToolTip(QStringLiteral("Collect system logs into a .logarchive on your Desktop"));
    connect(m_collectButton, &QPushButton::clicked, this, &Toolbar::collectRequested);
    m_collectBusy = new BusyIndicator(11);
    m_collectBusy->hide();
    h->addWidget(m_collectBusy);
    h->addWidget(m_collectButton);

    m_refreshButton = new QToolButton;
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    m_refreshButton->setToolTip(QStringLiteral("Refresh"));
    m_refreshButton->setAutoRaise(true);
    connect(m_refreshButton, &QToolButton::clicked, range, &FetchRange::refresh);
    h->addWidget(m_refreshButton);

    m_tailButton = new QPushButton(QStringLiteral("Tail"));
    m_tailButton->setObjectName(QStringLiteral("tailButton"));
    connect(m_tailButton, &QPushButton::clicked, model->tail(), &TailFollow::toggleLiveTail);
    h->addWidget(m_tailButton);

    m_loadingBusy = new BusyIndicator(11);
    m_loadingBusy->hide();
    h->addWidget(m_loadingBusy);
    m_status = TextStyles::label(QString(), Style::caption, true);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    h->addWidget(m_status);
    flow->addWidget(h->parentWidget());
    h = group("toolbarActions");

    // The Patterns view beside the list: the button, and its key on the window.
    m_patternsButton = new PillButton(QStringLiteral("Patterns"));
    m_patternsButton->setObjectName(QStringLiteral("patternsButton"));
    m_patternsButton->setCheckable(true);
    m_patternsButton->setToolTip(QStringLiteral("Fold repeated messages into patterns with counts"));
    connect(m_patternsButton, &QAbstractButton::clicked, &model->pipeline(), &FilterPipeline::setPatternsShown);
    h->addWidget(m_patternsButton);
    m_patternsAction = new QAction(QStringLiteral("Patterns"), window);
    m_patternsAction->setObjectName(QStringLiteral("patternsAction"));
    m_patternsAction->setCheckable(true);
    m_patternsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    m_patternsAction->setShortcutContext(Qt::WindowShortcut);
    connect(m_patternsAction, &QAction::triggered, &model->pipeline(), &FilterPipeline::setPatternsShown);
    window->addAction(m_patternsAction);

    m_analyzeButton = new QPushButton(QStringLiteral("Analyze"));
    m_analyzeButton->setObjectName(QStringLiteral("analyzeButton"));
    m_analyzeButton->setToolTip(QStringLiteral("Proactive log analysis — AI identifies top issues"));
    connect(m_analyzeButton, &QPushButton::clicked, model->analysis(), &AnalysisRun::start);
    h->addWidget(m_analyzeButton);

    m_settingsButton = new QToolButton;
    m_settingsButton->setObjectName(QStringLiteral("settingsButton"));
    m_settingsButton->setToolTip(QStringLiteral("AI Explainer Settings"));
    m_settingsButton->setAutoRaise(true);
    connect(m_settingsButton, &QToolButton::clicked, this,
            [this] { m_window->setShowSettings(!m_window->showSettings()); });
    h->addWidget(m_settingsButton);
    flow->addWidget(h->parentWidget(), true);
    // The style's own focus frame on these is a faint line, and none at all
    // on the auto-raised ones.
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{m_rescanButton, m_collectButton, m_refreshButton,
                                                                      m_tailButton, m_analyzeButton, m_settingsButton})
        new FocusRing(b, 4);

    // What the buttons and the count show.
    connect(window, &ContentView::showCrashesChanged, this, &Toolbar::refresh);
    connect(window, &ContentView::collectingChanged, this, &Toolbar::refresh);
    connect(&model->pipeline(), &FilterPipeline::rangeChanged, this, &Toolbar::refresh);
    const LogFetcher* fetcher = model->logFetcher();
    for (auto changed : {&LogFetcher::isLoadingChanged, &LogFetcher::isLiveTailingChanged,
                         &LogFetcher::archivePathChanged, &LogFetcher::archiveSpanChanged})
        connect(fetcher, changed, this, &Toolbar::refresh);
    connect(model, &WindowModel::listChanged, this, &Toolbar::refresh);
    connect(model->analysis(), &AnalysisRun::runningChanged, this, &Toolbar::refresh);
    refreshIcons();
}

QWidget* Toolbar::settingsButton() const
{
    return m_settingsButton;
}

void Toolbar::refresh()
{
    const bool crashes = m_window->showCrashes();
    const FilterPipeline& pipeline = m_model->pipeline();
    m_logsTab->setSelectedLook(!crashes);
    m_crashesTab->setSelectedLook(crashes);
    m_rangeButtons->setVisible(!crashes);
    m_rescanButton->setVisible(crashes);
    const QList<QuickTimeRange>& ranges = QuickRange::all();
    const bool archive = m_model->logFetcher()->isViewingArchive();
    const bool available = m_model->range()->rangesAvailable();
    m_allButton->setVisible(archive);
    m_allButton->setSelectedLook(pipeline.wholeArchive() && !pipeline.showCustomRange());
    for (int i = 0; i < m_quickButtons.size(); ++i) {
        m_quickButtons[i]->setSelectedLook(pipeline.selectedQuickRange() == ranges[i] && !pipeline.showCustomRange());
        m_quickButtons[i]->setEnabled(available);
        m_quickButtons[i]->setToolTip(!available ? QStringLiteral("Finding the archive's dates…")
                                      : archive  ? QStringLiteral("The last %1 of the archive").arg(QuickRange::name(ranges[i]))
                                                 : QString());
    }
    m_customButton->setSelectedLook(pipeline.showCustomRange());
    m_customButton->setEnabled(available);

    const bool collecting = m_window->isCollecting();
    m_collectButton->setText(collecting ? QStringLiteral("Collecting…") : QStringLiteral("Collect"));
    m_collectButton->setEnabled(!collecting);
    m_collectButton->setVisible(!crashes);  // Collect, Tail, the count and Analyze act on logs only
    m_collectBusy->setVisible(collecting && !crashes);

    const LogFetcher* fetcher = m_model->logFetcher();
    m_refreshButton->setEnabled(!fetcher->isLoading());
    m_refreshButton->setVisible(!crashes);  // it reloads the logs; the Crashes tab has Rescan
    const bool tailing = fetcher->isLiveTailing();
    m_tailButton->setText(tailing ? QStringLiteral("Tailing") : QStringLiteral("Tail"));
    m_tailButton->setIcon(dot(tailing ? ViewStyle::green() : ViewStyle::withAlpha(ViewStyle::secondary(this), 0.4)));
    m_tailButton->setVisible(!crashes);
    m_tailButton->setEnabled(!fetcher->isViewingArchive());
    m_tailButton->setToolTip(fetcher->isViewingArchive() ? QStringLiteral("Live tail not available for archives")
                             : tailing                   ? QStringLiteral("Pause live tail")
                                                         : QStringLiteral("Start live tail"));
    m_loadingBusy->setVisible(fetcher->isLoading() && !crashes);
    m_status->setVisible(!crashes);
    m_status->setText(m_model->statusText());
    m_patternsButton->setChecked(pipeline.patternsShown());
    m_patternsButton->setSelectedLook(pipeline.patternsShown());
    m_patternsButton->setVisible(!crashes);
    m_patternsAction->setChecked(pipeline.patternsShown());
    m_patternsAction->setEnabled(!crashes);
    m_analyzeButton->setVisible(!crashes);
    m_analyzeButton->setEnabled(m_model->analysis()->canAnalyze());
}

void Toolbar::refreshIcons()
{
    const QColor fg = palette().color(QPalette::ButtonText);
    m_collectButton->setIcon(ViewStyle::icon(QStringLiteral("tray.and.arrow.down"), fg, 16, 2.0));
    m_refreshButton->setIcon(ViewStyle::icon(QStringLiteral("arrow.clockwise"), fg, 16, 2.0));
    m_rescanButton->setIcon(ViewStyle::icon(QStringLiteral("arrow.clockwise"), fg, 16, 2.0));
    m_analyzeButton->setIcon(ViewStyle::icon(QStringLiteral("wand.and.stars"), fg, 16, 2.0));
    m_settingsButton->setIcon(ViewStyle::icon(QStringLiteral("gearshape"), fg, 16, 2.0));
    refresh();
}

void Toolbar::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        refreshIcons();
}
